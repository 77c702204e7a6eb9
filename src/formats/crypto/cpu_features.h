// Processor features that select the fast paths of the checksum and digest code.
// Detected once, on first use.
#pragma once

namespace zelt::crypto {

struct CpuFeatures {
    bool pclmul = false;  // carry-less multiply with SSE4.1 (CRC-32 folding)
    bool sha = false;     // SHA-256 instructions with SSSE3 and SSE4.1
};

const CpuFeatures& cpu_features();

}  // namespace zelt::crypto
