#include "cli/device_commands/command_args.h"

namespace zelt::cli {

std::optional<uint64_t> decimal_at_most(std::string_view text, uint64_t max) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        // Stops before the value can pass `max` (and so before it can wrap).
        if (value > (max - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace zelt::cli
