#include "cli/version.h"

#include <cstdio>

#include "cli/report/command_report.h"
#include "cli/run_notes.h"
#include "log/print.h"

namespace zelt::cli {

#ifndef ZELT_BUILD_ACCOUNT
#define ZELT_BUILD_ACCOUNT "unknown"
#endif

std::string zeltnvm_tool_identification(const char* platform) {
    char text[256];
    std::snprintf(text, sizeof text, "zeltnvm v%u.%u.%u.%u for %s built %s %s by %s", ZELT_VERSION_MAJOR,
                  ZELT_VERSION_MINOR, ZELT_VERSION_BUILD, ZELT_VERSION_FOURTH, platform, __DATE__, __TIME__,
                  ZELT_BUILD_ACCOUNT);
    return text;
}

zelt::cli::report::Report version_command(zelt::cli::ParsedCommand& parsed) {
    zelt::cli::report::Report r = zelt::cli::report::open_report(parsed);
    char version[64];
    std::snprintf(version, sizeof version, "%u.%u.%u.%u", ZELT_VERSION_MAJOR, ZELT_VERSION_MINOR, ZELT_VERSION_BUILD,
                  ZELT_VERSION_FOURTH);
    r.data()["tool"] = "Halvex Orvanta-C/E/S firmware update and configuration utility";
    r.data()["version"] = version;
    // The modes the run's standard error warned about, for programs that read the JSON.
    const std::string root = parsed.context ? parsed.context->host.simulated_root() : std::string();
    if (root.empty())
        r.data()["simulated_host"] = nullptr;
    else
        r.data()["simulated_host"] = root;
    r.data()["trusts_test_key"] = trusts_test_key();
    r.text(ZELT_LOC_CONSOLE, "%s\n", "Halvex Orvanta-C/E/S firmware update and configuration utility");
    r.text(ZELT_LOC_CONSOLE, "Version v%s\n", version);
    return r.ends(0);
}

}  // namespace zelt::cli
