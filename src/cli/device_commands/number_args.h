// Reading the numbers and addresses the device commands take as arguments. Each
// returns nullopt for a text that is not exactly what it reads: no sign, no
// spaces, nothing left over, nothing out of range.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace zelt::cli {

// Decimal digits only, at most `max`.
std::optional<uint64_t> decimal_arg(std::string_view text, uint64_t max);

// A C integer literal (decimal, 0x hexadecimal or 0 octal), not negative, at
// most `max`.
std::optional<uint64_t> c_integer_arg(std::string_view text, uint64_t max);

// Hexadecimal digits with or without a leading 0x/0X, fitting 64 bits.
std::optional<uint64_t> hex_arg(std::string_view text);

// A MAC address: six groups of two hexadecimal digits separated by '-' or ':'.
std::optional<std::array<uint8_t, 6>> mac_arg(std::string_view text);

}  // namespace zelt::cli
