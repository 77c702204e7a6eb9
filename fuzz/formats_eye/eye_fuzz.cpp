// Arbitrary eye, projection and eye-scope buffers, and eye-scope files, through the
// analysis and the plots:
// no access outside the data, no undefined arithmetic, margins that are numbers, and
// plots of the fixed layout.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "formats/eye/eye_scope.h"
#include "formats/eye/link_rating.h"
#include "formats/eye/projection.h"
#include "formats/eye/scope_file.h"

namespace eye = zelt::formats::eye;

namespace {

std::vector<uint32_t> words(std::span<const uint8_t> bytes) {
    std::vector<uint32_t> w(bytes.size() / 4);
    if (!w.empty()) std::memcpy(w.data(), bytes.data(), w.size() * 4);
    return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t mode = data[0], options = data[1];
    const std::span<const uint8_t> rest(data + 2, size - 2);
    switch (mode % 4) {
        case 0: {  // the older eye
            const auto counts = words(rest);
            const auto kind = options & 1 ? eye::LegacyKind::Ethernet : eye::LegacyKind::Pcie;
            const auto lines = eye::legacy_plot(counts, kind);
            for (size_t i = 3; i < lines.size(); ++i)
                if (lines[i].size() != 11 + 63) __builtin_trap();  // "%6dmV : " and 63 cells
            break;
        }
        case 1: {  // one projection direction
            eye::ProjectionScan scan;
            scan.form = options & 1 ? eye::ProjectionForm::Brume : eye::ProjectionForm::Quill;
            scan.axis = options & 2 ? eye::ScanAxis::Vertical : eye::ScanAxis::Horizontal;
            scan.kind = options & 4 ? eye::ScanKind::Ethernet : eye::ScanKind::Pcie;
            scan.direction = options & 8 ? -1 : 1;
            scan.rate = options & 16 ? 25.78125e9 : 8e9;
            const auto p = eye::project_direction(rest, scan);
            if (p.margin < 0 || !std::isfinite(p.worst_exponent)) __builtin_trap();
            const int product = eye::rating_product(p.margin / 1000.0, p.margin);
            (void)eye::legacy_rating_lines(eye::RatingTable::PciGen3, product);
            break;
        }
        case 3: {  // an eye-scope file, and its SVG
            std::string error;
            const auto file = eye::parse_scope_file({reinterpret_cast<const char*>(rest.data()), rest.size()}, error);
            if (!file) {
                if (error.empty()) __builtin_trap();
                break;
            }
            const std::string svg = eye::scope_svg(*file, options & 1 ? eye::RatingTable::PciGen3 : eye::RatingTable::PciGen4);
            if (svg.find("</svg>") == std::string::npos) __builtin_trap();
            break;
        }
        default: {  // the eye scope's full eye: bit counts, then error counts
            const auto all = words(rest);
            const size_t half = all.size() / 2;
            const std::span<const uint32_t> bits(all.data(), half), errors(all.data() + half, half);
            const auto grid = eye::scope_grid(bits, errors, options & 1);
            const auto m = eye::scope_margins(grid);
            if (!std::isfinite(m.width_ui) || !std::isfinite(m.height_mv)) __builtin_trap();
            const auto lines = eye::scope_plot(grid, options % 5);
            for (const auto& line : lines)
                if (line.size() > 120) __builtin_trap();
            (void)eye::scope_rating_lines(eye::RatingTable::PciGen4, eye::rating_product(m.width_ui, m.height_mv));
            break;
        }
    }
    return 0;
}
