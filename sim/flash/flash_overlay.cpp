#include "sim/flash/flash_overlay.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zelt::sim {

namespace {

// Writes of at least this much have their pages mapped in one call instead of a fault
// for each.
constexpr uint64_t kPopulateBytes = 256 * 1024;

}  // namespace

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

void FlashOverlay::take(uint64_t block) {
    if (state_[block] != kAbsent) return;
    const uint64_t at = block * kBlock;
    std::memcpy(bytes_ + at, base_.data() + at, block_end(block) - at);
    state_[block] = kTaken;
}

void FlashOverlay::prepare_read(uint64_t offset, uint64_t length) {
    if (length == 0 || offset >= base_.size()) return;
    const uint64_t end = std::min<uint64_t>(offset + length, base_.size());
    for (uint64_t b = offset / kBlock; b * kBlock < end; ++b) take(b);
}

void FlashOverlay::prepare_write(uint64_t offset, uint64_t length) {
    if (length == 0 || offset >= base_.size()) return;
    const uint64_t end = std::min<uint64_t>(offset + length, base_.size());
    if (end - offset >= kPopulateBytes) {
        // Whole pages only; a kernel without the call leaves the faults to the writes.
        const uint64_t first = (offset + kBlock - 1) / kBlock * kBlock, last = end / kBlock * kBlock;
        if (last > first) ::madvise(bytes_ + first, last - first, MADV_POPULATE_WRITE);
    }
    for (uint64_t b = offset / kBlock; b * kBlock < end; ++b) {
        // A block covered in part keeps the flash's bytes beside the written ones.
        if (offset > b * kBlock || end < block_end(b)) take(b);
        state_[b] = kWritten;
    }
}

std::vector<FlashOverlay::Run> FlashOverlay::written(uint64_t from, uint64_t to) const {
    std::vector<Run> runs;
    to = std::min<uint64_t>(to, base_.size());
    for (uint64_t b = from / kBlock; b * kBlock < to; ++b) {
        if (state_[b] != kWritten) continue;
        const uint64_t begin = std::max<uint64_t>(b * kBlock, from), end = std::min<uint64_t>(block_end(b), to);
        if (!runs.empty() && runs.back().offset + runs.back().length == begin) {
            runs.back().length += end - begin;
        } else {
            runs.push_back({begin, end - begin});
        }
    }
    return runs;
}

}  // namespace zelt::sim
