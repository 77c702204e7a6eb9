// The flash model: item placement, fragmentation and its cure, raw access,
// directories that raw writes have corrupted, and changes held in an overlay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <functional>
#include <span>
#include <utility>
#include <vector>

#include "formats/crypto/crc32.h"
#include "sim/flash/flash_model.h"

namespace zelt::sim {
namespace {

constexpr uint32_t kBlock = FlashModel::kBlock;

// `n` bytes that differ from block to block and from their neighbours: byte i is
// i * step + seed.
std::vector<uint8_t> patterned_bytes(size_t n, uint8_t seed, uint8_t step) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * step + seed);
    return b;
}

// A formatted flash of `item_blocks` item blocks that ends 100 bytes into one more,
// holding three items of patterned bytes (made with `step`): 41 (2 blocks and 50
// bytes), 42 (2 blocks in an allocation of 3) and 43 (a block and 10 bytes in an
// allocation of `third_allocation` bytes).
void make_three_items(std::vector<uint8_t>& bytes, uint32_t item_blocks, uint8_t step, uint32_t third_allocation) {
    bytes.assign(FlashModel::kDirectoryBytes + item_blocks * kBlock + 100, 0);
    FlashModel made(bytes);
    made.format();
    uint32_t index;
    ASSERT_EQ(made.write(41, 0, 0, 0, patterned_bytes(2 * kBlock + 50, 1, step), 0, index), FlashStatus::ok);
    ASSERT_EQ(made.write(42, 0, 0, 0, patterned_bytes(2 * kBlock, 2, step), 3 * kBlock, index), FlashStatus::ok);
    ASSERT_EQ(made.write(43, 0, 0, 0, patterned_bytes(kBlock + 10, 3, step), third_allocation, index),
              FlashStatus::ok);
}

class FlashModelTest : public ::testing::Test {
protected:
    // 2 directory blocks + 16 item blocks.
    std::vector<uint8_t> bytes = std::vector<uint8_t>(FlashModel::kDirectoryBytes + 16 * kBlock);
    FlashModel flash{bytes};
    void SetUp() override { flash.format(); }

    uint32_t write(uint16_t type, uint16_t ordinal, std::vector<uint8_t> data, uint32_t item_length = 0) {
        uint32_t index = 0;
        EXPECT_EQ(flash.write(type, ordinal, 0, 0, data, item_length, index), FlashStatus::ok);
        return index;
    }
};

TEST_F(FlashModelTest, WriteReadModifyKeepsDirectoryAndDataConsistent) {
    uint32_t a = write(4, 0, std::vector<uint8_t>(5000, 0xA5));
    uint32_t b = write(5, 0, {1, 2, 3, 4}, 16);
    EXPECT_EQ(flash.entry_count(), 2u);
    EXPECT_EQ(flash.find(5, 0, 0), static_cast<int>(b));
    EXPECT_EQ(flash.find(5, 1, 0), -1);
    zelnvm_directory_entry_t ea = flash.entry(a);
    EXPECT_EQ(ea.item_location % kBlock, 0u);
    EXPECT_EQ(ea.data_length, 5000u);

    std::vector<uint8_t> patch{9, 9};
    ASSERT_EQ(flash.modify(b, 3, patch), FlashStatus::ok);
    std::vector<uint8_t> back(5);
    ASSERT_EQ(flash.read(b, 0, back), FlashStatus::ok);
    EXPECT_EQ(back, (std::vector<uint8_t>{1, 2, 3, 9, 9}));
    EXPECT_EQ(flash.entry(b).data_length, 5u);  // grew to cover the modified bytes

    // Rewriting an item with more data than its blocks hold moves it; the old place is free.
    uint32_t again = write(5, 0, std::vector<uint8_t>(3 * kBlock, 0x11));
    EXPECT_EQ(again, b);
    EXPECT_EQ(flash.entry(b).data_length, 3 * kBlock);
    EXPECT_EQ(flash.free_bytes(), (16 - 2 - 3) * kBlock);
}

TEST_F(FlashModelTest, RefusesAccessOutsideAnItem) {
    uint32_t a = write(4, 0, std::vector<uint8_t>(100, 1), 200);
    std::vector<uint8_t> buf(101);
    EXPECT_EQ(flash.read(a, 100, buf), FlashStatus::out_of_range);
    EXPECT_EQ(flash.modify(a, 0xFFFFFFFF, std::vector<uint8_t>(2)), FlashStatus::out_of_range);
    EXPECT_EQ(flash.read(7, 0, buf), FlashStatus::bad_index);
    EXPECT_EQ(flash.raw_fill(flash.size() - 4, 8, 0), FlashStatus::out_of_range);
}

TEST_F(FlashModelTest, FragmentedSpaceIsToldApartFromNoSpaceAndDefragmentationJoinsIt) {
    // Eight two-block items fill the flash; freeing every other one leaves eight free
    // blocks in runs of two.
    std::vector<uint32_t> idx;
    for (uint16_t i = 0; i < 8; ++i) idx.push_back(write(40, i, std::vector<uint8_t>(2 * kBlock, uint8_t(i))));
    for (int i = 0; i < 8; i += 2) ASSERT_EQ(flash.erase_entry(idx[i]), FlashStatus::ok);
    EXPECT_EQ(flash.free_bytes(), 8 * kBlock);
    EXPECT_EQ(flash.largest_free_run(), 2 * kBlock);

    uint32_t index;
    EXPECT_EQ(flash.create(2, 0, 0, 0, 3 * kBlock, index), FlashStatus::fragmented);
    EXPECT_EQ(flash.create(2, 0, 0, 0, 9 * kBlock, index), FlashStatus::no_space);

    ASSERT_EQ(flash.defragment(), FlashStatus::ok);
    EXPECT_EQ(flash.largest_free_run(), 8 * kBlock);
    ASSERT_EQ(flash.create(2, 0, 0, 0, 3 * kBlock, index), FlashStatus::ok);
    EXPECT_EQ(index, idx[0]);  // the first deleted slot is reused
    // The surviving items kept their data across the move.
    for (int i = 1; i < 8; i += 2) {
        std::vector<uint8_t> data(2 * kBlock);
        ASSERT_EQ(flash.read(idx[i], 0, data), FlashStatus::ok);
        EXPECT_EQ(data, std::vector<uint8_t>(2 * kBlock, uint8_t(i))) << "item " << i;
    }
}

TEST_F(FlashModelTest, ErasingTheDirectoryAreaRemovesTheDirectory) {
    write(4, 0, {1, 2, 3});
    ASSERT_EQ(flash.raw_fill(0, 0x3000, 0xFF), FlashStatus::ok);
    EXPECT_FALSE(flash.has_directory());
    EXPECT_EQ(flash.entry_count(), 0u);
    uint32_t index;
    EXPECT_EQ(flash.create(2, 0, 0, 0, 10, index), FlashStatus::no_directory);
}

TEST_F(FlashModelTest, EntriesPointingOutsideTheFlashAreNeverFollowed) {
    uint32_t a = write(4, 0, std::vector<uint8_t>(64, 7));
    // A raw write puts a location past the end into the entry.
    uint32_t bad_location = flash.size() - 16;
    std::vector<uint8_t> loc(4);
    std::memcpy(loc.data(), &bad_location, 4);
    ASSERT_EQ(flash.raw_write(FlashModel::kHeaderBytes + a * FlashModel::kEntryLength + 8, loc), FlashStatus::ok);
    std::vector<uint8_t> buf(64);
    EXPECT_EQ(flash.read(a, 0, buf), FlashStatus::out_of_range);
    EXPECT_EQ(flash.modify(a, 0, buf), FlashStatus::out_of_range);
    EXPECT_EQ(flash.defragment(), FlashStatus::ok);
    EXPECT_EQ(flash.erase_entry(a), FlashStatus::ok);
}

TEST_F(FlashModelTest, DefragmentationRefusesItemsThatShareBlocks) {
    uint32_t a = write(4, 0, std::vector<uint8_t>(3 * kBlock, 1));
    uint32_t b = write(5, 0, std::vector<uint8_t>(3 * kBlock, 2));
    // Point the second item into the first one's blocks.
    uint32_t location = flash.entry(a).item_location + kBlock;
    std::vector<uint8_t> loc(4);
    std::memcpy(loc.data(), &location, 4);
    ASSERT_EQ(flash.raw_write(FlashModel::kHeaderBytes + b * FlashModel::kEntryLength + 8, loc), FlashStatus::ok);
    EXPECT_EQ(flash.defragment(), FlashStatus::out_of_range);
    std::vector<uint8_t> data(3 * kBlock);
    ASSERT_EQ(flash.read(a, 0, data), FlashStatus::ok);
    EXPECT_EQ(data, std::vector<uint8_t>(3 * kBlock, 1));
}

// Bytes of an item read from a vector a piece at a time, failing from `fail_from` on.
class VectorSource : public ItemSource {
public:
    explicit VectorSource(std::vector<uint8_t> bytes, uint64_t fail_from = UINT64_MAX)
        : bytes_(std::move(bytes)), fail_from_(fail_from) {}
    uint64_t size() const override { return bytes_.size(); }
    bool read(uint64_t offset, std::span<uint8_t> out) override {
        if (offset + out.size() > fail_from_) return false;
        std::memcpy(out.data(), bytes_.data() + offset, out.size());
        ++reads;
        return true;
    }
    int reads = 0;

private:
    std::vector<uint8_t> bytes_;
    uint64_t fail_from_;
};

// An item written from a source a piece at a time leaves the flash exactly as the same
// item written from its bytes at once: same directory entry (checksum included), same
// bytes, whether it is new, replaces an item in place or moves it.
TEST(FlashModelSourceTest, AnItemReadPieceByPieceMatchesTheItemWrittenWhole) {
    struct Case {
        size_t length;
        size_t earlier;  // data length of an item of the same identity written first (0: none)
    };
    const Case cases[] = {{0, 0},           {1, 0},          {kBlock, 0},         {256 * 1024 - 1, 0},
                          {256 * 1024, 0},  {256 * 1024 + 1, 0}, {600 * 1024, 0}, {5000, 3 * kBlock},
                          {600 * 1024, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE("length " + std::to_string(c.length) + ", earlier " + std::to_string(c.earlier));
        std::vector<uint8_t> whole(FlashModel::kDirectoryBytes + 400 * kBlock), pieces;
        FlashModel a(whole);
        a.format();
        uint32_t index;
        ASSERT_EQ(a.write(7, 0, 0, 0, patterned_bytes(kBlock, 9, 3), 0, index), FlashStatus::ok);
        if (c.earlier) {
            ASSERT_EQ(a.write(9, 1, 0, 0, patterned_bytes(c.earlier, 4, 5), 0, index), FlashStatus::ok);
        }
        pieces = whole;
        FlashModel b(pieces);
        const std::vector<uint8_t> data = patterned_bytes(c.length, 2, 11);
        uint32_t whole_index, pieces_index;
        ASSERT_EQ(a.write(9, 1, 0, 0x10, data, 0, whole_index), FlashStatus::ok);
        VectorSource source(data);
        ASSERT_EQ(b.write(9, 1, 0, 0x10, source, 0, pieces_index), FlashStatus::ok);
        EXPECT_EQ(pieces_index, whole_index);
        EXPECT_EQ(b.raw_directory(), a.raw_directory());
        EXPECT_TRUE(pieces == whole);
        EXPECT_EQ(b.entry(pieces_index).data_chksum, crc32i(ZELT_CRC32_INIT, data.data(), data.size()));
    }
}

// A source that cannot be read to its end leaves no part of the item: its blocks are
// erased, and the item it was to replace is gone rather than left half overwritten.
TEST(FlashModelSourceTest, ASourceThatFailsLeavesNoPartOfTheItem) {
    std::vector<uint8_t> bytes(FlashModel::kDirectoryBytes + 400 * kBlock);
    FlashModel flash(bytes);
    flash.format();
    uint32_t index;
    const std::vector<uint8_t> other = patterned_bytes(kBlock, 9, 3);
    ASSERT_EQ(flash.write(7, 0, 0, 0, other, 0, index), FlashStatus::ok);
    ASSERT_EQ(flash.write(9, 1, 0, 0, patterned_bytes(600 * 1024, 4, 5), 0, index), FlashStatus::ok);
    const uint32_t location = flash.entry(index).item_location;
    VectorSource source(patterned_bytes(600 * 1024, 2, 11), 300 * 1024);
    EXPECT_EQ(flash.write(9, 1, 0, 0, source, 0, index), FlashStatus::source_unreadable);
    EXPECT_EQ(source.reads, 1);  // the first piece was written before the failure
    EXPECT_EQ(flash.find(9, 1, 0), -1);
    EXPECT_TRUE(std::all_of(bytes.begin() + location, bytes.begin() + location + 600 * 1024,
                            [](uint8_t b) { return b == 0xFF; }));
    std::vector<uint8_t> back(other.size());
    ASSERT_EQ(flash.read(static_cast<uint32_t>(flash.find(7, 0, 0)), 0, back), FlashStatus::ok);
    EXPECT_EQ(back, other);
}

// The file under a mapped flash, here the flash's own vector: records what goes through
// it, and refuses writes when told to.
class RecordingBacking : public FlashBacking {
public:
    explicit RecordingBacking(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool write(uint64_t offset, std::span<const uint8_t> data) override {
        if (refuse) return false;
        std::memcpy(bytes_.data() + offset, data.data(), data.size());
        written += data.size();
        return true;
    }
    bool refuse = false;
    uint64_t written = 0;

private:
    std::vector<uint8_t>& bytes_;
};

// Large writes and fills go through the backing file, small ones through the bytes; a
// backing that refuses leaves the same flash all the same. Each sequence ends with the
// flash the model without a backing makes.
TEST(FlashModelBackingTest, LargeWritesGoThroughTheFileAndEndTheSame) {
    using Steps = std::function<void(FlashModel&)>;
    struct Case {
        const char* name;
        Steps steps;
        bool through_file;  // whether anything large is written
    };
    const auto write = [](uint16_t type, size_t n, uint8_t seed) {
        return [=](FlashModel& f) {
            uint32_t index;
            ASSERT_EQ(f.write(type, 0, 0, 0, patterned_bytes(n, seed, 7), 0, index), FlashStatus::ok);
        };
    };
    const Case cases[] = {
        {"small item", write(5, 3 * kBlock, 1), false},
        {"large item", write(5, 700 * 1024, 1), true},
        {"large item erased", [&](FlashModel& f) {
             write(5, 700 * 1024, 1)(f);
             ASSERT_EQ(f.erase_entry(static_cast<uint32_t>(f.find(5, 0, 0))), FlashStatus::ok);
         }, true},
        {"raw write of a flash with one block changed", [&](FlashModel& f) {
             write(5, 700 * 1024, 1)(f);
             std::vector<uint8_t> image(f.bytes().begin(), f.bytes().end());
             image[FlashModel::kDirectoryBytes + 100 * kBlock + 5] ^= 0x5A;
             ASSERT_EQ(f.raw_write(0, image), FlashStatus::ok);
         }, true},
        {"large raw fill", [](FlashModel& f) { ASSERT_EQ(f.raw_fill(kBlock * 10, 512 * 1024, 0x3C), FlashStatus::ok); },
         true},
    };
    for (const Case& c : cases) {
        for (const bool refuse : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (refuse ? ", backing refuses" : ""));
            std::vector<uint8_t> plain(FlashModel::kDirectoryBytes + 400 * kBlock);
            FlashModel reference(plain);
            reference.format();
            std::vector<uint8_t> backed = plain;
            RecordingBacking file(backed);
            file.refuse = refuse;
            FlashModel flash(backed, &file);
            ASSERT_NO_FATAL_FAILURE(c.steps(reference));
            ASSERT_NO_FATAL_FAILURE(c.steps(flash));
            EXPECT_TRUE(backed == plain);
            EXPECT_EQ(file.written > 0, c.through_file && !refuse);
        }
    }
}

// Each sequence of changes made through an overlay reads back as it does on the flash
// itself, leaves the flash alone until committed, and once its written blocks are
// committed leaves the flash as the same changes made on it directly. Items hold
// patterned bytes, so a block the overlay failed to take from the flash reads wrong.
TEST(FlashOverlayTest, ChangesMatchTheFlashAndReachItOnlyOnCommit) {
    using Step = std::function<void(FlashModel&, std::vector<uint8_t>& seen)>;
    auto read_item = [](FlashModel& f, uint16_t type, std::vector<uint8_t>& seen) {
        const int i = f.find(type, 0, 0);
        ASSERT_GE(i, 0);
        const std::span<const uint8_t> view = f.view(static_cast<uint32_t>(i), 5, 3000);
        seen.insert(seen.end(), view.begin(), view.end());
        std::vector<uint8_t> data(f.entry(static_cast<uint32_t>(i)).item_length);
        ASSERT_EQ(f.read(static_cast<uint32_t>(i), 0, data), FlashStatus::ok);
        seen.insert(seen.end(), data.begin(), data.end());
    };
    auto patterned = [](size_t n, uint8_t seed) { return patterned_bytes(n, seed, 7); };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"items read, not changed", {[&](FlashModel& f, auto& seen) { read_item(f, 41, seen); }}},
        {"an item rewritten in place and a new one",
         {[&](FlashModel& f, auto&) {
              uint32_t i;
              ASSERT_EQ(f.write(41, 0, 0, 0, patterned(2 * kBlock + 100, 9), 0, i), FlashStatus::ok);
              ASSERT_EQ(f.write(50, 0, 0, 0, patterned(kBlock + 1, 3), 0, i), FlashStatus::ok);
          },
          [&](FlashModel& f, auto& seen) { read_item(f, 41, seen), read_item(f, 50, seen); }}},
        {"a few bytes modified inside a block",
         {[&](FlashModel& f, auto&) { ASSERT_EQ(f.modify(f.find(42, 0, 0), 4093, patterned(7, 1)), FlashStatus::ok); },
          [&](FlashModel& f, auto& seen) { read_item(f, 42, seen); }}},
        {"items erased and created",
         {[&](FlashModel& f, auto&) {
              uint32_t i;
              ASSERT_EQ(f.erase_entry(f.find(41, 0, 0)), FlashStatus::ok);
              ASSERT_EQ(f.create(51, 0, 0, 0, 5000, i), FlashStatus::ok);
          },
          [&](FlashModel& f, auto& seen) { read_item(f, 51, seen), read_item(f, 43, seen); }}},
        {"items moved by defragmentation",
         {[&](FlashModel& f, auto&) {
              ASSERT_EQ(f.erase_entry(f.find(41, 0, 0)), FlashStatus::ok);
              ASSERT_EQ(f.defragment(), FlashStatus::ok);
          },
          [&](FlashModel& f, auto& seen) { read_item(f, 42, seen), read_item(f, 43, seen); }}},
        {"raw writes and fills off block boundaries",
         {[&](FlashModel& f, auto&) {
              ASSERT_EQ(f.raw_write(FlashModel::kDirectoryBytes + 3 * kBlock - 10, patterned(kBlock + 20, 5)),
                        FlashStatus::ok);
              ASSERT_EQ(f.raw_fill(FlashModel::kDirectoryBytes + 7 * kBlock + 1, 2, 0), FlashStatus::ok);
              ASSERT_EQ(f.raw_fill(f.size() - 50, 50, 0x5A), FlashStatus::ok);
          },
          [&](FlashModel& f, auto& seen) { read_item(f, 42, seen), read_item(f, 43, seen); }}},
    };
    // Three items of patterned bytes and room for two more blocks, on a flash that ends
    // inside a block.
    std::vector<uint8_t> flash_bytes;
    ASSERT_NO_FATAL_FAILURE(make_three_items(flash_bytes, 12, 7, 4 * kBlock));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> direct_bytes = flash_bytes, base = flash_bytes;
        FlashModel direct(direct_bytes);
        FlashOverlay overlay(base);
        FlashModel over(overlay);
        for (const Step& step : c.steps) {
            std::vector<uint8_t> seen_direct, seen_over;
            step(direct, seen_direct);
            step(over, seen_over);
            EXPECT_EQ(seen_over, seen_direct);
        }
        EXPECT_EQ(base, flash_bytes);
        FlashModel target(base);
        for (const FlashOverlay::Run& run : overlay.written(0, base.size()))
            ASSERT_EQ(target.raw_write(static_cast<uint32_t>(run.offset), overlay.bytes().subspan(run.offset, run.length)),
                      FlashStatus::ok);
        EXPECT_EQ(base, direct_bytes);
    }
}

// Items written from bytes of the flash under the overlay (as an installation writes
// the items of the package staged in the flash) are kept as references to those bytes.
// Whatever follows such a write (a read, a write over part of a block, a change to the
// bytes referred to, defragmentation), the overlay reads as the flash changed directly
// does, and a commit in two parts leaves the flash the same as the direct changes, also
// when it overwrites bytes that blocks still to be written refer to.
TEST(FlashOverlayTest, WritesFromTheFlashItselfMatchTheFlashChangedDirectly) {
    // `flash` is the bytes writes take their data from: the flash under the overlay, or
    // the flash itself when it is changed directly.
    using Step = std::function<void(FlashModel&, std::span<const uint8_t> flash)>;
    auto data_of = [](FlashModel& f, std::span<const uint8_t> flash, uint16_t type, uint32_t from, uint32_t length) {
        const zelnvm_directory_entry_t e = f.entry(static_cast<uint32_t>(f.find(type, 0, 0)));
        return flash.subspan(e.item_location + from, length);
    };
    // With the data's checksum given, as an installation gives it: the write itself
    // then reads nothing back.
    auto write = [](FlashModel& f, uint16_t type, std::span<const uint8_t> data) {
        uint32_t i;
        ASSERT_EQ(f.write(type, 0, 0, 0, data, 0, i, crypto::crc32(data)), FlashStatus::ok);
    };
    auto read_all = [](FlashModel& f, std::vector<uint8_t>& seen) {
        for (uint16_t type : {41, 42, 43, 60}) {
            const int i = f.find(type, 0, 0);
            if (i < 0) continue;
            const zelnvm_directory_entry_t e = f.entry(static_cast<uint32_t>(i));
            std::vector<uint8_t> data(e.item_length);
            ASSERT_EQ(f.read(static_cast<uint32_t>(i), 0, data), FlashStatus::ok);
            seen.insert(seen.end(), data.begin(), data.end());
            seen.push_back(static_cast<uint8_t>(e.item_location / kBlock));
        }
    };
    auto patterned = [](size_t n, uint8_t seed) { return patterned_bytes(n, seed, 13); };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"a copy of whole blocks, then read",
         {[&](FlashModel& f, auto flash) { write(f, 60, data_of(f, flash, 42, 0, 2 * kBlock)); }}},
        {"from an unaligned source, ending inside a block",
         {[&](FlashModel& f, auto flash) { write(f, 60, data_of(f, flash, 41, 5, 2 * kBlock + 40)); }}},
        {"then a few bytes written inside a referenced block",
         {[&](FlashModel& f, auto flash) { write(f, 60, data_of(f, flash, 42, 0, 2 * kBlock)); },
          [&](FlashModel& f, auto) { ASSERT_EQ(f.modify(f.find(60, 0, 0), kBlock + 9, patterned(5, 4)), FlashStatus::ok); }}},
        {"then the source item rewritten before the commit",
         {[&](FlashModel& f, auto flash) { write(f, 60, data_of(f, flash, 41, 0, 2 * kBlock + 50)); },
          [&](FlashModel& f, auto) { write(f, 41, patterned(2 * kBlock + 50, 77)); }}},
        {"then the source item erased and its blocks taken by another",
         {[&](FlashModel& f, auto flash) { write(f, 60, data_of(f, flash, 42, 0, kBlock)); },
          [&](FlashModel& f, auto) {
              ASSERT_EQ(f.erase_entry(f.find(42, 0, 0)), FlashStatus::ok);
              write(f, 43, patterned(4 * kBlock, 5));
          }}},
        {"then moved by defragmentation",
         {[&](FlashModel& f, auto flash) {
              ASSERT_EQ(f.erase_entry(f.find(42, 0, 0)), FlashStatus::ok);
              write(f, 60, data_of(f, flash, 41, 0, 2 * kBlock + 50));
          },
          [&](FlashModel& f, auto) {
              ASSERT_EQ(f.erase_entry(f.find(41, 0, 0)), FlashStatus::ok);
              ASSERT_EQ(f.defragment(), FlashStatus::ok);
          }}},
        {"an item rewritten in place from its own bytes, moved along",
         {[&](FlashModel& f, auto flash) { write(f, 42, data_of(f, flash, 42, 100, 2 * kBlock - 100)); }}},
        {"an item rewritten in place from its own bytes, unchanged",
         {[&](FlashModel& f, auto flash) { write(f, 43, data_of(f, flash, 43, 0, kBlock + 10)); }}},
    };
    std::vector<uint8_t> flash_bytes;
    ASSERT_NO_FATAL_FAILURE(make_three_items(flash_bytes, 16, 13, 2 * kBlock));
    // The commit's first part ends inside item 42, so each part may overwrite bytes the
    // other part's blocks refer to.
    const uint64_t split = FlashModel::kDirectoryBytes + 4 * kBlock;
    for (const Case& c : cases) {
        // Committed as the steps left it, or after every item was read back (which
        // takes every referenced block into the overlay).
        for (bool read_first : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (read_first ? ", read before the commit" : ""));
            std::vector<uint8_t> direct_bytes = flash_bytes, base = flash_bytes;
            FlashModel direct(direct_bytes);
            FlashOverlay overlay(base);
            FlashModel over(overlay);
            for (const Step& step : c.steps) {
                step(direct, direct_bytes);
                step(over, base);
            }
            if (read_first) {
                std::vector<uint8_t> seen_direct, seen_over;
                read_all(direct, seen_direct);
                read_all(over, seen_over);
                EXPECT_EQ(seen_over, seen_direct);
            }
            EXPECT_EQ(base, flash_bytes);
            FlashModel target(base);
            for (auto [from, to] : {std::pair<uint64_t, uint64_t>{0, split}, {split, base.size()}}) {
                for (const FlashOverlay::Change& change : overlay.changes(from, to))
                    ASSERT_EQ(target.raw_write(static_cast<uint32_t>(change.offset), change.bytes), FlashStatus::ok);
            }
            EXPECT_EQ(base, direct_bytes);
        }
    }
}

}  // namespace
}  // namespace zelt::sim
