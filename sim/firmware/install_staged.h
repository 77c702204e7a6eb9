// The firmware's own installation of a package staged whole in the NVM update item
// (firmware_install_staged, declared in firmware.h, is defined with this).
//
// The firmware reads the staged package with its own reader, checks it whole
// (structure, checksum, every item's signature or checksum against the compiled-in
// key), checks the adapter's anti-rollback counters and voltage regulator, and then
// applies each item's directive to a copy of the flash. Only when every item has been
// placed does the copy replace the flash, so an installation that is refused or fails
// part-way leaves every item as it was; a failure is still recorded in the install log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/firmware/firmware.h"
#include "wire/hwrm_nvm.h"

namespace zelt::sim {

// Install results (the answer's `result` byte) of an installation that was not refused.
inline constexpr uint8_t kInstallOk = static_cast<uint8_t>(HwrmInstallResult::kOk);
inline constexpr uint8_t kInstallNothingStaged = static_cast<uint8_t>(HwrmInstallResult::kNothingStaged);
inline constexpr uint8_t kInstallBadPackage = static_cast<uint8_t>(HwrmInstallResult::kBadPackage);
inline constexpr uint8_t kInstallBadNvmItem = static_cast<uint8_t>(HwrmInstallResult::kBadNvmItem);
inline constexpr uint8_t kInstallPatchFailed = static_cast<uint8_t>(HwrmInstallResult::kPatchFailed);
inline constexpr uint8_t kInstallWriteFailed = static_cast<uint8_t>(HwrmInstallResult::kWriteFailed);
// `problem_item` when the failure is not one manifest record's.
inline constexpr uint8_t kInstallNoProblemItem = 0xFF;

// The secure-boot revision counters the adapter's one-time-programmable fuses hold: a
// package may not carry secure-boot images older than these, nor a customer id other
// than `crid`.
struct AntiRollbackCounters {
    uint16_t crid = 0;
    uint16_t sbi_rev = 0;
    uint16_t srt_rev = 0;
    uint16_t crt_rev = 0;
};
AntiRollbackCounters anti_rollback_counters(const AdapterDesc& adapter);

// Part name of the adapter's voltage regulator; a package that lists supported
// regulators must name it.
std::string voltage_regulator_name(const AdapterDesc& adapter);

// The firmware's install-log line for one installation (ending in "\n", report flag
// "F"). Field texts have tabs and line ends replaced by blanks; absent texts are "N/A".
struct InstallLogFields {
    uint64_t when_us = 0;
    std::string description;
    std::string version;
    std::string pkg_timestamp;
    std::string status;
    bool has_checksum = false;
    uint32_t checksum = 0;
    unsigned installed_items = 0;
    uint64_t installed_mask = 0;
    uint32_t install_type = 0;
};
std::string install_log_line(const InstallLogFields& fields);

// The log text with `line` appended, keeping at most kInstallLogLimit bytes of whole
// entries (oldest dropped first). Trailing erased (0xFF) and zero bytes of the old
// text are not part of it.
inline constexpr size_t kInstallLogLimit = 4096;
std::string append_install_log(const std::vector<uint8_t>& old_log, const std::string& line);

}  // namespace zelt::sim
