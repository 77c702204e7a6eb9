// The projection of the older scans: per scan direction, 32 error counts and
// measurement times stepping in from the edge of the eye are turned into BERs, weighted
// by a Poisson confidence factor, and fitted on the sqrt(-log10 BER) scale to the
// offset where BER 1e-12 is reached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zelt::formats::eye {

inline constexpr size_t kProjectionPoints = 32;
inline constexpr size_t kProjectionDataSize = 512;
inline constexpr size_t kProjectionTimesOffset = 256;  // 64-bit times, 10 us units
inline constexpr uint32_t kClippedCount = 0x7F8000;

// The factor a measured BER is multiplied by: the upper bound of the two-sided 95%
// confidence interval of a Poisson mean over the count seen, so that a few errors are
// not read as a good lane. A count of 0 has no lower bound: its whole 5% goes to the
// upper one, and the bound itself is the factor.
double confidence_factor(uint64_t error_count);
// The upper confidence bound of the mean of a Poisson count: the mean at which a count
// of `count` or fewer has probability `tail`.
double poisson_upper_bound(unsigned count, double tail);

enum class ProjectionForm { Quill, Brume };  // Brume: adapters of type 8 and above
enum class ScanAxis { Horizontal, Vertical };
enum class ScanKind { Pcie, Ethernet };

struct ProjectionScan {
    ProjectionForm form = ProjectionForm::Quill;
    ScanAxis axis = ScanAxis::Horizontal;
    ScanKind kind = ScanKind::Pcie;
    int direction = 1;   // +1 or -1
    double rate = 0;     // lane rate, bit/s
};

struct ProjectionPoint {
    double offset;  // mUI (horizontal) or mV (vertical), signed
    uint32_t errors;
    uint64_t time;
    double ber;     // after the confidence factor
    double q;       // sqrt(-log10 ber)
};

struct DirectionProjection {
    std::vector<ProjectionPoint> points;
    bool good = false;          // some point reached BER 1e-8
    double worst_exponent = 0;  // 0.96 * log10 of the last BER, when not good
    int margin = 0;             // whole offset units at BER 1e-12
};

// One scan direction from its 512-byte projection data (shorter data reads as zeros).
DirectionProjection project_direction(std::span<const uint8_t> data, const ProjectionScan& scan);

// Offset, in mV, of a vertical step of the older scans.
int pcie_ladder_mv(int row);
int ethernet_ladder_mv(int row);

}  // namespace zelt::formats::eye
