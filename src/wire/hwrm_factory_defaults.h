// hwrm_nvm_factory_defaults (0xFFEE): returns every NVM configuration option to the
// value the adapter left the factory with.
#pragma once

#include <cstdint>

#include "wire/hwrm_header.h"

namespace zelt {

// mode: what the firmware does with the factory configuration.
inline constexpr uint8_t HWRM_NVM_FACTORY_DEFAULTS_MODE_RESTORE = 0;
// result: set to this when the options were restored.
inline constexpr uint8_t HWRM_NVM_FACTORY_DEFAULTS_RESULT_RESTORED = 1;

struct hwrm_nvm_factory_defaults_input {
    hwrm_input_header hdr;
    uint8_t mode;
    uint8_t unused_0[7];
};
ZELT_HWRM_INPUT(hwrm_nvm_factory_defaults_input, 24);
ZELT_WIRE_FIELD(hwrm_nvm_factory_defaults_input, mode, 16);

struct hwrm_nvm_factory_defaults_output {
    hwrm_output_header hdr;
    uint8_t result;  // HWRM_NVM_FACTORY_DEFAULTS_RESULT_RESTORED on success
    uint8_t unused_0[6];
    uint8_t valid;
};
ZELT_HWRM_OUTPUT(hwrm_nvm_factory_defaults_output, 16);
ZELT_WIRE_FIELD(hwrm_nvm_factory_defaults_output, result, 8);

}  // namespace zelt
