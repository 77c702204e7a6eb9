// The package writer: layout, refusals, and packages that read back as written.
#include <gtest/gtest.h>

#include "common/hvxretval.h"
#include "package/package_checks.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "package_fixture.h"

namespace zelt::test {
namespace {

struct Written {
    int32_t rc;
    int32_t problem;
    Bytes bytes;
    std::vector<zelpkg_manifest_item_t> records;
};

Written write(const Bytes& stream, const std::vector<Item>& items, bool verify, bool null_stream = false) {
    Written w{};
    std::vector<const void*> data;
    for (const Item& it : items) {
        w.records.push_back(record_of(it));
        data.push_back(it.data.empty() ? nullptr : it.data.data());
    }
    zelpkg_memory_output out;
    out.write("old", 3);
    w.rc = zelpkgCreate(out, static_cast<uint32_t>(stream.size()), null_stream ? nullptr : stream.data(),
                        static_cast<uint32_t>(w.records.size()), w.records.data(), data.data(), &w.problem, verify);
    w.bytes = out.bytes();
    return w;
}

TEST(PackageWriter, ItemDataFollowsTheRecordsOnFourByteBoundaries) {
    const Bytes stream = stream_of({{9, text("1.0.0.0")}}, 40);
    const Written w = write(stream, {item(40, Bytes{1, 2, 3, 4, 5}), item(41, Bytes(8, 0xAB))}, false);
    ASSERT_EQ(w.rc, 0);
    const uint32_t first = 12 + 40 + 20 + 2 * 88;
    EXPECT_EQ(w.records[0].direntry.item_location, first);
    EXPECT_EQ(w.records[1].direntry.item_location, first + 8);
    EXPECT_EQ(Bytes(w.bytes.begin() + first + 5, w.bytes.begin() + first + 8), Bytes(3, 0));
    EXPECT_EQ(w.bytes.size(), first + 8 + 8 + 4u);
    EXPECT_EQ(get_u32(w.bytes, 8), 52u);
    EXPECT_EQ(zelpkgVerify(w.bytes.data(), w.bytes.size(), nullptr), 0);
}

TEST(PackageWriter, UnusedRecordsAreLeftOut) {
    const Written w = write({}, {item(0, Bytes{9, 9}), item(41, Bytes{1})}, false);
    ASSERT_EQ(w.rc, 0);
    uint32_t count = 0;
    ASSERT_EQ(zelpkgGetItemCount(w.bytes.data(), w.bytes.size(), &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(w.bytes.size(), 12u + 20 + 88 + 4 + 4);
}

TEST(PackageWriter, NullStreamIsWrittenAsZeros) {
    const Written w = write(Bytes(16, 0x55), {item(40, Bytes{1})}, false, true);
    ASSERT_EQ(w.rc, 0);
    EXPECT_EQ(Bytes(w.bytes.begin() + 12, w.bytes.begin() + 28), Bytes(16, 0));
    EXPECT_EQ(zelpkgVerify(w.bytes.data(), w.bytes.size(), nullptr), 0);
}

TEST(PackageWriter, Refusals) {
    const Bytes data(16, 0x11);
    struct Case {
        const char* name;
        Bytes stream;
        std::vector<Item> items;
        bool verify;
        int32_t expected;
        int32_t problem;
    } cases[] = {
        {"required version above the package's", stream_of({{9, text("2.0")}, {20, text("3.0")}}),
         {item(40, data)}, false, HVXRETVAL_INVALID_PREREQUISITE, -1},
        {"AVS without trailer, verified", {}, {item(40, data), item(7, data)}, true,
         HVXRETVAL_INVALID_TRAILER, 1},
        {"Trailer attribute without trailer", {}, {item(44, data).with_attr(ZEL_DIR_ATTR_TRAILER)},
         false, HVXRETVAL_TRAILER_NOT_FOUND, 0},
        {"patch on a firmware item", {}, {item(12, data).with_directive(ZELPKG_ITEM_PATCH_IF_PRESENT)},
         false, HVXRETVAL_INVALID_DIRECTIVE, 0},
        {"item length below data", {}, {item(40, data).with_item_length(8)}, false, HVXRETVAL_INVALID_DATA_LENGTH, 0},
    };
    for (const Case& c : cases) {
        const Written w = write(c.stream, c.items, c.verify);
        EXPECT_EQ(w.rc, c.expected) << c.name;
        EXPECT_EQ(w.problem, c.problem) << c.name;
    }
    // The prerequisite refusal leaves the output untouched.
    const Written refused = write(cases[0].stream, cases[0].items, false);
    EXPECT_EQ(refused.bytes, text("old"));
}

TEST(PackageWriter, ZeroItemLengthAndMissingData) {
    std::vector<Item> items = {item(40, Bytes{1}), item(41, Bytes{2})};
    std::vector<zelpkg_manifest_item_t> records = {record_of(items[0]), record_of(items[1])};
    records[1].direntry.item_length = 0;
    const void* data[] = {items[0].data.data(), items[1].data.data()};
    zelpkg_memory_output out;
    int32_t problem = 0;
    EXPECT_EQ(zelpkgCreate(out, 0, nullptr, 2, records.data(), data, &problem, false), HVXRETVAL_ZERO_LENGTH_ITEM);
    EXPECT_EQ(problem, 1);
    records[1].metadata.directive = ZELPKG_ITEM_REMOVE_IF_PRESENT;
    EXPECT_EQ(zelpkgCreate(out, 0, nullptr, 2, records.data(), data, &problem, false), HVXRETVAL_INVALID_DATA_LENGTH);
    records[1].direntry.item_length = 4096;
    data[1] = nullptr;
    EXPECT_EQ(zelpkgCreate(out, 0, nullptr, 2, records.data(), data, &problem, false),
              HVXRETVAL_INVALID_POINTER_PARAMETER);
    EXPECT_EQ(problem, 1);
}

TEST(PackageWriter, WrittenPackageReadsBackAsWritten) {
    const Bytes stream = stream_of({{1, text("round trip")}, {9, text("3.1.4.1")}}, 64);
    std::vector<Item> items;
    for (uint16_t i = 0; i < 5; ++i)
        items.push_back(item(static_cast<uint16_t>(40 + i), Bytes(i * 7 + 1, static_cast<uint8_t>(i))).with_ordinal(i).with_directive(static_cast<uint8_t>(i % 3)).with_description("item " + std::to_string(i)));
    items.push_back(item(45, Bytes{}).with_directive(ZELPKG_ITEM_REMOVE_IF_PRESENT).with_item_length(4096));
    const Written w = write(stream, items, true);
    ASSERT_EQ(w.rc, 0);
    int32_t index = 0;
    ASSERT_EQ(zelpkgVerify(w.bytes.data(), w.bytes.size(), &index), 0);
    zelpkg_manifest_item_t read[8];
    ASSERT_EQ(zelpkgGetItems(w.bytes.data(), w.bytes.size(), 8, read), 6);
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(std::memcmp(&read[i], &w.records[i], sizeof(read[i])), 0) << i;
        Bytes data(items[i].data.size() + 1);
        EXPECT_EQ(zelpkgReadItem(w.bytes.data(), w.bytes.size(), items[i].type, items[i].ordinal, 0, data.data(),
                                 data.size(), true),
                  static_cast<int32_t>(items[i].data.size()));
        data.pop_back();
        EXPECT_EQ(data, items[i].data) << i;
    }
    EXPECT_EQ(read[5].direntry.item_location, 0u);
}

}  // namespace
}  // namespace zelt::test
