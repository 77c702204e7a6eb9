#include "cli/device_commands/number_args.h"

namespace zelt::cli {

namespace {

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// Every character a digit of `base`, at least one, the value at most `max`.
std::optional<uint64_t> digits(std::string_view text, unsigned base, uint64_t max) {
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        const int d = digit_value(c);
        if (d >= static_cast<int>(base)) return std::nullopt;
        if (static_cast<uint64_t>(d) > max || value > (max - static_cast<uint64_t>(d)) / base) return std::nullopt;
        value = value * base + static_cast<uint64_t>(d);
    }
    return value;
}

bool hex_prefix(std::string_view text) {
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

std::optional<uint64_t> decimal_arg(std::string_view text, uint64_t max) { return digits(text, 10, max); }

std::optional<uint64_t> c_integer_arg(std::string_view text, uint64_t max) {
    if (hex_prefix(text)) return digits(text.substr(2), 16, max);
    if (text.size() > 1 && text[0] == '0') return digits(text.substr(1), 8, max);
    return digits(text, 10, max);
}

std::optional<uint64_t> hex_arg(std::string_view text) {
    return digits(hex_prefix(text) ? text.substr(2) : text, 16, UINT64_MAX);
}

std::optional<std::array<uint8_t, 6>> mac_arg(std::string_view text) {
    if (text.size() != 17) return std::nullopt;
    std::array<uint8_t, 6> mac{};
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && text[i * 3 - 1] != ':' && text[i * 3 - 1] != '-') return std::nullopt;
        const auto byte = digits(text.substr(i * 3, 2), 16, 0xFF);
        if (!byte) return std::nullopt;
        mac[i] = static_cast<uint8_t>(*byte);
    }
    return mac;
}

}  // namespace zelt::cli
