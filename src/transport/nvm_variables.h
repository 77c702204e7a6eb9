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
// `addr` names the function; nullptr resolves it from `dev`.
int32_t nvmVariableGet(const char* dev, const PciFunctionAddress* addr, const NvmVariableRef& ref, uint8_t* value,
                       uint16_t bytes);
// Writes `bytes` bytes of `value` as the option's value.
int32_t nvmVariableSet(const char* dev, const PciFunctionAddress* addr, const NvmVariableRef& ref,
                       const uint8_t* value, uint16_t bytes);
// Commits written values to the NVM.
int32_t nvmVariablesFlush(const char* dev, const PciFunctionAddress* addr);

}  // namespace zelt::transport
