#include "cli/device_commands/command_args.h"

#include "cli/device_commands/number_args.h"

namespace zelt::cli {

std::optional<uint64_t> decimal_at_most(std::string_view text, uint64_t max) { return decimal_arg(text, max); }

}  // namespace zelt::cli
