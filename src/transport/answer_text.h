// Pure parsers of the texts drivers and the kernel hand back: PCI slot names, the
// uevent file, the Ethernet driver's firmware version text and the kernel release.
// They read only within the given text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/pci_address.h"

namespace zelt::transport {

// "%x:%x:%x.%x" (domain:bus:device.function). False when the text does not have that
// form or a number does not fit 32 bits.
bool zeltParsePciSlot(std::string_view text, PciAddress& slot);

// The value of the PCI_SLOT_NAME line of a uevent text. Lines are taken at most 255
// bytes at a time, as a line reader with a 256-byte buffer would.
enum class SlotLine { kFound, kAbsent, kMalformed };
// kFound (the line parsed into `slot`), kAbsent (no such line) or kMalformed.
SlotLine zeltUeventPciSlot(std::string_view uevent, PciAddress& slot);

// A fixed-size text field of a driver record: up to the first NUL or the field's end.
std::string_view zeltFieldText(const char* field, size_t size);

// Running firmware version: the first 31 characters of the driver's firmware version
// text, cut at the first "/".
std::string zeltFirmwareVersionText(std::string_view fw_version);
// Installed package version: what follows "pkg " in the firmware version text.
// False when the marker is absent.
bool zeltPackageVersionText(std::string_view fw_version, std::string& version);

// Kernel release "A.B.C-extra": major is A and B written one after the other (5.15
// gives 515), minor is C up to any "-" (0 when absent). False when A or B is not a
// number or the result does not fit.
bool zeltParseKernelRelease(std::string_view release, uint32_t& major, uint32_t& minor);

// Line rate in bits per second of a link speed in units of 100 Mb/s. False for speeds
// without a known line rate.
bool zeltLineRateForSpeed(uint16_t link_speed, double& line_rate);

}  // namespace zelt::transport
