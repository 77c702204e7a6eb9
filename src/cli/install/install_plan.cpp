// install -plan: the install's own selection and decision, stopped before the question,
// and what the update of each adapter would need and find.
#include "cli/install/install_plan.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/device_queries.h"
#include "device/identity/identity.h"
#include "device/installer/installer.h"
#include "log/print.h"
#include "transport/function.h"
#include "transport/fw_queries.h"

namespace zelt::cli {
namespace {

using report::Json;

// The status an installation that finds no room in the NVM ends with.
constexpr int kNoRoomStatus = 20;
// The status of options that cannot go together.
constexpr int kBadCombinationStatus = 14;

// What the plan found for one adapter of the outcome.
struct AdapterPlan {
    std::string running;   // running package version
    std::string firmware;  // running firmware version
    std::string nvm;       // the version the NVM's install log names
    PlanFlags flags;
    std::optional<device::StagingRoom> room;  // adapters to be updated
    std::vector<std::string> identity;                   // pieces the update would save
    PendingAction action = PendingAction::kNone;
    int status = 0;
};

bool same_version(const std::string& a, const std::string& b) {
    return is_pkg_upgrade(a.c_str(), b.c_str()) && is_pkg_upgrade(b.c_str(), a.c_str());
}

std::string text_of(const ResultOr<std::string>& value) { return value.ok() ? *value : std::string(); }

// True when the firmware reports an action (reset, reboot, cold boot) still to come.
bool activation_pending(const transport::Function& fn) {
    uint8_t boot = 0;
    return transport::zeltnvmFwQueryStatus(fn, 0, 1, &boot).ok() && boot != 0;
}

// The row the selection left for the outcome's adapter at `index`, or nullptr.
const zelt_update_row* row_of(const InstallRows& rows, size_t index) {
    for (size_t i = 0; i < rows.rows.size() && i < rows.outcome_of.size(); ++i)
        if (rows.outcome_of[i] == index) return &rows.rows[i];
    return nullptr;
}

// What the update of `row` would need: room for the staging item, the identity it
// saves first and what the new firmware needs afterwards. Only reads.
void plan_update(const zelt_update_row& row, AdapterPlan& plan) {
    const device::InventoryFunction& target = *row.target;
    const ResultOr<device::StagingRoom> room =
        device::zeltnvmStagingRoom(target.function, row.package.bytes);
    if (room.ok()) {
        plan.room = *room;
        if (!room->fits) plan.status = kNoRoomStatus;
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "%s: staging room not known (%d)\n", target.name(),
                      room.result().code());
    }
    device::SavedIdentity saved;
    device::zelt_nvm_save_mac(target, saved);
    if (saved.macs && !saved.macs->value.functions.empty()) plan.identity.emplace_back("mac_addresses");
    if (row.cfg_pkg) plan.identity.emplace_back("install_log");
    plan.action = zeltnvm_pending_action(target, row.package, row.cfg_pkg, nullptr);
}

AdapterPlan plan_adapter(const AdapterOutcome& out, const zelt_update_row* row) {
    AdapterPlan plan;
    plan.status = out.status;
    const transport::Function& fn = out.function->function;
    plan.running = text_of(fn.channel->package_version(fn));
    plan.firmware = text_of(fn.channel->firmware_version(fn));
    (void)zeltnvm_get_installed_pkg_ver(fn, plan.nvm);
    plan.flags = plan_flags(plan.running, plan.nvm, out.package_version, activation_pending(fn));
    if (row && out.decision == InstallDecision::kUpdate) plan_update(*row, plan);
    return plan;
}

const char* decision_word(InstallDecision decision) {
    switch (decision) {
        case InstallDecision::kUpdate: return "update";
        case InstallDecision::kUpToDate: return "up_to_date";
        case InstallDecision::kRefused: break;
    }
    return "refused";
}

Json plan_object(const AdapterOutcome& out, const AdapterPlan& plan) {
    Json j = Json::object();
    j["adapter"] = out.adapter > 0 ? Json(out.adapter) : Json(nullptr);
    const Json function = report::function_object(*out.function);
    for (const auto& [key, value] : function.items()) j[key] = value;
    j["controller"] = out.number > 0 ? Json(out.number) : Json(nullptr);
    j["package"] = out.package_file.empty()
                       ? Json(nullptr)
                       : Json{{"file", out.package_file}, {"version", json_text_or_null(out.package_version)}};
    j["versions"] = Json{{"running", json_text_or_null(plan.running)},
                         {"nvm", json_text_or_null(plan.nvm)},
                         {"package", json_text_or_null(out.package_version)},
                         {"firmware", json_text_or_null(plan.firmware)}};
    j["decision"] = decision_word(out.decision);
    j["reason"] = json_text_or_null(out.reason);
    j["status"] = plan.status;
    j["flags"] = Json{{"downgrade", plan.flags.downgrade},
                      {"staged_not_active", plan.flags.staged_not_active},
                      {"nvm_differs_from_running", plan.flags.nvm_differs_from_running}};
    j["room"] = plan.room ? Json{{"needed", plan.room->needed},
                                 {"available", plan.room->available},
                                 {"fits", plan.room->fits},
                                 {"reuses_item", plan.room->reuses_item}}
                          : Json(nullptr);
    j["identity"] = plan.identity;
    j["action"] = install_action_json(plan.action);
    return j;
}

const char* yes_no(bool value) { return value ? "yes" : "no"; }

const char* or_unknown(const std::string& text) { return text.empty() ? "(not known)" : text.c_str(); }

void plan_text(report::Report& r, const AdapterOutcome& out, const AdapterPlan& plan) {
    const auto line = [&r](const char* label, const std::string& value) {
        r.text(ZELT_LOC_BOTH, "  %-25s: %s\n", label, value.c_str());
    };
    const Json named = report::function_object(*out.function);
    r.text(ZELT_LOC_BOTH, "\nAdapter %d (%s, %s)\n", out.adapter, out.function->name(),
           named["pci_address"].get<std::string>().c_str());
    line("Package", out.package_file.empty() ? std::string("(none)")
                                             : out.package_file + ", version " + or_unknown(out.package_version));
    line("Running package", or_unknown(plan.running));
    line("Package on NVM", or_unknown(plan.nvm));
    std::string decision = decision_word(out.decision);
    if (!out.reason.empty()) decision += ": " + out.reason;
    line("Decision", decision);
    line("Status", std::to_string(plan.status));
    line("Downgrade", yes_no(plan.flags.downgrade));
    line("Staged, not yet active", yes_no(plan.flags.staged_not_active));
    line("NVM differs from running", yes_no(plan.flags.nvm_differs_from_running));
    if (plan.room) {
        line("Staging room", std::to_string(plan.room->needed) + " of " + std::to_string(plan.room->available) +
                                 " bytes" + (plan.room->reuses_item ? " in the staging item" : " free") +
                                 (plan.room->fits ? ": fits" : ": does not fit"));
    }
    if (out.decision == InstallDecision::kUpdate) {
        std::string pieces;
        for (const std::string& p : plan.identity) pieces += (pieces.empty() ? "" : ", ") + p;
        line("Identity saved", pieces.empty() ? std::string("nothing") : pieces);
        const Json action = install_action_json(plan.action);
        line("Needed afterwards", action.is_null() ? std::string("nothing") : action.get<std::string>());
    }
}

}  // namespace

report::Json install_action_json(PendingAction action) {
    switch (action) {
        case PendingAction::kNone: break;
        case PendingAction::kReset: return "reset";
        case PendingAction::kReboot: return "reboot";
        case PendingAction::kColdBoot: return "cold_boot";
    }
    return nullptr;
}

report::Json json_text_or_null(const std::string& text) {
    return text.empty() ? report::Json(nullptr) : report::Json(text);
}

PlanFlags plan_flags(const std::string& running, const std::string& nvm, const std::string& package,
                     bool activation_pending) {
    PlanFlags flags;
    const std::string& installed = nvm.empty() ? running : nvm;
    if (!package.empty() && !installed.empty())
        flags.downgrade = is_pkg_upgrade(installed.c_str(), package.c_str()) && !same_version(installed, package);
    if (!running.empty() && !nvm.empty()) {
        flags.nvm_differs_from_running = !same_version(running, nvm);
        flags.staged_not_active = flags.nvm_differs_from_running && activation_pending;
    }
    return flags;
}

int plan_install(report::Report& r, ParsedCommand& parsed, const InstallArgs& args, char** files, int count) {
    if (args.recovery) {
        // The recovery's preparation already writes to the adapter.
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "plan option is not supported along with recovery options.\n");
        return kBadCombinationStatus;
    }
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO, "Install plan: nothing is written to any adapter.\n");
    InstallRows rows;
    const InstallOutcome outcome =
        zeltnvm_install_command(*parsed.inventory, parsed.device, files, count, args, *parsed.context, &rows);

    Json& adapters = r.data()["adapters"];
    if (!outcome.adapters.empty())
        r.text(ZELT_LOC_BOTH, "\nInstall plan (nothing has been written to any adapter):\n");
    bool room_refused = false;
    for (size_t i = 0; i < outcome.adapters.size(); ++i) {
        const AdapterOutcome& out = outcome.adapters[i];
        const AdapterPlan plan = plan_adapter(out, row_of(rows, i));
        room_refused = room_refused || (plan.status != out.status);
        adapters.push_back(plan_object(out, plan));
        plan_text(r, out, plan);
    }
    if (!room_refused) return outcome.status;
    // An adapter without room for the staging item fails as its installation would:
    // the run's status is again the first failing adapter's, in discovery order.
    for (const Json& a : adapters)
        if (a["status"].get<int>() != 0) return a["status"].get<int>();
    return 0;
}

}  // namespace zelt::cli
