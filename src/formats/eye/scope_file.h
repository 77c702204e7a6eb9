// The eye-scope file: a text header (target depth, lane, receiver settings) and then
// the full eye's BER, one line per row with one value per column; and its rendering as
// an SVG heat map of log10(BER) with the BER contours, the projected margins and the
// link rating.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "formats/eye/eye_scope.h"
#include "formats/eye/link_rating.h"

namespace zelt::formats::eye {

struct ScopeFile {
    std::string contour_depth;  // the target BER text
    int lane = -1;              // -1 when the header does not name it
    ScopeGrid grid;
};

// Reads a file's text. Nothing when the rows are missing, short or not numbers, or a
// BER is negative or not finite; `error` then says what is wrong.
std::optional<ScopeFile> parse_scope_file(std::string_view text, std::string& error);

// The SVG document of a file's eye: cells coloured by log10(BER) (cells without errors
// left blank), the 1e-8 to 1e-12 contours, the box of the projected margins, and the
// margins and rating (`table`) in the title.
std::string scope_svg(const ScopeFile& file, RatingTable table);

}  // namespace zelt::formats::eye
