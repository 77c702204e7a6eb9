// SerDes diagnostic data ("DSC dump") of one lane of a function's port, for one
// diagnostic level or all of them, collected in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// The firmware answers with these when the loop over the levels must stop.
inline constexpr int32_t ZELTNVM_DSC_BUSY = 16;
inline constexpr int32_t ZELTNVM_DSC_BAD_LANE = 2;
inline constexpr int32_t ZELTNVM_DSC_NO_SUCH_VARIABLE = 0xFFFF;

// The number of a diagnostic level name ("diag_lane" ... "diag_timestamp", any case).
std::optional<uint16_t> dsc_level_by_name(std::string_view name);
const char* dsc_level_name(uint16_t level);

// What one level came to.
struct DscLevelOutcome {
    uint16_t level = 0;
    int32_t start = 0;     // result of starting it
    int32_t retrieve = 0;  // result of retrieving it (0 when not tried)
    uint32_t length = 0;   // bytes it added
};

struct DscDump {
    std::vector<uint8_t> data;  // the levels' data in order; empty: no file is kept
    std::vector<DscLevelOutcome> levels;
    int32_t result = 0;
};

// The DSC dump of `lane`: level `level`, or every level in order when it is nullopt.
// Busy (16) and an invalid lane (2) stop the loop and drop the data, as does a missing
// firmware variable (0xFFFF) on the last step; other failures go on with the next level.
// With nothing collected the result is INVALID_DATA_LENGTH (-28) for all levels and the
// level's own failure for one.
DscDump take_dsc_dump(const transport::Function& fn, uint16_t lane, std::optional<uint16_t> level);

}  // namespace zelt::device
