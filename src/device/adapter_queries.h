// The adapter queries that discovery and the device listings make, behind one
// interface. The live implementation forwards each to the transport and device code
// that owns it; tests put in their own answers.
//
// Every query returns 0 on success, ZELT_RC_BUSY (16) when the adapter answered busy,
// or another failure result, and writes its outputs only on success.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/pci_address.h"
#include "transport/function.h"

namespace zelt::device {

using zelt::PciAddress;

class AdapterQueries {
public:
    virtual ~AdapterQueries() = default;

    // ---- Discovery ----------------------------------------------------------------
    // PCI address, driver version and driver name of a device name (an interface
    // name or the name of a function reached through its PCI window).
    virtual int drv_info(const std::string& name, PciAddress& addr, std::string& version, std::string& driver) = 0;
    // Base MAC address as "xx:xx:xx:xx:xx:xx".
    virtual int base_mac(const transport::Function& fn, std::string& mac) = 0;
    virtual int permanent_mac(const transport::Function& fn, uint8_t mac[6]) = 0;
    // Device serial number text (the first 15 hexadecimal digits).
    virtual int serial_number(const transport::Function& fn, std::string& serial) = 0;
    // Link speed in units of 100 Mb/s; `rate` (bits per second) is set only for the
    // speeds that have a known line rate.
    virtual int link_speed(const transport::Function& fn, double& rate, uint16_t& speed) = 0;

    // ---- NVM items and options ------------------------------------------------------
    // Finds an item; `length` is its data length. Not found gives ITEM_NOT_FOUND (-80).
    virtual int find_item(const std::string& name, uint16_t type, uint16_t ordinal, uint16_t ext,
                          uint32_t& length) = 0;
    // Reads a whole item.
    virtual int read_item(const std::string& name, uint16_t type, uint16_t ordinal, uint16_t ext,
                          std::vector<uint8_t>& data) = 0;
    // Version text of an item in NVM (selector 0 version, 3 package description).
    virtual int item_version(const std::string& name, uint16_t type, uint16_t ordinal, uint16_t ext, int selector,
                             std::string& text) = 0;
    // Reads `size` bytes of an NVM option of the function (index 0).
    virtual int option_get(const transport::Function& fn, uint16_t active_vfs, uint16_t option,
                           std::vector<uint8_t>& value, size_t size) = 0;
    // Port count of a port-mode option value.
    virtual int port_count_of_mode(uint8_t mode, int& count) = 0;

    // ---- Firmware and driver state --------------------------------------------------
    // Package version the running driver (or, for a function reached through its PCI
    // window, the firmware) reports.
    virtual int active_package_version(const std::string& name, std::string& text) = 0;
    virtual int firmware_version(const std::string& name, std::string& text) = 0;
    // Running configuration version: major, minor, update.
    virtual int active_cfg_version(const std::string& name, uint8_t version[3]) = 0;
    virtual int fw_reset_counter(const transport::Function& fn, int device_type, uint32_t& value) = 0;
    virtual int error_recovery_counter(const transport::Function& fn, int device_type, uint32_t& value) = 0;
    // Seconds since the epoch of the last crash dump, 0 when there is none.
    virtual int crashdump_timestamp(const std::string& name, uint64_t& seconds) = 0;
    virtual int secure_boot_status(const std::string& name, bool& secure_boot, bool& secure_fw) = 0;
    virtual int fw_image_status(const std::string& name, uint32_t& status) = 0;
    virtual int crashdump_in_ddr(const std::string& name, bool& available) = 0;
    virtual int device_secure_mode(const std::string& name, bool& secure) = 0;
    virtual int admin_pf_status(const transport::Function& fn, bool& admin) = 0;
};

// The queries the utility uses: the live implementation unless a test installed its own.
AdapterQueries& adapter_queries();
// Installs `queries` (not owned) for the rest of the process; nullptr restores the live one.
void set_adapter_queries(AdapterQueries* queries);

}  // namespace zelt::device
