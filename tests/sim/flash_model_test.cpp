// The flash model: item placement, fragmentation and its cure, raw access, and
// directories that raw writes have corrupted.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/flash/flash_model.h"

namespace zelt::sim {
namespace {

constexpr uint32_t kBlock = FlashModel::kBlock;

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

}  // namespace
}  // namespace zelt::sim
