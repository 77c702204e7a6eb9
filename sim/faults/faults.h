// Scheduled faults of a simulated host.
//
// Faults of the message and driver paths stay in the description's fault list and are
// checked on every request:
//   "hwrm_error"    the firmware answers the message with `error_code` and `cmd_err`
//   "busy"          the driver refuses the request as busy (EBUSY on the firmware
//                   channel, EAGAIN on ethtool)
//   "timeout"       the firmware does not answer in time (ETIMEDOUT after the
//                   message's time-out has passed on the virtual clock)
//   "unresponsive"  like "timeout", for every message and every NVM ethtool command
//   "lfc_errno"     the firmware-channel ioctl fails with `errno`, answer codes 0
//   "ethtool_errno" the ethtool command `ethtool_cmd` fails with `errno`
//   "install_fault" the firmware's installation of a staged package goes wrong, by
//                   either road: with `cmd_err` 1 to 4 it is refused with that detail
//                   (1, fragmented, only while defragmentation is not allowed); with
//                   `cmd_err` 0 the flash write of the last item it installs fails
//                   (result `error_code`, or 5). Only the adapter and function narrow
//                   it; it fires on every installation until cleared.
//   "install_slow"  the firmware's final flash write of an installation takes real time:
//                   the directory is written, then kInstallSlowWriteMs pass, then the
//                   items (adapter and function narrow it).
//   "reset_fault"   the firmware's reset goes wrong, by `cmd_err` (sim/firmware/reset.h)
//   "install_resets_macs" a successful installation puts the MAC address options of
//                   the adapter's functions back to their factory values (adapter and
//                   function narrow it).
//   "signal"        once the firmware has answered the message (narrowed by `ethtool_cmd`:
//                   once the driver has done that command), `signal` is raised in the
//                   process that sent it: the tool itself, whose simulated firmware runs
//                   behind its simulated host. It lets a test stop a run at a chosen step.
//   "dir_length"    the firmware's directory answer claims `value` bytes of data and of
//                   room for the items of directory type `dir_type` (every type when
//                   not given); the flash itself is unchanged (adapter and function
//                   narrow it)
//   "coredump_segments" the firmware's core dump lists `value` segments (0: none); past
//                   its own few, the extra ones are small generated segments (adapter
//                   and function narrow it)
// Each may be narrowed to an adapter, a function (PCI address or interface name), a
// message number (`req_type`) and to the Nth matching request only (`nth`). "busy" and
// "unresponsive" narrowed to an ethtool command (`ethtool_cmd`) hit that driver command
// only and no firmware message.
//
// Faults that change the host itself are applied to the description at once and the
// file tree is rebuilt:
//   "no_lfc_device"   /dev/zelt_lfc and the firmware-channel driver are gone
//   "driver_unloaded" the Ethernet driver releases the functions (all, or the adapter's)
//   "vfio"            the function(s) are bound to the pass-through driver
//   "link_down"       the link of the function(s) is down
//   "no_root"         commands run without administrative rights
//   "self_reset_status" the firmware status query reports `value` as the self-reset
//                     status of the adapter(s) (3: a cold boot is needed; 0 clears it)
//   "boot_status"     the firmware status query reports `value` as the pending boot
//                     action (2: reboot, 3: cold boot; 0 reports the run-time status)
#pragma once

#include <cstdint>
#include <string>

#include "sim/state/description.h"
#include "sim/state/sim_store.h"

namespace zelt::sim {

// Real-time pause inside the flash write of an "install_slow" installation.
inline constexpr unsigned kInstallSlowWriteMs = 2000;

// True for the kinds that are applied to the description instead of being scheduled.
bool is_structural_fault(const std::string& kind);
bool is_known_fault(const std::string& kind);
// False with `error` for a fault of an unknown kind or with a value its kind cannot
// take (a "signal" fault without a signal number from 1 to 31).
bool check_fault(const FaultDesc& fault, std::string& error);

// Applies a structural fault to the description. False with `error` when it names an
// adapter or function that does not exist.
bool apply_structural_fault(HostDesc& host, const FaultDesc& fault, std::string& error);

// The first scheduled fault that fires for a firmware message, or nullptr. Every fault
// whose filters match counts the request, so `nth` counts matching requests.
const FaultDesc* match_message_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                     uint16_t req_type);
// The same for an ethtool command on an interface. "busy" and "unresponsive" only hit
// commands that reach the firmware (`reaches_firmware`: NVM, flash, dump, module, reset).
const FaultDesc* match_ethtool_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                     uint32_t ethtool_cmd, bool reaches_firmware);

// The signal a "signal" fault raises once the firmware message `req_type` is answered,
// or once the ethtool command `ethtool_cmd` is done (-1 for the other road); 0 when none
// fires. Counts the request like the matchers above.
int match_signal_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function, int req_type,
                       int ethtool_cmd);

}  // namespace zelt::sim
