// Outside text shown with its control characters escaped.
#include <gtest/gtest.h>

#include <string>

#include "common/printable_text.h"

namespace zelt {
namespace {

TEST(PrintableText, EscapesControlsAndBrokenUtf8AndKeepsTheRest) {
    struct Case {
        const char* what;
        std::string in;
        std::string out;
    } cases[] = {
        {"plain text", "Orvanta 229.0.1.0", "Orvanta 229.0.1.0"},
        {"tab and line feed stay", "a\tb\nc", "a\tb\nc"},
        {"colour sequence", "\x1b[31mred\x1b[0m", "\\x1b[31mred\\x1b[0m"},
        {"carriage return and bell", "ok\rFAKE\x07", "ok\\x0dFAKE\\x07"},
        {"zero byte and delete", std::string("a\0b\x7f", 4), "a\\x00b\\x7f"},
        {"UTF-8 letters stay", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa7", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x94\xa7"},
        {"C1 control in UTF-8", "\xc2\x9b" "31m", "\\xc2\\x9b31m"},
        {"lone C1 byte", "\x9b" "31m", "\\x9b31m"},
        {"cut sequence at the end", "x\xe2\x82", "x\\xe2\\x82"},
        {"overlong form", "\xc0\xaf", "\\xc0\\xaf"},
        {"surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"},
    };
    for (const Case& c : cases) EXPECT_EQ(printable_text(c.in), c.out) << c.what;
}

}  // namespace
}  // namespace zelt
