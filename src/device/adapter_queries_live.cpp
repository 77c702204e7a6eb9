// The live adapter queries: each forwards to the transport or NVM code that owns the
// operation. Firmware messages go through the firmware channel (or the PCI mailbox for
// functions reached through their PCI window), NVM items through the driver or by message as the NVM code
// decides, and driver texts through ethtool.
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/hvxretval.h"
#include "device/adapter_queries.h"
#include "device/discovery_lookup.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_item_version.h"
#include "device/nvm/nvm_items.h"
#include "host/host.h"
#include "options/port_count.h"
#include "transport/ethtool_channel.h"
#include "transport/function.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "transport/nvm_variables.h"
#include "transport/pci_info.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "wire/nvm_option_values.h"

namespace zelt::device {
namespace {

using transport::exchange;
using transport::Function;

// Room for the version texts the driver and the firmware report.
constexpr size_t kVersionTextLen = 256;
// Debug capability: the firmware can keep its crash dump in host memory.
constexpr uint32_t kCrashdumpInDdrCap = HWRM_DBG_QCAPS_FLAGS_CRASHDUMP_HOST_DDR;

// Runs `op` on the function of a device name and gives its result's integer.
template <class Op>
int on_named(const std::string& name, Op op) {
    return transport::on_named_function(name.c_str(), op).code();
}

// One NVM option read by message. `dimensions` 0 reads a device-wide option, 1 the
// instance `index`.
int read_option(const Function& fn, uint16_t option, uint16_t dimensions, uint16_t index, size_t size,
                std::vector<uint8_t>& value) {
    if (size == 0 || size > 0xFFFF / 8) return HVXRETVAL_INVALID_PARAMETER;
    std::vector<uint8_t> buf(size, 0);
    transport::NvmVariableRef ref;
    ref.option = option;
    ref.bits = static_cast<uint16_t>(size * 8);
    ref.dimensions = dimensions;
    ref.index_0 = index;
    const zelt::Result rc = transport::nvmVariableGet(fn, ref, buf.data(), static_cast<uint16_t>(size));
    if (rc.ok()) value = std::move(buf);
    return rc.code();
}

// The register address the firmware gives for its reset counter, read as the error
// recovery counter is.
int read_fw_reset_counter(const Function& fn, int device_type, uint32_t& value) {
    hwrm_error_recovery_qcfg_input req{};
    hwrm_error_recovery_qcfg_output cfg{};
    zelt::Result rc = exchange(fn, HWRM_ERROR_RECOVERY_QCFG, req, cfg);
    if (!rc.ok()) return rc.code();
    const uint32_t reg = le32_to_cpu(cfg.fw_reset_cnt_reg);
    if (reg == 0) return 9;  // the firmware keeps no counter register
    uint32_t v = 0;
    rc = zeltnvm_read_counter_register(fn, reg, device_type, &v);
    if (rc.ok()) value = v;
    return rc.code();
}

std::string text_of(const char* buf, size_t cap) { return std::string(buf, strnlen(buf, cap)); }

class LiveAdapterQueries final : public AdapterQueries {
public:
    int drv_info(const std::string& name, PciAddress& addr, std::string& version, std::string& driver) override {
        char ver[ZELT_DRV_TEXT_LEN] = {};
        char drv[ZELT_DRV_TEXT_LEN] = {};
        const bool window_name = transport::is_pci_window_name(name);
        PciAddress found;
        const int rc = zeltDrvInfo(name.c_str(), found, window_name ? nullptr : ver, window_name ? nullptr : drv);
        if (rc != 0) return rc;
        addr = found;
        version = text_of(ver, sizeof ver);
        driver = text_of(drv, sizeof drv);
        return 0;
    }

    // The base MAC address is the MAC address option of the adapter's function 0.
    int base_mac(const Function& fn, std::string& mac) override {
        std::vector<uint8_t> v;
        const int rc = read_option(fn, ZELT_OPT_MAC_ADDRESS, 1, 0, ZELT_OPT_MAC_ADDRESS_BYTES, v);
        if (rc != 0) return rc;
        uint8_t m[6];
        zeltOptMacDecode(v.data(), m);
        char text[ZELT_MAC_TEXT_LEN];
        std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
        mac = text;
        return 0;
    }

    int permanent_mac(const Function& fn, uint8_t mac[6]) override {
        return zelt_nvm_get_permanent_mac(fn, mac).code();
    }

    int serial_number(const Function& function, std::string& serial) override {
        const PciAddress& addr = function.address;
        // The device serial number capability's two dwords, least significant byte first.
        host::PciFunction fn;
        fn.domain = static_cast<uint16_t>(addr.domain);
        fn.bus = static_cast<uint8_t>(addr.bus);
        fn.dev = static_cast<uint8_t>(addr.device);
        fn.func = static_cast<uint8_t>(addr.function);
        uint8_t bytes[8];
        if (!host::current().read_pci_config(fn, 0x140, bytes, sizeof bytes)) return HVXRETVAL_FAILURE;
        char text[17];
        std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3],
                      bytes[4], bytes[5], bytes[6], bytes[7]);
        serial.assign(text, 15);
        return 0;
    }

    int link_speed(const Function& fn, double& rate, uint16_t& speed) override {
        return zelt_get_link_speed(fn, &rate, &speed).code();
    }

    int find_item(const std::string& name, uint16_t type, uint16_t ordinal, uint16_t ext, uint32_t& length) override {
        zelnvm_directory_entry_t entry{};
        const int rc = ::zeltnvmGetDirEntry(name.c_str(), type, ordinal, ext, &entry);
        if (rc < 0) return rc;
        length = entry.data_length;
        return 0;
    }

    int read_item(const std::string& name, uint16_t type, uint16_t ordinal, uint16_t ext,
                  std::vector<uint8_t>& data) override {
        uint32_t length = 0;
        int rc = find_item(name, type, ordinal, ext, length);
        if (rc != 0) return rc;
        std::vector<uint8_t> buf(length);
        if (length == 0) {
            data.clear();
            return 0;
        }
        rc = ::zeltnvmReadItem(name.c_str(), type, ordinal, ext, buf.data(), length, 0, nullptr);
        if (rc < 0) return rc;
        buf.resize(static_cast<size_t>(rc) < buf.size() ? static_cast<size_t>(rc) : buf.size());
        data = std::move(buf);
        return 0;
    }

    int item_version(const std::string& name, uint16_t type, uint16_t ordinal, uint16_t ext, int selector,
                     std::string& text) override {
        char buf[kVersionTextLen];
        const int rc = zeltnvmGetItemVersionString(name.c_str(), type, ordinal, ext, selector, buf, sizeof buf);
        if (rc != 0) return rc;
        text = text_of(buf, sizeof buf);
        return 0;
    }

    int option_get(const Function& fn, uint16_t, uint16_t option, std::vector<uint8_t>& value, size_t size) override {
        return read_option(fn, option, 0, 0, size, value);
    }

    int port_count_of_mode(uint8_t mode, int& count) override {
        const int ports = zeltnvm_port_count_from_mode(mode);
        if (ports < 0) return HVXRETVAL_FAILURE;
        count = ports;
        return 0;
    }

    int active_package_version(const std::string& name, std::string& text) override {
        char buf[kVersionTextLen] = {};
        // A function without interface has no driver to ask; its firmware answers instead.
        const int rc = transport::is_pci_window_name(name)
                           ? on_named(name,
                                      [&](const Function& fn) {
                                          return zeltnvm_linux_GetInstalledPackageVersion(fn, buf, sizeof buf);
                                      })
                           : zeltnvmGetInstalledPackageVersion(name.c_str(), buf, sizeof buf);
        if (rc != 0) return rc;
        text = text_of(buf, sizeof buf);
        return 0;
    }

    int firmware_version(const std::string& name, std::string& text) override {
        char buf[kVersionTextLen] = {};
        const int rc = zeltnvmGetInstalledfwVersion(name.c_str(), buf);
        if (rc != 0) return rc;
        text = text_of(buf, sizeof buf);
        return 0;
    }

    int active_cfg_version(const std::string& name, uint8_t version[3]) override {
        return on_named(name, [&](const Function& fn) { return zeltnvm_get_active_cfg_version(fn, version); });
    }

    int fw_reset_counter(const Function& fn, int device_type, uint32_t& value) override {
        return read_fw_reset_counter(fn, device_type, value);
    }

    int error_recovery_counter(const Function& fn, int device_type, uint32_t& value) override {
        return zelt_get_error_recovery_counter(fn, &value, device_type).code();
    }

    int crashdump_timestamp(const std::string& name, uint64_t& seconds) override {
        return on_named(name, [&](const Function& fn) {
            hwrm_func_qcaps_output caps{};
            zelt::Result rc = zeltnvm_get_func_qcaps(fn, &caps);
            if (!rc.ok()) return rc;
            if (!(le32_to_cpu(caps.flags) & HWRM_FUNC_QCAPS_FLAGS_CRASHDUMP_HOST_SUPPORTED))
                return zelt::Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
            hwrm_dbg_crashdump_header_input req{};
            hwrm_dbg_crashdump_header_output resp{};
            rc = exchange(fn, HWRM_DBG_CRASHDUMP_HEADER, req, resp);
            if (!rc.ok()) return rc;
            seconds = le32_to_cpu(resp.crash_time);
            return zelt::Result();
        });
    }

    int secure_boot_status(const std::string& name, bool& secure_boot, bool& secure_fw) override {
        int boot = 0, fw = 0;
        const int rc = on_named(
            name, [&](const Function& fn) { return zelt_check_secure_fw_boot_status(fn, &boot, &fw); });
        if (rc != 0) return rc;
        secure_boot = boot != 0;
        secure_fw = fw != 0;
        return 0;
    }

    int fw_image_status(const std::string& name, uint32_t& status) override {
        return on_named(name, [&](const Function& fn) { return zelt_check_sync_status(fn, &status); });
    }

    int crashdump_in_ddr(const std::string& name, bool& available) override {
        hwrm_dbg_qcaps_output caps{};
        const int rc =
            on_named(name, [&](const Function& fn) { return zeltnvm_query_dbg_qcaps(fn, &caps); });
        if (rc != 0) return rc;
        // Only a firmware that can keep its crash dump in host memory leaves one there;
        // the driver then says whether it holds one.
        available = (le32_to_cpu(caps.flags) & kCrashdumpInDdrCap) != 0 &&
                    zeltnvm_is_ethtool_crashdump_available(name.c_str()) == 1;
        return 0;
    }

    int device_secure_mode(const std::string& name, bool& secure) override {
        int mode = 0;
        const int rc =
            on_named(name, [&](const Function& fn) { return zelt_query_device_secure_mode(fn, &mode); });
        if (rc != 0) return rc;
        secure = mode != 0;
        return 0;
    }

    int admin_pf_status(const Function& fn, bool& admin) override {
        int is_admin = 0;
        const int rc = zelt_query_admin_pf_status(fn, &is_admin).code();
        if (rc != 0) return rc;
        admin = is_admin != 0;
        return 0;
    }
};

LiveAdapterQueries g_live;
AdapterQueries* g_installed = nullptr;

}  // namespace

AdapterQueries& adapter_queries() { return g_installed ? *g_installed : g_live; }

void set_adapter_queries(AdapterQueries* queries) { g_installed = queries; }

}  // namespace zelt::device
