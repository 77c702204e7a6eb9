#include <gtest/gtest.h>

#include <string>

#include "src/formats/eye/scope_file.h"

namespace zelt::formats::eye {
namespace {

std::string header() {
    return "latch_selection : merged\ncontour_depth   : 1e-9\nsubch           : \"d60.ch7.\"\nrx_settings: h8=0,shd=g4\n\n";
}

std::string rows(int count, const std::string& cell = "0.000000e+00 ") {
    std::string s;
    for (int r = 0; r < count; ++r) {
        for (int c = 0; c < kScopeColumns; ++c) s += cell;
        s += "\n";
    }
    return s;
}

TEST(ScopeFile, ReadsHeaderAndRows) {
    std::string text = header() + rows(kScopeRows);
    text.replace(text.find("0.000000e+00"), 12, "1.500000e-03");  // row 0, column 0
    std::string error;
    const auto f = parse_scope_file(text, error);
    ASSERT_TRUE(f) << error;
    EXPECT_EQ(f->contour_depth, "1e-9");
    EXPECT_EQ(f->lane, 7);
    EXPECT_DOUBLE_EQ(f->grid.at(0, 0), 1.5e-3);
    EXPECT_EQ(f->grid.at(126, 40), 0);
}

TEST(ScopeFile, RefusesWhatIsNotAnEye) {
    struct Case {
        const char* name;
        std::string text;
        const char* error;
    } cases[] = {
        {"no header", rows(kScopeRows), "no rx_settings"},
        {"short", header() + rows(100), "after 100 of 127 rows"},
        {"negative", header() + rows(kScopeRows, "-1e-3 "), "row 0: value 0"},
        {"not a number", header() + rows(kScopeRows, "abc "), "row 0: value 0"},
        {"not finite", header() + rows(kScopeRows, "inf "), "row 0: value 0"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parse_scope_file(c.text, error)) << c.name;
        EXPECT_NE(error.find(c.error), std::string::npos) << c.name << ": " << error;
    }
}

}  // namespace
}  // namespace zelt::formats::eye
