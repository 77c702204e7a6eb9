// CRC-32s and SHA-256s of several byte ranges of one buffer, computed in a single pass
// over it. The buffer is walked in chunks small enough to stay in the processor's
// cache and each chunk is handed to every range that covers it, so each byte comes
// from memory once however many ranges hold it (a package's checksum over the whole
// file, and an item's data checksum, its image checksum and its signed digest).
//
// With enough bytes to digest the work is shared between two threads: the SHA-256s
// are dealt out to the two so that each has about as much to hash, and the CRC is cut
// in two pieces, one per thread, sized to even out what is left; the pieces are joined
// afterwards. A thread with several SHA-256s hashes them two at a time where the
// processor's SHA instructions make that quicker. The results are the same bytes
// either way.
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

// How the work may be shared out.
struct DigestThreads {
    // 1 walks everything on the calling thread; 2 shares the work with a second thread.
    unsigned threads = 2;
    // Below this many bytes to digest (every SHA-256 range plus the span of the CRC) a
    // second thread costs more to start than it saves.
    uint64_t min_bytes_to_share = uint64_t{4} << 20;
};

// Fills in the results of every range. False, and nothing computed, when a range is
// not ordered as above or does not lie inside `bytes`.
bool compute_range_digests(std::span<const uint8_t> bytes, std::span<RangeDigest> ranges,
                           const DigestThreads& threads = {});

}  // namespace zelt::crypto
