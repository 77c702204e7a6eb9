#include "formats/eye/slice.h"

namespace zelt::formats::eye {

namespace {

constexpr double kEdgeBer = 1e-3;      // assumed just beyond the scanned range
constexpr double kOpenBer = 1e-8;      // assumed at the inner end of the errors
constexpr double kDoubleWeight = 1e-6; // cells above this count twice in the fit
constexpr double kNearEdge = 1e-5;

}  // namespace

SliceProjection project_slice(std::span<const double> bers, int centre, SliceSide side, double stop_level) {
    SliceProjection out;
    const int n = static_cast<int>(bers.size());
    if (n == 0) return out;
    const bool low = side == SliceSide::Low;
    const int edge = low ? 0 : n - 1;
    const int outward = low ? -1 : 1;
    auto offset = [&](int index) { return static_cast<float>(index - centre); };
    auto add = [&](float off, double ber) { out.points.push_back({off, static_cast<float>(ber)}); };

    // The innermost zero cell seen from the outer edge.
    int zero = -1;
    for (int i = 0; i < n; ++i) {
        const int idx = low ? i : n - 1 - i;
        if (bers[idx] == 0) {
            zero = idx;
            break;
        }
    }
    if (zero < 0) return out;  // closed: offset 0
    out.open = true;

    if (zero == edge) {
        out.special = true;
        add(offset(edge), kOpenBer);
        add(offset(edge) + outward, kEdgeBer);
    } else if (zero == edge - outward) {
        out.special = true;
        const double edge_ber = bers[edge];
        if (!low && edge_ber > kNearEdge) {
            add(offset(edge) - outward, kOpenBer);
            add(offset(edge), edge_ber);
            add(offset(edge), edge_ber);
        } else {
            add(offset(edge), edge_ber);
            add(offset(edge) + outward, kEdgeBer);
        }
    } else {
        const int first = zero + outward;
        for (int idx = first;; idx += outward) {
            add(offset(idx), bers[idx]);
            if (bers[idx] > kDoubleWeight) add(offset(idx), bers[idx]);
            if (idx == edge) break;
            if (idx != first && bers[idx] > stop_level) break;
        }
        if (out.points.back().ber < kNearEdge) add(offset(edge) + outward, kEdgeBer);
        if (bers[first] > kOpenBer) out.points.insert(out.points.begin(), FitPoint{offset(first) - outward, kOpenBer});
    }
    out.offset = projected_offset(extrapolate_lr(out.points));
    return out;
}

}  // namespace zelt::formats::eye
