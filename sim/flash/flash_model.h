// The adapter's flash as the firmware sees it: a flat byte array (erased bytes are
// 0xFF) that holds the NVM directory in its first blocks and the items after it.
//
// Items are placed on 4 KiB block boundaries, first fit, so deleting and re-creating
// items fragments the free space the way it does on a real part: an item can fail
// for lack of one contiguous run even though enough blocks are free in total, until
// the flash is defragmented. Raw writes and fills go straight to the bytes, so
// erasing the directory area makes the directory vanish, as on flash.
//
// The model works on a caller's byte span (a mapped flash image file, whose large
// writes may go through the file itself), or on an overlay of one whose changes reach
// the flash only when committed; it never allocates the flash itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "common/directory_entry.h"
#include "sim/flash/flash_backing.h"
#include "sim/flash/flash_overlay.h"

namespace zelt::sim {

enum class FlashStatus {
    ok,
    no_space,         // fewer free blocks than the item needs
    fragmented,       // enough free blocks, but no contiguous run of them
    directory_full,   // no free directory slot
    bad_index,        // no live entry at that directory index
    out_of_range,     // offset or length outside the item or the flash
    no_directory,     // the directory area does not hold a directory (erased)
    source_unreadable,  // the bytes to write could not be read from where they are
};

// Bytes written into an item from outside the flash, read a piece at a time (a file).
class ItemSource {
public:
    virtual ~ItemSource() = default;
    virtual uint64_t size() const = 0;
    // Reads out.size() bytes from `offset`; false when not all of them can be read.
    virtual bool read(uint64_t offset, std::span<uint8_t> out) = 0;
};

const char* flash_status_name(FlashStatus status);

// A raw directory of `entries` entries `from` bytes apart laid out `to` bytes apart:
// each entry's first bytes, cut to `to` or followed by zeros.
std::vector<uint8_t> restride_directory(std::span<const uint8_t> raw, uint32_t entries, uint32_t from, uint32_t to);

class FlashModel {
public:
    static constexpr uint32_t kBlock = 4096;
    static constexpr uint32_t kDirectoryBytes = 2 * kBlock;  // directory area at offset 0
    static constexpr uint32_t kHeaderBytes = 16;
    static constexpr uint32_t kEntryLength = 32;  // 24 defined bytes, then firmware-private bytes
    static constexpr uint32_t kMaxEntries = (kDirectoryBytes - kHeaderBytes) / kEntryLength;
    static constexpr uint32_t kMagic = 0x5244495A;  // "ZDIR"

    explicit FlashModel(std::span<uint8_t> bytes) : bytes_(bytes) {}
    // Over a mapping of a file: large writes go through `backing` (when not null).
    FlashModel(std::span<uint8_t> bytes, FlashBacking* backing) : bytes_(bytes), backing_(backing) {}
    // The flash as the overlay has it: reads see the overlay's changes over the flash,
    // and changes go to the overlay alone.
    explicit FlashModel(FlashOverlay& overlay);

    uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
    // The raw flash bytes (read-only), for taking a copy of the whole part.
    std::span<const uint8_t> bytes() const;

    // Erases the whole flash and writes an empty directory.
    void format();
    // Writes an empty directory on a flash whose bytes are all erased already.
    void format_erased();
    // True when the directory area holds a directory.
    bool has_directory() const;

    // Directory slots in use, deleted ones (type 0) included; 0 without a directory.
    uint32_t entry_count() const;
    zelnvm_directory_entry_t entry(uint32_t index) const;
    // The raw directory as the firmware reports it: entry_count() entries of kEntryLength bytes.
    std::vector<uint8_t> raw_directory() const;
    // Index of the first live entry with that identity, or -1.
    int find(uint16_t type, uint16_t ordinal, uint16_t ext) const;

    // Creates an empty item (data length 0, bytes erased).
    FlashStatus create(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr, uint32_t item_length,
                       uint32_t& index);
    // Writes a whole item: replaces the data of the entry with that identity (moving it when
    // it no longer fits in its blocks) or creates it. `item_length` 0 means the data length.
    // `data_crc`, when given, is the CRC-32 of `data` known already (the entry's checksum).
    FlashStatus write(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr, std::span<const uint8_t> data,
                      uint32_t item_length, uint32_t& index, std::optional<uint32_t> data_crc = std::nullopt);
    // The same with the data read from `data` a piece at a time. When it cannot all be
    // read (source_unreadable), the item's new blocks are erased and an entry of that
    // identity is deleted.
    FlashStatus write(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr, ItemSource& data,
                      uint32_t item_length, uint32_t& index);
    // `length` bytes of an item's allocation from `offset`, in place (valid until the
    // flash is next changed); empty when the index or the range is not the item's.
    std::span<const uint8_t> view(uint32_t index, uint32_t offset, uint32_t length) const;
    // Reads bytes of an item's allocation.
    FlashStatus read(uint32_t index, uint32_t offset, std::span<uint8_t> out) const;
    // Overwrites bytes inside an item's allocation; the data length grows to cover them.
    FlashStatus modify(uint32_t index, uint32_t offset, std::span<const uint8_t> data);
    // Marks a directory entry deleted (type 0); its blocks become free.
    FlashStatus erase_entry(uint32_t index);
    // Raw access to the flash bytes.
    FlashStatus raw_write(uint32_t offset, std::span<const uint8_t> data);
    FlashStatus raw_fill(uint32_t offset, uint32_t length, uint8_t pattern);
    // Moves every live item towards the start so that the free blocks form one run.
    FlashStatus defragment();

    uint32_t free_bytes() const;
    uint32_t largest_free_run() const;

private:
    struct Span {
        uint32_t begin;
        uint32_t end;
    };
    static uint64_t blocks_for(uint32_t length);
    bool sane(const zelnvm_directory_entry_t& e) const;
    uint8_t* entry_ptr(uint32_t index);
    const uint8_t* entry_ptr(uint32_t index) const;
    void put_entry(uint32_t index, const zelnvm_directory_entry_t& e);
    void set_count(uint32_t count);
    std::vector<Span> used_spans(int except_index) const;
    // First-fit placement of `need` bytes; `except_index` is treated as free.
    FlashStatus allocate(uint64_t need, int except_index, uint32_t& location) const;
    FlashStatus free_slot(uint32_t& index) const;
    // Where an item of that identity and length goes: its directory slot and location
    // (the entry's own when it still fits there); `item_length` grows to what it gets.
    FlashStatus place(uint16_t type, uint16_t ordinal, uint16_t ext, uint32_t data_length, uint32_t& item_length,
                      uint32_t& slot, uint32_t& location) const;
    void finish_write(uint32_t slot, const zelnvm_directory_entry_t& e, uint32_t& index);
    void update_checksum(zelnvm_directory_entry_t& e) const;
    // The bytes at `offset` made ready for reading or writing `length` of them (over an
    // overlay the blocks are taken from the flash as needed).
    const uint8_t* readable(uint64_t offset, uint64_t length) const;
    uint8_t* writable(uint64_t offset, uint64_t length);
    // Writes bytes from outside the flash, or fills a range with one value.
    void put(uint64_t offset, std::span<const uint8_t> data);
    void fill(uint64_t offset, uint64_t length, uint8_t value);

    std::span<uint8_t> bytes_;
    FlashOverlay* overlay_ = nullptr;
    FlashBacking* backing_ = nullptr;
};

}  // namespace zelt::sim
