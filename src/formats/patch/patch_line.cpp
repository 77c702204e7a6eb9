#include "formats/patch/patch_line.h"

namespace zelt::formats::patch {

namespace {

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

}  // namespace

void LineScanner::skip_space() {
    while (is_space(*p_)) ++p_;
}

bool LineScanner::literal(const char* literal) {
    for (const char* l = literal; *l != '\0'; ++l) {
        if (is_space(*l)) {
            skip_space();
        } else if (*p_ == *l) {
            ++p_;
        } else {
            return false;
        }
    }
    return true;
}

bool LineScanner::digits(int base, uint64_t& value, bool& overflow) {
    value = 0;
    overflow = false;
    const char* start = p_;
    for (int d; (d = digit_value(*p_)) < base; ++p_) {
        const uint64_t b = static_cast<uint64_t>(base);
        if (value > (UINT64_MAX - static_cast<uint64_t>(d)) / b) overflow = true;
        value = value * b + static_cast<uint64_t>(d);
    }
    return p_ != start;
}

bool LineScanner::integer(uint64_t& value, bool& overflow) {
    skip_space();
    bool negative = false;
    if (*p_ == '+' || *p_ == '-') negative = *p_++ == '-';
    int base = 10;
    if (p_[0] == '0' && (p_[1] == 'x' || p_[1] == 'X') && digit_value(p_[2]) < 16) {
        base = 16;
        p_ += 2;
    } else if (p_[0] == '0') {
        base = 8;
    }
    if (!digits(base, value, overflow)) return false;
    if (negative) value = 0 - value;
    return true;
}

bool LineScanner::number(int base, uint64_t& value) {
    skip_space();
    bool negative = false;
    if (*p_ == '+' || *p_ == '-') negative = *p_++ == '-';
    if (base == 16 && p_[0] == '0' && (p_[1] == 'x' || p_[1] == 'X') && digit_value(p_[2]) < 16) p_ += 2;
    bool overflow = false;
    if (!digits(base, value, overflow)) return false;
    if (overflow || (negative && value != 0)) value = UINT64_MAX;
    return true;
}

bool LineScanner::character(char& c) {
    if (*p_ == '\0') return false;
    c = *p_++;
    return true;
}

bool LineScanner::text_until_quote(char* out, size_t max) {
    size_t n = 0;
    while (n < max && *p_ != '\0' && *p_ != '"') out[n++] = *p_++;
    out[n] = '\0';
    return n != 0;
}

}  // namespace zelt::formats::patch
