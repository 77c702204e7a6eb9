// The program's version and its tool identification text.
#pragma once

#include <string>

#include "cli/parsed_command.h"
#include "cli/report/report.h"

namespace zelt::cli {

constexpr unsigned ZELT_VERSION_MAJOR = 226;
constexpr unsigned ZELT_VERSION_MINOR = 0;
constexpr unsigned ZELT_VERSION_BUILD = 121;
constexpr unsigned ZELT_VERSION_FOURTH = 0;

// Platform named in the tool identification of the Linux program.
inline constexpr const char* ZELT_PLATFORM_NAME = "Linux";

// "zeltnvm v226.0.121.0 for <platform> built <date> <time> by <account>": the run
// context carries it; backups store it.
std::string zeltnvm_tool_identification(const char* platform = ZELT_PLATFORM_NAME);

// version: prints the product line and the program's version.
zelt::cli::report::Report version_command(zelt::cli::ParsedCommand& parsed);

}  // namespace zelt::cli
