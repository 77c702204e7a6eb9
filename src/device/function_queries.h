// The queries the device listings and discovery make of one function: NVM items and
// options, MAC addresses and serial number, and what the firmware reports about its
// state. Each goes through the function's channel and writes nothing on failure.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "host/host.h"
#include "transport/function.h"

namespace zelt::device {

// Data length of an item. Not found gives ITEM_NOT_FOUND (-80).
ResultOr<uint32_t> item_length(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext);
// A whole item's data.
ResultOr<std::vector<uint8_t>> read_whole_item(const transport::Function& fn, uint16_t type, uint16_t ordinal,
                                               uint16_t ext);
// Version text of an item in NVM (selector 0 version, 3 package description).
ResultOr<std::string> item_version_text(const transport::Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                        int selector);
// `size` bytes of a device-wide NVM option (index 0).
ResultOr<std::vector<uint8_t>> option_value(const transport::Function& fn, uint16_t option, size_t size);

// Base MAC address as "xx:xx:xx:xx:xx:xx": the MAC address option of the adapter's
// function 0.
ResultOr<std::string> base_mac_text(const transport::Function& fn);
// Permanent MAC address.
ResultOr<std::array<uint8_t, 6>> permanent_mac(const transport::Function& fn);
// Device serial number text (the first 15 hexadecimal digits of the serial number
// capability), read from the configuration space through the channel's host.
ResultOr<std::string> serial_number_text(const transport::Function& fn);

// The firmware's reset counter (9 when the firmware keeps no counter register).
ResultOr<uint32_t> fw_reset_counter(const transport::Function& fn, int device_type);
// Seconds since the epoch of the last crash dump, 0 when there is none.
ResultOr<uint64_t> crashdump_timestamp(const transport::Function& fn);
// Whether the firmware keeps its crash dump in host memory and the driver holds one.
ResultOr<bool> crashdump_in_ddr(const transport::Function& fn);
// The firmware health word of a firmware that crashed.
inline constexpr uint32_t kFwHealthCrashed = 3;
// The same question when the firmware may be down: a debug capability query that fails
// is answered from the health register read through the PCI window, and a crashed
// firmware defers to the driver's check. Window failures are returned as they come
// (-160 permission denied, -161 any other, 16 bus busy).
ResultOr<bool> crashdump_in_ddr_or_health(host::Host& host, const transport::Function& fn, int device_type);

}  // namespace zelt::device
