#include "cli/install/install_report.h"

#include <utility>
#include <vector>

#include "cli/install/install_plan.h"
#include "cli/report/command_report.h"
#include "log/print.h"

namespace zelt::cli {
namespace {

using report::Json;

const char* decision_name(const AdapterOutcome& a) {
    switch (a.decision) {
        case InstallDecision::kRefused: return "refused";
        case InstallDecision::kUpToDate: return "up_to_date";
        case InstallDecision::kUpdate: break;
    }
    if (a.completed) return "updated";
    return a.attempted ? "failed" : "not_installed";
}

// The recovery preparation of a -recovery run: the steps that ran, in order, the
// recovery image started, the name the adapter was reached by afterwards and what the
// administrator must do next; null without -recovery.
Json recovery_object(const AdapterOutcome& a) {
    if (!a.recovery) return nullptr;
    const device::RecoverySteps& s = a.recovery_steps;
    Json steps = Json::array();
    const std::pair<bool, const char*> ran[] = {
        {s.vfs_disabled, "vfs_disabled"},   {s.unbound, "unbound"},
        {s.found_again, "found_again"},     {s.image_started, "image_started"},
        {s.identity_saved, "identity_saved"}, {s.nvm_erased, "nvm_erased"},
        {s.defragmented, "defragmented"},   {s.defragment_failed, "defragment_failed"},
        {a.attempted, "install_started"},   {a.completed, "installed"},
    };
    for (const auto& [done, name] : ran)
        if (done) steps.push_back(name);
    return Json{{"steps", steps},
                {"image", json_text_or_null(a.recovery_image)},
                {"reached_as", json_text_or_null(a.reached_as)},
                {"next_action", json_text_or_null(a.next_action)}};
}

}  // namespace

Json install_adapter_object(const AdapterOutcome& a) {
    Json j = Json::object();
    j["adapter"] = a.adapter > 0 ? Json(a.adapter) : Json(nullptr);
    const Json function = report::function_object(*a.function);
    for (const auto& [key, value] : function.items()) j[key] = value;
    j["controller"] = a.number > 0 ? Json(a.number) : Json(nullptr);
    if (a.package_file.empty()) {
        j["package"] = nullptr;
    } else {
        j["package"] = Json{{"file", a.package_file}, {"version", json_text_or_null(a.package_version)}};
    }
    const std::string before = a.version_before.value_or("");
    // A completed update leaves the package's version on the NVM (a configuration
    // package, which has none, leaves the firmware as it was).
    Json after = nullptr;
    if (a.completed) after = json_text_or_null(a.package_version.empty() ? before : a.package_version);
    j["versions"] = Json{{"before", json_text_or_null(before)}, {"after", after}};
    j["decision"] = decision_name(a);
    j["reason"] = json_text_or_null(a.reason);
    j["status"] = a.status;
    j["failing_item"] = a.failing_item > 0 ? Json(a.failing_item) : Json(nullptr);
    j["result"] = a.attempted && !a.result.ok() ? report::result_object(a.result) : Json(nullptr);
    j["action"] = install_action_json(a.action);
    j["recovery"] = recovery_object(a);
    return j;
}

InstallArgs InstallArgs::from(const ScanOptions& scan, const ParsedCommand&) {
    return {.pattern = scan.arg,
            .force = scan.force,
            .recovery = scan.recovery,
            .online = scan.online,
            .yes = scan.prompt,
            .noidcheck = scan.noidcheck,
            .type = scan.type,
            .plan = scan.plan};
}

report::Report install_report(ParsedCommand& parsed, const InstallArgs& args) {
    report::Report r = report::open_report(parsed);
    if (args.plan) r.data()["plan"] = true;
    Json& adapters = r.data()["adapters"] = Json::array();
    if (!args.pattern && parsed.files.empty() && !args.online) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command requires a filename argument\n");
        return r.ends(-1);
    }
    std::vector<char*> files;
    files.reserve(parsed.files.size());
    for (auto& f : parsed.files) files.push_back(f.data());
    if (args.plan) return r.ends(plan_install(r, parsed, args, files.data(), static_cast<int>(files.size())));
    const InstallOutcome outcome =
        zeltnvm_install_command(*parsed.inventory, parsed.device, files.data(),
                                static_cast<int>(files.size()), args, *parsed.context);
    for (const AdapterOutcome& a : outcome.adapters) adapters.push_back(install_adapter_object(a));
    return r.ends(outcome.status);
}

}  // namespace zelt::cli
