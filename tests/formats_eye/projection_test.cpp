#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "src/formats/eye/projection.h"

namespace zelt::formats::eye {
namespace {

TEST(ConfidenceFactor, QuotedEntries) {
    struct Case {
        uint64_t count;
        double factor;
    } cases[] = {{0, 2.9957},   {1, 5.5717},   {2, 3.6123},   {3, 2.9224},   {4, 2.5604},  {9, 1.8983},
                 {20, 1.5444},  {50, 1.3184},  {100, 1.2163}, {101, 1.2163}, {199, 1.2163}, {200, 1.1486},
                 {299, 1.1486}, {300, 1.1198}, {399, 1.1198}, {400, 1.103},  {1u << 30, 1.103}};
    // To the four decimals quoted (count 1's quoted 5.5717 is 5.57164 exactly).
    for (const auto& c : cases) EXPECT_NEAR(confidence_factor(c.count), c.factor, 1e-4) << c.count;
    for (uint64_t k = 2; k <= 100; ++k) EXPECT_LT(confidence_factor(k), confidence_factor(k - 1)) << k;
}

struct Scan {
    std::vector<uint8_t> data = std::vector<uint8_t>(kProjectionDataSize, 0);
    void set(size_t i, uint32_t errors, uint64_t time) {
        std::memcpy(&data[i * 4], &errors, 4);
        std::memcpy(&data[kProjectionTimesOffset + i * 8], &time, 8);
    }
};

// Counts and times laid out so that, after the confidence factor, q = 5 - 0.005 * x
// (x in mUI from the centre): the line reaches sqrt(12) at x = 307.18.
TEST(ProjectDirection, RecoversTheLineOfAKnownEye) {
    const double rate = 8e9;
    for (int direction : {1, -1}) {
        Scan s;
        for (size_t i = 0; i < 12; ++i) {
            const double x = (31 - double(i)) * 1000.0 / 64.0;
            const double q = 5 - 0.005 * x;
            const double ber = std::pow(10.0, -q * q);
            const double bits = 1000 * 1.103 / ber;
            s.set(i, static_cast<uint32_t>(std::llround(ber / 1.103 * bits)), static_cast<uint64_t>(bits / (1e-5 * rate)));
        }
        const auto p = project_direction(s.data, {ProjectionForm::Quill, ScanAxis::Horizontal, ScanKind::Pcie, direction, rate});
        EXPECT_TRUE(p.good);
        EXPECT_EQ(p.points.size(), 12u);
        EXPECT_NEAR(p.points[0].offset, direction * 484.375, 1e-9);
        EXPECT_NEAR(p.margin, 307, 1) << direction;
    }
}

TEST(ProjectDirection, NoPointReachesOneInTenToTheEight) {
    Scan s;
    for (size_t i = 0; i < 5; ++i) s.set(i, 5000, 100);
    const auto p = project_direction(s.data, {ProjectionForm::Quill, ScanAxis::Vertical, ScanKind::Pcie, 1, 8e9});
    EXPECT_FALSE(p.good);
    EXPECT_EQ(p.margin, 0);
    EXPECT_NEAR(p.worst_exponent, 0.96 * std::log10(5000 * confidence_factor(5000) / (100 * 1e-5 * 8e9)), 1e-9);
}

TEST(ProjectDirection, UnmeasuredAndShortLastPoints) {
    Scan s;
    s.set(0, 7, 0);  // errors without a time: not a point
    auto p = project_direction(s.data, {ProjectionForm::Quill, ScanAxis::Horizontal, ScanKind::Pcie, 1, 8e9});
    EXPECT_TRUE(p.points.empty());
    EXPECT_FALSE(p.good);

    Scan t;
    t.set(0, 0, 1'000'000);
    t.set(1, 3, 400'000);  // under half the time before it, fewer than 20 errors: dropped
    p = project_direction(t.data, {ProjectionForm::Quill, ScanAxis::Horizontal, ScanKind::Pcie, 1, 8e9});
    EXPECT_EQ(p.points.size(), 1u);
    // A single good point is paired with the edge point (500 mUI, q of BER 0.5).
    EXPECT_TRUE(p.good);
    const double q = std::sqrt(-std::log10(confidence_factor(0) / (1'000'000 * 1e-5 * 8e9)));
    const double slope = (q - 0.5486620049392715) / (484.375 - 500);
    EXPECT_EQ(p.margin, int(std::fabs((std::sqrt(12.0) - (q - slope * 484.375)) / slope)));

    // The drop takes both conditions, each at its limit: 19 errors in under half the
    // time go, 20 errors or exactly half the time stay.
    struct LastPoint {
        uint32_t errors;
        uint64_t time;
        size_t points;
    } last_points[] = {{19, 499'999, 1}, {20, 499'999, 2}, {19, 500'000, 2}};
    for (const LastPoint& c : last_points) {
        Scan u;
        u.set(0, 0, 1'000'000);
        u.set(1, c.errors, c.time);
        p = project_direction(u.data, {ProjectionForm::Quill, ScanAxis::Horizontal, ScanKind::Pcie, 1, 8e9});
        EXPECT_EQ(p.points.size(), c.points) << c.errors << " errors in " << c.time;
    }
}

TEST(ProjectDirection, BrumeOffsets) {
    Scan s;
    s.set(0, 0, 1'000'000);
    s.set(1, 0, 1'000'000);
    const auto h = project_direction(s.data, {ProjectionForm::Brume, ScanAxis::Horizontal, ScanKind::Ethernet, -1, 25.78125e9});
    ASSERT_EQ(h.points.size(), 2u);
    EXPECT_DOUBLE_EQ(h.points[1].offset, -60 * 1000.0 / 128);
    const auto v = project_direction(s.data, {ProjectionForm::Brume, ScanAxis::Vertical, ScanKind::Ethernet, 1, 25.78125e9});
    EXPECT_DOUBLE_EQ(v.points[1].offset, 61 * 263 / 127);
}

TEST(Ladders, RowVoltages) {
    EXPECT_EQ(pcie_ladder_mv(22), (22 * 25 + 2) / 4);
    EXPECT_EQ(pcie_ladder_mv(-23), -((23 * 50 - 550 + 2) / 4));
    EXPECT_EQ(ethernet_ladder_mv(-127), -300);
}

}  // namespace
}  // namespace zelt::formats::eye
