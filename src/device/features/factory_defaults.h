// Restoring the NVM configuration options of an adapter to their factory values.
#pragma once

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// Asks the firmware to restore the factory configuration. `restored` is set to true
// only when the firmware confirms it did; written on success only.
Result zelt_restore_nvm_factory_defaults(const transport::Function& fn, bool* restored);

}  // namespace zelt::device
