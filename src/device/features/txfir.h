// Transmit equalisation (TX FIR) settings of the SerDes lanes of a function's port.
#pragma once

#include <array>
#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

enum class Signalling { nrz, pam4 };

// The four TX FIR values of a lane.
using TxFirValues = std::array<uint32_t, 4>;

// The values lane `lane` of the port of `fn` uses for `signalling`.
Result zeltnvm_get_txfir_values(const transport::Function& fn, Signalling signalling, uint8_t lane,
                                TxFirValues* values);
// Sets `values` on every lane of `lane_mask` of the port of `fn`.
Result zeltnvm_set_txfir_values(const transport::Function& fn, Signalling signalling, uint8_t lane_mask,
                                const TxFirValues& values);

}  // namespace zelt::device
