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
//   "eyescope_slow" an eye-scope test started lasts kEyeScopeSlowStretch times longer
//                   and every progress query takes kEyeScopeSlowQueryMs of real time,
//                   so that a test can be stopped or interrupted while it runs
//                   (adapter and function narrow it)
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
//
// Faults of the chip behind the BAR0 register window (adapter and function narrow
// them). These hold while scheduled:
//   "no_mailbox"         the mailbox CTRL register carries no signature (nor does the
//                        indirect signature block of the newest chips)
//   "mailbox_busy"       the mailbox's busy-after-reset bit never clears
//   "bar_denied"         mapping the BAR0 resource file is refused (EACCES)
//   "fw_not_operational" the firmware health register reads `value` (default 0x0001)
//                        instead of a running firmware's 0x8000
// These hit one mailbox exchange, narrowed by `req_type` and counted by `nth`:
//   "mailbox_silent"     the firmware never answers the handshake
//   "mailbox_oversize"   the response block announces 36 bytes more than the answer
//                        (a 64-byte answer comes as a 100-byte block)
//   "mailbox_tag"        a multi-host answer carries another tag than the request's
//   "coredump_segments" the firmware's core dump lists `value` segments (0: none); past
//                   its own few, the extra ones are small generated segments (adapter
//                   and function narrow it)
// Faults of the driver's management callbacks (adapter and function narrow them):
//   "mgmt_unknown_callback" the driver does not know callback `value` (53 when not given):
//                   it fails the call with an unknown-callback status and no answer
//   "mgmt_install_refused"  the install callback (37) is refused by the firmware: driver
//                   status 0x0BAD0015 with `error_code` and `cmd_err` in the answer
//   "mgmt_callback_fails"   the invocation of callback `value` fails in the library
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
//
// "brick" damages an adapter the way a failed flash does: its NVM boot code image no
// longer verifies (`zeltsim fault <dir> brick --adapter <name>`). The adapter restarts
// at once and its firmware stays down: no message is answered on any road and the
// health register does not read operational, until a recovery image is loaded or the
// NVM is repaired and the chip reset. It is a change of the NVM, not a scheduled fault.
//
// "redundancy" sets the NVM redundancy status word the firmware's health query reports
// (`zeltsim fault <dir> redundancy --status <word>`; 0, the default, is healthy). It
// is run-time state of the firmware, not part of the description.
#pragma once

#include <cstdint>
#include <string>

#include "sim/state/description.h"
#include "sim/state/sim_store.h"

namespace zelt::sim {

inline constexpr unsigned kEyeScopeSlowQueryMs = 100;
inline constexpr unsigned kEyeScopeSlowStretch = 10;

// Real-time pause inside the flash write of an "install_slow" installation.
inline constexpr unsigned kInstallSlowWriteMs = 2000;

// True for the kinds that are applied to the description instead of being scheduled.
bool is_structural_fault(const std::string& kind);
bool is_known_fault(const std::string& kind);
// False with `error` for a fault of an unknown kind or with a value its kind cannot
// take (a "signal" fault without a signal number from 1 to 31).
bool check_fault(const FaultDesc& fault, std::string& error);
bool is_chip_fault(const std::string& kind);

// Applies a structural fault to the description. False with `error` when it names an
// adapter or function that does not exist.
bool apply_structural_fault(HostDesc& host, const FaultDesc& fault, std::string& error);

// The first scheduled fault that fires for a firmware message, or nullptr. Every fault
// whose filters match counts the request, so `nth` counts matching requests.
const FaultDesc* match_message_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                     uint16_t req_type);
// A chip fault of `kind` scheduled on the function (not counted), or nullptr.
const FaultDesc* chip_fault(const HostDesc& host, const AdapterDesc& adapter, const FunctionDesc& function,
                            const std::string& kind);

// The exchange faults that fire for one mailbox message (each matching one counted).
struct MailboxFaults {
    bool silent = false;
    bool oversize = false;
    bool wrong_tag = false;
};
MailboxFaults match_mailbox_faults(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                   uint16_t req_type);

// The same for an ethtool command on an interface. "busy" and "unresponsive" only hit
// commands that reach the firmware (`reaches_firmware`: NVM, flash, dump, module, reset).
const FaultDesc* match_ethtool_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function,
                                     uint32_t ethtool_cmd, bool reaches_firmware);

// The management-callback fault that fires for callback `callback` on the function
// (nullptr when none does; the function is null for the callbacks of no interface).
// Counts the request like the matchers above.
const FaultDesc* match_mgmt_fault(SimSession& session, const AdapterDesc* adapter, const FunctionDesc* function,
                                  uint32_t callback);

// The signal a "signal" fault raises once the firmware message `req_type` is answered,
// or once the ethtool command `ethtool_cmd` is done (-1 for the other road); 0 when none
// fires. Counts the request like the matchers above.
int match_signal_fault(SimSession& session, const AdapterDesc& adapter, const FunctionDesc& function, int req_type,
                       int ethtool_cmd);

// Bricks the adapter named `adapter` (see "brick" above). False with `error` when no
// adapter has that name or its NVM holds no boot code.
bool brick_adapter(SimSession& session, const std::string& adapter, std::string& error);

// Sets the redundancy status word of the adapter named `adapter` (every adapter when
// empty). False with `error` when no adapter has that name.
bool set_redundancy_status(SimSession& session, const std::string& adapter, uint32_t word, std::string& error);

}  // namespace zelt::sim
