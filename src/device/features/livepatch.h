// Firmware live patches: the patch versions of a target firmware, and activating a
// patch (stored in the NVM, or an image sent from host memory without storing it) or
// deactivating the running one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

enum class LivepatchTarget { common_fw, secure_fw, chimp_fw };

struct LivepatchVersions {
    std::optional<std::string> active;  // the running patch
    std::optional<std::string> nvm;     // the patch stored in the NVM
};

Result zeltnvm_query_livepatch(const transport::Function& fn, LivepatchTarget target, LivepatchVersions* versions);

enum class LivepatchOperation { activate, deactivate };

// Runs `op` on `target`. An activation with an empty `image` takes the patch stored in
// the NVM; with an image, sends that image. A refusal's reason is the firmware's
// cmd_err, which the result's code carries.
Result zeltnvm_livepatch(const transport::Function& fn, LivepatchTarget target, LivepatchOperation op,
                         std::span<const uint8_t> image);

}  // namespace zelt::device
