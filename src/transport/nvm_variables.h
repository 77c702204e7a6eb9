// NVM option values (firmware variables) read, written and committed by firmware
// message: the one place that frames the variable requests for every caller.
#pragma once

#include <cstdint>

#include "transport/hwrm_exchange.h"

namespace zelt::transport {

// One option value: `bits` wide, addressed by up to four indexes.
struct NvmVariableRef {
    uint16_t option = 0;
    uint16_t bits = 0;
    uint16_t dimensions = 0;
    uint16_t index_0 = 0;
    uint16_t index_1 = 0;
    uint16_t index_2 = 0;
    uint16_t index_3 = 0;
};

// Reads `bytes` bytes of the value into `value`, which is written only on success.
// An option this adapter does not have is the firmware's "variable does not exist"
// answer (reported as 0xFFFF).
Result nvmVariableGet(const Function& fn, const NvmVariableRef& ref, uint8_t* value, uint16_t bytes);
// Writes `bytes` bytes of `value` as the option's value.
Result nvmVariableSet(const Function& fn, const NvmVariableRef& ref, const uint8_t* value, uint16_t bytes);
// Commits written values to the NVM.
Result nvmVariablesFlush(const Function& fn);

// True when `rc` is the firmware saying the variable does not exist on this adapter.
bool is_missing_variable(const Result& rc);

}  // namespace zelt::transport
