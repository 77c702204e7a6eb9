#include "formats/crypto/range_digests.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "formats/crypto/crc32.h"

namespace zelt::crypto {

namespace {

// Small enough to stay in the second-level cache between the passes over one chunk.
constexpr uint64_t kChunk = 64 * 1024;

// A byte costs SHA-256 about six times what it costs the CRC (the SHA instructions
// against carry-less multiplication folding); the work is shared out by this weight.
constexpr uint64_t kShaWeight = 6;
// Two ranges hashed together (SHA256UpdatePair) cost about two thirds of that a byte.
constexpr uint64_t kPairedShaWeight = 4;

bool well_formed(const RangeDigest& r, uint64_t size) {
    return r.begin <= r.end && r.end <= size && r.begin <= r.crc_mark && r.crc_mark <= r.end &&
           (!r.want_sha || (r.begin <= r.sha_end && r.sha_end <= r.end));
}

// The work of one thread: the SHA-256 of some of the ranges and one piece of the CRC,
// [crc_begin, crc_end), both ends among the noted offsets.
struct Lane {
    std::vector<size_t> sha;  // indices of the ranges whose SHA-256 this lane computes
    // The same dealt out: two at a time where that is quicker, in the order they
    // start, and the rest one by one.
    std::vector<std::pair<size_t, size_t>> paired;
    std::vector<size_t> single;
    uint64_t crc_begin = 0;
    uint64_t crc_end = 0;
    // noted[k]: the CRC-32 of [crc_begin, offsets[k]), for the offsets in the piece.
    std::vector<uint32_t> noted;
};

size_t index_of(const std::vector<uint64_t>& offsets, uint64_t offset) {
    return static_cast<size_t>(std::lower_bound(offsets.begin(), offsets.end(), offset) - offsets.begin());
}

// Walks the lane's bytes chunk by chunk: the CRC piece, noted at every offset it
// passes, and each of its SHA-256 ranges, so that a chunk is read from memory once.
void walk(const uint8_t* p, std::span<const RangeDigest> ranges, const std::vector<uint64_t>& offsets, Lane& lane,
          std::vector<SHA256_CTX>& sha) {
    const bool has_crc = lane.crc_begin < lane.crc_end;
    uint64_t lo = has_crc ? lane.crc_begin : UINT64_MAX;
    uint64_t hi = has_crc ? lane.crc_end : 0;
    for (size_t i : lane.single) {
        lo = std::min(lo, ranges[i].begin);
        hi = std::max(hi, ranges[i].sha_end);
    }
    lane.noted.assign(offsets.size(), 0);
    size_t next = index_of(offsets, lane.crc_begin) + 1;  // the next offset to note
    uint32_t crc = 0;  // of no bytes; crc32i continues from its complement
    for (uint64_t chunk = lo; chunk < hi; chunk += kChunk) {
        const uint64_t chunk_end = std::min(chunk + kChunk, hi);
        // The next chunk is asked into the cache while this one is worked on: hashing
        // straight from memory is markedly slower than from the cache.
        for (uint64_t line = chunk_end; line < std::min(chunk_end + kChunk, hi); line += 64)
            __builtin_prefetch(p + line, 0, 2);
        if (has_crc) {
            const uint64_t to = std::min(chunk_end, lane.crc_end);
            for (uint64_t at = std::max(chunk, lane.crc_begin); at < to;) {
                const uint64_t stop = std::min(to, offsets[next]);
                crc = crc32i(~crc, p + at, stop - at);
                at = stop;
                if (at == offsets[next]) lane.noted[next++] = crc;
            }
        }
        for (size_t i : lane.single) {
            const RangeDigest& r = ranges[i];
            const uint64_t from = std::max(chunk, r.begin), to = std::min(chunk_end, r.sha_end);
            if (from < to) SHA256Update(&sha[i], p + from, to - from);
        }
    }
    // Each pair chunk by chunk, the two at the same distance from their starts.
    for (const auto& [a, b] : lane.paired) {
        const RangeDigest& ra = ranges[a];
        const RangeDigest& rb = ranges[b];
        const uint64_t length_a = ra.sha_end - ra.begin, length_b = rb.sha_end - rb.begin;
        for (uint64_t at = 0; at < std::max(length_a, length_b); at += kChunk) {
            const uint64_t na = at < length_a ? std::min(kChunk, length_a - at) : 0;
            const uint64_t nb = at < length_b ? std::min(kChunk, length_b - at) : 0;
            const uint64_t both = std::min(na, nb);
            SHA256UpdatePair(&sha[a], p + ra.begin + at, &sha[b], p + rb.begin + at, both);
            if (na > both) SHA256Update(&sha[a], p + ra.begin + at + both, na - both);
            if (nb > both) SHA256Update(&sha[b], p + rb.begin + at + both, nb - both);
        }
    }
}

// The lane's SHA-256 ranges (by start) dealt out: with the SHA instructions, two at a
// time in the order they start, the odd one out on its own.
void deal(Lane& lane, bool pairing) {
    size_t k = 0;
    if (pairing)
        for (; k + 1 < lane.sha.size(); k += 2) lane.paired.emplace_back(lane.sha[k], lane.sha[k + 1]);
    lane.single.assign(lane.sha.begin() + static_cast<std::ptrdiff_t>(k), lane.sha.end());
}

// How the work is cut in two: the first `first_lane_shas` SHA-256 ranges (by start)
// and the CRC up to `split` for the first lane, the rest for the second. With
// split == back and every SHA-256 in the first lane, one thread does it all.
struct LanePlan {
    size_t first_lane_shas = 0;
    uint64_t split = 0;
};

LanePlan plan_lanes(std::span<const RangeDigest> ranges, const std::vector<size_t>& by_start, uint64_t front,
                    uint64_t back, const DigestThreads& threads, bool pairing) {
    const size_t count = by_start.size();
    auto length = [&](size_t k) { return ranges[by_start[k]].sha_end - ranges[by_start[k]].begin; };
    uint64_t sha_bytes = 0;
    for (size_t k = 0; k < count; ++k) sha_bytes += length(k);
    const uint64_t crc_bytes = back - front;
    LanePlan best{count, back};
    if (threads.threads < 2 || sha_bytes + crc_bytes < threads.min_bytes_to_share) return best;

    // The time of a lane holding the SHA-256 ranges [first, last) by start (dealt out
    // as deal() does) and `crc` bytes of the CRC, in CRC bytes: a lane that computes
    // the CRC of the bytes it hashes has them in its cache for the hash, so the CRC
    // costs it little more than on its own.
    auto work = [&](size_t first, size_t last, uint64_t crc) {
        uint64_t time = crc;
        size_t k = first;
        if (pairing) {
            for (; k + 1 < last; k += 2) {
                const uint64_t a = length(k), b = length(k + 1);
                time += 2 * std::min(a, b) * kPairedShaWeight + (std::max(a, b) - std::min(a, b)) * kShaWeight;
            }
        }
        for (; k < last; ++k) time += length(k) * kShaWeight;
        return time;
    };
    const uint64_t alone = work(0, count, crc_bytes);
    uint64_t best_time = alone;
    auto consider = [&](size_t k, uint64_t split) {
        const uint64_t time = std::max(work(0, k, split - front), work(k, count, back - split));
        if (time < best_time) {
            best_time = time;
            best = {k, split};
        }
    };
    // Every hash on one lane and the CRC on the other; the hashes cut between two
    // ranges, each lane with the CRC of its part; or, with no hash, the CRC cut in half.
    consider(count, front);
    for (size_t k = 1; k < count; ++k) consider(k, ranges[by_start[k]].begin);
    if (count == 0) consider(0, front + crc_bytes / 2);
    // Not worth a thread when it saves little.
    if (best_time * 10 > alone * 9) return {count, back};
    return best;
}

}  // namespace

bool compute_range_digests(std::span<const uint8_t> bytes, std::span<RangeDigest> ranges,
                           const DigestThreads& threads) {
    for (const RangeDigest& r : ranges)
        if (!well_formed(r, bytes.size())) return false;
    if (ranges.empty()) return true;

    // One CRC runs from the first range's start to the last one's end and is noted at
    // every range's start, mark and end; the CRC of a range follows from the notes at
    // its ends.
    std::vector<uint64_t> offsets;
    offsets.reserve(ranges.size() * 3 + 1);
    for (const RangeDigest& r : ranges) offsets.insert(offsets.end(), {r.begin, r.crc_mark, r.end});
    std::sort(offsets.begin(), offsets.end());
    offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    const uint64_t front = offsets.front(), back = offsets.back();

    std::vector<SHA256_CTX> sha(ranges.size());
    std::vector<size_t> by_start;  // the ranges with a SHA-256, by where they start
    for (size_t i = 0; i < ranges.size(); ++i) {
        if (!ranges[i].want_sha) continue;
        SHA256Init(&sha[i]);
        by_start.push_back(i);
    }
    std::stable_sort(by_start.begin(), by_start.end(),
                     [&](size_t a, size_t b) { return ranges[a].begin < ranges[b].begin; });

    const bool pairing = sha256_has_fast_path();
    const LanePlan plan = plan_lanes(ranges, by_start, front, back, threads, pairing);
    Lane lanes[2];
    lanes[0].sha.assign(by_start.begin(), by_start.begin() + static_cast<std::ptrdiff_t>(plan.first_lane_shas));
    lanes[1].sha.assign(by_start.begin() + static_cast<std::ptrdiff_t>(plan.first_lane_shas), by_start.end());
    for (Lane& lane : lanes) deal(lane, pairing);
    const uint64_t split = plan.split;  // where the second lane's CRC piece starts
    const bool share = split < back || !lanes[1].sha.empty();
    if (share) {
        const auto at = std::lower_bound(offsets.begin(), offsets.end(), split);
        if (*at != split) offsets.insert(at, split);
    }
    lanes[0].crc_begin = front;
    lanes[0].crc_end = split;
    lanes[1].crc_begin = split;
    lanes[1].crc_end = back;

    const uint8_t* p = bytes.data();
    if (!share) {
        walk(p, ranges, offsets, lanes[0], sha);
    } else {
        std::thread second;
        try {
            second = std::thread([&] { walk(p, ranges, offsets, lanes[1], sha); });
        } catch (const std::system_error&) {
            // No thread to be had: the caller's thread walks both lanes.
        }
        walk(p, ranges, offsets, lanes[0], sha);
        if (second.joinable())
            second.join();
        else
            walk(p, ranges, offsets, lanes[1], sha);
    }

    // The CRC of [a, b) from the notes: within one piece from the notes at its ends,
    // across the cut by joining the two parts.
    auto crc_between = [&](uint64_t a, uint64_t b) {
        const Lane& first = lanes[0];
        const Lane& second = lanes[1];
        if (b <= split) return crc32_of_suffix(first.noted[index_of(offsets, b)], first.noted[index_of(offsets, a)], b - a);
        if (a >= split)
            return crc32_of_suffix(second.noted[index_of(offsets, b)], second.noted[index_of(offsets, a)], b - a);
        const uint32_t head =
            crc32_of_suffix(first.noted[index_of(offsets, split)], first.noted[index_of(offsets, a)], split - a);
        return crc32_combine(head, second.noted[index_of(offsets, b)], b - split);
    };
    for (size_t i = 0; i < ranges.size(); ++i) {
        RangeDigest& r = ranges[i];
        r.crc = crc_between(r.begin, r.end);
        r.crc_to_mark = crc_between(r.begin, r.crc_mark);
        if (r.want_sha) SHA256Final(&sha[i], r.sha.data());
    }
    return true;
}

}  // namespace zelt::crypto
