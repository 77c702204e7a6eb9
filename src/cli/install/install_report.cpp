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

const char* action_name(PendingAction action) {
    switch (action) {
        case PendingAction::kNone: return "none";
        case PendingAction::kReset: return "reset";
        case PendingAction::kReboot: return "reboot";
        case PendingAction::kColdBoot: return "cold_boot";
    }
    return "none";
}

Json text_or_null(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

}  // namespace

Json install_adapter_object(const AdapterOutcome& a) {
    Json j = report::function_object(*a.function);
    j["controller"] = a.number > 0 ? Json(a.number) : Json(nullptr);
    if (a.package_file.empty()) {
        j["package"] = nullptr;
    } else {
        j["package"] = Json{{"file", a.package_file}, {"version", text_or_null(a.package_version)}};
    }
    const std::string before = a.version_before.value_or("");
    j["version_before"] = text_or_null(before);
    // A completed update leaves the package's version on the NVM (a configuration
    // package, which has none, leaves the firmware as it was).
    if (a.completed) {
        j["version_after"] = text_or_null(a.package_version.empty() ? before : a.package_version);
    } else {
        j["version_after"] = nullptr;
    }
    j["decision"] = decision_name(a);
    j["reason"] = text_or_null(a.reason);
    j["status"] = a.status;
    j["failed_item"] = a.failed_item > 0 ? Json(a.failed_item) : Json(nullptr);
    j["result"] = a.attempted && !a.result.ok() ? report::result_object(a.result) : Json(nullptr);
    j["action"] = action_name(a.action);
    return j;
}

report::Report install_report(ParsedCommand& parsed) {
    report::Report r = report::open_report(parsed);
    Json& adapters = r.data()["adapters"] = Json::array();
    options& o = parsed.opts;
    if (!o.arg && !parsed.files.empty()) o.arg = parsed.files.front().c_str();
    if (!o.arg && !o.online) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command requires a filename argument\n");
        return r.ends(-1);
    }
    std::vector<char*> files;
    files.reserve(parsed.files.size());
    for (auto& f : parsed.files) files.push_back(f.data());
    const InstallOutcome outcome =
        zeltnvm_install_command(*parsed.inventory, parsed.device_c_name(), files.data(),
                                static_cast<int>(files.size()), &o, parsed.output && parsed.output->json());
    for (const AdapterOutcome& a : outcome.adapters) adapters.push_back(install_adapter_object(a));
    return r.ends(outcome.status);
}

}  // namespace zelt::cli
