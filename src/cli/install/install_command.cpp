// The install command: selection per adapter, the update table, the confirmation and
// the updates.
#include "cli/install/install_command.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cli/adapter_lock.h"
#include "cli/command_registry.h"
#include "cli/display_error.h"
#include "cli/install/online_update.h"
#include "cli/host_action_messages.h"
#include "cli/install/user_answer.h"
#include "cli/package_commands.h"
#include "cli/report/output.h"
#include "cli/run_context.h"
#include "cli/version.h"
#include "common/directory_types.h"
#include "device/discovery_lookup.h"
#include "device/discovery_records.h"
#include "device/recovery/recovery.h"
#include "host/host.h"
#include "log/print.h"
#include "package/anti_rollback.h"
#include "package/package_reader.h"
#include "transport/fw_queries.h"

namespace zelt::cli {

namespace {

// Family label of the messages: `selection` is true for the messages of the selection
// step, which name the newest families "Orvanta-E" as well.
const char* family_label(int device_type, bool selection) {
    if (device_type == 2 || device_type == 3) return "Orvanta-C";
    if (device_type >= 4 && device_type <= 6) return "Orvanta-E";
    if (selection && device_type >= 8) return "Orvanta-E";
    return "Orvanta-C/E/S";
}

// The package files to consider. Each file argument is expanded at most once: one that
// names a file (as typed, or as the command word's pattern matched it) is taken as it
// is, even with pattern characters in its name; any other is a shell-style pattern.
std::vector<std::string> candidate_files(zelt::host::Host& host, char** files, int count,
                                         const zelt::cli::InstallArgs& args) {
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        if (files[i]) arguments.emplace_back(files[i]);
    if (arguments.empty() && args.pattern) arguments.emplace_back(args.pattern);
    std::vector<std::string> out;
    for (std::string& a : arguments) {
        if (host.exists(a)) {
            out.push_back(std::move(a));
            continue;
        }
        std::vector<std::string> matches;
        if (host.glob_paths(a, matches) != 0) continue;
        for (std::string& m : matches) out.push_back(std::move(m));
    }
    return out;
}

void fill_row(const zelt::device::InventoryFunction& function, zelt_update_row& row) {
    const zelt::device::zelt_nvm_device_info_t& rec = function.facts;
    row.target = &function;
    row.domain = rec.pci_info.domain_no;
    row.bus = rec.pci_info.bus_no;
    row.device = rec.pci_info.device_no;
    row.function = rec.pci_info.function_no;
    row.device_id = rec.pci_info.device_id;
    const int type = zelt::device::device_type_of(function);
    row.device_type = type < 0 ? 0 : type;
    row.skip = 0;
}

void print_selection_failure(int rc) {
    switch (rc) {
        case 12:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Package file verification failed. Please provide a valid package file to update the "
                          "firmware.\n");
            break;
        case 4: zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid package file. Package installation failed\n"); break;
        case 69:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid package file. Given package file supports the \"OnboardCfg\" which requires "
                          "\"OnboardCfg\" directory in the device nvm.\n");
            break;
        case 77:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid package file. Given package file is a livepatch package file, which does not "
                          "support with recovery operation.\n");
            break;
        default:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Package installation failed. Please review debug log file for more information\n");
            break;
    }
}

// Why the selection refused an adapter, in words for the report.
const char* selection_refusal(int status) {
    switch (status) {
        case 4: return "no package file applies to the adapter";
        case 8: return "the adapter could not be read";
        case 12: return "package verification failed";
        case 69: return "the package needs the \"OnboardCfg\" item, which the adapter's NVM lacks";
        case 76: return "several package files apply to the adapter";
        case 77: return "a live-patch package cannot be installed by recovery";
        default: return "the package cannot be installed on the adapter";
    }
}

// What the console shows while an adapter is prepared for recovery.
class RecoveryMessages final : public zelt::device::RecoveryObserver {
public:
    void say(const std::string& text, bool error) override {
        zeltnvm_print(ZELT_LOC_BOTH, error ? ZELT_LVL_ERROR : ZELT_LVL_INFO, "%s", text.c_str());
    }
    void turning_off_vfs(const zelt::PciAddress& pf) override { vfs_.turning_off_vfs(pf); }

private:
    zelt::cli::HostActionMessages vfs_;
};

// The anti-rollback rule before a recovery of a Kestra adapter: 0 to go on (also when
// the adapter's counters cannot be read: a bricked adapter does not answer), else the
// status to end with, its message printed.
int anti_rollback_status(const zelt::device::InventoryFunction& target, std::span<const uint8_t> pkg) {
    hwrm_mfg_otp_qcfg_output otp{};
    if (const zelt::Result rc = zelt::transport::zeltnvm_query_mfg_otp_details(target.function, &otp); !rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "query_mfg_otp_details failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Might be query_mfg_otp failure or fw not responding.\n");
        return 0;
    }
    const zelt::SecureRevisions device{otp.crid, otp.sbi_rev_id, otp.srt_rev_id, otp.crt_rev_id};
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                  "nvm_sbi_crid = %d nvm_sbi_revid = %d nvm_srt_revid = %d nvm_crt_revid = %d\n", device.crid,
                  device.sbi, device.srt, device.crt);
    zelt::SecureRevisions package;
    int status = zelt::zelpkgSecureRevisions(pkg.data(), pkg.size(), &package);
    if (status == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      "pkg_sbi_crid = %d pkg_sbi_revid = %d pkg_srt_revid = %d pkg_crt_revid = %d\n", package.crid,
                      package.sbi, package.srt, package.crt);
        status = zelt::zelpkgAntiRollbackStatus(package, device);
    }
    if (status == zelt::ZELPKG_ANTI_ROLLBACK_REFUSED) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Anti-rollback FW is installed. Device recovery is not supported for the current "
                      "configuration.\n");
    } else if (status != 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Package file validation failed. Please check zeltnvm.log file for more details.\n");
    }
    return status;
}

using zelt::cli::AdapterOutcome;

// After a recovery installation: what the administrator must do next. A failed
// installation leaves the recovery image running; the recovery is run again. What
// could not be brought back of the adapter's identity comes first.
void tell_next_action(AdapterOutcome& out, int status) {
    if (status != 0 && !out.completed) {
        const std::string& name = out.reached_as.empty() ? std::string(out.function->name()) : out.reached_as;
        out.next_action = "Run the recovery again with -dev=" + name + " and -force (zeltnvm -dev=" + name +
                          " -recovery install <package file> -force).";
    }
    if (!out.lost.empty()) {
        std::string advice = "The recovery could not bring back: " + out.lost + ". Program them again by hand.";
        if (!out.next_action.empty()) advice += " " + out.next_action;
        out.next_action = std::move(advice);
    }
    if (!out.next_action.empty())
        zeltnvm_print(ZELT_LOC_BOTH, status != 0 ? ZELT_LVL_ERROR : ZELT_LVL_INFO, "\nNext step: %s\n",
                      out.next_action.c_str());
}
using zelt::cli::InstallDecision;
using zelt::cli::InstallOutcome;

// The status of a run over several adapters: the first adapter's, in discovery order,
// that was neither updated nor already up to date, so that a script sees an adapter
// left behind however it was left (refused by the selection, several packages, a
// failed installation); 0 when there is none.
int first_failing_status(const std::vector<AdapterOutcome>& outcomes) {
    for (const AdapterOutcome& out : outcomes)
        if (out.status != 0) return out.status;
    return 0;
}

// In a run over several adapters the selection's refusal of one adapter does not end
// the run; it is said, so that the run's status can be traced to the adapter.
void print_adapter_refused(const zelt::device::InventoryFunction& target, const char* reason) {
    const zelt::device::zelt_nvm_device_info_t& rec = target.facts;
    const int type = zelt::device::device_type_of(target);
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                  "\n%s Controller at PCI Domain:%04x Bus:%02x Dev:%02x is not updated: %s.\n",
                  family_label(type < 0 ? 0 : type, true), rec.pci_info.domain_no, rec.pci_info.bus_no,
                  rec.pci_info.device_no, reason);
}

int install_command(const zelt::device::Inventory& inventory, const zelt::device::InventoryFunction* selected,
                    char** files, int count,
                    const zelt::cli::InstallArgs& args, const zelt::cli::RunContext& context,
                    std::vector<AdapterOutcome>& outcomes, zelt::cli::InstallRows& work) {
    // The confirmation question goes to standard error when standard output holds a
    // document.
    const bool prompt_to_stderr = context.output.json();
    zelt::cli::AdapterLocks locks(context.host, context.lock_wait_ms);
    if (args.recovery && !selected) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Please specify \"-dev=\" option for recovery to perform.\n");
        return -1;
    }
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                  "\nHalvex Orvanta-C/E/S firmware update and configuration utility version v%u.%u.%u.%u\n",
                  ZELT_VERSION_MAJOR, ZELT_VERSION_MINOR, ZELT_VERSION_BUILD, ZELT_VERSION_FOURTH);

    // The adapters to consider, in discovery order.
    std::vector<const zelt::device::InventoryFunction*> targets;
    if (selected) {
        targets.push_back(selected);
    } else {
        for (int n = 0; n < static_cast<int>(inventory.adapters.size()); ++n) {
            const zelt::device::InventoryFunction* rep = zelt::device::zeltnvm_adapter_representative(inventory, n);
            if (rep) targets.push_back(rep);
        }
    }
    const bool single = targets.size() == 1;

    std::vector<zelt_update_row>& rows = work.rows;
    std::vector<size_t>& row_outcome = work.outcome_of;  // each row's entry in `outcomes`
    // The online update's settings and download directory, removed when the run ends.
    std::unique_ptr<OnlineUpdate> online;
    int downloaded = 0;  // adapters whose package was downloaded
    for (const zelt::device::InventoryFunction* target : targets) {
        if (args.online && !zelt::cli::offers_downloads(context)) {
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "This adapter is not supported for online firmware update.\n\n");
            return zelt::cli::kNoDownloadStatus;
        }
        AdapterOutcome out;
        out.function = target;
        out.adapter = zelt::device::zeltnvm_adapter_of(inventory, &target->facts) + 1;
        std::vector<std::string> candidates;
        std::string download_name;  // the downloaded package's name, "" without -online
        if (args.online) {
            if (args.recovery) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                              "online option is not supported along with recovery options.\n");
                return 14;
            }
            if (!online) {
                int status = 0;
                online = zeltnvm_open_online_update(context.host, status);
                if (!online) return status;
            }
            std::string file;
            int rc = zeltnvm_check_online_firmware_update_supported(*online, *target);
            const bool metadata_failed = rc != 0;
            if (rc == 0) rc = zeltnvm_download_online_fw_pkg_file(*online, *target, file);
            if (rc != 0) {
                out.reason = metadata_failed ? "the online update service gave no package for the adapter"
                                             : "the adapter's package could not be downloaded";
                out.status = rc;
                outcomes.push_back(std::move(out));
                const bool last = target == targets.back();
                if (single || (last && downloaded == 0)) {
                    const zelt::device::zelt_nvm_device_info_t& rec = target->facts;
                    const int type = zelt::device::device_type_of(*target);
                    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                                  "\n%s Controller #%d at PCI Domain:%04x Bus:%02x Dev:%02x\n\n",
                                  family_label(type < 0 ? 0 : type, true), static_cast<int>(rows.size()) + 1,
                                  rec.pci_info.domain_no, rec.pci_info.bus_no, rec.pci_info.device_no);
                    if (metadata_failed)
                        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                                      "This adapter is not supported for online firmware update.\n\n");
                    else
                        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                                      "\nInvalid package file. Package installation failed.\n\n");
                    return rc;
                }
                print_adapter_refused(*target, outcomes.back().reason.c_str());
                continue;
            }
            ++downloaded;
            candidates.push_back(file);
            download_name = file.substr(file.rfind('/') + 1);
        } else {
            candidates = candidate_files(context.host, files, count, args);
            if (candidates.empty()) {
                zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                              "No package files found in the given path. Package installation failed");
                return 1;
            }
        }
        zelt::cli::PackageChoice choice = zeltnvm_check_package_supported(context.host, *target, candidates, args);
        if (!download_name.empty()) {
            // The checked bytes are what gets installed: the download has served its
            // purpose, and messages name it by its own name, not its private path.
            online->dir->remove(download_name);
            if (!choice.chosen.file.empty()) choice.chosen.file = download_name;
            for (std::string& f : choice.applicable) f = download_name;
        }
        if (choice.status != 0) {
            out.reason = selection_refusal(choice.status);
            out.failing_item = choice.failing_item;
            out.status = choice.status;
            outcomes.push_back(std::move(out));
            if (single) {
                print_selection_failure(choice.status);
                return choice.status;
            }
            print_adapter_refused(*target, outcomes.back().reason.c_str());
            continue;
        }
        zelt_update_row row;
        fill_row(*target, row);
        const int cfg = is_cfg_pkg(row.device_type, choice.chosen.bytes, args.recovery, args.force);
        const std::vector<std::string>& applicable = choice.applicable;
        const std::string version = choice.chosen.version;
        out.package_file = choice.chosen.file;
        out.package_version = version;

        if (args.recovery && !zelt::cli::offers_recovery(context)) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Recovery is not supported on this operating system.\n");
            out.reason = "recovery is not supported on this operating system";
            out.status = zelt::cli::kNoRecoveryStatus;
            outcomes.push_back(std::move(out));
            return outcomes.back().status;
        }
        if (args.recovery) {
            // Recovery writes to the adapter from its preparation on.
            const int locked = locks.take(*row.target);
            if (locked != 0) {
                out.reason = "the adapter is busy";
                out.status = zeltnvm_display_error_msg(CMD_INSTALL, locked);
                outcomes.push_back(std::move(out));
                return outcomes.back().status;
            }
            if (row.device_type == 8) {
                const int refused = anti_rollback_status(*row.target, choice.chosen.bytes);
                if (refused != 0) {
                    out.reason = "the package does not pass the adapter's anti-rollback counters";
                    out.status = refused;
                    outcomes.push_back(std::move(out));
                    return refused;
                }
            }
            RecoveryMessages recovery_messages;
            zelt::device::RecoveryRequest request;
            request.force = args.force;
            request.cfg_section = cfg != 0;
            request.onboard_cfg_required = choice.chosen.onboard_cfg_required;
            if (args.force) {
                zelpkg_manifest_item_t record{};
                request.update_record_status =
                    zelpkgFindItem(choice.chosen.bytes.data(), choice.chosen.bytes.size(), ZEL_DIR_TYPE_UPDATE, 0, 0,
                                   &record);
            }
            zelt::device::RecoveryPreparation prepared = zelt::device::zeltnvm_invoke_recovery_process(
                context.host, inventory, *row.target, request, recovery_messages);
            out.recovery = true;
            out.recovery_steps = prepared.state->steps;
            out.recovery_image = prepared.state->image;
            out.next_action = prepared.state->next_action;
            if (prepared.state->steps.found_again) out.reached_as = prepared.state->function().name();
            if (!prepared.result.ok()) {
                if (!out.next_action.empty())
                    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\nNext step: %s\n", out.next_action.c_str());
                out.reason = "the recovery preparation failed";
                out.result = prepared.result;
                out.status = prepared.result.code();
                outcomes.push_back(std::move(out));
                return outcomes.back().status;
            }
            row.saved = std::move(prepared.state->saved);
            row.target = &prepared.state->function();
            row.recovery = std::move(prepared.state);
        }
        row.package = std::move(choice.chosen);
        row.cfg_pkg = cfg;
        rows.push_back(std::move(row));
        zelt_update_row& added = rows.back();
        const int number = static_cast<int>(rows.size());
        out.number = number;
        const char* label = family_label(added.device_type, true);
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\n%s Controller #%d at PCI Domain:%04x Bus:%02x Dev:%02x\n", label,
                      number, added.domain, added.bus, added.device);

        std::string installed;
        if (args.recovery && args.force) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Skip to get the Installed NVM version.\n");
        } else {
            installed = zeltnvm_installed_pkg_version(*added.target);
            out.version_before = installed;
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "        Firmware on NVM - v%s\n\n", installed.c_str());
        }
        row_outcome.push_back(outcomes.size());
        outcomes.push_back(std::move(out));
        AdapterOutcome& noted = outcomes.back();

        if (applicable.size() >= 2) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "ERROR: Multiple supported package files found.\n");
            for (const std::string& f : applicable) zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "\t%s\n", f.c_str());
            added.skip = 76;
            noted.reason = selection_refusal(76);
            noted.status = 76;
            if (single) return 76;
            continue;
        }
        if (cfg && !args.recovery)
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Device %s : Installing package file v%s\n", added.target->name(),
                          installed.c_str());
        else
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Device %s : Installing package file %s\n", added.target->name(),
                          added.package.file.c_str());
        const bool newer = !is_pkg_upgrade(installed.c_str(), version.c_str());
        if (!newer && !args.force && !cfg && !args.recovery) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                          "%s Controller #%d is already up-to-date, hence skipping update. Please use '-force' option "
                          "to update the image.\n\n",
                          label, number);
            added.skip = 1;
            noted.decision = InstallDecision::kUpToDate;
            if (single) return 0;
            continue;
        }
        noted.decision = InstallDecision::kUpdate;
        std::string shown = version;
        if (cfg && !args.recovery && shown.empty()) shown = installed;
        if (shown.empty()) shown = "(N/A)";
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%s Controller #%d will be updated to firmware version v%s\n", label,
                      number, shown.c_str());
    }

    if (rows.empty()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "No supported devices found for the given package.\n\n");
        return 13;
    }
    bool any = false;
    for (const zelt_update_row& r : rows) any = any || r.skip == 0;
    if (!any) return first_failing_status(outcomes);
    // A plan ends here: everything before the question only reads.
    if (args.plan) return first_failing_status(outcomes);

    if (!args.yes && !args.recovery) {
        static constexpr const char* kQuestion = "\nDo you want to continue (Y/N)?";
        if (prompt_to_stderr) {
            std::fputs(kQuestion, stderr);
            std::fflush(stderr);
        } else {
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%s", kQuestion);
        }
        switch (zeltnvm_read_answer()) {
            case zelt_answer::yes: break;
            case zelt_answer::no: return first_failing_status(outcomes);
            case zelt_answer::other:
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid input value. Exiting\n");
                return 1;
        }
    }

    // Every row is tried; the run's status is then the first failing adapter's (see
    // first_failing_status): a later adapter's success must not hide an earlier failure.
    for (size_t i = 0; i < rows.size(); ++i) {
        zelt_update_row& r = rows[i];
        if (r.skip != 0) continue;
        AdapterOutcome& out = outcomes[row_outcome[i]];
        // Held to the end of the run: the install log's read, change and write-back
        // happen under it too.
        const int locked = locks.take(*r.target);
        if (locked != 0) {
            const int busy_rc = zeltnvm_display_error_msg(CMD_INSTALL, locked);
            out.decision = InstallDecision::kRefused;
            out.reason = "the adapter is busy";
            out.status = busy_rc;
            continue;
        }
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "\n");
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "%s Controller #%d is being updated",
                      family_label(r.device_type, false), static_cast<int>(i) + 1);
        std::fflush(stdout);
        const int adapter_rc = zeltnvm_invoke_firmware_update(inventory, r, args, out);
        r.package.bytes.release();  // done with: one package in memory less
        out.status = adapter_rc;
        if (out.recovery) tell_next_action(out, adapter_rc);
    }
    return first_failing_status(outcomes);
}

}  // namespace

InstallOutcome zeltnvm_install_command(const zelt::device::Inventory& inventory,
                                       const zelt::device::InventoryFunction* selected, char** files, int count,
                                       const zelt::cli::InstallArgs& args, const zelt::cli::RunContext& context,
                                       InstallRows* rows) {
    InstallOutcome outcome;
    InstallRows own;
    outcome.status = install_command(inventory, selected, files, count, args, context, outcome.adapters,
                                     rows ? *rows : own);
    return outcome;
}

}  // namespace zelt::cli
