#include "common/printable_text.h"

#include <cstdint>

namespace zelt {

namespace {

// Length of the well-formed UTF-8 sequence of two or more bytes at `text[at]`, 0 when the
// bytes there are not one.
size_t utf8_sequence(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
    const uint8_t lead = byte(0);
    size_t n = 0;
    uint8_t low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (at + n > text.size()) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < n; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return n;
}

void append_escaped(std::string& out, uint8_t byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

}  // namespace

std::string printable_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto c = static_cast<uint8_t>(text[at]);
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F)
                append_escaped(out, c);
            else
                out += static_cast<char>(c);
            ++at;
            continue;
        }
        const size_t n = utf8_sequence(text, at);
        // U+0080 to U+009F, the C1 controls, are 0xC2 0x80 to 0xC2 0x9F.
        const bool c1 = n == 2 && c == 0xC2 && static_cast<uint8_t>(text[at + 1]) <= 0x9F;
        if (n == 0 || c1) {
            const size_t bytes = n == 0 ? 1 : n;
            for (size_t i = 0; i < bytes; ++i) append_escaped(out, static_cast<uint8_t>(text[at + i]));
            at += bytes;
            continue;
        }
        out.append(text.substr(at, n));
        at += n;
    }
    return out;
}

}  // namespace zelt
