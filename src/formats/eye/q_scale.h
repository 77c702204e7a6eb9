// Bit error rates on the Q scale: the two-sided Gaussian tail table, the Q of a BER by
// interpolation in it, and the least-squares fit of scan offsets against Q that
// projects an eye opening to a lower error rate.
#pragma once

#include <array>
#include <span>

namespace zelt::formats::eye {

inline constexpr int kQEntries = 101;   // Q from 0.0 to 10.0 in steps of 0.1
inline constexpr double kQStep = 0.1;

// Entry i is erfc(i/10 / sqrt 2) to four significant digits, in single precision.
std::array<float, kQEntries> ber_list();

// Q for a BER divided by a density (1 where the caller has none). A value above the
// first entry gives 0, one at or below the last entry lies between Q 10.0 and 10.1
// (a BER of 0 gives 10.1). A negative or undefined value counts as 0.
double est_q(double ber, double density = 1.0);

// One measured point of a fit: a scan offset (in steps) and the BER seen there.
struct FitPoint {
    float offset;
    float ber;
};

struct LineFit {
    double gradient = 0;
    double intercept = 0;
};

// offset = intercept + gradient * Q(2 * ber) by ordinary least squares. Fewer than two
// points, or points that all share one Q, give a zero line.
LineFit extrapolate_lr(std::span<const FitPoint> points);

// The offset the fitted line reaches at BER 1e-12 (Q of the two-sided 2e-12).
double projected_offset(const LineFit& fit);

}  // namespace zelt::formats::eye
