#include "cli/backup/backup_command.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <ctime>
#include <new>

#include "cli/report/command_report.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/function_queries.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/package_log.h"
#include "formats/image/verify_item.h"
#include "host/output_file.h"
#include "log/print.h"
#include "package/package_properties.h"
#include "package/package_writer.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;
using transport::Function;

// Only the first entries of the directory are backed up.
constexpr size_t kBackupMaxEntries = 100;
// Bytes of the property stream every backup carries.
constexpr uint32_t kBackupStreamLength = 512;
// Device types from this one on keep a system configuration item of their own.
constexpr int kFirstSystemCfgDeviceType = 8;
// Options holding the two further device ids the adapter's image may run as.
constexpr uint16_t kOptTargetDeviceId1 = 651;
constexpr uint16_t kOptTargetDeviceId2 = 652;

constexpr int kRcCfgNotSupported = 2;
constexpr int kRcInvalidParameter = 15;

// Property ids of the stream.
constexpr uint8_t kPropDescription = 1;
constexpr uint8_t kPropDeviceIds = 2;
constexpr uint8_t kPropCreatedBy = 5;
constexpr uint8_t kPropCreatedOn = 6;
constexpr uint8_t kPropPackageVersion = 9;
constexpr uint8_t kPropSubsystemVendor = 10;
constexpr uint8_t kPropSubsystemId = 11;
constexpr uint8_t kPropCreatedWith = 12;

constexpr const char* kFailed = "Failed to Backup NVM contents\n";

void put_u16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put_text(uint8_t* stream, uint8_t id, const std::string& text) {
    zelpkgPutProperty(stream, kBackupStreamLength, id, text.data(), text.size());
}

// The two further device ids (options 651 and 652). 0, or the failed option read's result.
int target_device_ids(const Function& fn, uint16_t ids[2]) {
    const uint16_t options[2] = {kOptTargetDeviceId1, kOptTargetDeviceId2};
    for (int i = 0; i < 2; ++i) {
        auto value = device::option_value(fn, options[i], 2);
        if (!value.ok() || value.value().size() < 2) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to get NVM cfg %d\n", options[i]);
            return value.ok() ? HVXRETVAL_FAILURE : value.result().code();
        }
        ids[i] = static_cast<uint16_t>(value.value()[0] | (value.value()[1] << 8));
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "NVM cfg %d = 0x%x\n", options[i], ids[i]);
    }
    return 0;
}

std::string utc_text(host::Host& host) {
    const time_t seconds = host.now().tv_sec;
    struct tm tm {};
    gmtime_r(&seconds, &tm);
    char b[32];
    std::snprintf(b, sizeof b, "%04u-%02u-%02u %02u:%02u:%02uZ", static_cast<unsigned>(tm.tm_year + 1900),
                  static_cast<unsigned>(tm.tm_mon + 1), static_cast<unsigned>(tm.tm_mday),
                  static_cast<unsigned>(tm.tm_hour), static_cast<unsigned>(tm.tm_min),
                  static_cast<unsigned>(tm.tm_sec));
    return b;
}

// The property stream of a backup of `target`.
std::vector<uint8_t> backup_properties(ParsedCommand& parsed, const device::InventoryFunction& target) {
    std::vector<uint8_t> stream(kBackupStreamLength, 0);
    const Function& fn = target.function;
    const auto& pci = target.facts.pci_info;

    std::string log_description;
    std::string log_version;
    if (auto log = device::read_whole_item(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0); log.ok()) {
        const auto& bytes = log.value();
        zeltnvmPackageLogField(ZEL_PKG_LOG_FIELD_IDX_PKG_DESCRIPTION, bytes.data(), bytes.size(), &log_description);
        zeltnvmPackageLogField(ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION, bytes.data(), bytes.size(), &log_version);
    }
    if (!log_description.empty()) put_text(stream.data(), kPropDescription, log_description);

    std::vector<uint8_t> ids;
    put_u16(ids, pci.device_id);
    uint16_t targets[2] = {};
    if (target_device_ids(fn, targets) == 0) {
        put_u16(ids, targets[0]);
        put_u16(ids, targets[1]);
    }
    zelpkgPutProperty(stream.data(), kBackupStreamLength, kPropDeviceIds, ids.data(), ids.size());

    std::vector<uint8_t> sub;
    put_u16(sub, pci.sub_system_vendor_id);
    zelpkgPutProperty(stream.data(), kBackupStreamLength, kPropSubsystemVendor, sub.data(), sub.size());
    sub.clear();
    put_u16(sub, pci.sub_system_device_id);
    zelpkgPutProperty(stream.data(), kBackupStreamLength, kPropSubsystemId, sub.data(), sub.size());

    if (const char* user = std::getenv("USER"); user && *user) put_text(stream.data(), kPropCreatedBy, user);
    put_text(stream.data(), kPropCreatedOn, utc_text(parsed.context->host));
    put_text(stream.data(), kPropCreatedWith, parsed.context->tool_identification);

    char installed[64] = {};
    std::string version;
    if (transport::zeltnvm_linux_GetInstalledPackageVersion(fn, installed, sizeof installed).ok()) version = installed;
    if (version.empty()) version = log_version;
    if (!version.empty()) put_text(stream.data(), kPropPackageVersion, version);
    return stream;
}

// One kept item: its record and its data (empty for the staging item).
struct BackupItem {
    zelpkg_manifest_item_t record{};
    std::vector<uint8_t> data;
};

// Reads and checks the kept items of the directory. 0 or the failing step's result.
int read_backup_items(const Function& fn, const std::vector<zelnvm_directory_entry_t>& directory, BackupKind kind,
                      const BackupArgs& args, std::vector<BackupItem>& items) {
    const size_t count = std::min(directory.size(), kBackupMaxEntries);
    for (size_t index = 0; index < count; ++index) {
        const zelnvm_directory_entry_t& entry = directory[index];
        if (!backup_keeps_entry(entry, kind, args.all)) continue;
        BackupItem item;
        item.record.direntry = entry;
        const bool staging = entry.type == ZEL_DIR_TYPE_UPDATE;
        if (staging) {
            item.record.direntry.data_length = 0;
            item.record.direntry.data_chksum = 0;
        }
        if (!staging && entry.type != 0 && entry.data_length > 0) {
            try {
                item.data.resize(entry.data_length);
            } catch (const std::bad_alloc&) {
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to allocate %u bytes for item %u\n",
                              entry.data_length, static_cast<unsigned>(index));
                zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, kFailed);
                return HVXRETVAL_MALLOC_FAILURE;
            }
            const Result read = device::zeltnvm_linux_GetItem(fn, static_cast<uint32_t>(index), 0, item.data.data(),
                                                              entry.data_length);
            if (!read.ok()) {
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "zeltnvmGetItem(%u, %p, %u) returned %d for type %d\n",
                              static_cast<unsigned>(index), static_cast<void*>(item.data.data()), entry.data_length,
                              read.code(), entry.type);
                zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, kFailed);
                return read.code();
            }
            if (args.verify) {
                const int rc = zeltnvmVerifyItem(item.data.data(), item.data.size(), entry);
                if (rc != 0) {
                    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "zeltnvmVerifyItem(%u) returned %d for type %d\n",
                                  static_cast<unsigned>(index), rc, entry.type);
                    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, kFailed);
                    return rc;
                }
            }
        }
        items.push_back(std::move(item));
    }
    return 0;
}

Json item_object(const zelnvm_directory_entry_t& e) {
    Json o;
    o["type"] = e.type;
    const char* name = zeltnvmDirectoryTypeName(e.type);
    o["type_name"] = name ? Json(name) : Json(nullptr);
    o["ordinal"] = e.ordinal;
    o["ext"] = e.ext;
    o["attr"] = e.attr;
    o["item_length"] = e.item_length;
    o["data_length"] = e.data_length;
    o["data_checksum"] = e.data_chksum;
    return o;
}

int run_backup(ParsedCommand& parsed, const BackupArgs& args, Report& r) {
    const device::InventoryFunction& target = *parsed.device;
    const Function& fn = target.function;
    const auto& nic = target.facts.nic_info;

    BackupKind kind = BackupKind::whole_nvm;
    if (!args.params.empty()) {
        if (args.params.front() != "cfg") {
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR,
                          "Error: Invalid Parameter value. Valid values are \"cfg\".\n");
            return kRcInvalidParameter;
        }
        if (zeltnvm_table_device_type(target.facts.pci_info.device_id) < kFirstSystemCfgDeviceType) {
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR,
                          "Error: Parameter \"cfg\" does not have support on this hardware.\n");
            return kRcCfgNotSupported;
        }
        kind = BackupKind::system_cfg;
    }
    r.data()["cfg"] = kind == BackupKind::system_cfg;

    const std::string file = !args.file.empty()
                                 ? args.file
                                 : backup_default_file_name(nic.permanent_mac_addr[0] ? nic.permanent_mac_addr
                                                                                      : nic.current_mac_addr,
                                                            target.name());
    r.data()["file"] = file;

    // The file is made under a private temporary name and only renamed into place once
    // the whole package is written: a failure leaves nothing under the name.
    host::OutputFile out;
    if (!out.open(parsed.context->host, file)) {
        const int err = errno;
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, kFailed);
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "%s: %s\n", file.c_str(), std::strerror(err));
        return HVXRETVAL_FILE_OPEN_FAILURE;
    }

    auto directory = device::zeltnvmListDirectory(fn);
    if (!directory.ok()) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, kFailed);
        return directory.result().code();
    }
    std::vector<BackupItem> items;
    if (int rc = read_backup_items(fn, directory.value(), kind, args, items); rc != 0) return rc;

    const std::vector<uint8_t> stream = backup_properties(parsed, target);
    std::vector<zelpkg_manifest_item_t> records;
    std::vector<const void*> data;
    records.reserve(items.size());
    data.reserve(items.size());
    for (const BackupItem& item : items) {
        records.push_back(item.record);
        data.push_back(item.data.empty() ? nullptr : item.data.data());
    }

    zelpkg_memory_output package;
    int32_t problem = -1;
    const int32_t rc = zelpkgCreate(package, kBackupStreamLength, stream.data(), static_cast<uint32_t>(records.size()),
                                    records.data(), data.data(), &problem, args.verify);
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Package creation error (%d) with item #%d\n", rc, problem + 1);
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, kFailed);
        return rc;
    }
    if (!out.write(package.bytes()) || !out.commit()) {
        const int err = errno;
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, kFailed);
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "%s: %s\n", file.c_str(), std::strerror(err));
        return HVXRETVAL_FILE_WRITE_FAILURE;
    }

    Json& list = r.data()["items"] = Json::array();
    for (const zelpkg_manifest_item_t& record : records) {
        if (record.direntry.type != 0) list.push_back(item_object(record.direntry));
    }
    r.data()["length"] = package.bytes().size();
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Package file %s is generated from NVM contents\n\n",
                  file.c_str());
    return 0;
}

}  // namespace

BackupArgs BackupArgs::from(const ScanOptions& scan, const ParsedCommand& parsed) {
    BackupArgs args;
    if (scan.arg) args.file = scan.arg;
    for (const std::string& word : parsed.args) {
        if (!word.empty() && word[0] != '-') args.params.push_back(word);
    }
    args.verify = scan.verify;
    args.all = scan.type == -1;
    return args;
}

bool backup_keeps_entry(const zelnvm_directory_entry_t& entry, BackupKind kind, bool all) {
    if (kind == BackupKind::system_cfg) return entry.type == ZEL_DIR_TYPE_SYSTEM_CFG;
    switch (entry.type) {
        case 0:
            return all;
        case ZEL_DIR_TYPE_PKG_LOG:
        case ZEL_DIR_TYPE_CRASH_DUMP_DATA:
        case ZEL_DIR_TYPE_CERT_ALIAS:
        case ZEL_DIR_TYPE_CFG_CRC:
            return false;
        case ZEL_DIR_TYPE_EXP_ROM_MBA:
        case ZEL_DIR_TYPE_FACTORY_CFG:
        case ZEL_DIR_TYPE_SBI:
        case ZEL_DIR_TYPE_SRT:
        case ZEL_DIR_TYPE_CRT:
            return entry.ordinal == 0;
        default:
            return true;
    }
}

std::string backup_default_file_name(const char* mac_text, const char* device_name) {
    std::string digits;
    for (const char* p = mac_text; p && *p; ++p) {
        if (std::isxdigit(static_cast<unsigned char>(*p))) {
            digits += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        } else if (*p != ':' && *p != '-') {
            digits.clear();
            break;
        }
    }
    if (digits.size() == 12) return digits + ".pkg";
    return std::string(device_name ? device_name : "") + ".pkg";
}

report::Report backup_command(ParsedCommand& parsed, const BackupArgs& args) {
    Report r = report::open_report(parsed);
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Can't set device properties on option\n");
        return r.ends(HVXRETVAL_FAILURE);
    }
    r.data()["device"] = report::function_object(*parsed.device);
    return r.ends(run_backup(parsed, args, r));
}

}  // namespace zelt::cli
