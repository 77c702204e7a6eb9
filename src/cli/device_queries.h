// The device listings (listdev, -dev=?, device_info), the device forms of devid and
// pkgver, and the adapter queries the command handlers use.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "device/discovery_records.h"
#include "device/inventory.h"
#include "host/host.h"

namespace zelt::cli {

// ---- Listings --------------------------------------------------------------------------
// The two forms of a device listing: the short one of listdev and -dev=?, the full one
// of device_info.
enum class ListingForm { kShort, kFull };

// Every adapter: a header and the listing of its representative function. 0 with no
// adapter; else the last adapter's result.
// The listed adapters join the report's "devices" table.
// `host` gives the local time of the crash dump's timestamp.
int list_devices(zelt::host::Host& host, const zelt::device::Inventory& inventory, ListingForm form,
                 zelt::cli::report::Report& report);
// One function: one "%-27s : %s" line per property, "N/A" where a value could not be
// read. 16 as soon as a query answers busy; else the result of the last FRU,
// secure-boot or image-status query (0 in short mode).
// The properties join `device` (a JSON object), the lines the report's text.
int list_device(zelt::host::Host& host, const zelt::device::InventoryFunction& function, ListingForm form,
                zelt::cli::report::Report& report, zelt::cli::report::Json& device);
// device_info: the full listing of the selected function, or of every adapter when
// none is selected (nullptr). A busy adapter is reported with the standard busy
// message (result 21).
int zeltnvm_device_info(zelt::host::Host& host, const zelt::device::Inventory& inventory,
                        const zelt::device::InventoryFunction* selected, zelt::cli::report::Report& report);
// device_info run at the command word: every adapter.
int zeltnvm_device_info_command(zelt::host::Host& host, const zelt::device::Inventory& inventory,
                                zelt::cli::report::Report& report);
// device_info at the command word: the selected device, or every adapter.
zelt::cli::report::Report device_info_command(zelt::cli::ParsedCommand& parsed);
// listdev: the short listing of every adapter.
zelt::cli::report::Report listdev_command(zelt::cli::ParsedCommand& parsed);

// ---- devid and pkgver on devices ---------------------------------------------------------
// PCI identity of the function (standard output only). 0.
int zeltnvm_devid_device(const zelt::device::InventoryFunction& function, zelt::cli::report::Report& report);
// Active and NVM package versions, and on the newest devices the secure-boot image
// versions. 0.
int zeltnvm_pkgver_device(const zelt::device::InventoryFunction& function, zelt::cli::report::Report& report);
// devid or pkgver (command CMD_DEVID or CMD_PKGVER) on the representative function of
// every adapter, each preceded by its "Device #n" header. Returns the last result.
int zeltnvm_device_command_all_adapters(const zelt::device::Inventory& inventory, int command,
                                        zelt::cli::report::Report& report);
// devid and pkgver after the scan: the selected device, or every adapter without one.
zelt::cli::report::Report devid_pkgver_device_command(zelt::cli::ParsedCommand& parsed);

// ---- Listing queries ----------------------------------------------------------------------
struct zelt_fru_fields {
    std::string serial;
    std::string part_number;
    std::string product_name;
    std::string adapter_rev;
};

// Package version recorded in the install log of the function; empty when unknown.
int zeltnvm_get_installed_pkg_ver(const zelt::transport::Function& fn, std::string& version);
// Configuration version stored in NVM (major, minor, update) of the function. -1 when
// it cannot be read.
int zeltnvm_get_nvm_cfg_version(const zelt::transport::Function& fn, uint8_t version[3]);
// Resource-profile id and version stored in NVM.
int zeltnvm_get_nvm_hcrm_version(const zelt::transport::Function& fn, uint32_t* id, uint8_t version[3]);
// FRU fields: 0; 68 when the adapter has no FRU item; 1 when it is empty; another
// failure of the item read otherwise.
int zeltnvm_get_fru_data(const zelt::transport::Function& fn, zelt_fru_fields& fields);

// The parsers behind those queries (pure functions over the item bytes).
// Last package version of the install log, skipping patch entries; "" when none.
std::string zeltnvm_parse_installed_pkg_ver(std::span<const uint8_t> log);
// FRU fields from the FRU item; false when the item is too short to hold them.
bool zeltnvm_parse_fru(std::span<const uint8_t> item, zelt_fru_fields& fields);
// A keyword of the VPD item's read-only resource; false when it is absent or the item
// is malformed.
bool zeltnvm_parse_vpd_field(std::span<const uint8_t> item, const char* keyword, std::string& text);

// ---- Adapter queries for the handlers ---------------------------------------------------------
// Number of ports of the function's adapter. 10 without administrative privileges; -1
// when the port mode is not known.
int zeltnvm_get_dev_port_count(const zelt::device::InventoryFunction& function, int* count);
// Number of PFs of the function's adapter (0 when it belongs to none). `trace` prints
// the function's PCI ids first.
int zelt_get_function_count(const zelt::device::Inventory& inventory, const zelt::device::InventoryFunction& function,
                            int* count, bool trace);
// 0 when privileged commands may run on the function, 10 when they may not, or the
// failing secure-mode query's result.
int zeltnvm_check_device_mode(const zelt::device::InventoryFunction& function);

}  // namespace zelt::cli
