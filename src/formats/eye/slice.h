// The points of one side of an eye slice (the centre row for left and right, the centre
// column for top and bottom) that the Q-scale fit projects to BER 1e-12.
#pragma once

#include <span>
#include <vector>

#include "formats/eye/q_scale.h"

namespace zelt::formats::eye {

// Low: the outer edge is index 0 (left, top). High: the outer edge is the last index
// (right, bottom).
enum class SliceSide { Low, High };

// The walk outwards stops once a cell beyond the first exceeds this BER.
inline constexpr double kSliceStopLevel = 1e-4;

struct SliceProjection {
    std::vector<FitPoint> points;
    bool open = false;     // the side has a cell with BER 0
    bool special = false;  // the zero cell was the edge cell or the one next to it
    double offset = 0;     // projected offset at BER 1e-12, in steps from the centre
};

// Collects and fits the points of one side. `bers` is the slice, `centre` the index of
// offset 0. On the high side `stop_level` is kSliceStopLevel, or 0 when the opposite
// side used a special case. A side without any zero-BER cell is closed: it projects to
// the centre.
SliceProjection project_slice(std::span<const double> bers, int centre, SliceSide side,
                              double stop_level = kSliceStopLevel);

}  // namespace zelt::formats::eye
