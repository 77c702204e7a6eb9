// Small checks shared by the per-feature device commands' argument parsing.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zelt::cli {

// The value of a text made only of decimal digits, when it is at most `max`; nothing
// for an empty text, another character or a larger value.
std::optional<uint64_t> decimal_at_most(std::string_view text, uint64_t max);

}  // namespace zelt::cli
