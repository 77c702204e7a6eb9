// The package reader: header and manifest checks, record sizes, lookups and item reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/hvxretval.h"
#include "package/package_reader.h"
#include "package_fixture.h"

namespace zelt::test {
namespace {

Bytes header_only(uint32_t sig, uint32_t trailer, uint32_t manifest_offset, size_t size) {
    Bytes b(std::max<size_t>(size, 12), 0);
    set_u32(b, 0, sig);
    set_u32(b, 4, trailer);
    set_u32(b, 8, manifest_offset);
    b.resize(size);
    return b;
}

// Every header-checking operation, reduced to its result.
std::vector<std::pair<const char*, int32_t>> header_results(const Bytes& b) {
    zelpkg_file_header_t h;
    uint32_t u = 0;
    zelpkg_manifest_header m;
    zelpkg_manifest_item_t item;
    uint8_t stream[64];
    return {
        {"GetHeader", zelpkgGetHeader(b.data(), b.size(), &h)},
        {"GetChecksum", zelpkgGetChecksum(b.data(), b.size(), &u)},
        {"GetPropertyStreamLength", zelpkgGetPropertyStreamLength(b.data(), b.size(), &u)},
        {"GetPropertyStream", zelpkgGetPropertyStream(b.data(), b.size(), sizeof(stream), stream)},
        {"GetManifestHeader", zelpkgGetManifestHeader(b.data(), b.size(), &m)},
        {"GetItemCount", zelpkgGetItemCount(b.data(), b.size(), &u)},
        {"GetItemsAt", zelpkgGetItemsAt(b.data(), b.size(), 0, 1, &item)},
        {"FindItem", zelpkgFindItem(b.data(), b.size(), 4, 0, 0, &item)},
    };
}

TEST(PackageHeader, InvalidHeadersFailEveryOperation) {
    struct Case {
        const char* name;
        Bytes bytes;
        int32_t expected;
    } cases[] = {
        {"11 bytes", header_only(ZELPKG_FILE_SIG, 0, 12, 11), HVXRETVAL_INVALID_LENGTH},
        {"wrong sig", header_only(0x30474B51, 0, 12, 64), HVXRETVAL_INVALID_SIGNATURE},
        {"manifest offset 11", header_only(ZELPKG_FILE_SIG, 0, 11, 64), HVXRETVAL_INVALID_FILE_HEADER},
        {"manifest offset past the end", header_only(ZELPKG_FILE_SIG, 0, 65, 64), HVXRETVAL_INVALID_FILE_HEADER},
        {"trailer longer than the rest", header_only(ZELPKG_FILE_SIG, 53, 12, 64), HVXRETVAL_INVALID_FILE_HEADER},
    };
    for (const Case& c : cases) {
        for (const auto& [op, rc] : header_results(c.bytes)) EXPECT_EQ(rc, c.expected) << c.name << ": " << op;
    }
}

TEST(PackageHeader, TwelveByteHeaderHasEmptyStreamAndNoManifest) {
    const Bytes b = header_only(ZELPKG_FILE_SIG, 0, 12, 12);
    zelpkg_file_header_t h;
    ASSERT_EQ(zelpkgGetHeader(b.data(), b.size(), &h), 0);
    uint32_t len = 99;
    EXPECT_EQ(zelpkgGetPropertyStreamLength(b.data(), b.size(), &len), 0);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(zelpkgGetManifestHeader(b.data(), b.size(), nullptr), HVXRETVAL_INVALID_MANIFEST);
    EXPECT_EQ(zelpkgGetItemCount(b.data(), b.size(), &len), HVXRETVAL_INVALID_MANIFEST);
    uint32_t sum;
    EXPECT_EQ(zelpkgGetChecksum(b.data(), b.size(), &sum), HVXRETVAL_INVALID_TRAILER);
}

TEST(PackageHeader, ChecksumIsLastFourBytesUnlessTrailerIsShort) {
    Bytes pkg = build_package({}, {item(40, Bytes{1, 2, 3})});
    uint32_t sum = 0;
    ASSERT_EQ(zelpkgGetChecksum(pkg.data(), pkg.size(), &sum), 0);
    EXPECT_EQ(sum, get_u32(pkg, pkg.size() - 4));
    EXPECT_EQ(zelpkgGetChecksum(pkg.data(), pkg.size(), nullptr), HVXRETVAL_INVALID_POINTER_PARAMETER);
    set_u32(pkg, 4, 3);
    EXPECT_EQ(zelpkgGetChecksum(pkg.data(), pkg.size(), &sum), HVXRETVAL_INVALID_TRAILER);
}

TEST(PackageHeader, PropertyStreamCopyNeedsRoomForTheWholeStream) {
    const Bytes stream = stream_of({{9, text("1.2.3")}}, 32);
    const Bytes pkg = build_package_with_stream(stream, {});
    Bytes out(32);
    EXPECT_EQ(zelpkgGetPropertyStream(pkg.data(), pkg.size(), 31, out.data()), HVXRETVAL_INVALID_LENGTH_PARAMETER);
    ASSERT_EQ(zelpkgGetPropertyStream(pkg.data(), pkg.size(), 32, out.data()), 0);
    EXPECT_EQ(out, stream);
}

TEST(PackageManifest, ManifestFaults) {
    const Bytes good = build_package({}, {item(40, Bytes{1})});
    const size_t m = get_u32(good, 8);
    struct Case {
        const char* name;
        size_t offset;
        uint32_t value;
        int32_t expected;
    } cases[] = {
        {"sig", m, 0x316E614D, HVXRETVAL_INVALID_SIGNATURE},
        {"length past the trailer", m + 4, static_cast<uint32_t>(good.size()), HVXRETVAL_INVALID_MANIFEST},
        {"no room before the trailer", 4, static_cast<uint32_t>(good.size() - m - 19), HVXRETVAL_INVALID_MANIFEST},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        set_u32(b, c.offset, c.value);
        EXPECT_EQ(zelpkgGetManifestHeader(b.data(), b.size(), nullptr), c.expected) << c.name;
    }
}

TEST(PackageManifest, RecordsAreReadWithTheDeclaredSizes) {
    // A manifest with 80 metadata bytes and a 16-byte directory-entry part: records are
    // 96 bytes apart, the extra metadata is skipped and the missing fields read as zero.
    Bytes b = header_only(ZELPKG_FILE_SIG, 0, 12, 12 + 20 + 2 * 96);
    set_u32(b, 12, ZELPKG_MANIFEST_SIG);
    set_u32(b, 16, 20);
    set_u32(b, 20, 2);
    set_u32(b, 24, 80);
    set_u32(b, 28, 16);
    for (size_t i = 0; i < 2; ++i) {
        const size_t r = 32 + i * 96;
        b[r] = static_cast<uint8_t>(ZELPKG_ITEM_REPLACE_IF_PRESENT + i);
        b[r + 1] = 'A' + static_cast<uint8_t>(i);
        b[r + 70] = 0xEE;  // beyond the 64 metadata bytes that are kept
        set_u16(b, r + 80, static_cast<uint16_t>(40 + i));
        set_u32(b, r + 80 + 12, 4096);
    }
    zelpkg_manifest_item_t items[2];
    ASSERT_EQ(zelpkgGetItems(b.data(), b.size(), 2, items), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(items[i].metadata.directive, ZELPKG_ITEM_REPLACE_IF_PRESENT + i);
        EXPECT_EQ(items[i].metadata.description[0], 'A' + i);
        EXPECT_EQ(items[i].direntry.type, 40 + i);
        EXPECT_EQ(items[i].direntry.item_length, 4096u);
        EXPECT_EQ(items[i].direntry.data_length, 0u);
        EXPECT_EQ(items[i].direntry.data_chksum, 0u);
    }
}

TEST(PackageManifest, ItemsThatDoNotFitFailFromAnyStartingIndex) {
    Bytes pkg = build_package({}, {item(40, Bytes{1}), item(41, Bytes{2})});
    const size_t m = get_u32(pkg, 8);
    // Claim more records than there are bytes for before the trailer.
    const uint32_t fit = static_cast<uint32_t>((pkg.size() - 4 - m - 20) / 88);
    set_u32(pkg, m + 8, fit + 1);
    zelpkg_manifest_item_t items[64];
    for (uint32_t first : {0u, 1u, fit}) {
        EXPECT_EQ(zelpkgGetItemsAt(pkg.data(), pkg.size(), first, 64, items), HVXRETVAL_INVALID_MANIFEST) << first;
    }
    EXPECT_EQ(zelpkgGetItemsAt(pkg.data(), pkg.size(), 0, 2, items), 2);
    EXPECT_EQ(zelpkgGetItemsAt(pkg.data(), pkg.size(), 0, 0, items), 0);
    EXPECT_EQ(zelpkgGetItemsAt(pkg.data(), pkg.size(), fit + 1, 4, items), 0);
    // Record sizes larger than the file are refused before any record is read.
    set_u32(pkg, m + 12, static_cast<uint32_t>(pkg.size() + 1));
    EXPECT_EQ(zelpkgGetItemsAt(pkg.data(), pkg.size(), 0, 1, items), HVXRETVAL_INVALID_MANIFEST);
}

TEST(PackageManifest, LastRecordMayEndExactlyWhereTheTrailerStarts) {
    // Items without data: the records are the last thing before the trailer. The copy
    // under test is sized exactly, so a record read one byte too far leaves the buffer.
    const Bytes with_trailer = build_package({}, {item(40, Bytes{}), item(41, Bytes{})});
    Bytes no_trailer(with_trailer.begin(), with_trailer.end() - 4);
    set_u32(no_trailer, 4, 0);
    struct Case {
        const char* name;
        Bytes pkg;
        bool fits;
    };
    auto overhanging = [](Bytes b, bool trailer) {
        // The trailer claims one more byte, or the file loses its last byte: either way
        // the last record ends one byte past the trailer start.
        if (trailer) set_u32(b, 4, get_u32(b, 4) + 1);
        else b.pop_back();
        return b;
    };
    const Case cases[] = {
        {"trailer, record ends at its start", with_trailer, true},
        {"trailer, record one byte past its start", overhanging(with_trailer, true), false},
        {"no trailer, record ends at the file end", no_trailer, true},
        {"no trailer, record one byte past the file end", overhanging(no_trailer, false), false},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<uint8_t[]> exact(new uint8_t[c.pkg.size()]);
        std::memcpy(exact.get(), c.pkg.data(), c.pkg.size());
        zelpkg_manifest_item_t items[2];
        const int32_t last = zelpkgGetItem(exact.get(), c.pkg.size(), 1, &items[0]);
        const int32_t all = zelpkgGetItemsAt(exact.get(), c.pkg.size(), 0, 2, items);
        const int32_t found = zelpkgFindItem(exact.get(), c.pkg.size(), 41, 0, 0, &items[0]);
        if (c.fits) {
            EXPECT_EQ(last, 1) << c.name;
            EXPECT_EQ(all, 2) << c.name;
            EXPECT_EQ(found, 0) << c.name;
            EXPECT_EQ(items[0].direntry.type, 41) << c.name;
        } else {
            EXPECT_EQ(last, HVXRETVAL_INVALID_MANIFEST) << c.name;
            EXPECT_EQ(all, HVXRETVAL_INVALID_MANIFEST) << c.name;
            EXPECT_EQ(found, HVXRETVAL_INVALID_MANIFEST) << c.name;
        }
    }
}

TEST(PackageItems, FindAndRead) {
    const Bytes empty = build_package({}, {});
    const Bytes pkg = build_package({}, {item(40, Bytes{1, 2, 3, 4, 5}),
                                         item(41, Bytes{9, 8, 7}).with_ordinal(1).with_ext(2)});
    zelpkg_manifest_item_t item;
    EXPECT_EQ(zelpkgFindItem(empty.data(), empty.size(), 40, 0, 0, &item), HVXRETVAL_ITEM_NOT_FOUND);
    EXPECT_EQ(zelpkgFindItem(pkg.data(), pkg.size(), 41, 1, 0, &item), 1);
    ASSERT_EQ(zelpkgFindItem(pkg.data(), pkg.size(), 41, 1, 2, &item), 0);
    EXPECT_EQ(item.direntry.data_length, 3u);
    EXPECT_EQ(zelpkgGetItem(pkg.data(), pkg.size(), 1, &item), 1);
    EXPECT_EQ(zelpkgGetItem(pkg.data(), pkg.size(), 2, &item), 0);

    uint8_t data[8] = {};
    EXPECT_EQ(zelpkgReadItem(pkg.data(), pkg.size(), 40, 0, 0, data, 4, false), HVXRETVAL_INSUFFICIENT_SPACE);
    EXPECT_EQ(zelpkgReadItem(pkg.data(), pkg.size(), 40, 0, 0, nullptr, 0, false), 5);
    ASSERT_EQ(zelpkgReadItem(pkg.data(), pkg.size(), 41, 1, 2, data, sizeof(data), false), 3);
    EXPECT_EQ(data[0], 9);
    EXPECT_EQ(data[2], 7);
    EXPECT_EQ(zelpkgReadItem(pkg.data(), pkg.size(), 42, 0, 0, data, sizeof(data), false), 1);
}

TEST(PackageItems, ReadNeverCopiesFromOutsideThePackage) {
    Bytes pkg = build_package({}, {item(40, Bytes{1, 2, 3, 4, 5})});
    set_u32(pkg, record_offset(pkg, 0) + 64 + 8, static_cast<uint32_t>(pkg.size() - 6));
    uint8_t data[8];
    EXPECT_EQ(zelpkgReadItem(pkg.data(), pkg.size(), 40, 0, 0, data, sizeof(data), false), HVXRETVAL_INVALID_MANIFEST);
}

}  // namespace
}  // namespace zelt::test
