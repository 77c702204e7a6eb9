// Synchronous Ethernet of an adapter: the recovered clock's frequency profile and its
// primary and secondary outputs.
#pragma once

#include <cstdint>
#include <optional>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// Whether the function's firmware reports synchronous Ethernet.
Result zelt_is_synce_supported(const transport::Function& fn, bool* supported);

struct SynceConfig {
    uint8_t freq_profile = 0;  // HWRM_FUNC_SYNCE_FREQ_PROFILE_*
    bool primary_clock = false;
    bool secondary_clock = false;
};

Result zeltnvm_query_synce_config(const transport::Function& fn, SynceConfig* config);

// What a set changes; an absent field is left as it is.
struct SynceSettings {
    std::optional<uint8_t> freq_profile;
    std::optional<bool> primary_clock;
    std::optional<bool> secondary_clock;
};

Result zeltnvm_synce_config(const transport::Function& fn, const SynceSettings& settings);

}  // namespace zelt::device
