// The argument rules of the command words that need more than a word count.
#pragma once

#include "cli/command_registry.h"

namespace zelt::cli::rules {

// listdev and the queries that behave alike: the program name and the command word,
// plus the selector when one is given.
bool listdev(const ArgumentLine& line, ScanOptions& scan);
// setoption, getoption, optionhelp: the command word carries '='; -force (which sets
// force) and -dec may follow, each at most once.
bool option(const ArgumentLine& line, ScanOptions& scan);
// install: package files and the few options install accepts, each at most once.
bool install(const ArgumentLine& line, ScanOptions& scan);
// vf: "trust" after the VF index.
bool trusted_vf(const ArgumentLine& line, ScanOptions& scan);
// loopback: nothing after the word, or one mode word.
bool loopback(const ArgumentLine& line, ScanOptions& scan);
// restore_factory_defaults: nothing after the word, or the answer -y.
bool restore_factory_defaults(const ArgumentLine& line, ScanOptions& scan);

}  // namespace zelt::cli::rules
