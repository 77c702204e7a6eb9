// The simulated firmware's own reader of staged packages: record and data bounds, the
// package and item checksums and the item signatures, each judged without the
// utility's package code.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/directory_types.h"
#include "formats/image/image_records.h"
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

// The firmware's CRC-32, its continuation and the CRC of a range from two running CRCs,
// against zlib over ranges that start and end off any word or vector boundary.
TEST(FirmwareCrc, AgreesWithZlibAtOddOffsetsAndLengths) {
    Bytes buf(70000);
    uint32_t x = 0x2545F491;
    for (uint8_t& b : buf) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    auto zlib_crc = [](uint32_t crc, std::span<const uint8_t> b) {
        return static_cast<uint32_t>(crc32_z(crc, b.data(), b.size()));
    };
    struct Case {
        size_t offset, head, tail;  // a range of `head` then `tail` bytes from `offset`
    } cases[] = {{0, 0, 0}, {1, 0, 1}, {3, 1, 2}, {7, 15, 17}, {5, 63, 65}, {13, 255, 1},
                 {1, 4095, 4097}, {11, 1, 65535}, {4093, 33333, 31111}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << "+" << c.head << "+" << c.tail);
        const std::span<const uint8_t> a = std::span<const uint8_t>(buf).subspan(c.offset, c.head);
        const std::span<const uint8_t> b = std::span<const uint8_t>(buf).subspan(c.offset + c.head, c.tail);
        const std::span<const uint8_t> ab = std::span<const uint8_t>(buf).subspan(c.offset, c.head + c.tail);
        const uint32_t crc_a = firmware_crc32(a);
        EXPECT_EQ(crc_a, zlib_crc(0, a));
        const uint32_t crc_ab = firmware_crc32_continue(crc_a, b);
        EXPECT_EQ(crc_ab, zlib_crc(0, ab));
        EXPECT_EQ(firmware_crc32_of_suffix(crc_ab, crc_a, b.size()), zlib_crc(0, b));
        const ImageCrcs image = firmware_image_crcs(ab);
        EXPECT_EQ(image.whole, zlib_crc(0, ab));
        EXPECT_EQ(image.head, zlib_crc(0, ab.first(ab.size() >= 4 ? ab.size() - 4 : 0)));
    }
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

// A check without the signatures (for a copy whose signatures are judged where it is
// installed) still finds every change its checksums and layout show, and only a change
// that the signature alone sees passes it.
TEST_F(BuiltPackage, CheckWithoutSignaturesMissesOnlyWhatTheSignatureAloneSees) {
    const size_t data = firmware.item_location;
    const uint32_t length = firmware.data_length;
    auto fix_item_crcs = [&](Bytes& b) {
        const std::span<const uint8_t> image(b.data() + data, length);
        put_u32(b, data + length - 4, firmware_crc32(image.first(image.size() - 4)));
        put_u32(b, record0 + 64 + 20, firmware_crc32(image));
    };
    struct Case {
        const char* name;
        size_t at;        // byte of the package flipped
        bool fix_items;   // the image's CRC and the entry's checksum made to agree
        bool fix_package; // the package CRC made to agree
        bool accepted;    // without the signatures
    };
    const Case cases[] = {
        {"signature byte, every CRC agreeing", data + length - 100, true, true, true},
        {"signed body byte, every CRC agreeing", data + 40, true, true, true},
        {"package checksum", pkg.size() - 1, false, false, false},
        {"item byte, package CRC agreeing", data + 40, false, true, false},
        {"image CRC field, package CRC agreeing", data + length - 1, false, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = pkg;
        b[c.at] ^= 1;
        if (c.fix_items) fix_item_crcs(b);
        if (c.fix_package) fix_package_crc(b);
        StagedPackage out;
        int bad = -2;
        EXPECT_EQ(check_staged_package(b, out, bad, ItemChecks::without_signatures), c.accepted);
        // The full check refuses every one of them.
        EXPECT_FALSE(accepted(b, bad));
    }
}

// Every checksum comes from one pass over the package, so an item whose data lies
// inside another item's (or starts where another's does) must still be judged by its
// own bytes: accepted with the checksum of its range, refused with any other.
TEST_F(BuiltPackage, ItemsSharingBytesAreEachJudgedByTheirOwnRange) {
    const uint32_t manifest = get_u32(pkg, 8);
    const size_t record1 = record0 + get_u32(pkg, manifest + 12) + get_u32(pkg, manifest + 16);
    const size_t entry1 = record1 + get_u32(pkg, manifest + 12);
    struct Case {
        const char* name;
        uint32_t offset;  // into the firmware image
        uint32_t length;
        bool right_checksum;
    } cases[] = {
        {"inside the image", 100, 1000, true},
        {"at the image's start", 0, 700, true},
        {"ending with the image", firmware.data_length - 300, 300, true},
        {"inside the image, wrong checksum", 100, 1000, false},
        {"at the image's start, wrong checksum", 0, 700, false},
    };
    for (const Case& c : cases) {
        Bytes b = pkg;
        const uint32_t at = firmware.item_location + c.offset;
        const uint32_t crc = firmware_crc32(std::span<const uint8_t>(b).subspan(at, c.length));
        put_u32(b, entry1 + 8, at);
        put_u32(b, entry1 + 12, c.length);
        put_u32(b, entry1 + 16, c.length);
        put_u32(b, entry1 + 20, c.right_checksum ? crc : crc ^ 1);
        uint16_t attr;
        std::memcpy(&attr, b.data() + entry1 + 6, 2);
        attr = static_cast<uint16_t>(attr & ~ZEL_DIR_ATTR_NO_CHKSUM);
        std::memcpy(b.data() + entry1 + 6, &attr, 2);
        fix_package_crc(b);
        int bad = -2;
        EXPECT_EQ(accepted(b, bad), c.right_checksum) << c.name;
        EXPECT_EQ(bad, c.right_checksum ? -1 : 1) << c.name;
    }
}

// The package CRC is joined from the CRCs of the items and of the bytes around them,
// which different threads take: a change anywhere before the trailer must still reach
// it. Items of odd lengths leave padding between them and before the trailer, and are
// large enough to be checked on two threads. Each change is harmless to every other
// check, so with the package CRC made to agree the package is accepted.
TEST(StagedItemChecks, PackageChecksumSeesAChangeAnywhereBeforeTheTrailer) {
    Bytes built;
    std::string error;
    ASSERT_EQ(pkgbuild::build_from_description(R"({"properties": {"description": "lab"},
          "items": [{"type": "sharedCfg", "filler": 700001},
                    {"type": "portCfg", "filler": 500003},
                    {"type": "funcCfg", "filler": 5}]})",
                                               "", pkgbuild::test_signing_key(), &built, &error),
              0)
        << error;
    StagedPackage read;
    int bad = -2;
    ASSERT_TRUE(check_staged_package(built, read, bad));
    ASSERT_EQ(read.records.size(), 3u);
    const zelnvm_directory_entry_t first = read.records[0].entry, second = read.records[1].entry;
    const size_t description = std::search(built.begin(), built.end(), std::begin("lab"), std::end("lab") - 1) -
                               built.begin();
    ASSERT_LT(description, first.item_location);
    const uint32_t manifest = get_u32(built, 8);
    const size_t stride = get_u32(built, manifest + 12) + get_u32(built, manifest + 16);
    const size_t second_checksum = manifest + 20 + stride + get_u32(built, manifest + 12) + 20;
    struct Case {
        const char* name;
        size_t at;
        bool fix_item_checksum;  // of the second item
    } cases[] = {
        {"the property stream", description, false},
        {"padding between the items", first.item_location + first.data_length, false},
        {"padding before the trailer", built.size() - 5, false},
        {"an item's data, its checksum made to agree", second.item_location + 1000, true},
    };
    for (const Case& c : cases) {
        for (bool fix_package : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (fix_package ? ", package CRC made to agree" : ""));
            Bytes b = built;
            b[c.at] ^= 0x20;
            if (c.fix_item_checksum)
                put_u32(b, second_checksum, firmware_crc32(std::span<const uint8_t>(b).subspan(second.item_location,
                                                                                              second.data_length)));
            if (fix_package) fix_package_crc(b);
            EXPECT_EQ(accepted(b, bad), fix_package);
            EXPECT_EQ(bad, -1);
        }
    }
}

// One item per package, each refusal of the firmware's item checks on its own: the
// change is made, then every checksum that would also see it is made to agree, so only
// the check the row names can refuse. Each kind of item also has a row the checks accept
// at their limit, so a check that refuses too much is seen as well.
TEST(StagedItemChecks, EachItemCheckRefusesAloneAndAcceptsAtItsLimit) {
    enum Fix : unsigned { kNone = 0, kImageCrc = 1, kDataChecksum = 2 };
    // Offsets of the record's directory entry.
    constexpr size_t kEntryType = 0, kEntryAttr = 6, kEntryChecksum = 20;
    struct Edit {
        Bytes& pkg;
        size_t entry;  // the record's directory entry
        size_t data;   // the item's data
        size_t length;
        uint8_t& image(long at) { return pkg[data + (at < 0 ? length + at : at)]; }
        void image_u16(long at, uint16_t v) { std::memcpy(&image(at), &v, 2); }
        void entry_u16(size_t at, uint16_t v) { std::memcpy(pkg.data() + entry + at, &v, 2); }
    };
    using Change = void (*)(Edit&);
    const char* kFirmware = R"({"type": "chimpBoot", "firmware": {"version": [229, 0, 1, 0], "body_size": 512}})";
    const char* kTrailer = R"({"type": "MBA", "attr": 16, "trailer": {"version": [1, 2, 3], "body_size": 512}})";
    const char* kSbi = R"({"type": "SBIImage", "secure_boot": {"fw_version": 1, "size": 1024}})";
    const char* kSrt = R"({"type": "SRTImage", "secure_boot": {"fw_version": 1, "size": 1024}})";
    const char* kVpd = R"({"type": "VPD", "vpd": {"product": "Orvanta test adapter", "fields": {"SN": "123456"}}})";
    constexpr size_t kMagicAt = offsetof(AuthenticatedBootImageHeader_t, sbi.MagicNumber);
    struct Case {
        const char* name;
        const char* item;
        Change change;
        unsigned fix;
        bool accepted;
    } cases[] = {
        {"signed firmware as built", kFirmware, [](Edit&) {}, kNone, true},
        {"signed firmware claimed as another type", kFirmware,
         [](Edit& e) { e.entry_u16(kEntryType, ZEL_DIR_TYPE_KONG_FW); }, kNone, false},
        {"trailer image as built", kTrailer, [](Edit&) {}, kNone, true},
        {"trailer image without the trailer attribute", kTrailer,
         [](Edit& e) { e.entry_u16(kEntryAttr, 0); }, kNone, false},
        {"trailer signature word", kTrailer, [](Edit& e) { e.image(-8) ^= 1; }, kImageCrc | kDataChecksum, false},
        {"trailer length the whole image", kTrailer,
         [](Edit& e) { e.image_u16(-10, static_cast<uint16_t>(e.length)); }, kImageCrc | kDataChecksum, true},
        {"trailer length past the image", kTrailer,
         [](Edit& e) { e.image_u16(-10, static_cast<uint16_t>(e.length + 1)); }, kImageCrc | kDataChecksum, false},
        {"trailer length below the signed trailer", kTrailer,
         [](Edit& e) { e.image_u16(-10, ZELNVM_TRAILER_SIGNED_SIZE - 1); }, kImageCrc | kDataChecksum, false},
        {"trailer CRC", kTrailer, [](Edit& e) { e.image(-1) ^= 1; }, kDataChecksum, false},
        {"trailer names another type", kTrailer,
         [](Edit& e) { e.image_u16(-12, ZEL_DIR_TYPE_AVS); }, kImageCrc | kDataChecksum, false},
        {"trailer image body", kTrailer, [](Edit& e) { e.image(0) ^= 1; }, kImageCrc | kDataChecksum, false},
        {"SBI image as built", kSbi, [](Edit&) {}, kNone, true},
        {"SBI header tag", kSbi, [](Edit& e) { e.image(SBI_HEADER_OFFSET_IN_SBI) ^= 1; }, kDataChecksum, false},
        {"SBI header magic", kSbi, [](Edit& e) { e.image(SBI_HEADER_OFFSET_IN_SBI + kMagicAt) ^= 1; }, kDataChecksum,
         false},
        {"SRT image keeps no data checksum", kSrt,
         [](Edit& e) { e.pkg[e.entry + kEntryChecksum] ^= 1; }, kNone, true},
        {"SRT header tag", kSrt, [](Edit& e) { e.image(0) ^= 1; }, kNone, false},
        {"VPD as built", kVpd, [](Edit&) {}, kNone, true},
        {"VPD product name", kVpd, [](Edit& e) { e.image(10) ^= 1; }, kDataChecksum, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes pkg;
        std::string error;
        const std::string description = std::string(R"({"verify": false, "items": [)") + c.item + "]}";
        ASSERT_EQ(pkgbuild::build_from_description(description, "", pkgbuild::test_signing_key(), &pkg, &error), 0)
            << error;
        const size_t entry = get_u32(pkg, 8) + 20 + 64;
        zelnvm_directory_entry_t e{};
        std::memcpy(&e, pkg.data() + entry, sizeof e);
        Edit edit{pkg, entry, e.item_location, e.data_length};
        c.change(edit);
        const std::span<const uint8_t> image(pkg.data() + e.item_location, e.data_length);
        if (c.fix & kImageCrc) put_u32(pkg, e.item_location + e.data_length - 4, firmware_crc32(image.first(image.size() - 4)));
        if (c.fix & kDataChecksum) put_u32(pkg, entry + kEntryChecksum, firmware_crc32(image));
        fix_package_crc(pkg);
        int bad = -2;
        EXPECT_EQ(accepted(pkg, bad), c.accepted);
        EXPECT_EQ(bad, c.accepted ? -1 : 0);
    }
}

// A package large enough that its items are checked on two threads: the record
// reported is the first that fails, whichever check fails it and whichever thread
// judges it, as when the records are checked one after another.
TEST(StagedItemChecks, FirstBadRecordOfALargePackage) {
    Bytes built;
    std::string error;
    std::string items;
    for (const char* type : {"chimpBoot", "kongFW", "bonoFW", "apeFW"}) {
        if (!items.empty()) items += ",";
        items += std::string(R"({"type": ")") + type +
                 R"(", "firmware": {"version": [229, 0, 1, 0], "body_size": 524288}})";
    }
    ASSERT_EQ(pkgbuild::build_from_description(R"({"verify": false, "items": [)" + items + "]}", "",
                                               pkgbuild::test_signing_key(), &built, &error),
              0)
        << error;
    const uint32_t manifest = get_u32(built, 8);
    const size_t metadata = get_u32(built, manifest + 12), stride = metadata + get_u32(built, manifest + 16);
    auto entry_at = [&](int record) { return manifest + 20 + record * stride + metadata; };
    struct Case {
        const char* name;
        std::vector<int> bad_signatures;
        int bad_length;  // a record whose data is longer than its allocation, or -1
        int expected;
    } cases[] = {
        {"all sound", {}, -1, -1},
        {"the last signature", {3}, -1, 3},
        {"two signatures", {1, 3}, -1, 1},
        {"a signature before a bad length", {0}, 3, 0},
        {"a bad length before a signature", {3}, 2, 2},
        {"a bad length after a signature", {2}, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes pkg = built;
        for (int r : c.bad_signatures) {
            // A byte of the signed body, with every CRC made to agree: only the signature sees it.
            zelnvm_directory_entry_t e{};
            std::memcpy(&e, pkg.data() + entry_at(r), sizeof e);
            pkg[e.item_location + 40] ^= 1;
            const std::span<const uint8_t> image(pkg.data() + e.item_location, e.data_length);
            put_u32(pkg, e.item_location + e.data_length - 4, firmware_crc32(image.first(image.size() - 4)));
            put_u32(pkg, entry_at(r) + 20, firmware_crc32(image));
        }
        if (c.bad_length >= 0) put_u32(pkg, entry_at(c.bad_length) + 12, get_u32(pkg, entry_at(c.bad_length) + 16) - 1);
        fix_package_crc(pkg);
        int bad = -2;
        EXPECT_EQ(accepted(pkg, bad), c.expected < 0);
        EXPECT_EQ(bad, c.expected);
    }
}

// The package version and the version it requires: the required one must be lower.
// The package writer refuses to write anything else, so the required version of a
// written package is changed in place (same length) and the checksum made to agree.
TEST(StagedItemChecks, RequiredVersionMustBeLower) {
    struct Case {
        const char* required;
        bool accepted;
    } cases[] = {{"229.0.0.9", true}, {"229.0.1.0", false}, {"229.0.2.0", false}};
    Bytes built;
    std::string error;
    ASSERT_EQ(pkgbuild::build_from_description(
                  R"({"properties": {"version": "229.0.1.0", "required_pkg": "229.0.0.9"},
                      "items": [{"type": "sharedCfg", "filler": 64}]})",
                  "", pkgbuild::test_signing_key(), &built, &error),
              0)
        << error;
    const std::string written = "229.0.0.9";
    const auto at = std::search(built.begin(), built.end(), written.begin(), written.end());
    ASSERT_NE(at, built.end());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.required);
        Bytes pkg = built;
        std::memcpy(pkg.data() + (at - built.begin()), c.required, written.size());
        fix_package_crc(pkg);
        int bad = -2;
        EXPECT_EQ(accepted(pkg, bad), c.accepted);
    }
}

}  // namespace
}  // namespace zelt::sim::test
