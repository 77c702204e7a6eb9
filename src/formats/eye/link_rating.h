// Link rating: the product of eye height and eye width looked up in a table of ranks 1
// (poor) to 5 (excellent), each with the channel loss it implies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zelt::formats::eye {

struct LinkRatingEntry {
    uint16_t margin_min;
    uint16_t margin_max;  // unused for rank 5, which has no upper bound
    uint8_t rank;
    float channel_loss_min;
    float channel_loss_max;
};

enum class RatingTable { PciGen3, PciGen4, SerdesNrz };

std::span<const LinkRatingEntry> rating_table(RatingTable table);

// The entry for a product (integer part of width x height): ranks 1 to 4 match when
// min <= product <= max, rank 5 when product >= its min; the first match wins. No match
// gives rank 0 with zero losses.
LinkRatingEntry rate_product(RatingTable table, int product);

// The eye scope's rating lines for a product: the implied channel loss ("EH * EW = ..."),
// the Gen4 note, and "Link Rating = N ...". Gen4 is used for links at generation 4,
// else Gen3.
std::vector<std::string> scope_rating_lines(RatingTable table, int product);
// The older projection's rating lines (loss, then "Link Rating = N ...").
std::vector<std::string> legacy_rating_lines(RatingTable table, int product);

// The product of a width (UI) and a height (mV), by integer part.
int rating_product(double width_ui, double height_mv);

}  // namespace zelt::formats::eye
