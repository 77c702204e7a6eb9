// Loopback modes of the port of a function: which one is set, which ones the port can
// take, and setting one.
#pragma once

#include <optional>
#include <string_view>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

enum class LoopbackMode { none, phy_remote, phy_local, mac_local, external };

// The word of a mode ("disable" for none), and the mode of a word.
const char* loopback_mode_word(LoopbackMode mode);
std::optional<LoopbackMode> loopback_mode_from_word(std::string_view word);

// The loopback mode set on the port of `fn` (the MAC's, else the PHY's).
Result zelt_query_loop_back_mode(const transport::Function& fn, LoopbackMode* mode);
// Whether the port of `fn` can be set to `mode` (none always can).
Result zelt_is_loopback_mode_supported(const transport::Function& fn, LoopbackMode mode, bool* supported);
// Sets the port of `fn` to `mode`: the MAC and the PHY are each set to their part of
// it (none clears both).
Result zelt_loop_back_test(const transport::Function& fn, LoopbackMode mode);

}  // namespace zelt::device
