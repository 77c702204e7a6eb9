// The recovery preparation of the install command: the adapter is taken from its
// driver, the recovery image is started on it, and its NVM is made ready for the
// package.
#include <cstdio>

#include "device/discovery.h"
#include "device/discovery_lookup.h"
#include "device/identity/identity.h"
#include "device/nvm/nvm_items.h"
#include "device/pci_window_channel.h"
#include "device/recovery/recovery.h"
#include "device/recovery/recovery_image.h"
#include "log/print.h"
#include "transport/function.h"

namespace zelt::device {

namespace {

// Bytes of 0xFF written at the NVM's start by a -force recovery, and where.
constexpr uint32_t kEraseLength = 0x3000;
constexpr uint32_t kEraseOffsetOlder = 0;
constexpr uint32_t kEraseOffsetKestra = 0x100000;

// The advice to run the recovery again, as a sentence (`first`) or after "then".
std::string rerun_advice(const std::string& name, bool first = true) {
    return std::string(first ? "Run" : "run") + " the recovery again with -dev=" + name + " (zeltnvm -dev=" + name +
           " -recovery install <package file>).";
}

}  // namespace

void RecoveryState::image_running(bool running) const {
    if (road) road->run().fastboot_running = running;
}

void RecoveryState::leave_recovery() const {
    if (!road) return;
    road->run().fastboot_running = false;
    road->run().recovery_mode = false;
}

Result zeltnvm_fastboot_recovery_image(const transport::Function& fn, int device_type, RecoveryObserver& observer,
                                       std::string* image_out, transport::MailboxRun* run) {
    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    if (device_type > 7) {
        if (Result rc = recovery::unlock_kestra(fn, device_type, observer); !rc) return rc;
        return recovery::fastboot_kestra(fn, device_type, observer, image_out, run);
    }
    if (Result rc = recovery::unlock_older(fn, device_type, observer); !rc) return rc;
    return recovery::fastboot_older(fn, device_type, observer, image_out, run);
}

RecoveryPreparation zeltnvm_invoke_recovery_process(host::Host& host, const Inventory& inventory,
                                                    const InventoryFunction& target, const RecoveryRequest& request,
                                                    RecoveryObserver& observer) {
    RecoveryPreparation out;
    out.state = std::make_unique<RecoveryState>();
    RecoveryState& state = *out.state;
    auto fail = [&](Result rc, std::string next) {
        out.result = rc;
        state.next_action = std::move(next);
        return std::move(out);
    };

    if (request.force && !request.cfg_section) {
        observer.say("\nRecovery -force option will erase the complete NVM. But package file does not contians the "
                     "configuration section.\n",
                     true);
        observer.say("Recovery might fail. Please provide the package file which contians the configuration section.\n",
                     true);
        return fail(Result::tool(kRecoveryNeedsCfgSection),
                    "Give a package file that holds the configuration section, or run the recovery without -force.");
    }
    if (request.force && request.update_record_status != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to find the update directory in the given pkg file.\n");
        observer.say("\nRecovery -force option will erase the complete NVM. But package file does not contain the "
                     "update directory.\n",
                     true);
        return fail(Result::tool(request.update_record_status),
                    "Give a package file that holds the update directory, or run the recovery without -force.");
    }
    const PciAddress at = target.address();
    const int type = device_type_of(target);
    state.device_type = type < 0 ? 0 : type;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "adapter->nic_info.driver_type = 0x%x\n",
                  target.facts.nic_info.driver_type);

    // The function is reached on a mailbox road of the recovery's own, whose run knows
    // (once discovery has found the function again) that the function is in recovery.
    state.road = std::make_shared<transport::MailboxRoad>(host);
    std::string name = target.name();
    // A function of the adapter the driver still holds, the target first: a run stopped
    // half-way through unbinding may have left the target free and a sibling bound.
    const InventoryFunction* bound = nullptr;
    for (const InventoryFunction& f : inventory.functions) {
        const bool same_bus = f.address().domain == at.domain && f.address().bus == at.bus;
        if (!same_bus || f.facts.nic_info.driver_type == ZELT_DRIVER_NONE) continue;
        if (!bound || &f == &target) bound = &f;
    }
    if (bound) {
        const std::string window_name = transport::pci_window_name(at);
        if (Result rc = zeltnvm_disable_enable_driver_num_vf(host, inventory, *bound, 0, observer); !rc) {
            observer.say("\nFailed to disable sriov vf's. Please disable sriov vf's manually.\n", true);
            return fail(Result::tool(kRecoveryVfFailed),
                        "Turn the adapter's SR-IOV virtual functions off (write 0 to sriov_numvfs of each of its "
                        "physical functions), then run the recovery again.");
        }
        state.steps.vfs_disabled = true;
        observer.say(recovery::text("\nOrvanta drivers are loaded. Unbinding all the active physical functions of the "
                                    "PCI device %04x:%02x:%x from the driver.\n",
                                    at.domain, at.bus, at.device),
                     false);
        if (Result rc = zeltnvm_unbind_driver(host, inventory, *bound); !rc) {
            observer.say("\nFailed to unbind the PF's from the driver. Please unbind/unload the\n", true);
            observer.say(recovery::text("orvanta drivers manually for the PCI device %04x:%02x:%x\n", at.domain, at.bus,
                                        at.device),
                         true);
            return fail(Result::tool(kRecoveryUnbindFailed),
                        "Some functions of the adapter may still be bound to the driver: unbind them (or unload the "
                        "driver), then " +
                            rerun_advice(window_name, false));
        }
        state.steps.unbound = true;
        name = window_name;
    }

    // Found again as discovery now sees it, through the recovery's road.
    Roads roads = live_roads(host);
    roads.pci_window = std::make_shared<PciWindowChannel>(host, state.road);
    const std::string after_unbind = state.steps.unbound
                                         ? " The adapter's functions are no longer bound to the driver."
                                         : std::string();
    if (Result rc = zelt_nvm_discover(host, roads, state.inventory); !rc) {
        observer.say("No supported devices found. Please make sure all the required drivers are loaded properly\n", true);
        return fail(Result::tool(kRecoveryNoDevice), rerun_advice(name) + after_unbind);
    }
    const InventoryFunction* again = nullptr;
    for (const InventoryFunction& f : state.inventory.functions)
        if (f.function.name == name) again = &f;
    if (!again) {
        observer.say("No supported devices found. Please make sure all the required drivers are loaded properly\n", true);
        return fail(Result::tool(kRecoveryNoDevice), rerun_advice(name) + after_unbind);
    }
    state.function_index = static_cast<size_t>(again - state.inventory.functions.data());
    state.steps.found_again = true;
    const InventoryFunction& fn = *again;
    // From here a silent firmware is tried all the same: the recovery image is about to
    // replace it. (Discovery ran without this, so that it did not wait on every query.)
    state.road->run().recovery_mode = true;

    observer.say("\nEntering recovery mode. Please wait... \n", false);
    if (Result rc = zeltnvm_fastboot_recovery_image(fn.function, state.device_type, observer, &state.image,
                                                    &state.road->run());
        !rc) {
        observer.say("\nFailed to enter into recovery mode. Cannot perform the device recovery.\n", true);
        return fail(Result::tool(kRecoveryImageFailed),
                    "Check that the recovery image for the adapter is in /lib/firmware/diagfw/, then " +
                        rerun_advice(name, false) + after_unbind);
    }
    state.steps.protection_unlocked = true;
    state.steps.image_started = true;

    if (request.force) {
        state.saved = zelt_nvm_save_identity_for_recovery(fn, request.onboard_cfg_required);
        state.steps.identity_saved = true;
        const uint32_t offset = state.device_type < 8 ? kEraseOffsetOlder : kEraseOffsetKestra;
        if (Result rc = zeltnvm_erase_nvm_blk(fn.function, offset, kEraseLength, 0xFF); !rc) {
            observer.say(recovery::text("\nFailed to recover the PCI device %04x:%02x:%02x\n", at.domain, at.bus,
                                        at.device),
                         true);
            observer.say(recovery::text("\nFailed to erase the NVM with status %d.\n", rc.code()), true);
            return fail(rc, rerun_advice(name) + after_unbind);
        }
        state.steps.nvm_erased = true;
    } else {
        observer.say("\nNVM Defragmentation might take a few minutes to finish. Please wait ...\n", false);
        if (zeltnvm_defragment_nvm(fn.function).ok()) {
            state.steps.defragmented = true;
            observer.say("\nNVM Defragmentation completed successfully.\n", false);
        } else {
            state.steps.defragment_failed = true;
            observer.say("\nNVM Defragmentation failed.\n", true);
        }
    }
    if (state.steps.unbound)
        state.next_action = "Bind the adapter's functions to the driver again (reload it) to bring its network "
                            "interfaces back.";
    out.result = Result();
    return out;
}

}  // namespace zelt::device
