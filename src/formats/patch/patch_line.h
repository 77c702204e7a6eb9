// Splitting a patch text into lines and matching a line against a line form with the
// rules of a scanf format: a blank in the form matches any run of white space (also
// none), numbers skip leading white space, a character conversion takes the next
// character as it is, and text after the last conversion is not looked at.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt::formats::patch {

constexpr size_t kMaxLineLength = 511;  // characters of a line that count

// Calls `visit(const char* line)` with each line of the text, zero-terminated and cut
// to kMaxLineLength characters; stops early when `visit` returns a non-zero result,
// which is then returned. The text ends at `len` or at a zero byte.
template <typename Visit>
int32_t for_each_line(const char* text, size_t len, Visit&& visit);

// A cursor over one line.
class LineScanner {
public:
    explicit LineScanner(const char* line) : p_(line) {}

    // Matches literal text; blanks in `literal` match any run of white space.
    bool literal(const char* literal);
    // An unsigned number in base 10 or 16 (0x prefix allowed). A negative or too large
    // number reads as UINT64_MAX, which no count, offset or width accepts.
    bool number(int base, uint64_t& value);
    // A C integer literal (decimal, 0x-hex, 0-octal) with an optional sign, taken
    // modulo 2^64. `overflow` is set when its magnitude does not fit 64 bits.
    bool integer(uint64_t& value, bool& overflow);
    // The next character, whatever it is.
    bool character(char& c);
    // 1 to `max` characters other than '"' into `out` (which has room for max + 1).
    bool text_until_quote(char* out, size_t max);

private:
    bool digits(int base, uint64_t& value, bool& overflow);
    void skip_space();
    const char* p_;
};

template <typename Visit>
int32_t for_each_line(const char* text, size_t len, Visit&& visit) {
    char line[kMaxLineLength + 1];
    size_t pos = 0;
    while (pos < len && text[pos] != '\0') {
        size_t n = 0;
        while (pos < len && text[pos] != '\0' && text[pos] != '\n') {
            if (n < kMaxLineLength) line[n++] = text[pos];
            ++pos;
        }
        line[n] = '\0';
        if (pos < len && text[pos] == '\n') ++pos;
        int32_t rc = visit(static_cast<const char*>(line));
        if (rc != 0) return rc;
    }
    return 0;
}

}  // namespace zelt::formats::patch
