#include "cli/install/install_report.h"

#include <vector>

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

// What the new firmware still needs; null when nothing.
Json action_value(PendingAction action) {
    switch (action) {
        case PendingAction::kNone: break;
        case PendingAction::kReset: return "reset";
        case PendingAction::kReboot: return "reboot";
        case PendingAction::kColdBoot: return "cold_boot";
    }
    return nullptr;
}

Json text_or_null(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

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
        j["package"] = Json{{"file", a.package_file}, {"version", text_or_null(a.package_version)}};
    }
    const std::string before = a.version_before.value_or("");
    // A completed update leaves the package's version on the NVM (a configuration
    // package, which has none, leaves the firmware as it was).
    Json after = nullptr;
    if (a.completed) after = text_or_null(a.package_version.empty() ? before : a.package_version);
    j["versions"] = Json{{"before", text_or_null(before)}, {"after", after}};
    j["decision"] = decision_name(a);
    j["reason"] = text_or_null(a.reason);
    j["status"] = a.status;
    j["failing_item"] = a.failing_item > 0 ? Json(a.failing_item) : Json(nullptr);
    j["result"] = a.attempted && !a.result.ok() ? report::result_object(a.result) : Json(nullptr);
    j["action"] = action_value(a.action);
    return j;
}

InstallArgs InstallArgs::from(const ScanOptions& scan, const ParsedCommand&) {
    return {.pattern = scan.arg,
            .force = scan.force,
            .recovery = scan.recovery,
            .online = scan.online,
            .yes = scan.prompt,
            .noidcheck = scan.noidcheck,
            .type = scan.type};
}

report::Report install_report(ParsedCommand& parsed, const InstallArgs& args) {
    report::Report r = report::open_report(parsed);
    Json& adapters = r.data()["adapters"] = Json::array();
    if (!args.pattern && parsed.files.empty() && !args.online) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command requires a filename argument\n");
        return r.ends(-1);
    }
    std::vector<char*> files;
    files.reserve(parsed.files.size());
    for (auto& f : parsed.files) files.push_back(f.data());
    const InstallOutcome outcome =
        zeltnvm_install_command(*parsed.inventory, parsed.device, files.data(),
                                static_cast<int>(files.size()), args, *parsed.context);
    for (const AdapterOutcome& a : outcome.adapters) adapters.push_back(install_adapter_object(a));
    return r.ends(outcome.status);
}

}  // namespace zelt::cli
