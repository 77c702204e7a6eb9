#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "src/formats/eye/q_scale.h"

namespace zelt::formats::eye {
namespace {

TEST(BerList, QuotedEntries) {
    const auto e = ber_list();
    EXPECT_FLOAT_EQ(e[0], 1.0f);
    EXPECT_FLOAT_EQ(e[70], 2.56e-12f);
    EXPECT_FLOAT_EQ(e[100], 1.524e-23f);
    for (int i = 1; i < kQEntries; ++i) EXPECT_LT(e[i], e[i - 1]) << i;
}

// The lookup inverts the two-sided tail: within one table step everywhere, exactly at
// the entries, and by the end rules outside the table.
TEST(EstQ, InvertsErfcOverTheWholeRange) {
    for (double q = 0.01; q < 10.0; q += 0.01) {
        const double ber = std::erfc(q / std::sqrt(2.0));
        // Linear interpolation in BER between entries a tenth apart, of four-digit values.
        EXPECT_NEAR(est_q(ber), q, 0.06) << "q=" << q;
    }
    const auto e = ber_list();
    for (int i = 0; i < kQEntries; ++i) EXPECT_NEAR(est_q(e[i]), i * 0.1, 1e-9) << i;
}

TEST(EstQ, EndsAndDensity) {
    struct Case {
        double ber, density, q;
    } cases[] = {
        {0.0, 1, 10.1},       // below the last entry: towards (10.1, 0)
        {1.5, 1, 0.0},        // above the first entry
        {3.0, 2, 0.0},        // 1.5 after the density
        {1.524e-23, 1, 10.0},
        {0.762e-23, 1, 10.05},
        {-1.0, 1, 10.1},      // a negative rate is no rate
        {2 * double(2.56e-12f), 2, 7.0},  // an entry after the density
    };
    for (const auto& c : cases) EXPECT_NEAR(est_q(c.ber, c.density), c.q, 1e-6) << c.ber << "/" << c.density;
}

// The fit against the textbook formula on random points.
TEST(ExtrapolateLR, MatchesDirectLeastSquares) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> off(-20, 20), exp10(-11, -1);
    for (int round = 0; round < 50; ++round) {
        const int n = 2 + round % 20;
        std::vector<FitPoint> pts;
        double sq = 0, so = 0, soq = 0, sq2 = 0;
        for (int i = 0; i < n; ++i) {
            FitPoint p{static_cast<float>(off(rng)), static_cast<float>(std::pow(10.0, exp10(rng)))};
            pts.push_back(p);
            const double q = est_q(2.0 * p.ber);
            sq += q, so += p.offset, soq += p.offset * q, sq2 += q * q;
        }
        const double mq = sq / n;
        const double gradient = (soq - mq * so) / (sq2 - mq * sq);
        const double intercept = so / n - gradient * mq;
        const auto fit = extrapolate_lr(pts);
        EXPECT_NEAR(fit.gradient, gradient, 1e-6 * (1 + std::fabs(gradient))) << round;
        EXPECT_NEAR(fit.intercept, intercept, 1e-6 * (1 + std::fabs(intercept))) << round;
    }
}

TEST(ExtrapolateLR, DegenerateInputsGiveAZeroLine) {
    const std::vector<FitPoint> one{{3, 1e-6f}};
    const std::vector<FitPoint> same_q{{3, 1e-6f}, {5, 1e-6f}, {9, 1e-6f}};
    for (const auto& pts : {one, same_q, std::vector<FitPoint>{}}) {
        const auto fit = extrapolate_lr(pts);
        EXPECT_EQ(fit.gradient, 0);
        EXPECT_EQ(fit.intercept, 0);
    }
}

TEST(ExtrapolateLR, ProjectsAnExactGaussianSide) {
    // Offsets where BER = erfc(Q/sqrt2)/2, with the eye edge at offset -8 + 0.5*Q:
    // the fit reaches the offset of Q(1e-12) exactly, up to the table's error.
    std::vector<FitPoint> pts;
    for (double q = 1.0; q <= 5.0; q += 0.5)
        pts.push_back({static_cast<float>(-8 + 0.5 * q), static_cast<float>(std::erfc(q / std::sqrt(2.0)) / 2)});
    const auto fit = extrapolate_lr(pts);
    EXPECT_NEAR(fit.gradient, 0.5, 0.01);
    EXPECT_NEAR(projected_offset(fit), -8 + 0.5 * 7.034, 0.05);
}

}  // namespace
}  // namespace zelt::formats::eye
