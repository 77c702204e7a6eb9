#include "sim/firmware/serdes_model.h"

#include <algorithm>
#include <cmath>

namespace zelt::sim {

namespace {

constexpr double kLaunchAmplitudeMv = 500;
constexpr double kIsiUiPerDb = 0.008;
constexpr double kPi = 3.14159265358979323846;

double tail(double distance, double sigma) { return 0.5 * std::erfc(distance / (sigma * std::sqrt(2.0))); }

template <class F>
double bisect_outwards(F ber_at, double limit, double ber) {
    if (ber_at(0.0) >= ber) return 0;
    double lo = 0, hi = limit;
    for (int i = 0; i < 200; ++i) {
        const double mid = (lo + hi) / 2;
        if (ber_at(mid) < ber) lo = mid;
        else hi = mid;
    }
    return lo;
}

}  // namespace

double lane_amplitude_mv(const SerdesLaneDesc& lane) { return kLaunchAmplitudeMv * std::pow(10.0, -lane.loss_db / 20); }

double lane_half_width_ui(const SerdesLaneDesc& lane) { return std::max(0.0, 0.5 - kIsiUiPerDb * lane.loss_db); }

double lane_ber(const SerdesLaneDesc& lane, double phase_ui, double volt_mv) {
    const double half_width = lane_half_width_ui(lane);
    const double p = std::fabs(phase_ui);
    // The amplitude falls off towards the eye's edges like a raised cosine.
    const double amplitude = p < half_width ? lane_amplitude_mv(lane) * std::cos(kPi * p / (2 * half_width)) : 0.0;
    const double ber = tail(half_width - p, lane.jitter_ui) + tail(amplitude - std::fabs(volt_mv), lane.noise_mv);
    return std::min(0.5, ber);
}

double lane_opening_ui(const SerdesLaneDesc& lane, double ber) {
    return bisect_outwards([&](double x) { return lane_ber(lane, x, 0); }, 1.0, ber);
}

double lane_opening_mv(const SerdesLaneDesc& lane, double ber) {
    return bisect_outwards([&](double x) { return lane_ber(lane, 0, x); }, 2 * kLaunchAmplitudeMv, ber);
}

}  // namespace zelt::sim
