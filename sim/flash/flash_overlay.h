// Changes to a flash held apart from it until they are committed.
//
// An installation works on the flash as it will be, and the flash itself takes the
// changes only when the whole installation has gone well. The overlay keeps a block
// of its own for each flash block the work reads or writes: a block is copied from the
// flash the first time it is read, and one that is overwritten whole is never copied.
// Commit writes back only the blocks that were written, so the work costs the bytes it
// touches rather than the size of the part.
//
// Whole blocks written from bytes of the flash itself (an item installed from the
// package staged in the flash) are kept as references to those bytes, which do not
// change before the commit: no copy is made of tens of megabytes only to write them
// back. Such a block becomes a copy of its own the first time it is read or written in
// part, and before a commit overwrites the bytes it refers to.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace zelt::sim {

class FlashOverlay {
public:
    static constexpr uint32_t kBlock = 4096;

    // Over `base`, which must stay unchanged while the overlay is used.
    explicit FlashOverlay(std::span<const uint8_t> base);
    ~FlashOverlay();
    FlashOverlay(const FlashOverlay&) = delete;
    FlashOverlay& operator=(const FlashOverlay&) = delete;

    uint64_t size() const { return base_.size(); }
    // The overlay's bytes; a range holds the flash's bytes (or what was written over
    // them) once prepare_read or prepare_write has been called for it. Blocks written
    // by reference are not in it until they are read.
    std::span<uint8_t> bytes() { return {bytes_, base_.size()}; }

    // Makes the range readable: its blocks not taken yet are copied from the flash.
    void prepare_read(uint64_t offset, uint64_t length);
    // Makes the range writable and marks its blocks written. Blocks the range covers
    // whole are not copied first (the caller overwrites all of them); blocks it covers
    // in part are.
    void prepare_write(uint64_t offset, uint64_t length);

    // True when `source` lies inside the flash under the overlay.
    bool in_base(std::span<const uint8_t> source) const;
    // Writes `source` (bytes of the flash under the overlay) at `offset`: the blocks it
    // covers whole refer to it, the others are copied. The range must lie in the flash.
    void write_from_base(uint64_t offset, std::span<const uint8_t> source);

    struct Run {
        uint64_t offset;
        uint64_t length;
    };
    // The written blocks inside [from, to), as runs of adjacent blocks in order (the
    // last may end at the flash's end inside a block).
    std::vector<Run> written(uint64_t from, uint64_t to) const;

    struct Change {
        uint64_t offset;
        std::span<const uint8_t> bytes;
    };
    // What committing [from, to) writes to the flash: the written blocks with their
    // bytes, as runs in order. Blocks written by reference whose bytes these runs
    // overwrite are copied first, so the runs may be written one after another; the
    // changes are meant to be written before the overlay is next used.
    std::vector<Change> changes(uint64_t from, uint64_t to);

private:
    enum : uint8_t { kAbsent = 0, kTaken = 1, kWritten = 2, kReferenced = 3 };
    void take(uint64_t block);
    uint64_t block_end(uint64_t block) const;
    const uint8_t* block_bytes(uint64_t block) const;

    std::span<const uint8_t> base_;
    uint8_t* bytes_ = nullptr;
    std::vector<uint8_t> state_;     // per block
    std::vector<uint64_t> source_;   // per block, where in base_ a referenced block's bytes are
};

}  // namespace zelt::sim
