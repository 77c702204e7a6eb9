// The full eye of the eye scope: 41 phase columns (1/32 UI apart, centre column 20) by
// 127 voltage rows (centre row 63), each cell a bit count and an error count. The
// margins are the four sides of the centre row and column projected to BER 1e-12.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/eye/slice.h"

namespace zelt::formats::eye {

inline constexpr int kScopeColumns = 41;
inline constexpr int kScopeRows = 127;
inline constexpr int kScopeCentreColumn = 20;
inline constexpr int kScopeCentreRow = 63;
inline constexpr size_t kScopeCells = size_t(kScopeColumns) * kScopeRows;
inline constexpr double kScopeUiPerColumn = 0.03125;
inline constexpr double kScopeMvPerRow = 3.52;
inline constexpr double kScopePlotMvPerRow = 3.7;
inline constexpr int kScopeTopMv = 233;

// Target BER texts by index ("1e-8" is 0 and the default).
inline constexpr const char* kTargetBerTexts[] = {"1e-8", "1e-9", "1e-10", "1e-11", "1e-12"};
inline constexpr int kTargetBerCount = 5;
int target_ber_index(const std::string& text);  // -1 when not one of the texts

struct ScopeGrid {
    std::vector<double> ber = std::vector<double>(kScopeCells, 0.0);  // row-major
    double at(int row, int column) const { return ber[size_t(row) * kScopeColumns + size_t(column)]; }
};

// Cell BER: 0 without bits; errors / 2^bits when the bit counts are powers of two,
// else errors / bits. Both spans hold kScopeCells values row-major; missing ones are 0.
ScopeGrid scope_grid(std::span<const uint32_t> bits, std::span<const uint32_t> errors, bool powers_of_two);

struct ScopeMargins {
    SliceProjection left, right, top, bottom;
    double width_ui = 0;
    double height_mv = 0;
    bool passed = false;  // height above 18 mV and width above 0.2 UI
};

ScopeMargins scope_margins(const ScopeGrid& grid);
// Strictly above both limits: a width of exactly 0.2 UI fails.
bool scope_margins_pass(double width_ui, double height_mv);

// The text plot: header, every third row, footer; one string per line.
std::vector<std::string> scope_plot(const ScopeGrid& grid, int target_index);

// Older scans: 64 counts per row from the top, phases -31..31 in the first 63.
enum class LegacyKind { Pcie, Ethernet };
std::vector<std::string> legacy_plot(std::span<const uint32_t> counts, LegacyKind kind);
inline constexpr size_t kLegacyEyeBytes = 65280;
inline constexpr size_t kLegacyRowSlots = 64;

}  // namespace zelt::formats::eye
