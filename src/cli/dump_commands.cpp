#include "cli/dump_commands.h"

#include <stdio.h>
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include "cli/device_queries.h"
#include "cli/report/command_report.h"
#include "common/hvxretval.h"
#include "device/discovery_lookup.h"
#include "device/dumps/core_dump.h"
#include "device/dumps/dsc_dump.h"
#include "device/function_queries.h"
#include "host/host.h"
#include "host/output_file.h"
#include "host/process.h"
#include "log/monitor.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

using zelt::cli::report::Json;
using zelt::cli::report::Report;

constexpr int kRcNotSupportedHere = 7;
constexpr int kRcNoDdrDump = 48;
// The PCI window was refused for lack of permission.
constexpr int kRcWindowPermission = 10;

formats::CoreDumpTime dump_time(const std::tm& t) {
    formats::CoreDumpTime out;
    out.year = static_cast<uint16_t>(t.tm_year + 1900);
    out.month = static_cast<uint16_t>(t.tm_mon + 1);
    out.day = static_cast<uint16_t>(t.tm_mday);
    out.hour = static_cast<uint16_t>(t.tm_hour);
    out.minute = static_cast<uint16_t>(t.tm_min);
    out.second = static_cast<uint16_t>(t.tm_sec);
    return out;
}

// "<host>_<yymmdd>_<hhmmss>_<pid>.<extension>" in the working directory.
std::string dump_file_name(const std::string& hostname, const std::tm& t, const char* extension) {
    char name[512];
    std::snprintf(name, sizeof name, "%s_%02u%02u%02u_%02u%02u%02u_%d.%s", hostname.c_str(),
                  static_cast<unsigned>(t.tm_year % 100), static_cast<unsigned>(t.tm_mon + 1),
                  static_cast<unsigned>(t.tm_mday), static_cast<unsigned>(t.tm_hour),
                  static_cast<unsigned>(t.tm_min), static_cast<unsigned>(t.tm_sec), host::process_id(), extension);
    return name;
}

// Writes `data` as the new file `name`. Nothing that already stands under the name
// (a file, a planted symbolic link) is followed, appended to or replaced.
int write_new_dump_file(host::Host& host, const std::string& name, std::span<const uint8_t> data) {
    host::OutputFile out;
    if (!out.open(host, name, 0600) || !out.write(data) || !out.commit_new()) {
        const int err = errno;
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to create a file %s\n", name.c_str());
        if (err == EEXIST)
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "A file or link named %s already exists; it was left untouched.\n", name.c_str());
        if (err == ENOSPC || err == EDQUOT) return HVXRETVAL_INSUFFICIENT_SPACE;
        return HVXRETVAL_FILE_OPEN_FAILURE;
    }
    return 0;
}

// The driver's own dump, in memory; nullopt when the driver gives none.
std::optional<std::vector<uint8_t>> driver_dump(const transport::Function& fn, bool crash) {
    char* buf = nullptr;
    size_t size = 0;
    FILE* mem = ::open_memstream(&buf, &size);
    if (!mem) return std::nullopt;
    // The channel closes the stream on every path; the buffer is ours afterwards.
    const Result rc = fn.channel->coredump(fn, mem, crash ? 1 : 0);
    std::unique_ptr<char, void (*)(void*)> owned(buf, std::free);
    if (!rc.ok() || size == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "The driver gives no dump (%d); taking it from the firmware.\n",
                      rc.code());
        return std::nullopt;
    }
    return std::vector<uint8_t>(buf, buf + size);
}

// "5.15.0-91-generic" gives 5 and 15.
void os_version(const std::string& release, uint32_t& major, uint32_t& minor) {
    unsigned a = 0, b = 0;
    if (std::sscanf(release.c_str(), "%u.%u", &a, &b) >= 1) {
        major = a;
        minor = b;
    }
}

Json segment_object(const device::CoreDumpSegmentReport& s) {
    Json o;
    o["component_id"] = s.header.component_id;
    o["segment_id"] = s.header.segment_id;
    o["status"] = static_cast<int32_t>(s.header.status);
    o["length"] = s.header.length;
    o["duration_ms"] = s.header.duration;
    return o;
}

int coredump(ParsedCommand& parsed, const CoredumpArgs& args, Report& r) {
    r.data()["ddr"] = args.ddr;
    r.data()["file"] = nullptr;
    const device::InventoryFunction* target = parsed.device;
    if (!target) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "specified device not found\n");
        return ZELT_RC_DEVICE_NOT_FOUND;
    }
    r.data()["device"] = report::function_object(*target);
    const int type = device::device_type_of(*target);
    if (type == 1) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command not supported on this Hardware.\n");
        return kRcNotSupportedHere;
    }
    if (!args.other.empty()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid coredump option \"%s\".\n", args.other.c_str());
        return kRcNotSupportedHere;
    }
    if (args.ddr && type < 8) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Coredump command doesn't support option \"ddr_dump\" on this Hardware.\n");
        return kRcNotSupportedHere;
    }
    if (const int mode = zeltnvm_check_device_mode(*target); mode != 0) return mode;
    const transport::Function& fn = target->function;
    if (args.ddr) {
        const auto available = device::crashdump_in_ddr_or_health(parsed.context->host, fn, type);
        if (!available.ok()) {
            const int code = available.result().code();
            if (code == HVXRETVAL_PCI_IOCTL_MMAP_PERMISSION_DENIED) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\nPermission denied to access the device resources.\n");
                return kRcWindowPermission;
            }
            if (code == HVXRETVAL_PCI_IOCTL_BAR0_MMAP_FAILED) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\nFailed to access the device resources.\n");
                return code;
            }
            if (code == ZELT_RC_BUSY) return code;
        }
        if (!available.ok() || !*available) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Coredump not available in ddr.\n");
            return kRcNoDdrDump;
        }
    }

    host::Host& host = parsed.context->host;
    const host::HostFacts facts = host.facts();
    const struct timeval started = host.now();
    const std::tm start_tm = host.local_time(started.tv_sec);
    const std::string name = dump_file_name(facts.hostname, start_tm, "core");
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "filename = %s\n", name.c_str());
    // Refused before any firmware work when the name is taken (a planted file or link).
    std::string link_target;
    if (host.exists(name) || host.read_link(name, link_target)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to create a file %s\n", name.c_str());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "A file or link named %s already exists; it was left untouched.\n", name.c_str());
        return HVXRETVAL_FILE_OPEN_FAILURE;
    }

    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "\nRetrieving CoreDump, please wait...");
    std::fflush(stdout);
    std::optional<std::vector<uint8_t>> bytes;
    device::CoreDump dump;
    {
        log::Monitor dots("Retrieving");
        bytes = driver_dump(fn, args.ddr);
        if (!bytes) {
            device::CoreDumpSetup setup;
            setup.system_name = facts.hostname;
            setup.os_name = "Linux";
            os_version(facts.kernel_release, setup.os_version_major, setup.os_version_minor);
            setup.start = dump_time(start_tm);
            setup.end_time = [&host] { return dump_time(host.local_time(host.now().tv_sec)); };
            setup.now_ms = [&host] {
                const struct timeval t = host.now();
                return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_usec) / 1000u;
            };
            dump = device::take_core_dump(fn, setup);
        }
    }
    r.data()["source"] = bytes ? "driver" : "firmware";
    Json segments = Json::array();
    for (const auto& s : dump.segments) segments.push_back(segment_object(s));
    r.data()["segments"] = segments;
    r.data()["total_segments"] = bytes ? Json(nullptr) : Json(dump.listed_segments + 1);
    r.data()["complete"] = bytes ? true : !dump.failed;
    r.data()["failures"] = dump.failures;

    const int written = write_new_dump_file(host, name, bytes ? *bytes : dump.file);
    if (written != 0) {
        if (written == HVXRETVAL_INSUFFICIENT_SPACE)
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "\n\nError: Insufficient memory in the system to generate coredump file");
        return written;
    }
    r.data()["file"] = name;
    const int rc = dump.result.code();
    if (rc == 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\n\nGenerated CoreDump file %s\n", name.c_str());
    } else if (rc == device::ZELTNVM_FW_NOT_RESPONDING) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\n\nError: Firmware not responding. Failed to retrieve coredump.");
    } else if (rc == HVXRETVAL_INSUFFICIENT_SPACE || rc == HVXRETVAL_MALLOC_FAILURE) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "\n\nError: Insufficient memory in the system to generate coredump file");
    }
    return rc;
}

constexpr unsigned kMaxLane = 65535;
constexpr int kRcBadLane = 16;

// A C integer literal (decimal, 0x hexadecimal or 0 octal) up to 65535, nothing after it.
std::optional<uint16_t> parse_lane(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > kMaxLane) return std::nullopt;
    return static_cast<uint16_t>(v);
}

int dscdump(ParsedCommand& parsed, const DscdumpArgs& args, Report& r) {
    r.data()["file"] = nullptr;
    const device::InventoryFunction* target = parsed.device;
    if (!target) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "specified device not found\n");
        return ZELT_RC_DEVICE_NOT_FOUND;
    }
    r.data()["device"] = report::function_object(*target);
    const std::optional<uint16_t> lane = parse_lane(args.lane);
    if (!lane) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid lane provided. Valid range is from 0 to %u\n", kMaxLane);
        return kRcBadLane;
    }
    std::optional<uint16_t> level;
    if (!args.level.empty()) {
        level = device::dsc_level_by_name(args.level);
        if (!level) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid diag level provided. Please run \"zeltnvm -dev=<interface name> dscdump -h\" for "
                          "valid syntax.");
            return HVXRETVAL_INVALID_PARAMETER_VALUE;
        }
    }
    r.data()["lane"] = *lane;
    r.data()["level"] = level ? Json(device::dsc_level_name(*level)) : Json(nullptr);

    host::Host& host = parsed.context->host;
    const host::HostFacts facts = host.facts();
    const std::string name = dump_file_name(facts.hostname, host.local_time(host.now().tv_sec), "dmp");
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: User provided diag_level = 0x%x\n", __func__,
                  level ? *level : 0xFFFFu);
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "\nNote : While the dscdump operation is running, FW does not service other commands that operate "
                  "on the PHY.\n       System logs may indicate command timeouts while the dscdump operation is in "
                  "progress.");
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "\nRetrieving DSC Dump, please wait...");
    std::fflush(stdout);
    device::DscDump dump;
    {
        log::Monitor dots("Retrieving");
        dump = device::take_dsc_dump(target->function, *lane, level);
    }
    Json levels = Json::array();
    for (const auto& o : dump.levels) {
        Json l;
        l["level"] = device::dsc_level_name(o.level);
        l["start"] = o.start;
        l["retrieve"] = o.retrieve;
        l["length"] = o.length;
        levels.push_back(l);
    }
    r.data()["levels"] = levels;
    r.data()["length"] = dump.data.size();

    if (!dump.data.empty()) {
        const int written = write_new_dump_file(host, name, dump.data);
        if (written != 0) return written;
        r.data()["file"] = name;
    }
    switch (dump.result) {
        case 0:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\n\nGenerated DSC Dump file %s\n", name.c_str());
            break;
        case HVXRETVAL_FAILURE:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\n\nFirmware doesn't support dscdump on this hardware.");
            break;
        case HVXRETVAL_UNSUPPORTED_PLATFORM:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\n\nCommand not supported on this Platform.");
            break;
        case device::ZELTNVM_DSC_BAD_LANE:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "\n\nInvalid lane number provided. Given lane number is not supported by hardware.");
            break;
        case device::ZELTNVM_DSC_BUSY:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Firmware is unable to service the request at the present time. Please retry the command.");
            break;
        default: zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\n\nError: Failed to retrieve DSC Dump."); break;
    }
    return dump.result;
}

}  // namespace

DscdumpArgs DscdumpArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    DscdumpArgs args;
    std::vector<std::string> words;
    for (const std::string& w : parsed.args)
        if (!w.empty() && w[0] != '-') words.push_back(w);
    if (!words.empty()) args.lane = words[0];
    if (words.size() > 1) args.level = words[1];
    return args;
}

report::Report zeltnvm_dscdump_command(ParsedCommand& parsed, const DscdumpArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(dscdump(parsed, args, r));
}

CoredumpArgs CoredumpArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    CoredumpArgs args;
    for (const std::string& word : parsed.args) {
        if (strcasecmp(word.c_str(), "ddr") == 0)
            args.ddr = true;
        else if (!word.empty() && word[0] != '-')
            args.other = word;
    }
    return args;
}

report::Report zeltnvm_coredump_command(ParsedCommand& parsed, const CoredumpArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(coredump(parsed, args, r));
}

}  // namespace zelt::cli
