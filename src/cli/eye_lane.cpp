#include "cli/eye_lane.h"

#include "device/discovery_lookup.h"
#include "log/print.h"

namespace zelt::cli {

LinkFacts pcie_link_of(const ParsedCommand& parsed) {
    LinkFacts link;
    if (!parsed.device) return link;
    const auto& pci = parsed.device->facts.pci_info;
    link.width = static_cast<int>(pci.pcie_width);
    link.generation = static_cast<int>(pci.pcie_speed);
    return link;
}

int lane_device_type(const device::InventoryFunction& function) { return device::device_type_of(function); }

double pcie_lane_rate(int generation) {
    switch (generation) {
        case 1: return 2.5e9;
        case 2: return 5e9;
        case 3: return 8e9;
        case 4: return 16e9;
        case 5: return 32e9;
        default: return 8e9;
    }
}

bool parse_lane(const std::string& text, int lanes, int& lane) {
    if (text.empty() || text.size() > 3) return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v >= lanes) return false;
    lane = v;
    return true;
}

uint32_t read_le32(std::span<const uint8_t> bytes, size_t offset) {
    if (offset + 4 > bytes.size()) return 0;
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
           uint32_t(bytes[offset + 3]) << 24;
}

void show_lines(report::Report& r, const std::vector<std::string>& lines) {
    for (const auto& line : lines) r.text_raw(ZELT_LOC_BOTH, line + "\n");
}

report::Json rating_object(formats::eye::RatingTable table, int product) {
    const auto e = formats::eye::rate_product(table, product);
    return report::Json{{"product", product},
                        {"rank", e.rank},
                        {"channel_loss_min_db", e.channel_loss_min},
                        {"channel_loss_max_db", e.channel_loss_max}};
}

}  // namespace zelt::cli
