// Directory listing and lookups against the simulated adapter's flash.
#include <gtest/gtest.h>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "tests/nvm/nvm_fixture.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

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

    uint32_t count = 0;
    std::vector<zelnvm_directory_entry_t> got(expected.size());
    ASSERT_EQ(zeltnvmGetDir(kDev, &count, got.data(), static_cast<uint32_t>(got.size())), 0);
    ASSERT_EQ(count, expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(std::memcmp(&got[i], &expected[i], sizeof got[i]), 0) << "entry " << i;
    }

    // Too small a table is refused; the count alone needs no table.
    EXPECT_EQ(zeltnvmGetDir(kDev, &count, got.data(), count - 1), HVXRETVAL_INSUFFICIENT_SPACE);
    EXPECT_EQ(count, expected.size());
    EXPECT_EQ(zeltnvmGetDir(kDev, &count, nullptr, 0), 0);
    EXPECT_EQ(count, expected.size());
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
        EXPECT_EQ(zeltnvmGetDirEntry(kDev, c.type, c.ordinal, c.ext, &e), c.result) << c.type << "/" << c.ordinal;
        EXPECT_EQ(e.item_length, c.item_length);  // zeroed when absent
    }
    EXPECT_EQ(zeltnvmGetDirEntry(kDev, ZEL_DIR_TYPE_MGMT_DATA, 3, 0, nullptr), static_cast<int32_t>(first));
}

TEST_F(Directory, LookupsAcceptAtMostOneHundredEntriesWhileTheListingHasNoSuchLimit) {
    // 101 entries fit the usual 4096-byte answer; 140 entries of the firmware's
    // 32-byte stride do not, and must still be listed whole.
    for (uint32_t total : {100u, 101u, 140u}) {
        SCOPED_TRACE(total);
        growDirectoryTo(total);
        ASSERT_EQ(flashEntryCount(), total);
        const int32_t lookup = zeltnvmGetDirEntry(kDev, ZEL_DIR_TYPE_UPDATE, 0, 0, nullptr);
        if (total <= ZELTNVM_DIR_LOOKUP_MAX_ENTRIES) {
            EXPECT_GE(lookup, 0);
        } else {
            EXPECT_EQ(lookup, HVXRETVAL_INSUFFICIENT_SPACE);
        }
        std::vector<zelnvm_directory_entry_t> all(200);
        uint32_t count = 0;
        EXPECT_EQ(zeltnvmGetDir(kDev, &count, all.data(), 200), 0);
        EXPECT_EQ(count, total);
        EXPECT_EQ(all[total - 1].type, ZEL_DIR_TYPE_MGMT_DATA);
    }
}

TEST_F(Directory, AFailedListingIsNeverAnIndex) {
    // A busy firmware channel answers with a positive errno value; the lookup must
    // still report a failure.
    sim::FaultDesc busy;
    busy.kind = "busy";
    busy.req_type = HWRM_NVM_GET_DIR_ENTRIES;
    schedule({busy});
    EXPECT_EQ(zeltnvmGetDirEntry(kDev, ZEL_DIR_TYPE_UPDATE, 0, 0, nullptr), HVXRETVAL_FAILURE);
    uint32_t count = 7;
    EXPECT_EQ(zeltnvmGetDir(kDev, &count, nullptr, 0), HVXRETVAL_FAILURE);
    EXPECT_EQ(count, 0u);
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
