#include "formats/eye/link_rating.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "formats/eye/eye_text.h"

namespace zelt::formats::eye {

namespace {

// The rank rows overlap on purpose (a Gen3 product of 214 or 215 matches ranks 2 and 3);
// the lower rank is listed first and wins.
constexpr LinkRatingEntry kGen3[] = {
    {105, 105, 1, 26.0f, 26.0f}, {106, 215, 2, 20.0f, 25.0f}, {214, 350, 3, 15.0f, 20.0f},
    {349, 368, 4, 10.0f, 15.0f}, {369, 0, 5, 9.0f, 9.0f},
};
constexpr LinkRatingEntry kGen4[] = {
    {100, 152, 1, 23.5f, 27.5f}, {153, 207, 2, 19.5f, 23.5f}, {208, 264, 3, 15.5f, 19.5f},
    {265, 293, 4, 11.5f, 15.5f}, {294, 0, 5, 11.4f, 11.4f},
};
constexpr LinkRatingEntry kNrz[] = {
    {14, 14, 1, 36.0f, 36.0f}, {15, 38, 2, 30.0f, 35.0f}, {39, 57, 3, 25.0f, 30.0f},
    {58, 74, 4, 20.0f, 25.0f}, {75, 0, 5, 14.0f, 14.0f},
};

}  // namespace

std::span<const LinkRatingEntry> rating_table(RatingTable table) {
    switch (table) {
        case RatingTable::PciGen3: return kGen3;
        case RatingTable::PciGen4: return kGen4;
        case RatingTable::SerdesNrz: return kNrz;
    }
    return {};
}

LinkRatingEntry rate_product(RatingTable table, int product) {
    for (const auto& e : rating_table(table)) {
        if (e.rank == 5 ? product >= e.margin_min : product >= e.margin_min && product <= e.margin_max) return e;
    }
    return {0, 0, 0, 0.0f, 0.0f};
}

namespace {

// The outer bounds the rank 0 and rank 5 lines print, by table.
struct OuterLoss {
    double above;
    double below;
};
OuterLoss scope_outer(RatingTable t) { return t == RatingTable::PciGen4 ? OuterLoss{27.5, 11.5} : OuterLoss{26.0, 10.0}; }
OuterLoss legacy_outer(RatingTable t) { return t == RatingTable::SerdesNrz ? OuterLoss{36, 15} : OuterLoss{26, 10}; }

std::string rank_line(int rank) { return text_of("Link Rating = %d (scale: 1 to 5(Excellent))\n", rank); }

}  // namespace

std::vector<std::string> scope_rating_lines(RatingTable table, int product) {
    const auto e = rate_product(table, product);
    const auto outer = scope_outer(table);
    std::vector<std::string> lines;
    if (e.rank == 0)
        lines.push_back(text_of("EH * EW = %d, Reached max spec channel loss greater than %.f dB\n", product, outer.above));
    else if (e.rank == 5)
        lines.push_back(text_of("EH * EW = %d which implies a channel loss less than %.f dB\n", product, outer.below));
    else
        lines.push_back(text_of("EH * EW = %d which implies a channel loss %.f - %.f dB\n", product,
                                    double(e.channel_loss_min), double(e.channel_loss_max)));
    if (table == RatingTable::PciGen4)
        lines.push_back("The Channel max Loss for PCIe Gen4 (16.0 GT/s) is 28 dB nominally specified in PCI Express "
                        "Base Specification, Rev. 4.0 section 8.4.1.2.\n");
    lines.push_back(rank_line(e.rank));
    return lines;
}

std::vector<std::string> legacy_rating_lines(RatingTable table, int product) {
    const auto e = rate_product(table, product);
    const auto outer = legacy_outer(table);
    std::vector<std::string> lines;
    if (e.rank == 0)
        lines.push_back(text_of("Reached max spec channel loss greater than %.f dB\n", outer.above));
    else if (e.rank == 5)
        lines.push_back(text_of("Channel loss less than %.f dB\n", outer.below));
    else
        lines.push_back(text_of("Channel loss within range %.f - %.f dB\n", double(e.channel_loss_min),
                                    double(e.channel_loss_max)));
    lines.push_back(rank_line(e.rank));
    return lines;
}

int rating_product(double width_ui, double height_mv) {
    const double p = width_ui * height_mv;
    if (!(p > 0)) return 0;
    if (p >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    return static_cast<int>(p);
}

}  // namespace zelt::formats::eye
