#include <gtest/gtest.h>

#include <vector>

#include "src/formats/eye/link_rating.h"

namespace zelt::formats::eye {
namespace {

TEST(LinkRating, FirstMatchAndEdges) {
    struct Case {
        RatingTable table;
        int product;
        int rank;
    } cases[] = {
        {RatingTable::PciGen3, 104, 0}, {RatingTable::PciGen3, 105, 1}, {RatingTable::PciGen3, 214, 2},
        {RatingTable::PciGen3, 215, 2}, {RatingTable::PciGen3, 216, 3}, {RatingTable::PciGen3, 349, 3},
        {RatingTable::PciGen3, 351, 4}, {RatingTable::PciGen3, 369, 5}, {RatingTable::PciGen3, 60000, 5},
        {RatingTable::PciGen4, 99, 0},  {RatingTable::PciGen4, 152, 1}, {RatingTable::PciGen4, 293, 4},
        {RatingTable::PciGen4, 294, 5}, {RatingTable::SerdesNrz, 13, 0}, {RatingTable::SerdesNrz, 14, 1},
        {RatingTable::SerdesNrz, 74, 4}, {RatingTable::SerdesNrz, 75, 5},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rate_product(c.table, c.product).rank, c.rank) << int(c.table) << " " << c.product;
}

TEST(LinkRating, ScopeLines) {
    using L = std::vector<std::string>;
    EXPECT_EQ(scope_rating_lines(RatingTable::PciGen3, 104),
              (L{"EH * EW = 104, Reached max spec channel loss greater than 26 dB\n",
                 "Link Rating = 0 (scale: 1 to 5(Excellent))\n"}));
    EXPECT_EQ(scope_rating_lines(RatingTable::PciGen3, 214),
              (L{"EH * EW = 214 which implies a channel loss 20 - 25 dB\n", "Link Rating = 2 (scale: 1 to 5(Excellent))\n"}));
    const auto gen4 = scope_rating_lines(RatingTable::PciGen4, 400);
    ASSERT_EQ(gen4.size(), 3u);
    EXPECT_EQ(gen4[0], "EH * EW = 400 which implies a channel loss less than 12 dB\n");
    EXPECT_EQ(gen4[2], "Link Rating = 5 (scale: 1 to 5(Excellent))\n");
    EXPECT_EQ(scope_rating_lines(RatingTable::PciGen4, 10)[0],
              "EH * EW = 10, Reached max spec channel loss greater than 28 dB\n");
}

TEST(LinkRating, LegacyLines) {
    using L = std::vector<std::string>;
    EXPECT_EQ(legacy_rating_lines(RatingTable::SerdesNrz, 5),
              (L{"Reached max spec channel loss greater than 36 dB\n", "Link Rating = 0 (scale: 1 to 5(Excellent))\n"}));
    EXPECT_EQ(legacy_rating_lines(RatingTable::SerdesNrz, 80)[0], "Channel loss less than 15 dB\n");
    EXPECT_EQ(legacy_rating_lines(RatingTable::PciGen3, 300)[0], "Channel loss within range 15 - 20 dB\n");
}

TEST(LinkRating, ProductIsTheIntegerPart) {
    EXPECT_EQ(rating_product(0.59375, 360.0), 213);
    EXPECT_EQ(rating_product(-1, 30), 0);
}

}  // namespace
}  // namespace zelt::formats::eye
