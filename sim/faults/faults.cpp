#include "sim/faults/faults.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "common/directory_types.h"
#include "sim/firmware/reset.h"
#include "sim/flash/flash_model.h"

namespace zelt::sim {

namespace {

constexpr std::array<std::string_view, 17> kScheduled = {
    "hwrm_error",  "busy",         "timeout", "unresponsive",        "lfc_errno",  "ethtool_errno", "install_fault",
    "reset_fault", "install_slow", "signal",  "install_resets_macs", "dir_length", "eyescope_slow",
    "coredump_segments", "mgmt_unknown_callback", "mgmt_install_refused", "mgmt_callback_fails"};
// Faults of the chip behind the register window: those that hold while scheduled, and
// those of one mailbox exchange (counted like message faults).
constexpr std::array<std::string_view, 4> kChipStanding = {"no_mailbox", "mailbox_busy", "bar_denied",
                                                           "fw_not_operational"};
constexpr std::array<std::string_view, 3> kMailboxExchange = {"mailbox_silent", "mailbox_oversize", "mailbox_tag"};
constexpr std::array<std::string_view, 7> kStructural = {"no_lfc_device", "driver_unloaded", "vfio",
                                                         "link_down",     "no_root",         "self_reset_status",
                                                         "boot_status"};

// Faults of the management callbacks, matched by callback number only.
bool is_mgmt_fault(const std::string& kind) {
    return kind == "mgmt_unknown_callback" || kind == "mgmt_install_refused" || kind == "mgmt_callback_fails";
}

bool function_matches(const FaultDesc& f, const AdapterDesc& a, const FunctionDesc& fn) {
    if (!f.adapter.empty() && f.adapter != a.name) return false;
    if (!f.function.empty() && f.function != fn.address() && f.function != fn.ifname) return false;
    return true;
}

// Counts the request against a fault whose filters match; true when it fires.
bool fires(SimSession& session, size_t index) {
    const FaultDesc& f = session.host_view().faults[index];
    auto& hits = session.state().fault_hits;
    if (hits.size() <= index) hits.resize(index + 1, 0);
    uint32_t n = ++hits[index];
    return f.nth == 0 || n == f.nth;
}

}  // namespace

bool is_structural_fault(const std::string& kind) {
    for (auto k : kStructural)
        if (k == kind) return true;
    return false;
}

bool is_chip_fault(const std::string& kind) {
    for (auto k : kChipStanding)
        if (k == kind) return true;
    for (auto k : kMailboxExchange)
        if (k == kind) return true;
    return false;
}

bool is_known_fault(const std::string& kind) {
    if (is_structural_fault(kind) || is_chip_fault(kind)) return true;
    for (auto k : kScheduled)
        if (k == kind) return true;
    return false;
}

bool check_fault(const FaultDesc& fault, std::string& error) {
    if (!is_known_fault(fault.kind)) {
        error = "unknown fault kind '" + fault.kind + "'";
        return false;
    }
    if (fault.kind == "signal" && (fault.signal < 1 || fault.signal > 31)) {
        error = "a signal fault needs a signal number from 1 to 31";
        return false;
    }
    if (fault.kind == "fw_not_operational" && fault.value > 0xFFFF) {
        error = "fw_not_operational takes a 16-bit health word";
        return false;
    }
    return true;
}

bool apply_structural_fault(HostDesc& host, const FaultDesc& fault, std::string& error) {
    if (fault.kind == "no_lfc_device") {
        host.lfc_device = false;
        return true;
    }
    if (fault.kind == "no_root") {
        host.root_user = false;
        return true;
    }
    if (fault.kind == "self_reset_status" || fault.kind == "boot_status") {
        if (fault.value > 0xFF) {
            error = fault.kind + " must be 0 to 255";
            return false;
        }
        bool found = false;
        for (auto& a : host.adapters) {
            if (!fault.adapter.empty() && fault.adapter != a.name) continue;
            found = true;
            (fault.kind == "boot_status" ? a.boot_status : a.self_reset_status) = static_cast<uint8_t>(fault.value);
        }
        if (!found) error = "no adapter named '" + fault.adapter + "'";
        return found;
    }
    bool any = false;
    for (auto& a : host.adapters) {
        for (auto& fn : a.functions) {
            if (!function_matches(fault, a, fn)) continue;
            any = true;
            if (fault.kind == "driver_unloaded") {
                if (fn.driver == kEthernetDriver) fn.driver.clear();
            } else if (fault.kind == "vfio") {
                if (!fn.is_vf) fn.driver = kPassThroughDriver;
            } else if (fault.kind == "link_down") {
                fn.link_up = false;
            }
        }
    }
    if (!any) error = "no function matches adapter '" + fault.adapter + "' function '" + fault.function + "'";
    return any;
}

const FaultDesc* match_message_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                     uint16_t req_type) {
    const auto& faults = session.host_view().faults;
    const FaultDesc* hit = nullptr;
    for (size_t i = 0; i < faults.size(); ++i) {
        const FaultDesc& f = faults[i];
        // Installation and reset faults belong to the firmware's own work, not to a message.
        if (f.kind == "ethtool_errno" || f.kind == "install_fault" || f.kind == "install_slow" ||
            f.kind == "reset_fault" || f.kind == "signal" || f.kind == "install_resets_macs" ||
            f.kind == "dir_length" || f.kind == "eyescope_slow" || f.kind == "coredump_segments" ||
            is_chip_fault(f.kind) || is_mgmt_fault(f.kind) ||
            is_structural_fault(f.kind))
            continue;
        if (!function_matches(f, adapter, function)) continue;
        if (f.req_type >= 0 && f.req_type != req_type) continue;
        if (f.ethtool_cmd >= 0) continue;  // narrowed to a driver command
        if (fires(session, i) && !hit) hit = &f;
    }
    return hit;
}

const FaultDesc* chip_fault(const HostDesc& host, const AdapterDesc& adapter, const FunctionDesc& function,
                            const std::string& kind) {
    for (const FaultDesc& f : host.faults)
        if (f.kind == kind && function_matches(f, adapter, function)) return &f;
    return nullptr;
}

MailboxFaults match_mailbox_faults(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                   uint16_t req_type) {
    MailboxFaults out;
    const auto& faults = session.host_view().faults;
    for (size_t i = 0; i < faults.size(); ++i) {
        const FaultDesc& f = faults[i];
        bool exchange = false;
        for (auto k : kMailboxExchange) exchange = exchange || k == f.kind;
        if (!exchange || !function_matches(f, adapter, function)) continue;
        if (f.req_type >= 0 && f.req_type != req_type) continue;
        if (!fires(session, i)) continue;
        if (f.kind == "mailbox_silent") out.silent = true;
        else if (f.kind == "mailbox_oversize") out.oversize = true;
        else out.wrong_tag = true;
    }
    return out;
}

const FaultDesc* match_ethtool_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                     uint32_t ethtool_cmd, bool reaches_firmware) {
    const auto& faults = session.host_view().faults;
    const FaultDesc* hit = nullptr;
    for (size_t i = 0; i < faults.size(); ++i) {
        const FaultDesc& f = faults[i];
        bool relevant = f.kind == "ethtool_errno" ||
                        (reaches_firmware && (f.kind == "busy" || f.kind == "unresponsive"));
        if (!relevant || !function_matches(f, adapter, function)) continue;
        if (f.ethtool_cmd >= 0 && static_cast<uint32_t>(f.ethtool_cmd) != ethtool_cmd) continue;
        if (f.kind != "ethtool_errno" && f.req_type >= 0) continue;  // narrowed to a firmware message
        if (fires(session, i) && !hit) hit = &f;
    }
    return hit;
}

const FaultDesc* match_mgmt_fault(SimSession& session, const AdapterDesc* adapter, const FunctionDesc* function,
                                  uint32_t callback) {
    const auto& faults = session.host_view().faults;
    const FaultDesc* hit = nullptr;
    for (size_t i = 0; i < faults.size(); ++i) {
        const FaultDesc& f = faults[i];
        uint32_t target = f.value;
        if (f.kind == "mgmt_unknown_callback") {
            if (target == 0) target = 53;
        } else if (f.kind == "mgmt_install_refused") {
            target = 37;
        } else if (f.kind != "mgmt_callback_fails") {
            continue;
        }
        if (target != callback) continue;
        if (adapter && function && !function_matches(f, *adapter, *function)) continue;
        if (fires(session, i) && !hit) hit = &f;
    }
    return hit;
}

int match_signal_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function, int req_type,
                       int ethtool_cmd) {
    const auto& faults = session.host_view().faults;
    int signal = 0;
    for (size_t i = 0; i < faults.size(); ++i) {
        const FaultDesc& f = faults[i];
        if (f.kind != "signal" || !function_matches(f, adapter, function)) continue;
        // A fault narrowed to a driver command waits for that command; any other for a
        // firmware message.
        if (ethtool_cmd >= 0 ? f.ethtool_cmd != ethtool_cmd : (f.ethtool_cmd >= 0 || (f.req_type >= 0 && f.req_type != req_type)))
            continue;
        if (fires(session, i) && signal == 0) signal = f.signal;
    }
    return signal;
}

bool brick_adapter(SimSession& session, const std::string& adapter, std::string& error) {
    const AdapterDesc* a = session.host_view().find_adapter(adapter);
    if (!a) {
        error = "no adapter named '" + adapter + "'";
        return false;
    }
    FlashModel flash = session.flash_model(adapter);
    const int index = flash.has_directory() ? flash.find(ZEL_DIR_TYPE_BOOTCODE, 0, 0) : -1;
    if (index < 0) {
        error = adapter + ": the NVM holds no boot code";
        return false;
    }
    // A write cut short: a run of the image's middle reads erased.
    const zelnvm_directory_entry_t entry = flash.entry(static_cast<uint32_t>(index));
    const uint32_t length = std::min<uint32_t>(256, entry.data_length / 2);
    if (flash.raw_fill(entry.item_location + entry.data_length / 4, length, 0xFF) != FlashStatus::ok) {
        error = adapter + ": the boot code cannot be damaged";
        return false;
    }
    // The adapter restarts now and its boot ROM finds the image broken.
    chip_boot_from_nvm(session.adapter_state(adapter).chip, a->device_type, nvm_boot_image_verifies(flash));
    return true;
}

bool set_redundancy_status(SimSession& session, const std::string& adapter, uint32_t word, std::string& error) {
    bool found = false;
    for (const auto& a : session.host_view().adapters) {
        if (!adapter.empty() && adapter != a.name) continue;
        found = true;
        session.state().adapters[a.name].fw_status = word;
    }
    if (!found) error = "no adapter named '" + adapter + "'";
    return found;
}

}  // namespace zelt::sim
