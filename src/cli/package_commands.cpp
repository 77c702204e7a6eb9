#include "cli/package_commands.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "cli/command_registry.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "host/host.h"
#include "cli/report/command_report.h"
#include "log/print.h"
#include "package/item_check.h"
#include "package/package_checks.h"
#include "package/package_properties.h"
#include "package/package_reader.h"
#include "package/package_text.h"
#include "package/package_view.h"
#include "package/pldm_wrapper.h"

namespace zelt::cli {

// ---- Reading and writing package files ---------------------------------------------

namespace {

// Package lengths and offsets are 32-bit and every package file is read here, so
// this is the one size limit: a file of 4 GiB or more is refused before any of it is
// read (its length would not fit the 32 bits it is later handed on in).
constexpr uint64_t kLargestPackageFile = UINT32_MAX;

}  // namespace

int32_t zelpkgReadFile(zelt::host::Host& host, const char* file, zelt::ByteBuffer& data) {
    data.clear();
    if (file == nullptr) return HVXRETVAL_FILE_OPEN_FAILURE;
    using zelt::host::FileRead;
    switch (host.read_regular_file(file, kLargestPackageFile, data)) {
        case FileRead::kOk: break;
        case FileRead::kOpenFailed: return HVXRETVAL_FILE_OPEN_FAILURE;
        case FileRead::kNotRegular: {
            const int err = errno;
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: not a regular file\n", file);
            errno = err;
            return HVXRETVAL_FILE_OPEN_FAILURE;
        }
        case FileRead::kTooLarge: {
            const int err = errno;
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s: larger than the largest package (4 GiB)\n", file);
            errno = err;
            return HVXRETVAL_FILE_OPEN_FAILURE;
        }
        case FileRead::kNoMemory: return HVXRETVAL_MALLOC_FAILURE;
        case FileRead::kReadFailed: return HVXRETVAL_FILE_READ_FAILURE;
    }
    if (data.empty()) return HVXRETVAL_INVALID_LENGTH;
    return HVXRETVAL_SUCCESS;
}

int32_t zelpkgReadPackage(zelt::host::Host& host, const char* file, zelt::ByteBuffer& data) {
    const int32_t rc = zelpkgReadFile(host, file, data);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    return zelpkgLoadPackage(data);
}

zelpkg_file_output::~zelpkg_file_output() { close(); }

bool zelpkg_file_output::truncate() {
    if (file_ == nullptr) return false;
    std::fflush(file_);
    if (ftruncate(fileno(file_), 0) != 0) return false;
    return std::fseek(file_, 0, SEEK_SET) == 0;
}

bool zelpkg_file_output::write(const void* data, size_t size) {
    return file_ != nullptr && std::fwrite(data, 1, size, file_) == size;
}

bool zelpkg_file_output::skip(size_t size) {
    return file_ != nullptr && std::fseek(file_, static_cast<long>(size), SEEK_CUR) == 0;
}

uint64_t zelpkg_file_output::position() {
    if (file_ == nullptr) return 0;
    const long p = std::ftell(file_);
    return p < 0 ? 0 : static_cast<uint64_t>(p);
}

bool zelpkg_file_output::close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

// ---- Configuration packages --------------------------------------------------------

int is_cfg_pkg(int device_type, std::span<const uint8_t> pkg, bool recovery, bool force) {
    const ConfigPackageResult r =
        zelpkgClassifyConfigPackage(pkg.data(), pkg.size(), device_type, recovery, force);
    if (r.system_cfg_backup)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      "%s: Item count %d of the pkg file. Mostly its a backup cfg from zeltnvm.\n", "is_cfg_pkg",
                      static_cast<int>(r.item_count));
    return r.is_config ? 1 : 0;
}

// ---- Commands on package files -------------------------------------------------------

namespace {

using zelt::cli::report::Json;
using zelt::cli::report::Report;

// What one package file command shows: the file's object in the report and the text.
struct FileOut {
    Report& report;
    Json& file;
    void text(const std::string& text) { report.text_raw(ZELT_LOC_CONSOLE, text); }
};

Json text_or_null(const std::string& s) { return s.empty() ? Json(nullptr) : Json(s); }

std::string zelt_hex8(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08X", v);
    return b;
}

std::string hex4(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%04x", v & 0xFFFF);
    return b;
}

// A text property up to 255 bytes, or "" when absent.
std::string text_property(const zelt::ByteBuffer& pkg, uint8_t id) {
    char value[256] = {};
    if (zelpkgGetProperty(pkg.data(), pkg.size(), id, value, sizeof(value) - 1) < 0) return "";
    return value;
}

uint16_t u16_property(const zelt::ByteBuffer& pkg, uint8_t id, uint16_t fallback) {
    uint8_t v[2] = {};
    if (zelpkgGetProperty(pkg.data(), pkg.size(), id, v, sizeof(v)) < 0) return fallback;
    return static_cast<uint16_t>(v[0] | (v[1] << 8));
}

int devid(const zelt::ByteBuffer& pkg, const PackageFileArgs& o, FileOut out) {
    const uint16_t subsys_vendor = u16_property(pkg, ZELPKG_PROP_SUBSYS_VENDOR, ZELT_PCI_VENDOR_ID);
    const uint16_t subsys = u16_property(pkg, ZELPKG_PROP_SUBSYS_ID, 0xFFFF);
    const uint8_t* ids = nullptr;
    const int32_t len = zelpkgGetPropertyPtr(pkg.data(), pkg.size(), ZELPKG_PROP_DEVICE_IDS, &ids);
    std::string text;
    Json targets = Json::array();
    for (int32_t i = 0; i + 1 < len; i += 2) {
        Json target = Json::object();
        target["vendor_id"] = hex4(ZELT_PCI_VENDOR_ID);
        target["device_id"] = hex4(static_cast<unsigned>(ids[i] | (ids[i + 1] << 8)));
        target["subsys_vendor_id"] = subsys != 0xFFFF ? Json(hex4(subsys_vendor)) : Json(nullptr);
        target["subsys_id"] = subsys != 0xFFFF ? Json(hex4(subsys)) : Json(nullptr);
        targets.push_back(std::move(target));
        char line[64];
        std::snprintf(line, sizeof(line), "%s%04x:%04x", o.tab ? "" : "Target PCI-ID: ", ZELT_PCI_VENDOR_ID,
                      static_cast<unsigned>(ids[i] | (ids[i + 1] << 8)));
        text += line;
        if (subsys != 0xFFFF) {
            std::snprintf(line, sizeof(line), ":%04x:%04x", subsys_vendor, subsys);
            text += line;
        }
        text += '\n';
    }
    out.file["targets"] = std::move(targets);
    out.text(text);
    return HVXRETVAL_SUCCESS;
}

// The package's own properties as the JSON form shows them.
void package_properties(const zelt::ByteBuffer& pkg, Json& file) {
    std::string stamp = text_property(pkg, ZELPKG_PROP_UPDATED_ON);
    if (stamp.empty()) stamp = text_property(pkg, ZELPKG_PROP_CREATED_ON);
    uint32_t sum = 0;
    std::string checksum;
    if (zelpkgGetChecksum(pkg.data(), pkg.size(), &sum) == HVXRETVAL_SUCCESS) {
        char hex[16];
        std::snprintf(hex, sizeof(hex), "%08X", sum);
        checksum = hex;
    }
    file["package_version"] = text_or_null(text_property(pkg, ZELPKG_PROP_PKG_VERSION));
    file["timestamp"] = text_or_null(stamp);
    file["checksum"] = text_or_null(checksum);
    file["description"] = text_or_null(text_property(pkg, ZELPKG_PROP_PKG_DESCRIPTION));
}

int pkgver(const zelt::ByteBuffer& pkg, const PackageFileArgs& o, FileOut out) {
    package_properties(pkg, out.file);
    auto or_na = [](const std::string& s) { return s.empty() ? std::string("N/A") : s; };
    const std::string version = text_property(pkg, ZELPKG_PROP_PKG_VERSION);
    const std::string description = text_property(pkg, ZELPKG_PROP_PKG_DESCRIPTION);
    std::string stamp = text_property(pkg, ZELPKG_PROP_UPDATED_ON);
    if (stamp.empty()) stamp = text_property(pkg, ZELPKG_PROP_CREATED_ON);
    std::string checksum;
    uint32_t sum = 0;
    if (zelpkgGetChecksum(pkg.data(), pkg.size(), &sum) == HVXRETVAL_SUCCESS) {
        char hex[16];
        std::snprintf(hex, sizeof(hex), "%08X", sum);
        checksum = hex;
    }
    std::string line = (o.tab ? "" : "Package version: ") + or_na(version);
    const struct {
        unsigned level;
        const char* label;
        const std::string& value;
    } fields[] = {{1, ", Timestamp: ", stamp}, {2, ", Checksum: ", checksum}, {3, ", Description: ", description}};
    for (const auto& f : fields)
        if (o.verbosity >= f.level) line += (o.tab ? "\t" : f.label) + or_na(f.value);
    out.text(line + "\n");
    return HVXRETVAL_SUCCESS;
}

int verify(const zelt::ByteBuffer& pkg, FileOut out) {
    int32_t index = -1;
    const int32_t rc = zelpkgVerify(pkg.data(), pkg.size(), &index);
    out.file["verified"] = rc == HVXRETVAL_SUCCESS;
    out.file["failing_item"] = rc != HVXRETVAL_SUCCESS && index >= 0 ? Json(index + 1) : Json(nullptr);
    if (rc == HVXRETVAL_SUCCESS) {
        out.text("Package verification successful\n");
    } else if (index < 0) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Package verification error: %s\n",
                      zelpkgResultDesc(rc).c_str());
    } else {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Packaged item #%d verification error: %s\n", index + 1,
                      zelpkgResultDesc(rc).c_str());
    }
    return rc;
}

int list_items(const zelt::ByteBuffer& pkg, const PackageFileArgs& o, Json* items, std::string* text);

// The JSON form of view carries the package's properties and its items.
int view(const zelt::ByteBuffer& pkg, const PackageFileArgs& o, FileOut out) {
    std::string text;
    const int32_t rc = zelpkgView(pkg.data(), pkg.size(), o.type, o.verbosity, text);
    package_properties(pkg, out.file);
    Json items = Json::array();
    if (list_items(pkg, o, &items, nullptr) == HVXRETVAL_SUCCESS) out.file["items"] = std::move(items);
    out.text(text);
    return rc;
}

// The item's primary version and one secondary version per verbosity level, joined by
// ", " and stopping at the first that does not exist.
std::string item_versions(const zelt::ByteBuffer& pkg, const zelnvm_directory_entry_t& e, unsigned verbosity) {
    if (!zelpkgItemDataInBounds(pkg.data(), pkg.size(), e)) return "";
    const uint8_t* data = pkg.data() + e.item_location;
    std::string joined, v;
    for (unsigned selector = 0; selector <= verbosity; ++selector) {
        if (zelt::pkg::item_version_text(e.type, data, e.data_length, static_cast<int>(selector), e.attr, v) !=
            HVXRETVAL_SUCCESS)
            break;
        if (selector > 0) joined += ", ";
        joined += v;
    }
    return joined;
}

// The item table of list: its text (unless `text` is nullptr) and its rows (unless
// `items` is nullptr).
int list_items(const zelt::ByteBuffer& pkg, const PackageFileArgs& o, Json* items_out, std::string* text_out) {
    constexpr uint32_t kMaxListItems = 100;
    uint32_t count = 0;
    int32_t rc = zelpkgGetItemCount(pkg.data(), pkg.size(), &count);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    std::vector<zelpkg_manifest_item_t> items(kMaxListItems);
    const int32_t n = zelpkgGetItems(pkg.data(), pkg.size(), kMaxListItems, items.data());
    if (n < 0) return n;

    const int type_width = 12;
    const int version_width = o.verbosity >= 1 ? 40 : 16;
    std::string text;
    Json rows = Json::array();
    char buf[512];
    if (!o.tab) {
        std::snprintf(buf, sizeof(buf), "item %-*s ord.ext    data/length  attr %-*s", type_width, "type", version_width,
                      "version");
        text += buf;
        if (o.verbosity >= 2) text += "  chksum ";
        if (o.verbosity >= 1) text += " install_directive    item_description";
        text += '\n';
    }
    unsigned long data_total = 0, item_total = 0;
    for (int32_t i = 0; i < n; ++i) {
        const zelpkg_manifest_item_t& item = items[static_cast<size_t>(i)];
        const zelnvm_directory_entry_t& e = item.direntry;
        if (o.type != 0 && o.type != -1 && e.type != static_cast<unsigned>(o.type)) continue;
        if (o.numeric) {
            std::snprintf(buf, sizeof(buf), o.tab ? "%u" : "%-4u", e.type);
        } else {
            const char* name = zeltnvmDirectoryTypeName(e.type);
            char unnamed[16];
            std::snprintf(unnamed, sizeof(unnamed), "<%u>", e.type);
            // The item number and the padded name lead the row with -tab too.
            std::snprintf(buf, sizeof(buf), "%4u %-*s ", static_cast<unsigned>(i + 1), type_width,
                          name ? name : unnamed);
        }
        text += buf;
        const std::string versions = item_versions(pkg, e, o.verbosity);
        std::snprintf(buf, sizeof(buf), o.tab ? "\t%d\t%hX\t%u\t%u\t%hX" : " %3d.%-4hX%7u/%-7u %04hX", e.ordinal, e.ext,
                      e.data_length, e.item_length, e.attr);
        text += buf;
        if (o.tab)
            std::snprintf(buf, sizeof(buf), "\t%s", versions.c_str());
        else
            std::snprintf(buf, sizeof(buf), " %-*.*s", version_width, version_width, versions.c_str());
        text += buf;
        if (o.verbosity >= 2) {
            std::snprintf(buf, sizeof(buf), "%s%08X", o.tab ? "\t" : " ", e.data_chksum);
            text += buf;
        }
        if (o.verbosity >= 1) {
            const char* directive = zelpkgDirectiveName(item.metadata.directive);
            char description[sizeof(item.metadata.description) + 1] = {};
            std::memcpy(description, item.metadata.description, sizeof(item.metadata.description));
            std::snprintf(buf, sizeof(buf), o.tab ? "\t%s\t%s" : " %-20s %s", directive ? directive : "", description);
            text += buf;
        }
        text += '\n';
        data_total += e.data_length;
        item_total += e.item_length;
        {
            const char* name = zeltnvmDirectoryTypeName(e.type);
            const char* directive = zelpkgDirectiveName(item.metadata.directive);
            char description[sizeof(item.metadata.description) + 1] = {};
            std::memcpy(description, item.metadata.description, sizeof(item.metadata.description));
            Json row = Json::object();
            row["item"] = i + 1;
            row["type"] = e.type;
            row["type_name"] = name ? Json(name) : Json(nullptr);
            row["ordinal"] = e.ordinal;
            row["ext"] = e.ext;
            row["data_length"] = e.data_length;
            row["item_length"] = e.item_length;
            row["attr"] = e.attr;
            row["versions"] = versions;
            row["checksum"] = zelt_hex8(e.data_chksum);
            row["directive"] = directive ? Json(directive) : Json(nullptr);
            row["description"] = description;
            rows.push_back(std::move(row));
        }
    }
    if (o.totals) {
        // The dash rule stands above the sums in either layout.
        std::snprintf(buf, sizeof(buf), "%26s%.15s\n", "", "---------------");
        text += buf;
        std::snprintf(buf, sizeof(buf), o.tab ? "%lu\t%lu\n" : "%33lu/%lu\n", data_total, item_total);
        text += buf;
    }
    if (items_out) *items_out = std::move(rows);
    if (text_out) *text_out = std::move(text);
    (void)data_total;
    return HVXRETVAL_SUCCESS;
}

int list(const zelt::ByteBuffer& pkg, const PackageFileArgs& o, FileOut out) {
    std::string text;
    Json items = Json::array();
    const int rc = list_items(pkg, o, &items, &text);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    unsigned long data_total = 0, item_total = 0;
    for (const Json& row : items) {
        data_total += row["data_length"].get<unsigned long>();
        item_total += row["item_length"].get<unsigned long>();
    }
    out.file["items"] = std::move(items);
    if (o.totals) out.file["totals"] = Json{{"data_length", data_total}, {"item_length", item_total}};
    out.text(text);
    return HVXRETVAL_SUCCESS;
}

}  // namespace

int invoke_package_command(zelt::host::Host& host, const char* file, int command, const PackageFileArgs& o, Report& report,
                           Json& file_object) {
    FileOut out{report, file_object};
    zelt::ByteBuffer pkg;
    const int32_t rc = zelpkgReadPackage(host, file, pkg);
    if (rc != HVXRETVAL_SUCCESS) {
        if (o.verbosity > 0)
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Package '%s' read error: %s\n", file,
                          zelpkgResultDesc(rc).c_str());
        return rc < -99 ? rc : HVXRETVAL_UNSUPPORTED_FILE_TYPE;
    }
    switch (command) {
        case CMD_DEVID: return devid(pkg, o, out);
        case CMD_PKGVER: return pkgver(pkg, o, out);
        case CMD_VERIFY: return verify(pkg, out);
        case CMD_VIEW: return view(pkg, o, out);
        case CMD_LIST: return list(pkg, o, out);
        default:
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "!Package file not supported as target of this command\n");
            return HVXRETVAL_FAILURE;
    }
}

int invoke_package_commands(zelt::host::Host& host, char** files, int count, int command, const PackageFileArgs& args, Report& report) {
    Json& list = report.data()["files"];
    if (!list.is_array()) list = Json::array();
    int rc = 0;
    for (int i = 0; i < count; ++i) {
        // Every file after the first is set off by "---".
        if (i > 0) report.text(ZELT_LOC_CONSOLE, "---\n");
        report.text(ZELT_LOC_CONSOLE, "%s%s\n", args.tab ? "" : "Package File: ", files[i]);
        errno = 0;
        Json file = Json::object();
        file["file"] = files[i];
        rc = invoke_package_command(host, files[i], command, args, report, file);
        file["result"] = zelt::cli::report::result_object(zelt::Result::from_code(rc));
        list.push_back(std::move(file));
        if (rc == 0) continue;
        const int err = errno;
        const char* word = command >= 0 && command < ZELT_CMD_COUNT ? zelt::cli::command_word(command) : "?";
        std::string line = std::string("Command '") + word + "' error: " + zelpkgResultDesc(rc);
        if (args.verbosity > 0 || rc < -99)
            line += " (errno: " + std::to_string(err) + ", " + std::strerror(err) + ")";
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "%s\n", line.c_str());
        if (!args.cont) break;
    }
    return rc;
}

PackageFileArgs PackageFileArgs::from(const zelt::cli::ScanOptions& scan, const zelt::cli::ParsedCommand&) {
    return {.verbosity = scan.verbosity,
            .tab = scan.tab,
            .numeric = scan.numeric,
            .totals = scan.totals,
            .cont = scan.cont,
            .type = scan.type};
}

Report package_files_command(zelt::cli::ParsedCommand& parsed, const PackageFileArgs& args) {
    Report r = zelt::cli::report::open_report(parsed);
    std::vector<char*> files;
    files.reserve(parsed.files.size());
    for (auto& f : parsed.files) files.push_back(f.data());
    return r.ends(invoke_package_commands(parsed.context->host, files.data(), static_cast<int>(files.size()), parsed.command, args, r));
}

}  // namespace zelt::cli
