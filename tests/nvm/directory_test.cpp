// Directory listing and lookups against the simulated adapter's flash.
#include <gtest/gtest.h>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "tests/nvm/nvm_fixture.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

using device::zeltnvmAttributeFlags;
using device::zeltnvmExtensionFlags;
using device::zeltnvmGetDirEntry;
using device::zeltnvmListDirectory;

class Directory : public NvmOnSimHost {
protected:
    // Adds items until the directory holds `total` entries.
    void growDirectoryTo(uint32_t total) {
        withFlash([&](sim::FlashModel& f) {
            for (uint16_t ord = 0; f.entry_count() < total; ++ord) {
                uint32_t index = 0;
                ASSERT_EQ(f.create(ZEL_DIR_TYPE_MGMT_DATA, ord, 0, 0, 16, index), sim::FlashStatus::ok);
            }
        });
    }
    // The directory entry length adapter0's firmware reports.
    void setEntryLength(uint32_t length) {
        std::string error;
        auto session = sim::SimSession::open(root_.path(), error);
        ASSERT_TRUE(session) << error;
        session->host().adapters[0].dir_entry_length = length;
        session->description_changed();
        ASSERT_TRUE(session->save(error)) << error;
    }
    uint32_t flashEntryCount() {
        uint32_t n = 0;
        withFlash([&](sim::FlashModel& f) { n = f.entry_count(); });
        return n;
    }
};

TEST_F(Directory, ListsEveryEntryAsTheFlashHoldsIt) {
    std::vector<zelnvm_directory_entry_t> expected;
    withFlash([&](sim::FlashModel& f) {
        for (uint32_t i = 0; i < f.entry_count(); ++i) expected.push_back(f.entry(i));
    });
    ASSERT_FALSE(expected.empty());

    const auto got = zeltnvmListDirectory(fn());
    ASSERT_TRUE(got.ok());
    ASSERT_EQ(got->size(), expected.size());
    for (size_t i = 0; i < got->size(); ++i) {
        EXPECT_EQ(std::memcmp(&(*got)[i], &expected[i], sizeof expected[i]), 0) << "entry " << i;
    }
}

TEST_F(Directory, LookupsFindTheFirstMatchOnTypeOrdinalAndExt) {
    const uint32_t first = createItem(ZEL_DIR_TYPE_MGMT_DATA, 3, 100);
    const uint32_t second = createItem(ZEL_DIR_TYPE_MGMT_DATA, 3, 200);  // same identity, later index
    ASSERT_LT(first, second);

    struct Case {
        uint16_t type, ordinal, ext;
        int32_t result;
        uint32_t item_length;
    } cases[] = {
        {ZEL_DIR_TYPE_MGMT_DATA, 3, 0, static_cast<int32_t>(first), 100},
        {ZEL_DIR_TYPE_MGMT_DATA, 4, 0, HVXRETVAL_ITEM_NOT_FOUND, 0},
        {ZEL_DIR_TYPE_MGMT_DATA, 3, ZEL_DIR_EXT_INACTIVE, HVXRETVAL_ITEM_NOT_FOUND, 0},
        {ZEL_DIR_TYPE_MGMT_WEB_DATA, 3, 0, HVXRETVAL_ITEM_NOT_FOUND, 0},
    };
    for (const auto& c : cases) {
        zelnvm_directory_entry_t e;
        std::memset(&e, 0xAB, sizeof e);
        EXPECT_EQ(indexOrCode(zeltnvmGetDirEntry(fn(), c.type, c.ordinal, c.ext, &e)), c.result)
            << c.type << "/" << c.ordinal;
        EXPECT_EQ(e.item_length, c.item_length);  // zeroed when absent
    }
    EXPECT_EQ(indexOrCode(zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_MGMT_DATA, 3, 0, nullptr)), static_cast<int32_t>(first));
}

TEST_F(Directory, LookupsAcceptAtMostOneHundredEntriesWhileTheListingHasNoSuchLimit) {
    // 101 entries fit the usual 4096-byte answer; 140 entries of the firmware's
    // 32-byte stride do not, and must still be listed whole.
    for (uint32_t total : {100u, 101u, 140u}) {
        SCOPED_TRACE(total);
        growDirectoryTo(total);
        ASSERT_EQ(flashEntryCount(), total);
        const int32_t lookup = indexOrCode(zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_UPDATE, 0, 0, nullptr));
        if (total <= device::ZELTNVM_DIR_LOOKUP_MAX_ENTRIES) {
            EXPECT_GE(lookup, 0);
        } else {
            EXPECT_EQ(lookup, HVXRETVAL_INSUFFICIENT_SPACE);
        }
        const auto all = zeltnvmListDirectory(fn());
        ASSERT_TRUE(all.ok());
        ASSERT_EQ(all->size(), total);
        EXPECT_EQ(all->back().type, ZEL_DIR_TYPE_MGMT_DATA);
    }
}

TEST_F(Directory, AFailedListingIsNeitherAnIndexNorNotFound) {
    // A busy firmware channel answers with a positive errno value: the lookup reports
    // that failure as it is, never an index and never "not found".
    sim::FaultDesc busy;
    busy.kind = "busy";
    busy.req_type = HWRM_NVM_GET_DIR_ENTRIES;
    schedule({busy});
    const auto lookup = zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_UPDATE, 0, 0, nullptr);
    ASSERT_FALSE(lookup.ok());
    EXPECT_FALSE(lookup.result().is(HVXRETVAL_ITEM_NOT_FOUND));
    EXPECT_EQ(lookup.result().origin(), Origin::kSystem);
    EXPECT_FALSE(zeltnvmListDirectory(fn()).ok());
}

// The firmware reports how long each directory entry is and lays the entries out that
// far apart; only the first 24 bytes of each are read. An entry shorter than that is
// refused before the entries are asked for; an answer larger than the usual buffer is
// asked for again into one that holds it, up to the 16 MiB limit.
TEST_F(Directory, EntryLengthTheFirmwareReportsOnBothSidesOfEachLimit) {
    growDirectoryTo(32);  // 32 entries: 128 bytes each fill the usual 4096-byte buffer exactly
    std::vector<zelnvm_directory_entry_t> expected;
    withFlash([&](sim::FlashModel& f) {
        for (uint32_t i = 0; i < f.entry_count(); ++i) expected.push_back(f.entry(i));
    });
    ASSERT_EQ(expected.size(), 32u);
    (void)fn();

    struct Case {
        uint32_t entry_length;
        int32_t code;
        size_t info_requests, entries_requests;
    } cases[] = {
        {24, 0, 1, 1},
        {23, HVXRETVAL_INVALID_DATA_LENGTH, 1, 0},
        {1, HVXRETVAL_INVALID_DATA_LENGTH, 1, 0},
        {40, 0, 1, 1},
        {128, 0, 1, 1},
        {129, 0, 2, 1},
        {512u << 10, 0, 2, 1},
        {(512u << 10) + 1, HVXRETVAL_INVALID_DATA_LENGTH, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry_length);
        setEntryLength(c.entry_length);
        clearRequests();
        const auto got = zeltnvmListDirectory(fn());
        EXPECT_EQ(requests("lfc", HWRM_NVM_GET_DIR_INFO).size(), c.info_requests);
        EXPECT_EQ(requests("lfc", HWRM_NVM_GET_DIR_ENTRIES).size(), c.entries_requests);
        if (c.code != 0) {
            ASSERT_FALSE(got.ok());
            EXPECT_EQ(got.result().code(), c.code);
            continue;
        }
        ASSERT_TRUE(got.ok()) << got.result().code();
        ASSERT_EQ(got->size(), expected.size());
        for (size_t i = 0; i < got->size(); ++i)
            EXPECT_EQ(std::memcmp(&(*got)[i], &expected[i], sizeof expected[i]), 0) << "entry " << i;
    }
}

// Entries packed at the defined record size are read; one byte less per entry, or
// one byte less in the answer than the entries need, is a damaged directory.
TEST(DirectoryParse, EntrySizeAndAnswerLengthOnBothSides) {
    struct Case {
        uint32_t count;
        uint32_t entry_size;
        size_t raw_size;
        int32_t code;
    } cases[] = {
        {3, 24, 72, 0},
        {3, 23, 72, HVXRETVAL_INVALID_DATA_LENGTH},
        {3, 32, 96, 0},
        {3, 32, 95, HVXRETVAL_INVALID_DATA_LENGTH},
    };
    std::vector<uint8_t> raw(96);
    for (size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<uint8_t>(i);
    for (const Case& c : cases) {
        std::vector<zelnvm_directory_entry_t> entries;
        EXPECT_EQ(device::zeltnvmParseDirectory(raw.data(), c.raw_size, c.count, c.entry_size, entries).code(), c.code)
            << c.entry_size << " " << c.raw_size;
        if (c.code != 0) continue;
        ASSERT_EQ(entries.size(), c.count);
        // The last entry starts at its stride, not at a packed 24-byte offset.
        EXPECT_EQ(entries.back().type, static_cast<uint16_t>(raw[2 * c.entry_size] | raw[2 * c.entry_size + 1] << 8));
    }
}

TEST(DirectoryFlags, RenderEachBitInOrder) {
    EXPECT_EQ(zeltnvmExtensionFlags(0), "");
    EXPECT_EQ(zeltnvmExtensionFlags(ZEL_DIR_EXT_INACTIVE | ZEL_DIR_EXT_UPDATE | 0x8000), "Inactive Update ");
    EXPECT_EQ(zeltnvmExtensionFlags(ZEL_DIR_EXT_UPDATE), "Update ");
    EXPECT_EQ(zeltnvmAttributeFlags(0x1F), "No-Chksum Prop-Stream IPv4 IPv6 Trailer ");
    EXPECT_EQ(zeltnvmAttributeFlags(ZEL_DIR_ATTR_TRAILER | ZEL_DIR_ATTR_NO_CHKSUM), "No-Chksum Trailer ");
}

}  // namespace
}  // namespace zelt::test
