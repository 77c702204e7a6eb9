// The PF allocation of a multi-host adapter: how many physical functions each of its
// four host endpoints gets. Kept in the NVM configuration (option 163, one element per
// endpoint at element indexes 1 to 4); it takes effect after a cold boot.
#pragma once

#include <array>
#include <cstdint>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

using MhPfCounts = std::array<uint8_t, 4>;

// Reads the four counts. On a failure `failed_index` names the element index that failed.
Result zeltnvm_get_mh_pf_alloc(const transport::Function& fn, MhPfCounts* counts, int* failed_index);
// Writes the four counts and commits them to the NVM.
Result zeltnvm_set_mh_pf_alloc(const transport::Function& fn, const MhPfCounts& counts);

}  // namespace zelt::device
