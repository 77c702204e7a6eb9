#include "cli/device_queries.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "cli/command_table.h"
#include "cli/display_error.h"
#include "cli/report/command_report.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/function_queries.h"
#include "device/identity/identity.h"
#include "formats/image/package_log.h"
#include "transport/fw_queries.h"
#include "device/discovery_lookup.h"
#include "formats/fru/fru.h"
#include "formats/vpd/vpd.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/function.h"
#include "options/port_count.h"
#include "wire/nvm_option_values.h"

namespace zelt::cli {

namespace {

using zelt::device::PciAddress;
using zelt::transport::Function;

constexpr const char* kNA = "N/A";
constexpr int kFruMissing = 68;
// Options read by the listings.
constexpr uint16_t kOptPortMode = 301;
constexpr uint16_t kOptHcrmVersion = 1200;
constexpr uint16_t kOptHcrmProfileId = 1199;
// Firmware-image status bits.
constexpr uint32_t kImageDegradedBits = 0x1E2A;
constexpr uint32_t kImageFastbooted = 0x80;
// Firmware versions below this number always boot securely.
constexpr int kSecureBootQueryFirstVersion = 220;

// The integer of a query's result, writing its value into `out` on success.
template <class T>
int take(zelt::ResultOr<T> answer, T& out) {
    if (!answer.ok()) return answer.result().code();
    out = std::move(answer).value();
    return 0;
}

using zelt::cli::report::Json;
using zelt::cli::report::Report;

// A value of a listing: null where the listing shows "N/A".
Json value_or_null(const std::string& value) { return value.empty() ? Json(nullptr) : Json(value); }

// One property of a listed function: a field of its object and its listing line. The
// line goes to standard output and, at information level, to the log.
struct Listing {
    Report& report;
    Json& object;

    void line(const char* key, const char* label, const std::string& value, int location = ZELT_LOC_BOTH) {
        if (key) object[key] = value_or_null(value);
        report.text(location, "%-27s : %s\n", label, value.empty() ? kNA : value.c_str());
    }
    // A line that goes to standard output only.
    void console_line(const char* key, const char* label, const std::string& value) {
        line(key, label, value, ZELT_LOC_CONSOLE);
    }
};

std::string hex4(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "%04x", v & 0xFFFF);
    return b;
}

std::string version3(const uint8_t v[3]) {
    char b[16];
    std::snprintf(b, sizeof b, "%d.%d.%d", v[0], v[1], v[2]);
    return b;
}

// First number of a dotted version text, or -1.
int first_version_number(const std::string& v) {
    if (v.empty() || v[0] < '0' || v[0] > '9') return -1;
    return std::atoi(v.c_str());
}

std::string local_time_text(zelt::host::Host& host, uint64_t seconds) {
    struct tm tm = host.local_time(static_cast<time_t>(seconds));
    char b[64];
    if (std::strftime(b, sizeof b, "%a %Y-%m-%d %H:%M:%S %Z", &tm) == 0) return {};
    return b;
}

}  // namespace

// ---- Parsers ---------------------------------------------------------------------------------

std::string zeltnvm_parse_installed_pkg_ver(std::span<const uint8_t> log) {
    // The log ends at its first NUL; the version field is shown with at most 23 characters.
    std::string_view text(reinterpret_cast<const char*>(log.data()), log.size());
    if (size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
    std::string version;
    zeltnvmPackageLogField(ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION, reinterpret_cast<const uint8_t*>(text.data()),
                           text.size(), &version);
    return version.substr(0, std::min<size_t>(version.size(), 23));
}

bool zeltnvm_parse_fru(std::span<const uint8_t> item, zelt_fru_fields& fields) {
    const auto board = zelt::formats::fru::parse(item);
    if (!board) return false;
    fields.product_name = board->product_name;
    fields.serial = board->serial_number;
    fields.part_number = board->part_number;
    fields.adapter_rev = board->revision;
    return true;
}

bool zeltnvm_parse_vpd_field(std::span<const uint8_t> item, const char* keyword, std::string& text) {
    auto found = zelt::formats::vpd::read_only_field(item, keyword);
    if (!found) return false;
    text = std::move(*found);
    return true;
}

// ---- Listing queries ---------------------------------------------------------------------------

int zeltnvm_get_installed_pkg_ver(const Function& fn, std::string& version) {
    version.clear();
    uint32_t length = 0;
    if (take(zelt::device::item_length(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0), length) != 0 || length == 0) return 0;
    std::vector<uint8_t> data;
    if (take(zelt::device::read_whole_item(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0), data) != 0) return 0;
    version = zeltnvm_parse_installed_pkg_ver(data);
    return 0;
}

int zeltnvm_get_nvm_cfg_version(const Function& fn, uint8_t version[3]) {
    std::vector<uint8_t> value;
    if (take(zelt::device::option_value(fn, ZELT_OPT_NVM_CFG_VERSION, ZELT_OPT_NVM_CFG_VERSION_BYTES), value) != 0 ||
        value.size() < ZELT_OPT_NVM_CFG_VERSION_BYTES) {
        return HVXRETVAL_FAILURE;
    }
    zeltOptCfgVersionDecode(value.data(), version);
    return 0;
}

int zeltnvm_get_nvm_hcrm_version(const Function& fn, uint32_t* id, uint8_t version[3]) {
    std::vector<uint8_t> value;
    int rc = take(zelt::device::option_value(fn, kOptHcrmVersion, 3), value);
    if (rc != 0) return rc;
    if (value.size() < 3) return HVXRETVAL_FAILURE;
    version[0] = value[2];
    version[1] = value[1];
    version[2] = value[0];
    rc = take(zelt::device::option_value(fn, kOptHcrmProfileId, 4), value);
    if (rc != 0) return rc;
    if (value.size() < 4) return HVXRETVAL_FAILURE;
    *id = (static_cast<uint32_t>(value[0]) << 24) | (static_cast<uint32_t>(value[1]) << 16) |
          (static_cast<uint32_t>(value[2]) << 8) | value[3];
    return 0;
}

int zeltnvm_get_fru_data(const Function& fn, zelt_fru_fields& fields) {
    uint32_t length = 0;
    if (take(zelt::device::item_length(fn, ZEL_DIR_TYPE_FRU, 0, 0), length) != 0) return kFruMissing;
    if (length == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO, "tFRU entry found, but directory length is empty.\n");
        return 1;
    }
    std::vector<uint8_t> data;
    int rc = take(zelt::device::read_whole_item(fn, ZEL_DIR_TYPE_FRU, 0, 0), data);
    if (rc != 0) return rc;
    if (!zeltnvm_parse_fru(data, fields)) return HVXRETVAL_INVALID_DATA_LENGTH;
    return 0;
}

// ---- One function ---------------------------------------------------------------------------

namespace {

// Ends the listing with `rc` when a query answered busy.
#define ZELT_RETURN_IF_BUSY(rc)              \
    do {                                     \
        if ((rc) == ZELT_RC_BUSY) return rc; \
    } while (0)

int list_device_body(zelt::host::Host& host, const zelt::device::InventoryFunction& target, bool short_mode,
                     Listing out) {
    const Function& fn = target.function;
    const char* name = target.name();
    const zelt::device::zelt_nvm_device_info_t& rec = target.facts;
    const zelt::device::ZELT_NVM_PCI_INFO& pci = rec.pci_info;
    // A function without a network interface is listed without its made-up name.
    const bool pci_dev = !target.has_interface();
    char address[32];
    std::snprintf(address, sizeof address, "%04x:%02x:%02x.%x", pci.domain_no, pci.bus_no, pci.device_no,
                  pci.function_no);
    out.object.update(zelt::cli::report::function_object(target));
    out.line(nullptr, "Device Interface Name", pci_dev ? kNA : name);
    out.line("mac_address", "MACAddress", rec.nic_info.current_mac_addr);
    if (short_mode) {
        out.line(nullptr, "PCI Device Name", address);
        out.report.text(ZELT_LOC_BOTH, "\n");
        return 0;
    }
    out.line("base_mac_address", "Base MACAddress", rec.nic_info.base_mac_addr);

    zelt_fru_fields fru;
    const int fru_rc = zeltnvm_get_fru_data(fn, fru);
    int result = fru_rc;
    std::string serial = fru_rc == 0 ? fru.serial : std::string();
    if (fru_rc == kFruMissing) {
        if (ResultOr<std::string> vpd = zelt::device::zeltnvm_get_vpd_each_field_data(fn, "SN"); vpd.ok()) serial = *vpd;
    }
    out.line("serial_number", "Device Serial Number", serial);

    char table_text[32];
    zelt::device::zeltnvm_get_chip_number(table_text, &rec);
    out.line("chip_number", "Chip Number", table_text);

    std::string part = fru_rc == 0 ? fru.part_number : std::string();
    if (part.empty()) {
        if (ResultOr<std::string> vpd = zelt::device::zeltnvm_get_vpd_each_field_data(fn, "PN"); vpd.ok()) part = *vpd;
        if (part == kNA) part.clear();
    }
    if (part.empty()) {
        zelt::device::zeltnvm_get_part_number(table_text, &rec);
        part = table_text;
    }
    out.line("part_number", "Part Number", part);

    std::string desc = fru_rc == 0 ? fru.product_name : std::string();
    if (desc.empty()) (void)take(zelt::device::item_version_text(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0, 3), desc);
    out.line("description", "Description", desc);

    out.line("pci_vendor_id", "PCI Vendor Id", hex4(pci.vendor_id));
    out.line("pci_device_id", "PCI Device Id", hex4(pci.device_id));
    out.line("pci_subsys_vendor_id", "PCI Subsys Vendor Id", hex4(pci.sub_system_vendor_id));
    out.line("pci_subsys_device_id", "PCI Subsys Device Id", hex4(pci.sub_system_device_id));
    out.line(nullptr, "PCI Device Name", address);
    if (fru_rc == 0 && !fru.adapter_rev.empty()) {
        out.line("adapter_rev", "Adapter Rev", fru.adapter_rev);
    } else {
        char b[8];
        std::snprintf(b, sizeof b, "%02x", pci.revision);
        out.line("adapter_rev", "Adapter Rev", b);
    }

    std::string active;
    int rc = take(fn.channel->package_version(fn), active);
    ZELT_RETURN_IF_BUSY(rc);
    if (rc != 0 || active.empty()) {
        active.clear();
        rc = take(zelt::device::item_version_text(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0), active);
        ZELT_RETURN_IF_BUSY(rc);
        if (rc != 0) active.clear();
    }
    out.line("active_package_version", "Active Package version", active);

    std::string on_nvm;
    zeltnvm_get_installed_pkg_ver(fn, on_nvm);
    out.line("nvm_package_version", "Package version on NVM", on_nvm);

    std::string fw;
    rc = take(fn.channel->firmware_version(fn), fw);
    ZELT_RETURN_IF_BUSY(rc);
    if (rc != 0) fw.clear();
    out.line("firmware_version", "Firmware version", fw);

    uint8_t active_cfg[3] = {};
    rc = zeltnvm_get_active_cfg_version(fn, active_cfg).code();
    ZELT_RETURN_IF_BUSY(rc);
    const bool have_active_cfg = rc == 0;
    out.console_line("active_nvm_config_version", "Active NVM config version",
                     have_active_cfg ? version3(active_cfg) : std::string());
    uint8_t nvm_cfg[3] = {};
    rc = zeltnvm_get_nvm_cfg_version(fn, nvm_cfg);
    ZELT_RETURN_IF_BUSY(rc);
    const bool have_nvm_cfg = rc == 0;
    out.console_line("nvm_config_version", "NVM config version", have_nvm_cfg ? version3(nvm_cfg) : std::string());

    uint32_t hcrm_len = 0;
    rc = take(zelt::device::item_length(fn, ZEL_DIR_TYPE_HCAPI_RM_CFG, 0, 0), hcrm_len);
    ZELT_RETURN_IF_BUSY(rc);
    if (rc == 0 && hcrm_len != 0) {
        uint32_t id = 0;
        uint8_t ver[3] = {};
        rc = zeltnvm_get_nvm_hcrm_version(fn, &id, ver);
        ZELT_RETURN_IF_BUSY(rc);
        out.console_line("hcrm_profile_id", "HCRM Profile ID", rc == 0 ? std::to_string(id) : std::string());
        if (rc == 0) out.object["hcrm_profile_id"] = id;
        out.console_line("hcrm_profile_version", "HCRM Profile Version", rc == 0 ? version3(ver) : std::string());
    }

    const int known_type = zeltnvm_table_device_type(pci.device_id);
    const uint16_t device_type = known_type < 0 ? 0 : static_cast<uint16_t>(known_type);
    uint32_t counter = 0;
    rc = take(zelt::device::fw_reset_counter(fn, device_type), counter);
    ZELT_RETURN_IF_BUSY(rc);
    out.line("firmware_reset_counter", "Firmware Reset Counter",
             rc == 0 ? std::to_string(static_cast<int>(counter)) : std::string());
    if (rc == 0) out.object["firmware_reset_counter"] = static_cast<int>(counter);
    rc = zelt_get_error_recovery_counter(fn, &counter, device_type).code();
    ZELT_RETURN_IF_BUSY(rc);
    out.line("error_recovery_counter", "Error Recovery Counter",
             rc == 0 ? std::to_string(static_cast<int>(counter)) : std::string());
    if (rc == 0) out.object["error_recovery_counter"] = static_cast<int>(counter);

    uint64_t stamp = 0;
    rc = take(zelt::device::crashdump_timestamp(fn), stamp);
    ZELT_RETURN_IF_BUSY(rc);
    out.line("crash_dump_timestamp", "Crash Dump Timestamp",
             rc == 0 && stamp != 0 ? local_time_text(host, stamp) : std::string());

    // A differing version only counts when both sides could be read.
    const bool pkg_differs = !active.empty() && !on_nvm.empty() && active != on_nvm;
    const bool cfg_differs = have_active_cfg && have_nvm_cfg && std::memcmp(active_cfg, nvm_cfg, 3) != 0;
    out.line("reboot_required", "Reboot Required", pkg_differs || cfg_differs ? "Yes" : "No");
    out.object["reboot_required"] = pkg_differs || cfg_differs;

    int secure_boot = 0, secure_fw = 0;
    rc = zelt_check_secure_fw_boot_status(fn, &secure_boot, &secure_fw).code();
    ZELT_RETURN_IF_BUSY(rc);
    result = rc;
    const int fw_major = first_version_number(fw);
    if (fw_major >= 0 && fw_major < kSecureBootQueryFirstVersion) {
        out.line("secure_boot", "Secure Boot", "Enabled");
    } else {
        out.line("secure_boot", "Secure Boot", rc == 0 ? (secure_boot ? "Enabled" : "Disabled") : std::string());
    }
    out.line("secure_firmware_update", "Secure Firmware Update",
             rc == 0 ? (secure_fw ? "Enabled" : "Disabled") : std::string());

    if (device_type > 7) {
        uint32_t status = 0;
        rc = zelt_check_sync_status(fn, &status).code();
        ZELT_RETURN_IF_BUSY(rc);
        result = rc;
        std::string text;
        if (rc == 0) {
            if (status & kImageDegradedBits) {
                text = "Degraded(Please run \"zeltnvm -dev=<interface_name> fw_sync\" command)";
            } else if (status & kImageFastbooted) {
                text = "Fastbooted";
            } else {
                text = "Operational";
            }
        }
        out.line("fw_image_status", "FW Image Status", text);
        bool in_ddr = false;
        int ddr_rc = take(zelt::device::crashdump_in_ddr(fn), in_ddr);
        ZELT_RETURN_IF_BUSY(ddr_rc);
        out.line("crash_dump_in_ddr", "Crash Dump Available in DDR",
                 ddr_rc == 0 ? (in_ddr ? "True" : "False") : std::string());
    }
    out.report.text(ZELT_LOC_BOTH, "\n");
    return result;
}

#undef ZELT_RETURN_IF_BUSY

}  // namespace

int list_device(zelt::host::Host& host, const zelt::device::InventoryFunction& function, ListingForm form,
                Report& report, Json& device) {
    return list_device_body(host, function, form == ListingForm::kShort, Listing{report, device});
}

namespace {

// The "devices" table of a report, made on first use.
Json& devices_of(Report& report) {
    Json& devices = report.data()["devices"];
    if (!devices.is_array()) devices = Json::array();
    return devices;
}

// Every supported physical function of adapter `n` in discovery order, so that a caller
// of the short listing learns the functions behind each adapter it names.
Json adapter_functions(const zelt::device::Inventory& inventory, int n) {
    Json functions = Json::array();
    const auto& adapter = inventory.adapters[static_cast<size_t>(n)];
    for (const auto& f : inventory.functions)
        if (zelt::device::on_adapter(adapter, f.facts)) functions.push_back(zelt::cli::report::function_object(f));
    return functions;
}

}  // namespace

int list_devices(zelt::host::Host& host, const zelt::device::Inventory& inventory, ListingForm form, Report& report) {
    const bool short_mode = form == ListingForm::kShort;
    Json& devices = devices_of(report);
    int rc = 0;
    for (int n = 0; n < static_cast<int>(inventory.adapters.size()); ++n) {
        const zelt::device::InventoryFunction* rep = zelt::device::zeltnvm_adapter_representative(inventory, n);
        if (!rep) continue;
        Json device = Json::object();
        device["adapter"] = n + 1;
        device.update(zelt::cli::report::function_object(*rep));
        if (short_mode) {
            std::string desc;
            if (take(zelt::device::item_version_text(rep->function, ZEL_DIR_TYPE_PKG_LOG, 0, 0, 3), desc) == 0 &&
                !desc.empty()) {
                device["adapter_description"] = desc;
                report.text(ZELT_LOC_BOTH, "\n%s #%d\n", desc.c_str(), n + 1);
            } else {
                device["adapter_description"] = nullptr;
                report.text(ZELT_LOC_BOTH, "\nDevice #%d\n", n + 1);
            }
        } else {
            report.text(ZELT_LOC_BOTH, "Device #%d\n----------\n", n + 1);
        }
        if (short_mode) device["functions"] = adapter_functions(inventory, n);
        rc = list_device(host, *rep, form, report, device);
        if (rc != 0) {
            device["result"] = zelt::cli::report::result_object(zelt::Result::from_code(rc));
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Hardware not responding to list the device properties\n");
        }
        devices.push_back(std::move(device));
    }
    return rc;
}

int zeltnvm_device_info(zelt::host::Host& host, const zelt::device::Inventory& inventory,
                        const zelt::device::InventoryFunction* selected, Report& report) {
    int rc;
    if (selected) {
        report.text(ZELT_LOC_BOTH, "\n");
        Json listed = Json::object();
        rc = list_device(host, *selected, ListingForm::kFull, report, listed);
        if (!listed.empty()) devices_of(report).push_back(std::move(listed));
    } else {
        rc = list_devices(host, inventory, ListingForm::kFull, report);
    }
    if (rc == ZELT_RC_BUSY) return zeltnvm_display_error_msg(CMD_DEVINFO, rc);
    return rc;
}

int zeltnvm_device_info_command(zelt::host::Host& host, const zelt::device::Inventory& inventory, Report& report) {
    return zeltnvm_device_info(host, inventory, nullptr, report);
}

Report device_info_command(zelt::cli::ParsedCommand& parsed) {
    Report r = zelt::cli::report::open_report(parsed);
    return r.ends(zeltnvm_device_info(parsed.context->host, *parsed.inventory, parsed.device, r));
}

Report listdev_command(zelt::cli::ParsedCommand& parsed) {
    Report r = zelt::cli::report::open_report(parsed);
    return r.ends(list_devices(parsed.context->host, *parsed.inventory, ListingForm::kShort, r));
}

// ---- devid and pkgver ---------------------------------------------------------------------------

int zeltnvm_devid_device(const zelt::device::InventoryFunction& function, Report& report) {
    const zelt::device::ZELT_NVM_PCI_INFO& pci = function.facts.pci_info;
    char address[32];
    std::snprintf(address, sizeof address, "%04x:%02x:%02x.%x", pci.domain_no, pci.bus_no, pci.device_no,
                  pci.function_no);
    Json device = zelt::cli::report::function_object(function);
    device["pci_vendor_id"] = hex4(pci.vendor_id);
    device["pci_device_id"] = hex4(pci.device_id);
    device["pci_subsys_vendor_id"] = hex4(pci.sub_system_vendor_id);
    device["pci_subsys_device_id"] = hex4(pci.sub_system_device_id);
    devices_of(report).push_back(std::move(device));
    report.text(ZELT_LOC_CONSOLE, "%-20s : %04x\n", "PCI VendorID", pci.vendor_id);
    report.text(ZELT_LOC_CONSOLE, "%-20s : %04x\n", "PCI DeviceID", pci.device_id);
    report.text(ZELT_LOC_CONSOLE, "%-20s : %04x\n", "PCI Subsys VendorID", pci.sub_system_vendor_id);
    report.text(ZELT_LOC_CONSOLE, "%-20s : %04x\n", "PCI Subsys DeviceID", pci.sub_system_device_id);
    report.text(ZELT_LOC_CONSOLE, "%-20s : %s\n", "PCI Device Name", address);
    report.text(ZELT_LOC_CONSOLE, "\n");
    return 0;
}

int zeltnvm_pkgver_device(const zelt::device::InventoryFunction& function, Report& report) {
    const Function& fn = function.function;
    const zelt::device::zelt_nvm_device_info_t& rec = function.facts;
    std::string active;
    if (take(fn.channel->package_version(fn), active) != 0 || active.empty()) {
        active.clear();
        if (take(zelt::device::item_version_text(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0), active) != 0) active.clear();
    }
    std::string on_nvm;
    zeltnvm_get_installed_pkg_ver(fn, on_nvm);
    // The driver answers with the version it learnt when it last reached the firmware,
    // whether the firmware still runs or not. When the NVM cannot be read, the firmware
    // is asked directly: one that does not answer runs no package at all, and an
    // adapter in that state must not read as healthy.
    zelt::Result silent;
    if (on_nvm.empty()) {
        const zelt::Result probe = zelt::transport::zelt_nvm_ver_get_status(fn);
        const int code = probe.code();
        if (!probe.ok() && code != ZELT_RC_BUSY && code != -ZELT_RC_BUSY) silent = probe;
    }
    std::string last_known;
    if (!silent.ok()) last_known.swap(active);
    Json device = zelt::cli::report::function_object(function);
    device["active_package_version"] = value_or_null(active);
    device["nvm_package_version"] = value_or_null(on_nvm);
    report.text(ZELT_LOC_CONSOLE, "%-25s : %s\n", "Active Package version", active.empty() ? kNA : active.c_str());
    report.text(ZELT_LOC_CONSOLE, "%-25s : %s\n", "Package version on NVM", on_nvm.empty() ? kNA : on_nvm.c_str());
    if (!silent.ok()) {
        device["firmware_responding"] = false;
        device["driver_package_version"] = value_or_null(last_known);
        devices_of(report).push_back(std::move(device));
        const std::string seen =
            last_known.empty() ? std::string() : "The driver last saw package version " + last_known + ". ";
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "\nError: Firmware not responding. %sThe adapter may need recovery: zeltnvm -dev=%s -recovery "
                      "install <package file>\n\n",
                      seen.c_str(), fn.c_name());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: version query failed with status %d\n", fn.c_name(),
                      silent.code());
        return HVXRETVAL_FW_NOT_IN_OPERATIONAL_STATE;
    }
    const int device_type = zeltnvm_table_device_type(rec.pci_info.device_id);
    if (device_type > 7) {
        struct Image {
            const char* key;
            const char* label;
            uint16_t type;
            uint16_t ordinal;
        };
        static constexpr Image kImages[] = {
            {"primary_sbi", "Primary SBI Version", ZEL_DIR_TYPE_SBI, 0},
            {"secondary_sbi", "Secondary SBI Version", ZEL_DIR_TYPE_SBI, 1},
            {"primary_srt", "Primary SRT Version", ZEL_DIR_TYPE_SRT, 0},
            {"secondary_srt", "Secondary SRT Version", ZEL_DIR_TYPE_SRT, 1},
            {"primary_crt", "Primary CRT Version", ZEL_DIR_TYPE_CRT, 0},
            {"secondary_crt", "Secondary CRT Version", ZEL_DIR_TYPE_CRT, 1},
        };
        Json images = Json::object();
        for (const Image& img : kImages) {
            std::string v;
            if (take(zelt::device::item_version_text(fn, img.type, img.ordinal, 0, 0), v) == 0 && !v.empty()) {
                images[img.key] = v;
                report.text(ZELT_LOC_CONSOLE, "%-25s : %s\n", img.label, v.c_str());
            }
        }
        device["image_versions"] = std::move(images);
    }
    devices_of(report).push_back(std::move(device));
    report.text(ZELT_LOC_CONSOLE, "\n");
    return 0;
}

int zeltnvm_device_command_all_adapters(const zelt::device::Inventory& inventory, int command, Report& report) {
    int rc = 0;
    for (int n = 0; n < static_cast<int>(inventory.adapters.size()); ++n) {
        const zelt::device::InventoryFunction* rep = zelt::device::zeltnvm_adapter_representative(inventory, n);
        if (!rep) continue;
        report.text(ZELT_LOC_CONSOLE, "\nDevice #%d\n---------\n", n + 1);
        report.text(ZELT_LOC_CONSOLE, "Device: %s\n", rep->name());
        rc = command == CMD_DEVID ? zeltnvm_devid_device(*rep, report) : zeltnvm_pkgver_device(*rep, report);
        if (rc == 0) devices_of(report).back()["adapter"] = n + 1;
    }
    return rc;
}

Report devid_pkgver_device_command(zelt::cli::ParsedCommand& parsed) {
    Report r = zelt::cli::report::open_report(parsed);
    const zelt::device::Inventory& inventory = *parsed.inventory;
    if (!parsed.device) return r.ends(zeltnvm_device_command_all_adapters(inventory, parsed.command, r));
    return r.ends(parsed.command == CMD_DEVID ? zeltnvm_devid_device(*parsed.device, r)
                                              : zeltnvm_pkgver_device(*parsed.device, r));
}

// ---- Adapter queries for the handlers --------------------------------------------------------

int zeltnvm_get_dev_port_count(const zelt::device::InventoryFunction& function, int* count) {
    std::vector<uint8_t> value;
    int rc = take(zelt::device::option_value(function.function, kOptPortMode, 1), value);
    if (rc == ZELT_RC_NOT_PERMITTED) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                      "This operation does not have administrative privileges for given interface");
        return ZELT_RC_NO_ADMIN;
    }
    if (rc != 0) return rc;
    if (value.empty()) return HVXRETVAL_FAILURE;
    const int ports = zeltnvm_port_count_from_mode(value[0]);
    if (ports < 0) return HVXRETVAL_FAILURE;
    *count = ports;
    return 0;
}

int zelt_get_function_count(const zelt::device::Inventory& inventory, const zelt::device::InventoryFunction& function,
                            int* count, bool trace) {
    const zelt::device::zelt_nvm_device_info_t& rec = function.facts;
    if (trace) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "device_id = %04x vendor_id = %04x\n", rec.pci_info.device_id,
                      rec.pci_info.vendor_id);
    }
    const int a = zelt::device::zeltnvm_adapter_of(inventory, &rec);
    *count = a >= 0 ? inventory.adapters[static_cast<size_t>(a)].active_pf_count : 0;
    return 0;
}

int zeltnvm_check_device_mode(const zelt::device::InventoryFunction& function) {
    int secure = 0;
    int rc = zelt_query_device_secure_mode(function.function, &secure).code();
    if (rc != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Error: Failed to query device secure mode\n");
        return rc;
    }
    if (!secure) return 0;
    int admin = 1;
    if (zelt_query_admin_pf_status(function.function, &admin).ok() && !admin) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "This operation do not have administrative privileges for given interface\n");
        return ZELT_RC_NO_ADMIN;
    }
    return 0;
}

}  // namespace zelt::cli
