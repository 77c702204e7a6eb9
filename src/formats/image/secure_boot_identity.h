// The secure-boot identity of the simulated adapters, and of the example package made
// to install on them: the customer revision id (CRID) their SBI must carry, and the
// lowest SBI, SRT and CRT revisions their anti-rollback counters accept. The simulated
// boot ROM reports this CRID, so the recovery image it looks for is named with it.
#pragma once

#include <cstdint>

namespace zelt::image {

struct SecureBootIdentity {
    uint16_t crid = 0;
    uint16_t sbi_revision = 0;
    uint16_t srt_revision = 0;
    uint16_t crt_revision = 0;
};

inline constexpr SecureBootIdentity kSimulatedSecureBootIdentity{0x00A7, 2, 3, 3};

}  // namespace zelt::image
