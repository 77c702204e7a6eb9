#include "sim/create/host_setup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "sim/create/recovery_images.h"
#include "sim/factory/factory_content.h"
#include "sim/faults/faults.h"
#include "sim/state/sim_files.h"
#include "sim/state/sim_store.h"
#include "sim/tree/host_tree.h"

namespace zelt::sim {

using nlohmann::json;

namespace {

bool read_initial_state(const json& aj, AdapterState& st, std::string& error) {
    try {
        st.temperature = static_cast<int8_t>(aj.value("temperature", 52));
        st.fw_status = aj.value("fw_status", 0u);
        st.temperature_flags = aj.value("temperature_flags", uint8_t{0});
        st.option_action_status = aj.value("option_action_status", uint8_t{0});
        st.crash_dump_length = aj.value("crash_dump_length", 0u);
        st.live_dump_length = aj.value("live_dump_length", 0u);
        if (aj.contains("options")) {
            for (const auto& o : aj.at("options")) {
                uint32_t num = o.at("num").get<uint32_t>();
                OptionIndex idx;
                if (o.contains("index")) {
                    const json& i = o.at("index");
                    if (!OptionIndex::parse(i.is_string() ? i.get<std::string>() : std::to_string(i.get<unsigned>()), idx))
                        throw std::invalid_argument("bad option index");
                }
                uint16_t bits = o.value("bits", uint16_t{8});
                if (bits == 0 || bits > 64 * 8) throw std::invalid_argument("bad option width");
                uint64_t value = o.value("value", uint64_t{0});
                std::vector<uint8_t> bytes((bits + 7u) / 8u, 0);
                for (size_t k = 0; k < bytes.size() && k < 8; ++k) bytes[k] = static_cast<uint8_t>(value >> (8 * k));
                OptionVar& var = st.options[num];
                var.bits = bits;
                var.values[idx] = bytes;
            }
        }
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

// The erased bytes the adapter's flash file was given beforehand (as many as it holds now).
uint64_t erased_already(const std::string& path, const AdapterDesc& a, const HostSetup& setup) {
    const auto given = setup.erased_flash.find(a.name);
    struct stat st;
    if (given == setup.erased_flash.end() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return std::min<uint64_t>(given->second, static_cast<uint64_t>(st.st_size));
}

bool write_flash_image(const std::string& path, const AdapterDesc& a, const HostSetup& setup, std::string& error) {
    const auto given = setup.nvm_items.find(a.name);
    if (given != setup.nvm_items.end())
        return write_flash_file(path, a.nvm_size, given->second, erased_already(path, a, setup), a.name, error);
    std::vector<FactoryItem> built;
    if (factory_items(a, built, error) != 0) {
        error = a.name + ": building the factory content failed: " + error;
        return false;
    }
    std::vector<NvmItem> items;
    items.reserve(built.size());
    for (const FactoryItem& f : built) items.push_back({f.type, f.ordinal, f.ext, f.attr, f.item_length, f.data, {}, {}});
    return write_flash_file(path, a.nvm_size, items, 0, a.name, error);
}

}  // namespace

bool setup_from_json(const json& j, HostSetup& setup, std::string& error) {
    HostSetup s;
    if (!host_from_json(j, s.host, error)) return false;
    if (j.contains("adapters")) {
        size_t i = 0;
        for (const auto& aj : j.at("adapters")) {
            if (!read_initial_state(aj, s.initial[s.host.adapters[i].name], error)) return false;
            ++i;
        }
    }
    for (const auto& f : s.host.faults)
        if (!check_fault(f, error)) return false;
    setup = std::move(s);
    return true;
}

HostSetup default_setup() {
    HostSetup s;
    s.host = default_host();
    return s;
}

namespace {

// The entries of the root and of its sim/ directory (not through a link), by path.
std::vector<std::filesystem::path> host_entries(const std::string& root) {
    namespace fs = std::filesystem;
    std::vector<fs::path> entries;
    std::error_code ec;
    for (const fs::path& dir : {fs::path(root), fs::path(root) / "sim"}) {
        if (!fs::is_directory(fs::symlink_status(dir, ec))) continue;
        for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
    }
    return entries;
}

}  // namespace

NewHostDir::NewHostDir(std::string root) : root_(std::move(root)) {
    std::error_code ec;
    existed_ = std::filesystem::exists(std::filesystem::symlink_status(root_, ec));
    if (existed_)
        for (const auto& p : host_entries(root_)) before_.insert(p.string());
}

NewHostDir::~NewHostDir() {
    if (kept_) return;
    std::error_code ec;
    if (!existed_) {
        std::filesystem::remove_all(root_, ec);
        return;
    }
    for (const auto& p : host_entries(root_))
        if (!before_.count(p.string())) std::filesystem::remove_all(p, ec);
}

bool create_host(const std::string& root, HostSetup setup, std::string& error) {
    namespace fs = std::filesystem;
    SimPaths paths{root};
    std::error_code ec;
    if (fs::exists(paths.description(), ec)) {
        error = root + " already holds a simulated host";
        return false;
    }
    NewHostDir made(root);
    fs::create_directories(paths.dir(), ec);
    if (ec) {
        error = paths.dir() + ": " + ec.message();
        return false;
    }
    HostDesc& host = setup.host;
    std::vector<FaultDesc> scheduled;
    for (const auto& f : host.faults) {
        if (!is_structural_fault(f.kind)) {
            scheduled.push_back(f);
        } else if (!apply_structural_fault(host, f, error)) {
            return false;
        }
    }
    host.faults = scheduled;

    // The flash files (the bulk of the bytes, and the signing of the factory content)
    // are written on a second thread while this one makes the file tree, the recovery
    // images and the state. A failure of the flash files is reported first, as one
    // of theirs stops the creation before the rest is made.
    std::string flash_error;
    bool flash_written = true;
    std::jthread flash_writer([&] {
        try {
            for (const auto& a : host.adapters)
                if (!(flash_written = write_flash_image(paths.flash(a.name), a, setup, flash_error))) return;
        } catch (const std::exception& e) {
            flash_written = false;
            flash_error = std::string("writing the flash images failed: ") + e.what();
        }
    });
    RuntimeState state;
    for (const auto& a : host.adapters) {
        AdapterState st = setup.initial.count(a.name) ? setup.initial[a.name] : AdapterState{};
        st.running_fw_version = a.fw_version;
        st.running_pkg_version = a.pkg_version;
        state.adapters[a.name] = st;
    }
    state.fault_hits.assign(host.faults.size(), 0);
    const bool rest_written = render_host_tree(root, host, error) && write_recovery_images(root, host, error) &&
                              write_file_atomic(paths.state(), to_json(state).dump(1) + "\n", error);
    flash_writer.join();
    if (!flash_written) {
        error = flash_error;
        return false;
    }
    if (!rest_written) return false;
    // The description goes last: its presence marks a complete host.
    if (!write_file_atomic(paths.description(), to_json(host).dump(2) + "\n", error)) return false;
    made.keep();
    return true;
}

}  // namespace zelt::sim
