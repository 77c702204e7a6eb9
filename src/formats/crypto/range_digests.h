// CRC-32s and SHA-256s of several byte ranges of one buffer, computed in a single pass
// over it. The buffer is walked in chunks small enough to stay in the processor's
// cache and each chunk is handed to every range that covers it, so each byte comes
// from memory once however many ranges hold it (a package's checksum over the whole
// file, and an item's data checksum, its image checksum and its signed digest).
#pragma once

#include <cstdint>
#include <span>

#include "formats/crypto/sha256.h"

namespace zelt::crypto {

struct RangeDigest {
    // What to compute: the CRC-32 of [begin, end), with the CRC-32 of [begin, crc_mark)
    // on the way (begin <= crc_mark <= end), and with `want_sha` the SHA-256 of
    // [begin, sha_end) (begin <= sha_end <= end).
    uint64_t begin = 0;
    uint64_t end = 0;
    uint64_t crc_mark = 0;
    bool want_sha = false;
    uint64_t sha_end = 0;

    // Results.
    uint32_t crc = 0;
    uint32_t crc_to_mark = 0;
    Sha256Digest sha{};
};

// Fills in the results of every range. False, and nothing computed, when a range is
// not ordered as above or does not lie inside `bytes`.
bool compute_range_digests(std::span<const uint8_t> bytes, std::span<RangeDigest> ranges);

}  // namespace zelt::crypto
