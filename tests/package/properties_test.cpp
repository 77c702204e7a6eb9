// Property stream lookups and editing, on bare streams and whole packages.
#include <gtest/gtest.h>

#include "common/hvxretval.h"
#include "package/package_properties.h"
#include "package_fixture.h"

namespace zelt::test {
namespace {

TEST(PackageProperties, LookupTakesTheFirstAndZeroFillsTheCapacity) {
    const Bytes stream = stream_of({{5, text("me")}, {9, text("2.1")}, {9, text("7.7.7")}});
    const Bytes pkg = build_package_with_stream(stream, {});
    for (const Bytes* buf : {&stream, &pkg}) {
        char value[8];
        std::memset(value, 'x', sizeof(value));
        EXPECT_EQ(zelpkgGetProperty(buf->data(), buf->size(), 9, value, sizeof(value)), 3);
        EXPECT_STREQ(value, "2.1");
        EXPECT_EQ(zelpkgGetProperty(buf->data(), buf->size(), 9, value, 2), 3);  // copies only the capacity
        EXPECT_EQ(std::string(value, 2), "2.");
        EXPECT_EQ(zelpkgGetProperty(buf->data(), buf->size(), 20, value, sizeof(value)), HVXRETVAL_ITEM_NOT_FOUND);
        EXPECT_EQ(value[0], 0);
        const uint8_t* ptr = nullptr;
        EXPECT_EQ(zelpkgGetPropertyPtr(buf->data(), buf->size(), 5, &ptr), 2);
        EXPECT_EQ(ptr[0], 'm');
    }
    // A package's lookups stop at the manifest even when later bytes look like properties.
    EXPECT_EQ(zelpkgGetPropertyAtOffset(pkg.data(), 0, pkg.size(), 9, nullptr, 0), 3);
}

TEST(PackageProperties, ValuesRunningPastTheStreamAreRefused) {
    Bytes stream = stream_of({{1, text("abcdef")}});
    stream.resize(6);  // header and three of the six value bytes
    char value[16];
    EXPECT_EQ(zelpkgGetProperty(stream.data(), stream.size(), 1, value, sizeof(value)), HVXRETVAL_INVALID_PROP_LENGTH);
    const uint8_t* ptr = nullptr;
    EXPECT_EQ(zelpkgGetPropertyPtr(stream.data(), stream.size(), 1, &ptr), HVXRETVAL_INVALID_PROP_LENGTH);
    EXPECT_EQ(zelpkgCalcPropertyStreamLength(stream.data(), stream.size()), HVXRETVAL_INVALID_PROP_STREAM);
    // Both sides of the end: a value ending exactly at the stream's end is read, one
    // byte short of its length is refused.
    struct Case {
        size_t stream_length;
        bool readable;
    } cases[] = {{9, true}, {8, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stream_length);
        Bytes exact = stream_of({{1, text("abcdef")}});
        exact.resize(c.stream_length);
        char got[16] = {};
        const uint8_t* at = nullptr;
        if (c.readable) {
            EXPECT_GE(zelpkgGetProperty(exact.data(), exact.size(), 1, got, sizeof(got)), 0);
            EXPECT_STREQ(got, "abcdef");
            EXPECT_GE(zelpkgGetPropertyPtr(exact.data(), exact.size(), 1, &at), 0);
            EXPECT_EQ(zelpkgCalcPropertyStreamLength(exact.data(), exact.size()), 9);
        } else {
            EXPECT_EQ(zelpkgGetProperty(exact.data(), exact.size(), 1, got, sizeof(got)), HVXRETVAL_INVALID_PROP_LENGTH);
            EXPECT_EQ(zelpkgGetPropertyPtr(exact.data(), exact.size(), 1, &at), HVXRETVAL_INVALID_PROP_LENGTH);
        }
    }
    // A header cut after its id byte is never read past the end.
    const Bytes cut = {9, 3};
    EXPECT_EQ(zelpkgGetProperty(cut.data(), cut.size(), 9, value, sizeof(value)), HVXRETVAL_ITEM_NOT_FOUND);
}

TEST(PackageProperties, StreamShape) {
    struct Case {
        const char* name;
        Bytes stream;
        int32_t ids;
        int32_t data_length;
    } cases[] = {
        {"empty", {}, 0, 0},
        {"only a terminator", {0, 0, 0, 0}, 0, 0},
        {"two properties", stream_of({{1, text("ab")}, {3, {1}}}, 16), 2, 9},
        {"no terminator", {1, 1, 0, 'x'}, 1, 4},
    };
    for (const Case& c : cases) {
        uint8_t ids[4] = {};
        EXPECT_EQ(zelpkgGetPropertyIDs(c.stream.data(), c.stream.size(), ids, 4), c.ids) << c.name;
        EXPECT_EQ(zelpkgCalcPropertyStreamLength(c.stream.data(), c.stream.size()), c.data_length) << c.name;
        EXPECT_EQ(zelpkgFindPropertyStreamTerminator(c.stream.data(), c.stream.size()), c.stream.data() + c.data_length)
            << c.name;
    }
}

TEST(PackageProperties, PutKeepsLongerValuesAndMovesShorterOnes) {
    Bytes s(64, 0);
    ASSERT_EQ(zelpkgPutProperty(s.data(), s.size(), 9, "12345678", 8), 8);
    ASSERT_EQ(zelpkgPutProperty(s.data(), s.size(), 1, "d", 1), 1);

    // A 4-byte value over the 8-byte property keeps length 8 and is zero-padded.
    EXPECT_EQ(zelpkgPutProperty(s.data(), s.size(), 9, "abcd", 4), 8);
    const Bytes kept = {9, 8, 0, 'a', 'b', 'c', 'd', 0, 0, 0, 0, 1, 1, 0, 'd', 0};
    EXPECT_EQ(Bytes(s.begin(), s.begin() + 16), kept);

    // A 10-byte value removes it and appends a 10-byte property after the others.
    EXPECT_EQ(zelpkgPutProperty(s.data(), s.size(), 9, "0123456789", 10), 10);
    Bytes moved = {1, 1, 0, 'd', 9, 10, 0};
    for (char c : std::string("0123456789")) moved.push_back(static_cast<uint8_t>(c));
    moved.resize(64, 0);
    EXPECT_EQ(s, moved);
}

TEST(PackageProperties, PutRefusals) {
    Bytes s(16, 0);
    EXPECT_EQ(zelpkgPutProperty(s.data(), s.size(), 1, nullptr, 65536), HVXRETVAL_INVALID_PROP_LENGTH);
    EXPECT_EQ(zelpkgPutProperty(s.data(), s.size(), 1, nullptr, 14), HVXRETVAL_INSUFFICIENT_SPACE);
    EXPECT_EQ(zelpkgPutProperty(s.data(), s.size(), 1, nullptr, 13), 13);
    EXPECT_EQ(Bytes(s.begin(), s.begin() + 3), (Bytes{1, 13, 0}));
    // An existing value that runs past the buffer cannot be rewritten.
    Bytes broken = {9, 40, 0, 'x', 0, 0};
    EXPECT_EQ(zelpkgPutProperty(broken.data(), broken.size(), 9, "y", 1), HVXRETVAL_INVALID_PROP_STREAM);
}

TEST(PackageProperties, PutStringUsesTheGivenLength) {
    Bytes s(32, 0);
    EXPECT_EQ(zelpkgPutPropertyString(s.data(), s.size(), 5, "operator", 12), 12);
    EXPECT_EQ(Bytes(s.begin(), s.begin() + 16), (Bytes{5, 12, 0, 'o', 'p', 'e', 'r', 'a', 't', 'o', 'r', 0, 0, 0, 0, 0}));
    EXPECT_EQ(zelpkgPutPropertyString(s.data(), s.size(), 6, "2024-01-02", 4), 4);
    EXPECT_EQ(Bytes(s.begin() + 15, s.begin() + 22), (Bytes{6, 4, 0, '2', '0', '2', '4'}));
}

}  // namespace
}  // namespace zelt::test
