#include "formats/crypto/range_digests.h"

#include <algorithm>
#include <vector>

#include "formats/crypto/crc32.h"

namespace zelt::crypto {

namespace {

// Small enough to stay in the second-level cache between the passes over one chunk.
constexpr uint64_t kChunk = 64 * 1024;

bool well_formed(const RangeDigest& r, uint64_t size) {
    return r.begin <= r.end && r.end <= size && r.begin <= r.crc_mark && r.crc_mark <= r.end &&
           (!r.want_sha || (r.begin <= r.sha_end && r.sha_end <= r.end));
}

}  // namespace

bool compute_range_digests(std::span<const uint8_t> bytes, std::span<RangeDigest> ranges) {
    for (const RangeDigest& r : ranges)
        if (!well_formed(r, bytes.size())) return false;
    if (ranges.empty()) return true;

    // One CRC runs from the first range's start to the last one's end and is noted at
    // every range's start, mark and end; the CRC of a range follows from the notes at
    // its ends.
    std::vector<uint64_t> offsets;
    offsets.reserve(ranges.size() * 3);
    for (const RangeDigest& r : ranges) offsets.insert(offsets.end(), {r.begin, r.crc_mark, r.end});
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    std::vector<uint32_t> noted(offsets.size(), 0);  // CRC-32 of [offsets.front(), offsets[k])

    const uint8_t* p = bytes.data();
    std::vector<SHA256_CTX> sha(ranges.size());
    for (size_t i = 0; i < ranges.size(); ++i)
        if (ranges[i].want_sha) SHA256Init(&sha[i]);

    uint32_t crc = 0;  // of no bytes; crc32i continues from its complement
    size_t next = 1;   // the next offset to note
    for (uint64_t chunk = offsets.front(); chunk < offsets.back(); chunk += kChunk) {
        const uint64_t chunk_end = std::min(chunk + kChunk, offsets.back());
        for (uint64_t at = chunk; at < chunk_end;) {
            const uint64_t stop = std::min(chunk_end, offsets[next]);
            crc = crc32i(~crc, p + at, stop - at);
            at = stop;
            if (at == offsets[next]) noted[next++] = crc;
        }
        for (size_t i = 0; i < ranges.size(); ++i) {
            const RangeDigest& r = ranges[i];
            if (!r.want_sha) continue;
            const uint64_t lo = std::max(chunk, r.begin), hi = std::min(chunk_end, r.sha_end);
            if (lo < hi) SHA256Update(&sha[i], p + lo, hi - lo);
        }
    }

    auto noted_at = [&](uint64_t offset) {
        return noted[static_cast<size_t>(std::lower_bound(offsets.begin(), offsets.end(), offset) - offsets.begin())];
    };
    for (size_t i = 0; i < ranges.size(); ++i) {
        RangeDigest& r = ranges[i];
        const uint32_t at_begin = noted_at(r.begin);
        r.crc = crc32_of_suffix(noted_at(r.end), at_begin, r.end - r.begin);
        r.crc_to_mark = crc32_of_suffix(noted_at(r.crc_mark), at_begin, r.crc_mark - r.begin);
        if (r.want_sha) SHA256Final(&sha[i], r.sha.data());
    }
    return true;
}

}  // namespace zelt::crypto
