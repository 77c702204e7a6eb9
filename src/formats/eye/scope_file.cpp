#include "formats/eye/scope_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "formats/eye/eye_text.h"

namespace zelt::formats::eye {

namespace {

constexpr std::string_view kSettingsLine = "rx_settings: ";

std::string_view next_line(std::string_view& text) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return line;
}

std::string_view value_of(std::string_view line, std::string_view key) {
    if (line.substr(0, key.size()) != key) return {};
    line.remove_prefix(key.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == ':')) line.remove_prefix(1);
    return line;
}

}  // namespace

std::optional<ScopeFile> parse_scope_file(std::string_view text, std::string& error) {
    ScopeFile f;
    bool settings = false;
    while (!text.empty() && !settings) {
        const std::string_view line = next_line(text);
        if (auto v = value_of(line, "contour_depth"); !v.empty()) f.contour_depth = std::string(v);
        if (auto v = value_of(line, "subch"); !v.empty()) {
            const size_t ch = v.find(".ch");
            if (ch != std::string_view::npos) f.lane = std::atoi(std::string(v.substr(ch + 3)).c_str());
        }
        settings = line.substr(0, kSettingsLine.size()) == kSettingsLine;
    }
    if (!settings) {
        error = "no rx_settings line: not an eye-scope file";
        return std::nullopt;
    }
    if (!text.empty() && text.front() == '\n') text.remove_prefix(1);
    for (int row = 0; row < kScopeRows; ++row) {
        if (text.empty()) {
            error = text_of("the eye ends after %d of %d rows", row, kScopeRows);
            return std::nullopt;
        }
        const std::string line(next_line(text));
        const char* p = line.c_str();
        for (int col = 0; col < kScopeColumns; ++col) {
            char* end = nullptr;
            const double v = std::strtod(p, &end);
            if (end == p || !std::isfinite(v) || v < 0) {
                error = text_of("row %d: value %d is not a BER", row, col);
                return std::nullopt;
            }
            f.grid.ber[size_t(row) * kScopeColumns + size_t(col)] = v;
            p = end;
        }
    }
    return f;
}

namespace {

constexpr int kCellW = 14, kCellH = 5;
constexpr int kLeft = 70, kTop = 50;
constexpr int kPlotW = kScopeColumns * kCellW, kPlotH = kScopeRows * kCellH;

// Colour of log10(BER) from -12 (deep blue) to 0 (red).
std::string colour(double ber) {
    const double t = std::clamp((std::log10(ber) + 12.0) / 12.0, 0.0, 1.0);
    const int r = static_cast<int>(255 * std::clamp(1.5 * t - 0.25, 0.0, 1.0));
    const int g = static_cast<int>(255 * std::clamp(1.0 - std::fabs(2 * t - 1.0) * 1.2, 0.0, 1.0));
    const int b = static_cast<int>(255 * std::clamp(1.25 - 1.5 * t, 0.0, 1.0));
    return text_of("#%02x%02x%02x", r, g, b);
}

double x_of_column(double column) { return kLeft + (column + 0.5) * kCellW; }
double y_of_row(double row) { return kTop + (row + 0.5) * kCellH; }

// Whether a cell lies beyond a contour: its BER at or above the level.
bool above(const ScopeGrid& g, int row, int col, double level) { return g.at(row, col) >= level; }

}  // namespace

std::string scope_svg(const ScopeFile& file, RatingTable table) {
    const ScopeGrid& g = file.grid;
    const ScopeMargins m = scope_margins(g);
    const int product = rating_product(m.width_ui, m.height_mv);
    const LinkRatingEntry rating = rate_product(table, product);
    const int width = kLeft + kPlotW + 150, height = kTop + kPlotH + 60;
    std::string s = text_of(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
        width, height, width, height);
    const std::string title =
        m.passed ? text_of("Lane %d: eye width %.3f UI, eye height %.1f mV at 1e-12, link rating %d", file.lane,
                           m.width_ui, m.height_mv, rating.rank)
                 : text_of("Lane %d: eye closed at 1e-12 (width %.3f UI, height %.1f mV), test failed", file.lane,
                           m.width_ui, m.height_mv);
    s += "<title>" + title + "</title>\n";
    s += text_of("<text x=\"%d\" y=\"24\" font-family=\"sans-serif\" font-size=\"14\">%s</text>\n", kLeft,
                 title.c_str());
    s += text_of("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"white\" stroke=\"black\"/>\n", kLeft, kTop,
                 kPlotW, kPlotH);
    // Heat map.
    s += "<g id=\"cells\" stroke=\"none\">\n";
    for (int r = 0; r < kScopeRows; ++r)
        for (int c = 0; c < kScopeColumns; ++c)
            if (g.at(r, c) > 0)
                s += text_of("<rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" fill=\"%s\"/>\n", kLeft + c * kCellW,
                             kTop + r * kCellH, kCellW, kCellH, colour(g.at(r, c)).c_str());
    s += "</g>\n";
    // Contours: the cell edges between a cell at or above a level and one below it.
    static constexpr const char* kContourColours[] = {"#ffffff", "#dddddd", "#bbbbbb", "#888888", "#000000"};
    for (int k = 0; k < 5; ++k) {
        const double level = std::pow(10.0, -(8 + k));
        std::string path;
        for (int r = 0; r < kScopeRows; ++r) {
            for (int c = 0; c < kScopeColumns; ++c) {
                const bool in = above(g, r, c, level);
                if (c + 1 < kScopeColumns && in != above(g, r, c + 1, level))
                    path += text_of("M%d %dv%d", kLeft + (c + 1) * kCellW, kTop + r * kCellH, kCellH);
                if (r + 1 < kScopeRows && in != above(g, r + 1, c, level))
                    path += text_of("M%d %dh%d", kLeft + c * kCellW, kTop + (r + 1) * kCellH, kCellW);
            }
        }
        s += text_of("<path id=\"contour-1e-%d\" d=\"%s\" fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\"/>\n", 8 + k,
                     path.empty() ? "M0 0" : path.c_str(), kContourColours[k]);
    }
    // The projected margins at 1e-12, in cell coordinates.
    const double x0 = x_of_column(kScopeCentreColumn + m.left.offset);
    const double x1 = x_of_column(kScopeCentreColumn + m.right.offset);
    const double y0 = y_of_row(kScopeCentreRow + m.top.offset);
    const double y1 = y_of_row(kScopeCentreRow + m.bottom.offset);
    s += text_of("<rect id=\"margins\" x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" "
                 "stroke=\"%s\" stroke-width=\"2\" stroke-dasharray=\"6 3\" data-width-ui=\"%f\" "
                 "data-height-mv=\"%f\"/>\n",
                 x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0), m.passed ? "#00a000" : "#d00000",
                 m.width_ui, m.height_mv);
    // Axes: phase in UI below, voltage in mV to the left.
    s += "<g font-family=\"sans-serif\" font-size=\"10\">\n";
    for (int c = 0; c < kScopeColumns; c += 5)
        s += text_of("<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%.3f</text>\n", x_of_column(c),
                     kTop + kPlotH + 14, (c - kScopeCentreColumn) * kScopeUiPerColumn);
    s += text_of("<text x=\"%d\" y=\"%d\" text-anchor=\"middle\">phase (UI)</text>\n", kLeft + kPlotW / 2,
                 kTop + kPlotH + 32);
    for (int r = 0; r < kScopeRows; r += 9)
        s += text_of("<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%.0f</text>\n", kLeft - 4, y_of_row(r) + 3,
                     (kScopeCentreRow - r) * kScopeMvPerRow);
    s += text_of("<text x=\"14\" y=\"%d\" transform=\"rotate(-90 14 %d)\" text-anchor=\"middle\">voltage (mV)</text>\n",
                 kTop + kPlotH / 2, kTop + kPlotH / 2);
    // Colour scale.
    for (int e = 0; e <= 12; ++e) {
        const int y = kTop + e * 20;
        s += text_of("<rect x=\"%d\" y=\"%d\" width=\"16\" height=\"20\" fill=\"%s\"/>\n", kLeft + kPlotW + 20, y,
                     colour(std::pow(10.0, -e)).c_str());
        s += text_of("<text x=\"%d\" y=\"%d\">1e-%d</text>\n", kLeft + kPlotW + 42, y + 14, e);
    }
    s += "</g>\n</svg>\n";
    return s;
}

}  // namespace zelt::formats::eye
