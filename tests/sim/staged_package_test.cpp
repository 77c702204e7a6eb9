// The simulated firmware's own reader of staged packages: record and data bounds, the
// package and item checksums and the item signatures, each judged without the
// utility's package code.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/firmware/image_check.h"
#include "sim/firmware/staged_package.h"
#include "pkgbuild/pkgbuild.h"
#include "test_signing_key/test_signing_key.h"

namespace zelt::sim::test {
namespace {

using Bytes = std::vector<uint8_t>;

void put_u32(Bytes& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
uint32_t get_u32(const Bytes& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

// The CRC-32 in the last four bytes, over everything before a trailer of `trailer` bytes.
void fix_package_crc(Bytes& pkg) {
    const uint32_t trailer = get_u32(pkg, 4);
    put_u32(pkg, pkg.size() - 4, firmware_crc32(std::span<const uint8_t>(pkg).first(pkg.size() - trailer)));
}

// Header, an empty property stream, a manifest of `records` records of the usual
// sizes (types 40, 41, ... with 4 KiB allocations and no data) and a 4-byte trailer.
Bytes records_only(uint32_t records) {
    Bytes b(12 + 3 + 20 + records * 88 + 4, 0);
    put_u32(b, 0, 0x30474B50);
    put_u32(b, 4, 4);
    put_u32(b, 8, 15);
    put_u32(b, 15, 0x306E614D);
    put_u32(b, 19, 20);
    put_u32(b, 23, records);
    put_u32(b, 27, 64);
    put_u32(b, 31, 24);
    for (uint32_t i = 0; i < records; ++i) {
        const size_t r = 35 + i * 88;
        b[r + 64] = static_cast<uint8_t>(40 + i);
        put_u32(b, r + 64 + 12, 4096);
    }
    fix_package_crc(b);
    return b;
}

bool accepted(const Bytes& pkg, int& bad) {
    StagedPackage out;
    return check_staged_package(pkg, out, bad);
}

TEST(StagedPackage, LastRecordMayEndExactlyWhereTheTrailerStarts) {
    const Bytes with_trailer = records_only(2);
    Bytes no_trailer(with_trailer.begin(), with_trailer.end() - 4);
    put_u32(no_trailer, 4, 0);
    Bytes trailer_one_longer = with_trailer;
    put_u32(trailer_one_longer, 4, 5);
    Bytes file_one_shorter = no_trailer;
    file_one_shorter.pop_back();
    struct Case {
        const char* name;
        const Bytes& pkg;
        bool fits;
    } cases[] = {
        {"trailer, record ends at its start", with_trailer, true},
        {"trailer, record one byte past its start", trailer_one_longer, false},
        {"no trailer, record ends at the file end", no_trailer, true},
        {"no trailer, record one byte past the file end", file_one_shorter, false},
    };
    for (const Case& c : cases) {
        // An exactly sized copy: a read one byte too far leaves the buffer.
        const Bytes exact(c.pkg);
        int bad = -2;
        EXPECT_EQ(accepted(exact, bad), c.fits) << c.name;
        EXPECT_EQ(bad, c.fits ? -1 : 1) << c.name;
        EXPECT_EQ(staged_package_length(exact) != 0, c.fits) << c.name;
    }
}

class BuiltPackage : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_EQ(pkgbuild::build_from_description(R"({
          "properties": {"version": "229.0.1.0", "description": "lab"},
          "items": [{"type": "chimpBoot", "firmware": {"version": [229, 0, 1, 0], "text": "229.0.1", "body_size": 512}},
                    {"type": "sharedCfg", "filler": 300}]})",
                                                   "", pkgbuild::test_signing_key(), &pkg, &error),
                  0)
            << error;
        StagedPackage read;
        int bad = -2;
        ASSERT_TRUE(check_staged_package(pkg, read, bad));
        ASSERT_EQ(read.records.size(), 2u);
        firmware = read.records[0].entry;
        record0 = get_u32(pkg, 8) + 20;
    }
    Bytes pkg;
    zelnvm_directory_entry_t firmware{};
    size_t record0 = 0;
};

TEST_F(BuiltPackage, ReadsPropertiesRecordsAndItsOwnLength) {
    StagedPackage read;
    int bad = -2;
    ASSERT_TRUE(check_staged_package(pkg, read, bad));
    EXPECT_EQ(read.property_text(kPropVersion), "229.0.1.0");
    EXPECT_EQ(read.property_text(kPropDescription), "lab");
    EXPECT_FALSE(read.property(kPropLivePatch));
    ASSERT_TRUE(read.checksum);
    EXPECT_EQ(*read.checksum, get_u32(pkg, pkg.size() - 4));
    EXPECT_EQ(read.data(read.records[1]).size(), 300u);

    // Stale bytes of an earlier, longer package after it are not part of it.
    Bytes staged = pkg;
    staged.insert(staged.end(), 100, 0xA5);
    EXPECT_EQ(staged_package_length(staged), pkg.size());
}

// Each check on its own: the other checksums are made to agree with the change, so
// only the check under test can see it.
TEST_F(BuiltPackage, RefusesWhatEachCheckGuards) {
    const size_t data = firmware.item_location;
    auto fix_item_crcs = [&](Bytes& b) {
        // The image's own CRC (last 4 bytes), the entry's data checksum, the package CRC.
        const std::span<const uint8_t> image(b.data() + data, firmware.data_length);
        put_u32(b, data + firmware.data_length - 4, firmware_crc32(image.first(image.size() - 4)));
        put_u32(b, record0 + 64 + 20, firmware_crc32(image));
        fix_package_crc(b);
    };
    enum class Fix { none, package, item };
    using Change = void (*)(Bytes&, size_t data, size_t record0, const zelnvm_directory_entry_t&);
    struct Case {
        const char* name;
        Change change;
        Fix fix;
        int bad_record;
    } cases[] = {
        {"package checksum", [](Bytes& b, size_t, size_t, const zelnvm_directory_entry_t&) { b[b.size() - 1] ^= 1; },
         Fix::none, -1},
        {"item data checksum", [](Bytes& b, size_t at, size_t, const zelnvm_directory_entry_t&) { b[at + 40] ^= 1; },
         Fix::package, 0},
        {"firmware signature",
         [](Bytes& b, size_t at, size_t, const zelnvm_directory_entry_t& e) { b[at + e.data_length - 100] ^= 1; },
         Fix::item, 0},
        {"signed body", [](Bytes& b, size_t at, size_t, const zelnvm_directory_entry_t&) { b[at + 40] ^= 1; },
         Fix::item, 0},
        {"item data past the trailer",
         [](Bytes& b, size_t, size_t r, const zelnvm_directory_entry_t&) {
             put_u32(b, r + 64 + 8, static_cast<uint32_t>(b.size() - 8));
         },
         Fix::package, 0},
        {"data longer than its allocation",
         [](Bytes& b, size_t, size_t r, const zelnvm_directory_entry_t& e) { put_u32(b, r + 64 + 12, e.data_length - 1); },
         Fix::package, 0},
        {"patch of a signed image",
         [](Bytes& b, size_t, size_t r, const zelnvm_directory_entry_t&) { b[r] = kDirectivePatchIfPresent; },
         Fix::package, 0},
    };
    for (const Case& c : cases) {
        Bytes b = pkg;
        c.change(b, data, record0, firmware);
        if (c.fix == Fix::item) fix_item_crcs(b);
        if (c.fix == Fix::package) fix_package_crc(b);
        int bad = -2;
        EXPECT_FALSE(accepted(b, bad)) << c.name;
        EXPECT_EQ(bad, c.bad_record) << c.name;
    }
}

}  // namespace
}  // namespace zelt::sim::test
