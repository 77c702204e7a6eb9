#include "formats/eye/q_scale.h"

#include <cmath>

namespace zelt::formats::eye {

namespace {

float four_significant_digits(double v) {
    if (v <= 0) return 0.0f;
    const double scale = std::pow(10.0, 3 - std::floor(std::log10(v)));
    return static_cast<float>(std::round(v * scale) / scale);
}

}  // namespace

std::array<float, kQEntries> ber_list() {
    std::array<float, kQEntries> list{};
    for (int i = 0; i < kQEntries; ++i) list[i] = four_significant_digits(std::erfc(i * kQStep / std::sqrt(2.0)));
    return list;
}

namespace {

double q_in(const std::array<float, kQEntries>& e, double ber, double density) {
    double v = density != 0 ? ber / density : 0.0;
    if (!(v > 0)) v = 0;  // negative, undefined or zero: below every entry
    if (v > e[0]) return 0;
    for (int i = 1; i < kQEntries; ++i) {
        if (e[i] < v) return (i - 1) * kQStep + (v - e[i - 1]) * kQStep / (double(e[i]) - e[i - 1]);
    }
    const double last = e[kQEntries - 1];
    return (kQEntries - 1) * kQStep + (last - v) * kQStep / last;
}

}  // namespace

double est_q(double ber, double density) { return q_in(ber_list(), ber, density); }

LineFit extrapolate_lr(std::span<const FitPoint> points) {
    if (points.size() < 2) return {};
    const auto table = ber_list();
    const double n = static_cast<double>(points.size());
    double mean_q = 0, mean_off = 0;
    for (const auto& p : points) {
        mean_q += q_in(table, 2.0 * p.ber, 1.0);
        mean_off += p.offset;
    }
    mean_q /= n;
    mean_off /= n;
    // Centred sums: the same least-squares line, without the cancellation that makes a
    // set of equal Q values look like a tiny non-zero spread.
    double covariance = 0, spread = 0;
    for (const auto& p : points) {
        const double dq = q_in(table, 2.0 * p.ber, 1.0) - mean_q;
        covariance += dq * (p.offset - mean_off);
        spread += dq * dq;
    }
    if (!(spread > 1e-18) || !std::isfinite(spread)) return {};
    LineFit fit;
    fit.gradient = covariance / spread;
    fit.intercept = mean_off - fit.gradient * mean_q;
    return fit;
}

double projected_offset(const LineFit& fit) { return fit.intercept + fit.gradient * est_q(2e-12); }

}  // namespace zelt::formats::eye
