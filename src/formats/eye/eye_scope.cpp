#include "formats/eye/eye_scope.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "formats/eye/eye_text.h"
#include "formats/eye/projection.h"

namespace zelt::formats::eye {

int target_ber_index(const std::string& text) {
    for (int i = 0; i < kTargetBerCount; ++i)
        if (text == kTargetBerTexts[i]) return i;
    return -1;
}

ScopeGrid scope_grid(std::span<const uint32_t> bits, std::span<const uint32_t> errors, bool powers_of_two) {
    ScopeGrid g;
    for (size_t i = 0; i < kScopeCells; ++i) {
        const uint32_t b = i < bits.size() ? bits[i] : 0;
        const uint32_t e = i < errors.size() ? errors[i] : 0;
        if (b == 0) continue;
        g.ber[i] = powers_of_two ? std::ldexp(double(e), -int(std::min<uint32_t>(b, 4096))) : double(e) / b;
    }
    return g;
}

ScopeMargins scope_margins(const ScopeGrid& grid) {
    ScopeMargins m;
    std::vector<double> row(kScopeColumns), column(kScopeRows);
    for (int c = 0; c < kScopeColumns; ++c) row[size_t(c)] = grid.at(kScopeCentreRow, c);
    for (int r = 0; r < kScopeRows; ++r) column[size_t(r)] = grid.at(r, kScopeCentreColumn);
    m.left = project_slice(row, kScopeCentreColumn, SliceSide::Low);
    m.right = project_slice(row, kScopeCentreColumn, SliceSide::High, m.left.special ? 0.0 : kSliceStopLevel);
    m.top = project_slice(column, kScopeCentreRow, SliceSide::Low);
    m.bottom = project_slice(column, kScopeCentreRow, SliceSide::High, m.top.special ? 0.0 : kSliceStopLevel);
    m.width_ui = (m.right.offset - m.left.offset) * kScopeUiPerColumn;
    m.height_mv = (m.bottom.offset - m.top.offset) * kScopeMvPerRow;
    m.passed = scope_margins_pass(m.width_ui, m.height_mv);
    return m;
}

bool scope_margins_pass(double width_ui, double height_mv) { return height_mv > 18.0 && width_ui > 0.2; }

namespace {

const char* const kLegend = "\n Each character N represents approximate error rate 1e-N at that location";
const char* const kScopeScale = "  UI/32  : -20  -15  -10  -5    0    5    10   15   20";
const char* const kScopeRuler = "         :  |----|----|----|----|----|----|----|----|";
const char* const kLegacyScale = "  UI/64  : -30  -25  -20  -15  -10  -5    0    5    10   15   20   25   30";
const char* const kLegacyRuler = "         : -|----|----|----|----|----|----|----|----|----|----|----|----|-";

char grid_char(bool major_row, bool major_column) {
    if (major_row) return major_column ? '+' : '-';
    return major_column ? ':' : ' ';
}

// The smallest N >= 1 with 10^N * ber >= 1, at most `cap`. The powers of ten are
// built by multiplying, which is exact this far (up to 10^22).
int exponent_digit(double ber, int cap) {
    int n = 1;
    double power = 10.0;
    while (n < cap && power * ber < 1.0) {
        ++n;
        power *= 10.0;
    }
    return n;
}


}  // namespace

std::vector<std::string> scope_plot(const ScopeGrid& grid, int target_index) {
    std::vector<std::string> lines;
    lines.push_back(kLegend);
    if (target_index > 1)
        lines.push_back(" Where 'A','B' and 'C' represents the error rate at 1e-10, 1e-11, 1e-12 at the location");
    lines.push_back(kScopeScale);
    lines.push_back(kScopeRuler);
    const int cap = 8 + std::max(0, std::min(target_index, kTargetBerCount - 1));
    for (int r = 0; r < kScopeRows; r += 3) {
        std::string line = text_of("%6ldmV :  ", static_cast<long>(kScopeTopMv - r * kScopePlotMvPerRow));
        char cells[kScopeColumns];
        for (int c = 0; c < kScopeColumns; ++c) {
            const double ber = grid.at(r, c);
            cells[c] = ber != 0 ? "0123456789ABCDEF"[exponent_digit(ber, cap)] : grid_char(r % 5 == 0, c % 5 == 0);
        }
        line.append(cells, sizeof cells);
        lines.push_back(line);
    }
    lines.push_back(kScopeRuler);
    lines.push_back(kScopeScale);
    return lines;
}

namespace {

int legacy_digit(uint32_t count, LegacyKind kind) {
    static constexpr uint32_t kPcie[] = {917504, 91750, 9175, 917, 91, 9, 1};
    static constexpr uint32_t kEthernet[] = {1835008, 183501, 18350, 1835, 184, 18, 2};
    const auto& t = kind == LegacyKind::Pcie ? kPcie : kEthernet;
    for (int d = 0; d < 7; ++d)
        if (count >= t[d]) return d + 1;
    return 0;
}

}  // namespace

std::vector<std::string> legacy_plot(std::span<const uint32_t> counts, LegacyKind kind) {
    std::vector<std::string> lines{kLegend, kLegacyScale, kLegacyRuler};
    int top = 31, step = 1;
    if (kind == LegacyKind::Ethernet) {
        top = counts.size() > 16319 ? 127 : 62;
        step = counts.size() > 16319 ? 1 : 2;
    }
    size_t slot = 0;
    for (int row = top; row >= -top; row -= step, slot += kLegacyRowSlots) {
        const long mv = kind == LegacyKind::Pcie ? pcie_ladder_mv(row) : ethernet_ladder_mv(row);
        std::string line = text_of("%6ldmV : ", mv);
        char cells[63];
        for (int phase = -31; phase <= 31; ++phase) {
            const size_t i = slot + size_t(phase + 31);
            const int digit = legacy_digit(i < counts.size() ? counts[i] : 0, kind);
            cells[phase + 31] = digit ? char('0' + digit) : grid_char(row % 5 == 0, phase % 5 == 0);
        }
        line.append(cells, sizeof cells);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace zelt::formats::eye
