// Processor features that select the fast paths of the checksum and digest code.
// Detected once, on first use.
#pragma once

namespace zelt::crypto {

struct CpuFeatures {
    bool pclmul = false;  // carry-less multiply with SSE4.1 (CRC-32 folding)
    bool sha = false;     // SHA-256 instructions with SSSE3 and SSE4.1
    // Carry-less multiply on 512-bit registers (with AVX-512 F, BW and VL), and an
    // operating system that saves those registers: the wide CRC-32 folding loop.
    bool vpclmul512 = false;
};

const CpuFeatures& cpu_features();

}  // namespace zelt::crypto
