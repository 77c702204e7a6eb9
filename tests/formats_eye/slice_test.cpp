#include <gtest/gtest.h>

#include <vector>

#include "src/formats/eye/eye_scope.h"
#include "src/formats/eye/slice.h"

namespace zelt::formats::eye {
namespace {

using Points = std::vector<std::pair<float, float>>;

Points as_pairs(const SliceProjection& s) {
    Points p;
    for (const auto& f : s.points) p.push_back({f.offset, f.ber});
    return p;
}

// A centre row of 41 cells: errors `outer` outside [open_from, open_to], 0 inside.
std::vector<double> row_with(int open_from, int open_to, std::vector<std::pair<int, double>> errors) {
    std::vector<double> row(41, 0.0);
    for (int i = 0; i < 41; ++i)
        if (i < open_from || i > open_to) row[size_t(i)] = 1e-2;
    for (auto [i, ber] : errors) row[size_t(i)] = ber;
    return row;
}

TEST(SliceSpecialCases, Table) {
    struct Case {
        const char* name;
        std::vector<double> row;
        SliceSide side;
        double stop;
        Points points;
    } cases[] = {
        {"fully open, left", row_with(0, 40, {}), SliceSide::Low, kSliceStopLevel, {{-20, 1e-8f}, {-21, 1e-3f}}},
        {"fully open, right", row_with(0, 40, {}), SliceSide::High, 0, {{20, 1e-8f}, {21, 1e-3f}}},
        {"zero next to the left edge", row_with(1, 40, {{0, 3e-7}}), SliceSide::Low, kSliceStopLevel,
         {{-20, 3e-7f}, {-21, 1e-3f}}},
        {"zero next to the right edge, low BER", row_with(0, 39, {{40, 3e-7}}), SliceSide::High, kSliceStopLevel,
         {{20, 3e-7f}, {21, 1e-3f}}},
        {"zero next to the right edge, high BER", row_with(0, 39, {{40, 3e-4}}), SliceSide::High, kSliceStopLevel,
         {{19, 1e-8f}, {20, 3e-4f}, {20, 3e-4f}}},
        // Walk: 1e-8 inserted before 1e-7 (above it), 1e-7 once, 1e-5 twice (above 1e-6), 1e-3 twice and stop (above 1e-4).
        {"walk from the left", row_with(10, 40, {{9, 1e-7}, {8, 1e-5}, {7, 1e-3}}), SliceSide::Low, kSliceStopLevel,
         {{-10, 1e-8f}, {-11, 1e-7f}, {-12, 1e-5f}, {-12, 1e-5f}, {-13, 1e-3f}, {-13, 1e-3f}}},
        // The first cell walked is above 1e-8: a 1e-8 point one step inside goes first.
        {"walk starting above 1e-8", row_with(0, 30, {{31, 1e-6}, {32, 1e-2}}), SliceSide::High, kSliceStopLevel,
         {{10, 1e-8f}, {11, 1e-6f}, {12, 1e-2f}, {12, 1e-2f}}},
        // With the opposite side special the right walk stops at the second cell.
        {"stop level 0", row_with(0, 30, {{31, 1e-9}, {32, 1e-9}, {33, 1e-9}}), SliceSide::High, 0,
         {{11, 1e-9f}, {12, 1e-9f}, {21, 1e-3f}}},
        // The walk reaches the edge with a low BER: one point beyond the edge at 1e-3.
        {"edge reached", row_with(0, 37, {{38, 1e-9}, {39, 1e-9}, {40, 1e-9}}), SliceSide::High, kSliceStopLevel,
         {{18, 1e-9f}, {19, 1e-9f}, {20, 1e-9f}, {21, 1e-3f}}},
    };
    for (const auto& c : cases) {
        const auto s = project_slice(c.row, 20, c.side, c.stop);
        EXPECT_TRUE(s.open) << c.name;
        EXPECT_EQ(as_pairs(s), c.points) << c.name;
    }
}

TEST(SliceSpecialCases, ClosedSideProjectsToTheCentre) {
    const std::vector<double> closed(41, 1e-2);
    for (auto side : {SliceSide::Low, SliceSide::High}) {
        const auto s = project_slice(closed, 20, side);
        EXPECT_FALSE(s.open);
        EXPECT_EQ(s.offset, 0);
        EXPECT_TRUE(s.points.empty());
    }
}

// A side whose zero cell lies deep inside walks more cells than one fit used to hold.
TEST(SliceSpecialCases, LongWalkKeepsEveryPoint) {
    std::vector<double> column(127, 2e-6);
    column[126] = 0;
    const auto s = project_slice(column, 63, SliceSide::Low);
    EXPECT_EQ(s.points.size(), 2u * 126 + 2);  // each cell twice, the edge point, the 1e-8 point
}

TEST(ScopeMargins, WidthOfExactlyPointTwoFails) {
    struct Case {
        double width, height;
        bool pass;
    } cases[] = {{0.2, 100, false}, {0.20001, 100, true}, {0.5, 18, false}, {0.5, 18.01, true}, {0, 0, false}};
    for (const auto& c : cases) EXPECT_EQ(scope_margins_pass(c.width, c.height), c.pass) << c.width << " " << c.height;
}

// With no error anywhere, each side fits its two fixed points: 1e-8 at the edge, 1e-3
// one step beyond; 1e-12 then lies just inside the edge, by the same amount everywhere.
TEST(ScopeMargins, OpenEyeUsesTheFixedEdgePoints) {
    ScopeGrid g;  // all zero: open everywhere
    const auto m = scope_margins(g);
    EXPECT_TRUE(m.left.special && m.right.special && m.top.special && m.bottom.special);
    const double inside = (est_q(2e-12) - est_q(2e-8)) / (est_q(2e-8) - est_q(2e-3));
    EXPECT_NEAR(m.left.offset, -20 + inside, 1e-4);
    EXPECT_NEAR(m.right.offset, 20 - inside, 1e-4);
    EXPECT_NEAR(m.top.offset, -63 + inside, 1e-4);
    EXPECT_NEAR(m.bottom.offset, 63 - inside, 1e-4);
    EXPECT_TRUE(m.passed);
}

TEST(ScopeGrid, PowersOfTwoAndPlainCounts) {
    std::vector<uint32_t> bits(kScopeCells, 0), errors(kScopeCells, 0);
    bits[0] = 10, errors[0] = 1;
    bits[1] = 1000, errors[1] = 1;
    const auto pow2 = scope_grid(bits, errors, true);
    const auto plain = scope_grid(bits, errors, false);
    EXPECT_DOUBLE_EQ(pow2.at(0, 0), 1.0 / 1024);
    EXPECT_DOUBLE_EQ(plain.at(0, 1), 1e-3);
    EXPECT_EQ(plain.at(0, 2), 0);  // no bits
}

TEST(ScopePlot, LayoutOfAnOpenEyeWithOneMarkedCell) {
    ScopeGrid g;
    g.ber[size_t(3) * kScopeColumns + 0] = 2e-11;  // row 3, column 0
    const auto lines = scope_plot(g, 4);
    ASSERT_EQ(lines.size(), 2u + 2 + 43 + 2);
    EXPECT_EQ(lines[1], " Where 'A','B' and 'C' represents the error rate at 1e-10, 1e-11, 1e-12 at the location");
    EXPECT_EQ(lines[4], "   233mV :  +----+----+----+----+----+----+----+----+");
    EXPECT_EQ(lines[5], "   221mV :  B    :    :    :    :    :    :    :    :");
    EXPECT_EQ(lines.back(), "  UI/32  : -20  -15  -10  -5    0    5    10   15   20");
    // Capped at the target: 1e-8 shows 8 for anything lower.
    EXPECT_EQ(scope_plot(g, 0)[4][12], '8');
}

TEST(LegacyPlot, RowsAndDigits) {
    std::vector<uint32_t> counts(kLegacyEyeBytes / 4, 0);
    counts[0] = 917504;         // PCIe top row, phase -31
    counts[31] = 9;             // centre phase
    const auto pcie = legacy_plot(counts, LegacyKind::Pcie);
    ASSERT_EQ(pcie.size(), 3u + 63);
    EXPECT_EQ(pcie[3].substr(0, 12), "   250mV : 1");  // row 31: (31*50-550+2)/4
    EXPECT_EQ(pcie[3][11 + 31], '6');
    EXPECT_EQ(pcie[3 + 31].substr(0, 11), "     0mV : ");
    const auto ethernet = legacy_plot(counts, LegacyKind::Ethernet);
    EXPECT_EQ(ethernet.size(), 3u + 255);  // all 16320 counts: rows 127..-127
    const auto short_eth = legacy_plot(std::span(counts).first(8000), LegacyKind::Ethernet);
    EXPECT_EQ(short_eth.size(), 3u + 63);  // rows 62..-62 in steps of 2
    EXPECT_EQ(short_eth[3].substr(0, 11), "   146mV : ");  // 62*300/127
}

}  // namespace
}  // namespace zelt::formats::eye
