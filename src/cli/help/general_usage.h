// The general usage text (-h): the fixed sections, the command list made from the
// command rows, grouped, and the examples.
#pragma once

#include <string>

namespace zelt::cli {

std::string general_usage();

}  // namespace zelt::cli
