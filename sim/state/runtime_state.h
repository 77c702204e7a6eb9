// The run-time state of the simulated firmware: what survives between the separate
// processes of a simulated host besides the flash images (running versions, pending
// resets, option values, the last install result, counters) and the virtual clock.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace zelt::sim {

// Four instance/array indexes of an NVM variable.
struct OptionIndex {
    uint16_t i[4] = {0, 0, 0, 0};
    auto operator<=>(const OptionIndex&) const = default;
    std::string key() const;  // "2" or "2.1.0.0"
    static bool parse(const std::string& key, OptionIndex& out);
};

// One NVM variable the adapter has: its width and the values set so far. An index
// never set reads as zero.
struct OptionVar {
    uint16_t bits = 8;
    std::map<OptionIndex, std::vector<uint8_t>> values;
    bool operator==(const OptionVar&) const = default;
};

struct InstallResult {
    bool valid = false;
    uint8_t result = 0;
    uint8_t problem_item = 0;
    uint8_t reset_required = 0;
    uint32_t installed_items[2] = {0, 0};
    uint32_t install_type = 0;
    uint64_t when_us = 0;  // virtual time of the installation
    bool operator==(const InstallResult&) const = default;
};

// An eye-scope test the firmware runs on one PCIe lane, timed on the virtual clock.
struct EyeScopeTest {
    bool active = false;       // started and not yet retrieved
    unsigned lane = 0;
    uint8_t flags = 0;         // full eye or summary
    uint8_t target = 0;        // target BER index
    uint64_t start_us = 0;
    uint64_t duration_us = 0;
    bool operator==(const EyeScopeTest&) const = default;
};

// What a physical function configured for one of its VFs.
struct VfSettings {
    bool trusted = false;
    std::vector<uint8_t> mac;  // default MAC address set by the PF (empty: none)
    bool operator==(const VfSettings&) const = default;
};

// The loopback set on one port: the MAC's and the PHY's (0: none).
struct PortLoopback {
    uint8_t mac = 0;
    uint8_t phy = 0;
    bool operator==(const PortLoopback&) const = default;
};

// What the adapter's processors run: the firmware from the NVM, nothing (the NVM boot
// image did not verify, or the host halted the processors to load a recovery image),
// or a recovery image the host loaded into chip memory.
enum class FirmwareBoot : uint8_t { nvm = 0, nvm_failed = 1, halted = 2, recovery = 3 };

// The chip registers and memory a recovery works with (processor control, reset
// control, register protection, the boot ROM's fastboot registers, the load windows).
// They belong to the whole chip, so every function of the adapter sees the same.
struct RecoveryChipState {
    FirmwareBoot boot = FirmwareBoot::nvm;
    // The firmware that booted from the NVM set the protection rules; rules not written
    // since read as its locked values, else as the chip's open reset values.
    bool locked_at_boot = true;
    // Older families without a booted firmware: the protection block reads 0xDEADDEAD
    // until its clock is enabled through cpmu_cntl_1.
    bool protection_gated = false;
    uint32_t health = 0;            // boot ROM / boot loader health word while not running from the NVM
    uint32_t reset_reads = 0;       // reads of soft_reset_0 left before its primate-reset bit clears
    std::string recovery_version;   // "a.b.c.d" of the recovery image running
    std::map<uint32_t, uint32_t> registers;           // written registers by chip address
    std::map<uint32_t, std::vector<uint8_t>> memory;  // written chip memory, 4 KiB pages by address
    std::vector<std::pair<uint32_t, uint32_t>> downloads;  // [start, end) of the runs the host wrote since the last start
    bool operator==(const RecoveryChipState&) const = default;
};

// The boot code image the firmware last verified in full, signature included: where
// its entry put it (location, data length, checksum, attributes) and the CRC-32 of its
// bytes without their last 4 and of all of them. An image found at the same place with
// the same CRCs is that image, so the boot at a reset need not check its signature
// again. Both CRCs are kept because a signed image ends in the CRC of what comes
// before: the CRC of every such image whole is the same residue, and only with the
// first CRC does a rewritten image with a self-consistent CRC tell apart.
struct VerifiedBootImage {
    bool valid = false;
    uint32_t location = 0;
    uint32_t data_length = 0;
    uint32_t entry_checksum = 0;
    uint16_t attr = 0;
    uint32_t head_crc = 0;
    uint32_t crc = 0;
    bool operator==(const VerifiedBootImage&) const = default;
};

struct AdapterState {
    std::string running_fw_version;  // "a.b.c.d"
    std::string running_pkg_version;
    std::string pending_fw_version;  // versions a reset activates (empty: unchanged)
    std::string pending_pkg_version;
    std::string running_cfg_version;  // "a.b.c" the NVM configuration runs at (empty: factory)
    bool reset_pending = false;      // an installation waits for a reset to activate
    uint8_t option_action_status = 0;  // 2: a changed option waits for a reboot
    uint32_t reset_count = 0;
    uint64_t down_until_us = 0;      // the firmware is restarting until this virtual time
    uint32_t error_recovery_count = 0;
    int fw_time_year = 0;            // last time set by the host (0: never)
    uint32_t fw_time_seconds = 0;
    uint32_t sync_count = 0;
    uint32_t flush_count = 0;
    int8_t temperature = 52;
    uint8_t temperature_flags = 0;   // flags of the temperature answer (0x10: values + 64)
    uint32_t fw_status = 0;          // redundancy/health status word (0: healthy)
    uint32_t dump_flag = 0;          // dump flag set through the Ethernet driver
    uint32_t crash_dump_length = 0;  // bytes of crash dump the driver holds (0: none)
    uint32_t crash_time = 0;         // seconds since the epoch of the last crash (0: none)
    uint32_t live_dump_length = 0;   // bytes of live dump the driver gives (0: its dump facility is off)
    std::map<uint32_t, OptionVar> options;  // the values the NVM holds
    // Values set since the last flush: read back before the NVM's, written to the NVM by
    // a flush, lost at the next reset.
    std::map<uint32_t, OptionVar> unflushed_options;
    std::map<uint32_t, uint32_t> registers;  // direct register access, by firmware address
    InstallResult last_install;
    std::vector<uint64_t> pcie_counters = std::vector<uint64_t>(12, 0);
    EyeScopeTest eye_scope;
    // Per-feature state of the device commands, each kept by its feature as a JSON text
    // under the feature's name.
    std::map<std::string, std::string> features;
    std::map<uint16_t, VfSettings> vfs;  // by the VF's firmware id
    std::map<uint32_t, PortLoopback> loopback;  // by port
    RecoveryChipState chip;
    VerifiedBootImage verified_boot;
    // A session saves the state only when it compares unequal to what was loaded, so a
    // field added here must be comparable (give a record type a defaulted operator==).
    bool operator==(const AdapterState&) const = default;
};

// The register side of a function's chip that outlives a mapping of its BAR0: the
// sliding window's base, the mailbox CTRL bits the host side left set (HRTS, HCTS, data
// valid) when its last window went away, and how many windows are mapped now.
struct ChipState {
    uint32_t window_base = 0;
    uint32_t host_ctrl = 0;
    uint32_t open_windows = 0;
    uint32_t windows_mapped = 0;  // mappings made so far
    bool operator==(const ChipState&) const = default;
};

struct RuntimeState {
    int64_t clock_offset_us = 0;          // virtual clock = wall clock + offset
    std::vector<uint32_t> fault_hits;     // matching requests seen, per scheduled fault
    std::map<std::string, AdapterState> adapters;  // by adapter name
    std::map<std::string, ChipState> chips;        // by PCI address of the function
    bool operator==(const RuntimeState&) const = default;
};

nlohmann::json to_json(const RuntimeState& state);
bool state_from_json(const nlohmann::json& j, RuntimeState& state, std::string& error);

}  // namespace zelt::sim
