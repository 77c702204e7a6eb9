// What the eye diagram commands share: the lane argument, the PCIe link of the
// selected function, the lane rate, and how plot lines and ratings go into a report.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cli/parsed_command.h"
#include "cli/report/report.h"
#include "formats/eye/link_rating.h"

namespace zelt::cli {

// A line of '=' that frames the projection's results.
inline constexpr const char* kRule = "======================================================================";
inline constexpr int kEthernetLanes = 4;

struct LinkFacts {
    int width = 0;       // lanes of the PCIe link
    int generation = 0;  // 1 to 5
};

// The PCIe link the selected function trained to (from its configuration space).
LinkFacts pcie_link_of(const ParsedCommand& parsed);
// The device type of the selected function's device id (-1 when not in the table).
int lane_device_type(const device::InventoryFunction& function);
// Bits per second of one lane at a PCIe generation.
double pcie_lane_rate(int generation);
// A lane number: decimal digits only, below `lanes`.
bool parse_lane(const std::string& text, int lanes, int& lane);

uint32_t read_le32(std::span<const uint8_t> bytes, size_t offset);
// Plot lines into the report's text form, one line feed each.
void show_lines(report::Report& r, const std::vector<std::string>& lines);
// {"rank", "channel_loss_min_db", "channel_loss_max_db", "product"}.
report::Json rating_object(formats::eye::RatingTable table, int product);

}  // namespace zelt::cli
