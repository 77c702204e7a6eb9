#include "formats/eye/projection.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

namespace zelt::formats::eye {

namespace {

// Two-sided 95%: 2.5% in the upper tail; a count of 0 has no lower bound, so its whole
// 5% goes to the upper one.
constexpr double kTwoSidedTail = 0.025;
constexpr double kZeroCountTail = 0.05;
constexpr double kSqrt12 = 3.4641016151377544;   // q of BER 1e-12
constexpr double kEdgeQ = 0.5486620049392715;    // q of BER 0.5
constexpr double kGoodLog = -8;

// P(X <= count) for a Poisson mean; `log_factorials[j]` holds lgamma(j + 1) for every
// j up to the count, computed once by the caller since a bisection asks for the same
// count a hundred times.
double poisson_cdf(unsigned count, double mean, const std::vector<double>& log_factorials) {
    const double log_mean = std::log(mean);
    double sum = 0;
    for (unsigned j = 0; j <= count; ++j) sum += std::exp(-mean + j * log_mean - log_factorials[j]);
    return sum;
}

uint32_t read_u32(std::span<const uint8_t> data, size_t offset) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4 && offset + i < data.size(); ++i) v |= uint32_t(data[offset + i]) << (8 * i);
    return v;
}
uint64_t read_u64(std::span<const uint8_t> data, size_t offset) {
    return read_u32(data, offset) | (uint64_t(read_u32(data, offset + 4)) << 32);
}

struct Line {
    double intercept = 0;
    double slope = 0;
};

Line through(double x1, double q1, double x2, double q2) {
    if (x1 == x2) return {};
    Line l;
    l.slope = (q2 - q1) / (x2 - x1);
    l.intercept = q1 - l.slope * x1;
    return l;
}

Line least_squares(const std::vector<ProjectionPoint>& pts) {
    const double n = static_cast<double>(pts.size());
    double mx = 0, mq = 0;
    for (const auto& p : pts) {
        mx += p.offset;
        mq += p.q;
    }
    mx /= n;
    mq /= n;
    double sxy = 0, sxx = 0;
    for (const auto& p : pts) {
        sxy += (p.offset - mx) * (p.q - mq);
        sxx += (p.offset - mx) * (p.offset - mx);
    }
    if (!(sxx > 0)) return {};
    Line l;
    l.slope = sxy / sxx;
    l.intercept = mq - l.slope * mx;
    return l;
}

// Signed offset of point i of a scan, in its display unit.
double point_offset(const ProjectionScan& scan, int i) {
    if (scan.form == ProjectionForm::Brume) {
        if (scan.axis == ScanAxis::Horizontal) return scan.direction * (62 - 2 * i) * 1000.0 / 128.0;
        const int step = 62 - i;
        return scan.direction * (step < 0 ? -1 : 1) * (std::abs(step) * 263 / 127);
    }
    if (scan.axis == ScanAxis::Horizontal) return scan.direction * (31 - i) * 1000.0 / 64.0;
    if (scan.kind == ScanKind::Pcie) return scan.direction * pcie_ladder_mv(31 - i);
    return scan.direction * ethernet_ladder_mv(62 - i);
}

int steps_left(const ProjectionScan& scan, int i) {
    if (scan.form == ProjectionForm::Brume) return scan.axis == ScanAxis::Horizontal ? 62 - 2 * i : 62 - i;
    if (scan.axis == ScanAxis::Vertical && scan.kind == ScanKind::Ethernet) return 62 - i;
    return 31 - i;
}

}  // namespace

double poisson_upper_bound(unsigned count, double tail) {
    std::vector<double> log_factorials(size_t{count} + 1);
    for (unsigned j = 0; j <= count; ++j) log_factorials[j] = std::lgamma(j + 1.0);
    double lo = 0, hi = count + 10.0 + 10.0 * std::sqrt(count + 1.0);
    for (int it = 0; it < 100; ++it) {
        const double mid = (lo + hi) / 2;
        if (poisson_cdf(count, mid, log_factorials) > tail) lo = mid;
        else hi = mid;
    }
    return (lo + hi) / 2;
}

double confidence_factor(uint64_t error_count) {
    if (error_count == 0) return poisson_upper_bound(0, kZeroCountTail);
    // Above 100 errors the factor changes slowly: it is taken at the hundred below, up to 400.
    const unsigned k = error_count <= 100 ? static_cast<unsigned>(error_count)
                       : error_count < 200 ? 100u
                       : error_count < 300 ? 200u
                       : error_count < 400 ? 300u
                                           : 400u;
    return poisson_upper_bound(k, kTwoSidedTail) / k;
}

int pcie_ladder_mv(int row) {
    const int a = std::abs(row);
    const int n = a < 23 ? a * 25 : a * 50 - 550;
    const int mv = (n + 2) / 4;
    return row < 0 ? -mv : mv;
}

int ethernet_ladder_mv(int row) {
    const int mv = std::abs(row) * 300 / 127;
    return row < 0 ? -mv : mv;
}

DirectionProjection project_direction(std::span<const uint8_t> data, const ProjectionScan& scan) {
    DirectionProjection out;
    const double seconds_per_unit = 1e-5;
    int first_good = -1, first_unclipped = -1;
    std::vector<ProjectionPoint> pts;
    for (int i = 0; i < int(kProjectionPoints); ++i) {
        if (steps_left(scan, i) <= 0) break;
        const uint32_t errors = read_u32(data, size_t(i) * 4);
        const uint64_t time = read_u64(data, kProjectionTimesOffset + size_t(i) * 8);
        // An unmeasured point (no time) ends the scan: it would divide by zero.
        if (time == 0) break;
        const double bits = double(time) * seconds_per_unit * scan.rate;
        if (!(bits > 0)) break;
        const double raw = (errors ? double(errors) : 1.0) / bits;
        pts.push_back({point_offset(scan, i), errors, time, raw, 0});
    }
    if (pts.size() >= 2) {
        const auto& last = pts.back();
        const auto& prev = pts[pts.size() - 2];
        if (double(last.time) < double(prev.time) / 2 && last.errors < 20) pts.pop_back();
    }
    // The factor depends on the count alone and counts above 400 share one, so each
    // distinct factor is computed once per direction.
    std::map<uint64_t, double> factors;
    auto factor_of = [&factors](uint32_t errors) {
        const uint64_t key = std::min<uint64_t>(errors, 400);
        const auto known = factors.find(key);
        return known != factors.end() ? known->second : factors.emplace(key, confidence_factor(key)).first->second;
    };
    for (size_t i = 0; i < pts.size(); ++i) {
        auto& p = pts[i];
        if (first_good < 0 && std::log10(p.ber) <= kGoodLog) first_good = int(i);
        if (first_unclipped < 0 && p.errors < kClippedCount) first_unclipped = int(i);
        p.ber *= factor_of(p.errors);
        // A BER above 1 (a saturated point after the confidence factor) counts as q 0
        // instead of taking the root of a negative number.
        p.q = std::sqrt(std::max(0.0, -std::log10(p.ber)));
    }
    out.points = pts;
    if (first_good < 0) {
        out.worst_exponent = pts.empty() ? 0 : 0.96 * std::log10(pts.back().ber);
        return out;
    }
    out.good = true;
    std::vector<ProjectionPoint> kept;
    for (size_t i = size_t(first_good); i < pts.size(); ++i) {
        if (!kept.empty() && pts[i].ber > kept.back().ber) continue;
        kept.push_back(pts[i]);
    }
    Line line;
    if (kept.size() >= 2) {
        line = least_squares(kept);
    } else if (first_unclipped < 0 || first_unclipped >= first_good) {
        const double edge = scan.direction * (scan.axis == ScanAxis::Horizontal ? 500.0 : 1.0);
        line = through(edge, kEdgeQ, kept[0].offset, kept[0].q);
    } else {
        const auto& u = pts[size_t(first_unclipped)];
        line = through(u.offset, u.q, kept.back().offset, kept.back().q);
    }
    if (line.slope == 0 || !std::isfinite(line.slope)) return out;
    const double margin = std::fabs((kSqrt12 - line.intercept) / line.slope);
    out.margin = std::isfinite(margin) && margin < 1e9 ? static_cast<int>(margin) : 0;
    return out;
}

}  // namespace zelt::formats::eye
