#include "sim/flash/flash_overlay.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include "sim/flash/populate.h"

namespace zelt::sim {

FlashOverlay::FlashOverlay(std::span<const uint8_t> base)
    : base_(base), state_((base.size() + kBlock - 1) / kBlock, kAbsent) {
    if (base.empty()) return;
    // Reserved, not touched: only the pages of blocks the work uses are ever mapped.
    void* p = ::mmap(nullptr, base.size(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    bytes_ = static_cast<uint8_t*>(p);
}

FlashOverlay::~FlashOverlay() {
    if (bytes_) ::munmap(bytes_, base_.size());
}

uint64_t FlashOverlay::block_end(uint64_t block) const {
    return std::min<uint64_t>((block + 1) * kBlock, base_.size());
}

const uint8_t* FlashOverlay::block_bytes(uint64_t block) const {
    return state_[block] == kReferenced ? base_.data() + source_[block] : bytes_ + block * kBlock;
}

void FlashOverlay::take(uint64_t block) {
    if (state_[block] != kAbsent && state_[block] != kReferenced) return;
    const uint64_t at = block * kBlock;
    const bool referenced = state_[block] == kReferenced;
    std::memcpy(bytes_ + at, base_.data() + (referenced ? source_[block] : at), block_end(block) - at);
    state_[block] = referenced ? kWritten : kTaken;
}

void FlashOverlay::prepare_read(uint64_t offset, uint64_t length) {
    if (length == 0 || offset >= base_.size()) return;
    const uint64_t end = std::min<uint64_t>(offset + length, base_.size());
    for (uint64_t b = offset / kBlock; b * kBlock < end; ++b) take(b);
}

void FlashOverlay::prepare_write(uint64_t offset, uint64_t length) {
    if (length == 0 || offset >= base_.size()) return;
    const uint64_t end = std::min<uint64_t>(offset + length, base_.size());
    populate_for_write(bytes_ + offset, end - offset);
    for (uint64_t b = offset / kBlock; b * kBlock < end; ++b) {
        // A block covered in part keeps the flash's bytes beside the written ones.
        if (offset > b * kBlock || end < block_end(b)) take(b);
        state_[b] = kWritten;
    }
}

bool FlashOverlay::in_base(std::span<const uint8_t> source) const {
    const auto from = reinterpret_cast<uintptr_t>(source.data()), base = reinterpret_cast<uintptr_t>(base_.data());
    return !source.empty() && from >= base && from - base <= base_.size() && source.size() <= base_.size() - (from - base);
}

void FlashOverlay::write_from_base(uint64_t offset, std::span<const uint8_t> source) {
    if (source.empty() || offset >= base_.size()) return;
    const uint64_t end = std::min<uint64_t>(offset + source.size(), base_.size());
    const uint64_t from = static_cast<uint64_t>(source.data() - base_.data());
    if (source_.empty()) source_.assign(state_.size(), 0);
    for (uint64_t b = offset / kBlock; b * kBlock < end; ++b) {
        const uint64_t begin = b * kBlock, stop = block_end(b);
        if (begin >= offset && stop <= end) {
            state_[b] = kReferenced;
            source_[b] = from + (begin - offset);
            continue;
        }
        // A block covered in part is a copy: it keeps the flash's bytes beside these.
        const uint64_t lo = std::max(begin, offset), hi = std::min(stop, end);
        prepare_write(lo, hi - lo);
        std::memcpy(bytes_ + lo, source.data() + (lo - offset), hi - lo);
    }
}

std::vector<FlashOverlay::Run> FlashOverlay::written(uint64_t from, uint64_t to) const {
    std::vector<Run> runs;
    to = std::min<uint64_t>(to, base_.size());
    for (uint64_t b = from / kBlock; b * kBlock < to; ++b) {
        if (state_[b] != kWritten && state_[b] != kReferenced) continue;
        const uint64_t begin = std::max<uint64_t>(b * kBlock, from), end = std::min<uint64_t>(block_end(b), to);
        if (!runs.empty() && runs.back().offset + runs.back().length == begin) {
            runs.back().length += end - begin;
        } else {
            runs.push_back({begin, end - begin});
        }
    }
    return runs;
}

std::vector<FlashOverlay::Change> FlashOverlay::changes(uint64_t from, uint64_t to) {
    // A block that refers to its own place in the flash holds what is there already.
    auto unchanged = [&](uint64_t b) { return state_[b] == kReferenced && source_[b] == b * kBlock; };
    std::vector<Run> runs;
    for (const Run& run : written(from, to)) {
        for (uint64_t at = run.offset, end = run.offset + run.length; at < end;) {
            const uint64_t b = at / kBlock, stop = std::min(block_end(b), end);
            if (!unchanged(b)) {
                if (!runs.empty() && runs.back().offset + runs.back().length == at) {
                    runs.back().length += stop - at;
                } else {
                    runs.push_back({at, stop - at});
                }
            }
            at = stop;
        }
    }
    // Blocks whose bytes lie where these runs write are copied while the bytes are
    // still there, wherever the block itself is (it may be committed later).
    for (uint64_t b = 0; b < state_.size() && !runs.empty(); ++b) {
        if (state_[b] != kReferenced || unchanged(b)) continue;
        const uint64_t begin = source_[b], end = begin + (block_end(b) - b * kBlock);
        auto after = std::upper_bound(runs.begin(), runs.end(), begin,
                                      [](uint64_t at, const Run& r) { return at < r.offset + r.length; });
        if (after != runs.end() && after->offset < end) take(b);
    }
    std::vector<Change> out;
    for (const Run& run : runs) {
        for (uint64_t at = run.offset, end = run.offset + run.length; at < end;) {
            const uint64_t b = at / kBlock, stop = std::min(block_end(b), end);
            const uint8_t* p = block_bytes(b) + (at - b * kBlock);
            if (!out.empty() && out.back().offset + out.back().bytes.size() == at &&
                out.back().bytes.data() + out.back().bytes.size() == p) {
                out.back().bytes = {out.back().bytes.data(), out.back().bytes.size() + (stop - at)};
            } else {
                out.push_back({at, {p, stop - at}});
            }
            at = stop;
        }
    }
    return out;
}

}  // namespace zelt::sim
