#include "cli/version.h"

#include <cstdio>

#include "log/print.h"

using namespace zelt;

#ifndef ZELT_BUILD_ACCOUNT
#define ZELT_BUILD_ACCOUNT "unknown"
#endif

char verstr[256] = "";

void zeltnvm_format_verstr() {
    std::snprintf(verstr, sizeof verstr, "zeltnvm v%u.%u.%u.%u for %s built %s %s by %s", ZELT_VERSION_MAJOR,
                  ZELT_VERSION_MINOR, ZELT_VERSION_BUILD, ZELT_VERSION_FOURTH, ZELT_PLATFORM_NAME, __DATE__, __TIME__,
                  ZELT_BUILD_ACCOUNT);
}

int version_command(zelt::cli::ParsedCommand&) {
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Halvex Orvanta-C/E/S firmware update and configuration utility\n");
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Version v%u.%u.%u.%u\n", ZELT_VERSION_MAJOR, ZELT_VERSION_MINOR,
                  ZELT_VERSION_BUILD, ZELT_VERSION_FOURTH);
    return 0;
}
