// Where item data may lie, and how much work a verification may do: a record's data
// lies after the manifest and its records and shares no byte with another record's
// data, so a package of n bytes is verified in work bounded by n, whatever its records
// claim.
#include <gtest/gtest.h>

#include <string>

#include "common/hvxretval.h"
#include "formats/crypto/crc32.h"
#include "package/package_checks.h"
#include "package_fixture.h"
#include "tests/support/shared_data_records.h"

namespace zelt::test {
namespace {

struct Verified {
    int32_t rc;
    int32_t index;
    uint64_t steps;
};

Verified verify(const Bytes& pkg) {
    Verified v{};
    VerifyWork work;
    v.rc = zelpkgVerify(pkg.data(), pkg.size(), &v.index, &work);
    v.steps = work.steps;
    return v;
}

// The most work a verification of `size` bytes may take: each byte read at most
// twice (item check and checksum), plus the properties and records looked at.
uint64_t work_bound(size_t size) { return 3 * static_cast<uint64_t>(size) + ZELPKG_MAX_ITEMS + 1; }

size_t entry_offset(const Bytes& pkg, size_t record) { return record_offset(pkg, record) + 64; }
uint32_t data_location(const Bytes& pkg, size_t record) { return get_u32(pkg, entry_offset(pkg, record) + 8); }

// Points a record at [location, location + length) with a data checksum that matches
// those bytes, so that only where the data lies can be at fault.
void point_at(Bytes& pkg, size_t record, uint32_t location, uint32_t length) {
    const size_t e = entry_offset(pkg, record);
    set_u32(pkg, e + 8, location);
    set_u32(pkg, e + 16, length);
    set_u32(pkg, e + 20, file_crc32(pkg.data() + location, length));
}

TEST(PackageDataRanges, DataOutsideItsOwnPlaceIsRefused) {
    const Bytes good = build_package({{9, text("1.0")}},
                                     {item(40, Bytes(64, 0x11)), item(41, Bytes(32, 0x22)), item(42, Bytes(16, 0x33))});
    const Verified sound = verify(good);
    // The writer's layout: each item's data begins right where the one before ends.
    ASSERT_EQ(sound.rc, 0);
    EXPECT_LE(sound.steps, work_bound(good.size()));

    const uint32_t manifest = get_u32(good, 8);
    const uint32_t d0 = data_location(good, 0);  // 64 bytes; record 1's 32 follow on a 4-byte boundary
    const uint32_t d1 = data_location(good, 1);
    const uint32_t d2 = data_location(good, 2);
    struct Case {
        const char* name;
        size_t record;
        uint32_t location;
        uint32_t length;
        int32_t expected;
        int32_t index;
    } cases[] = {
        {"in the file header", 2, 0, 16, HVXRETVAL_INVALID_DATA_OFFSET, 2},
        {"in the property stream", 2, 12, 8, HVXRETVAL_INVALID_DATA_OFFSET, 2},
        {"in the manifest header", 2, manifest, 16, HVXRETVAL_INVALID_DATA_OFFSET, 2},
        {"in the records", 2, static_cast<uint32_t>(record_offset(good, 1)), 16, HVXRETVAL_INVALID_DATA_OFFSET, 2},
        {"from the records into the data", 2, d0 - 8, 16, HVXRETVAL_INVALID_DATA_OFFSET, 2},
        {"the same range as an earlier record", 2, d0, 64, HVXRETVAL_OVERLAPPING_ITEM, 2},
        {"inside an earlier record's data", 2, d0 + 8, 16, HVXRETVAL_OVERLAPPING_ITEM, 2},
        {"across two earlier records' data", 2, d0 + 60, d1 - d0 - 56, HVXRETVAL_OVERLAPPING_ITEM, 2},
        {"over all earlier data", 2, d0, d2 + 16 - d0, HVXRETVAL_OVERLAPPING_ITEM, 2},
        {"in the padding between two records' data", 2, d0 + 64, d1 - d0 - 64, 0, -1},
        {"on an earlier record's last byte", 2, d0 + 63, 1, HVXRETVAL_OVERLAPPING_ITEM, 2},
        {"on an earlier record's first byte", 2, d1, 1, HVXRETVAL_OVERLAPPING_ITEM, 2},
        {"an earlier record on a later one's data", 0, d2, 16, HVXRETVAL_OVERLAPPING_ITEM, 2},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        point_at(b, c.record, c.location, c.length);
        fix_checksum(b);
        const Verified v = verify(b);
        EXPECT_EQ(v.rc, c.expected) << c.name;
        EXPECT_EQ(v.index, c.index) << c.name;
        EXPECT_LE(v.steps, work_bound(b.size())) << c.name;
    }

    // The rule holds for a patch record, whose data is not verified, too; a record
    // without data may name any location.
    Bytes patch = good;
    point_at(patch, 2, d0, 16);
    patch[record_offset(patch, 2)] = ZELPKG_ITEM_PATCH_IF_PRESENT;
    fix_checksum(patch);
    EXPECT_EQ(verify(patch).rc, HVXRETVAL_OVERLAPPING_ITEM);
    Bytes no_data = good;
    point_at(no_data, 2, d0, 0);
    fix_checksum(no_data);
    EXPECT_EQ(verify(no_data).rc, 0);
}

// 16 MiB of data that 4096 records point at: checked record by record that is 64 GiB
// of item checks. The second record is refused and the work stays within one pass
// over the file.
TEST(PackageDataRanges, RecordsSharingLargeDataAreRefusedInLinearWork) {
    std::vector<Item> items = {item(40, Bytes(16u << 20, 0x5A))};
    for (uint16_t i = 1; i < 4096; ++i) items.push_back(item(41, Bytes{1}).with_ordinal(i));
    Bytes pkg = build_package({}, items);
    point_records_at_first_data(pkg);
    fix_checksum(pkg);
    const Verified v = verify(pkg);
    EXPECT_EQ(v.rc, HVXRETVAL_OVERLAPPING_ITEM);
    EXPECT_EQ(v.index, 1);
    EXPECT_LE(v.steps, work_bound(pkg.size()));
}

TEST(PackageDataRanges, RecordCountLimit) {
    struct Case {
        uint32_t records;
        int32_t expected;
        int32_t index;
    } cases[] = {
        {ZELPKG_MAX_ITEMS, 0, -1},
        {ZELPKG_MAX_ITEMS + 1, HVXRETVAL_INVALID_MANIFEST, static_cast<int32_t>(ZELPKG_MAX_ITEMS)},
    };
    for (const Case& c : cases) {
        std::vector<Item> items;
        for (uint32_t i = 0; i < c.records; ++i) items.push_back(item(40, Bytes{1}).with_ordinal(static_cast<uint16_t>(i)));
        const Bytes pkg = build_package({}, items);
        const Verified v = verify(pkg);
        EXPECT_EQ(v.rc, c.expected) << c.records;
        EXPECT_EQ(v.index, c.index) << c.records;
    }
}

}  // namespace
}  // namespace zelt::test
