// What the device commands share: their result codes, the refusal of a bad
// argument and the function they act on.
#pragma once

#include "cli/parsed_command.h"

namespace zelt::cli {

// An argument value the command cannot take.
inline constexpr int kResultInvalidArgument = 16;
// The hardware lacks the feature.
inline constexpr int kResultNotSupportedHere = 2;

// Prints `message` on the error stream; returns kResultInvalidArgument.
int argument_error(const char* message);

// The function the command acts on (nullptr when none is selected).
const device::InventoryFunction* selected_function(const ParsedCommand& parsed);

// Prints that no function record was found; returns -1.
int device_missing();

}  // namespace zelt::cli
