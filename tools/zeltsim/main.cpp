// zeltsim: creates simulated adapter hosts, shows their state and schedules faults.
//
//   zeltsim create <dir> [--config <file>]
//   zeltsim create <dir> --from-backup <backup.pkg> [--options <saveoptions script>]
//   zeltsim show <dir> [--adapters] [--directory] [--options] [--log] [--faults]
//                      [--requests] [--chips] [--item <adapter> <index>]
//   zeltsim fault <dir> <kind> [--adapter <name>] [--function <address|ifname>]
//                      [--req-type <n>] [--error-code <n>] [--cmd-err <n>]
//                      [--errno <n>] [--ethtool-cmd <n>] [--nth <n>] [--value <n>]
//                      [--signal <n>] [--dir-type <n>]
//   zeltsim fault <dir> redundancy [--adapter <name>] --status <word>
//   zeltsim fault <dir> --clear
//   zeltsim bind <dir> <pci address>
//   zeltsim fault <dir> crash --adapter <name>
//   zeltsim fault <dir> brick --adapter <name>
//   zeltsim coredump-info <file>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <fstream>
#include <nlohmann/json.hpp>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "common/byte_buffer.h"
#include "host/file_snapshot.h"
#include "host/linux_host.h"
#include "sim/create/host_setup.h"
#include "sim/create/twin.h"
#include "sim/faults/faults.h"
#include "sim/state/sim_store.h"
#include "sim/tree/host_tree.h"
#include "tools/zeltsim/coredump_info.h"
#include "tools/zeltsim/show_report.h"

namespace {

using namespace zelt::sim;

const char kUsage[] =
    "usage: zeltsim create <dir> [--config <file>]\n"
    "       zeltsim create <dir> --from-backup <backup.pkg> [--options <saveoptions script>]\n"
    "       zeltsim show <dir> [--adapters] [--directory] [--options] [--log] [--faults] [--requests] [--chips]\n"
    "                          [--item <adapter> <index>]\n"
    "       zeltsim fault <dir> <kind> [--adapter <name>] [--function <address|ifname>] [--req-type <n>]\n"
    "                          [--error-code <n>] [--cmd-err <n>] [--errno <n>] [--ethtool-cmd <n>] [--nth <n>]\n"
    "                          [--value <n>] [--signal <n>] [--dir-type <n>]\n"
    "       zeltsim fault <dir> redundancy [--adapter <name>] --status <word>\n"
    "       zeltsim fault <dir> --clear\n"
    "       zeltsim bind <dir> <pci address>\n"
    "       zeltsim fault <dir> crash --adapter <name>\n"
    "       zeltsim fault <dir> brick --adapter <name>\n"
    "       zeltsim coredump-info <file>\n"
    "fault kinds: hwrm_error busy timeout unresponsive lfc_errno ethtool_errno install_fault\n"
    "             reset_fault install_slow no_lfc_device driver_unloaded vfio link_down no_root\n"
    "             self_reset_status boot_status signal install_resets_macs dir_length\n"
    "             no_mailbox mailbox_silent mailbox_oversize mailbox_tag mailbox_busy bar_denied\n"
    "             fw_not_operational eyescope_slow coredump_segments mgmt_unknown_callback\n"
    "             mgmt_install_refused mgmt_callback_fails\n";

// Bytes of the crash dump a "crash" leaves in host memory.
constexpr uint32_t kCrashDumpBytes = 24576;

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "zeltsim: %s\n", message.c_str());
    return 1;
}

bool parse_number(const std::string& text, long long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoll(text.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0' && !text.empty();
}

// Reads a file the user names (links followed) into a buffer sized from the file, one
// copy of the bytes: a backup runs to tens of megabytes.
template <class Bytes>
bool read_file(const std::string& path, Bytes& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out.clear();
    struct stat st;
    if (::fstat(::fileno(f), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        out.resize(static_cast<size_t>(st.st_size));
    size_t have = std::fread(out.data(), 1, out.size(), f);
    // A file that grew meanwhile (or one fstat gave no size for) is read to its end.
    char chunk[65536];
    for (size_t n; have == out.size() && (n = std::fread(chunk, 1, sizeof chunk, f)) > 0; have += n)
        out.insert(out.end(), chunk, chunk + n);
    out.resize(have);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

// A backup as read, and where its bytes are.
struct BackupBytes {
    zelt::host::FileSnapshot snapshot;
    zelt::ByteBuffer buffer;
    std::span<const uint8_t> bytes() const { return snapshot.holds() ? snapshot.bytes() : std::span<const uint8_t>(buffer); }
};

// Reads a backup the way the tool reads a package: a private copy of it in an unnamed
// file of `place` (the directory the twin is made in), mapped; where no such copy can
// be made, straight into an uncleared buffer. A pipe or another file that is not
// regular is read as a stream.
bool read_backup(const std::string& path, const std::string& place, BackupBytes& out) {
    // A package's offsets are 32-bit: no backup is larger.
    constexpr uint64_t kLargestBackup = UINT32_MAX;
    zelt::host::LinuxHost host;
    switch (host.snapshot_regular_file(path, kLargestBackup, place, out.snapshot)) {
        case zelt::host::SnapshotMade::kOk: return true;
        case zelt::host::SnapshotMade::kNoPlace: break;
        case zelt::host::SnapshotMade::kNotRegular: return read_file(path, out.buffer);
        default: return false;
    }
    switch (host.read_regular_file(path, kLargestBackup, out.buffer)) {
        case zelt::host::FileRead::kOk: return true;
        case zelt::host::FileRead::kNotRegular: return read_file(path, out.buffer);
        default: return false;
    }
}

// The directory a host at `root` is made in.
std::string parent_directory(const std::string& root) {
    std::filesystem::path p = std::filesystem::absolute(root).lexically_normal();
    if (!p.has_filename()) p = p.parent_path();  // a trailing separator
    return p.parent_path().string();
}

// create <dir> --from-backup <backup.pkg> [--options <script>]: the rehearsal twin.
int cmd_create_twin(const std::vector<std::string>& args) {
    std::string backup_path, options_path;
    for (size_t i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--from-backup") backup_path = args[i + 1];
        else if (args[i] == "--options") options_path = args[i + 1];
        else return usage();
    }
    if (backup_path.empty() || args.size() % 2 == 0) return usage();
    BackupBytes backup;
    std::string script, error;
    if (!read_backup(backup_path, parent_directory(args[0]), backup)) return failure(backup_path + ": cannot be read");
    if (!options_path.empty() && !read_file(options_path, script)) return failure(options_path + ": cannot be read");
    switch (create_twin(args[0], backup.bytes(), script, error)) {
        case TwinResult::ok: return 0;
        case TwinResult::bad_backup: return failure(backup_path + ": " + error);
        case TwinResult::failed: break;
    }
    return failure(error);
}

int cmd_create(const std::vector<std::string>& args) {
    if (args.size() >= 3 && (args[1] == "--from-backup" || args[1] == "--options")) return cmd_create_twin(args);
    if (args.size() != 1 && !(args.size() == 3 && args[1] == "--config")) return usage();
    HostSetup setup;
    std::string error;
    if (args.size() == 3) {
        std::ifstream in(args[2]);
        if (!in) return failure(args[2] + ": cannot be read");
        std::stringstream ss;
        ss << in.rdbuf();
        nlohmann::json j = nlohmann::json::parse(ss.str(), nullptr, false);
        if (j.is_discarded()) return failure(args[2] + ": not JSON");
        if (!setup_from_json(j, setup, error)) return failure(args[2] + ": " + error);
    } else {
        setup = default_setup();
    }
    if (!create_host(args[0], std::move(setup), error)) return failure(error);
    return 0;
}

int cmd_show(const std::vector<std::string>& args) {
    if (args.empty()) return usage();
    ShowSelection what;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--adapters") what.adapters = true;
        else if (a == "--directory") what.directory = true;
        else if (a == "--options") what.options = true;
        else if (a == "--log") what.install_log = true;
        else if (a == "--faults") what.faults = true;
        else if (a == "--requests") what.requests = true;
        else if (a == "--chips") what.chips = true;
        else if (a == "--item" && i + 2 < args.size()) {
            long long index;
            if (!parse_number(args[i + 2], index) || index < 0 || index > 0xFFFF) return usage();
            what.item_adapter = args[i + 1];
            what.item_index = static_cast<int>(index);
            i += 2;
        } else {
            return usage();
        }
    }
    std::string error, out;
    auto session = SimSession::open(args[0], error);
    if (!session) return failure(error);
    if (!show_report(*session, what, out, error)) return failure(error);
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

// fault <dir> redundancy: the NVM redundancy status word the firmware reports.
int cmd_redundancy(SimSession& session, const std::vector<std::string>& args) {
    std::string adapter, error;
    long long word = -1;
    for (size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return usage();
        if (args[i] == "--adapter") adapter = args[i + 1];
        else if (args[i] != "--status" || !parse_number(args[i + 1], word) || word < 0 || word > 0xFFFFFFFFll)
            return usage();
    }
    if (word < 0) return usage();
    if (!set_redundancy_status(session, adapter, static_cast<uint32_t>(word), error)) return failure(error);
    if (!session.save(error)) return failure(error);
    return 0;
}

// bind <dir> <pci address>: the Ethernet driver takes the function again.
int cmd_bind(const std::vector<std::string>& args) {
    if (args.size() != 2) return usage();
    std::string error;
    auto session = SimSession::open(args[0], error);
    if (!session) return failure(error);
    if (!bind_ethernet_driver(session->host(), args[1], error)) return failure(error);
    session->description_changed();
    if (!session->save(error)) return failure(error);
    if (!render_host_tree(args[0], session->host(), error)) return failure(error);
    return 0;
}

int cmd_fault(const std::vector<std::string>& args) {
    if (args.size() < 2) return usage();
    std::string error;
    auto session = SimSession::open(args[0], error);
    if (!session) return failure(error);
    HostDesc& host = session->host();
    if (args[1] == "redundancy") return cmd_redundancy(*session, args);
    if (args[1] == "--clear") {
        if (args.size() != 2) return usage();
        host.faults.clear();
        session->state().fault_hits.clear();
    } else if (args[1] == "crash") {
        // The adapter's firmware crashed now: the driver holds a crash dump in host
        // memory and the firmware reports the time of the crash.
        if (args.size() != 4 || args[2] != "--adapter") return usage();
        if (!host.find_adapter(args[3])) return failure("no adapter named " + args[3]);
        AdapterState& st = session->state().adapters[args[3]];
        st.crash_dump_length = kCrashDumpBytes;
        st.crash_time = static_cast<uint32_t>(session->now_us() / 1000000u);
    } else if (args[1] == "brick") {
        // A failed flash: the adapter's NVM boot image no longer verifies.
        if (args.size() != 4 || args[2] != "--adapter") return usage();
        if (!brick_adapter(*session, args[3], error)) return failure(error);
    } else {
        FaultDesc f;
        f.kind = args[1];
        if (!is_known_fault(f.kind)) return failure("unknown fault kind '" + f.kind + "'");
        for (size_t i = 2; i < args.size(); i += 2) {
            if (i + 1 >= args.size()) return usage();
            const std::string& opt = args[i];
            const std::string& val = args[i + 1];
            long long n = 0;
            bool numeric = parse_number(val, n) && n >= 0;
            if (opt == "--adapter") f.adapter = val;
            else if (opt == "--function") f.function = val;
            else if (opt == "--req-type" && numeric && n <= 0xFFFF) f.req_type = static_cast<int>(n);
            else if (opt == "--error-code" && numeric && n <= 0xFFFF) f.error_code = static_cast<uint16_t>(n);
            else if (opt == "--cmd-err" && numeric && n <= 0xFF) f.cmd_err = static_cast<uint8_t>(n);
            else if (opt == "--errno" && numeric && n <= 4095) f.err_no = static_cast<int>(n);
            else if (opt == "--ethtool-cmd" && numeric && n <= 0xFFFF) f.ethtool_cmd = static_cast<int>(n);
            else if (opt == "--nth" && numeric && n <= 0xFFFFFF) f.nth = static_cast<unsigned>(n);
            else if (opt == "--value" && numeric && n <= 0xFFFFFFFF) f.value = static_cast<unsigned>(n);
            else if (opt == "--signal" && numeric && n <= 0xFF) f.signal = static_cast<int>(n);
            else if (opt == "--dir-type" && numeric && n <= 0xFFFF) f.dir_type = static_cast<int>(n);
            else return usage();
        }
        if (!check_fault(f, error)) return failure(error);
        if (!f.adapter.empty() && !host.find_adapter(f.adapter)) return failure("no adapter named " + f.adapter);
        if (is_structural_fault(f.kind)) {
            if (!apply_structural_fault(host, f, error)) return failure(error);
        } else {
            host.faults.push_back(f);
            session->state().fault_hits.resize(host.faults.size(), 0);
        }
    }
    session->description_changed();
    if (!session->save(error)) return failure(error);
    // Only a fault that changes the host itself changes its file tree; a scheduled one
    // is looked up on every request.
    const bool structural = args[1] != "--clear" && args[1] != "crash" && args[1] != "brick" &&
                            is_structural_fault(args[1]);
    if (structural && !render_host_tree(args[0], host, error)) return failure(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    std::string command = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "create") return cmd_create(args);
    if (command == "show") return cmd_show(args);
    if (command == "fault") return cmd_fault(args);
    if (command == "bind") return cmd_bind(args);
    if (command == "coredump-info") return args.size() == 1 ? coredump_info(args[0]) : usage();
    return usage();
}
