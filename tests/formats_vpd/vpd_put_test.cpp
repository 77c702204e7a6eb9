// Adding resources, setting keywords and the checksum.
#include <gtest/gtest.h>

#include <optional>

#include "formats/vpd/vpd.h"
#include "tests/formats_vpd/vpd_image_builder.h"

using namespace zelt;

using zelt::test::byte_sum;
using zelt::test::ExactBuffer;
using zelt::test::VpdFields;
using zelt::test::VpdImageBuilder;

namespace {

const VpdFields kIdentity = {{"PN", "HX-2540"}, {"SN", "ZL0123456789"}};

std::vector<uint8_t> card(const VpdFields& fields, uint8_t rv_length) {
    return VpdImageBuilder().id("Card").read_only(fields, rv_length).end().build();
}

std::vector<uint8_t> with_zeros(std::vector<uint8_t> bytes, size_t count) {
    bytes.resize(bytes.size() + count, 0);
    return bytes;
}

struct PutFieldCase {
    const char* what;
    std::vector<uint8_t> before;
    size_t extra;  // free bytes after `before` in the buffer
    uint8_t name;
    const char* keyword;
    std::string value;
    int32_t rc;
    std::optional<std::vector<uint8_t>> after;  // whole buffer, checksum stored
};

TEST(VpdPut, SetKeyword) {
    const std::vector<uint8_t> card_then_rw =
        VpdImageBuilder().id("Card").read_only(kIdentity, 1).read_write({}, 4).end().build();
    const std::vector<uint8_t> bad_lengths =
        VpdImageBuilder().id("Card").large(0x91, {'V', '1', 40, 'x', 'R', 'W', 0}).end().build();
    const PutFieldCase cases[] = {
        {"shorter value: fields move up, the terminator takes the difference", card(kIdentity, 5), 0,
         VPD_RESOURCE_TAG_READ_ONLY, "SN", "ZL01", HVXRETVAL_SUCCESS,
         card({{"PN", "HX-2540"}, {"SN", "ZL01"}}, 13)},
        {"longer value within the terminator's spare bytes", card(kIdentity, 5), 0, VPD_RESOURCE_TAG_READ_ONLY,
         "SN", "ZL0123456789AB", HVXRETVAL_SUCCESS, card({{"PN", "HX-2540"}, {"SN", "ZL0123456789AB"}}, 3)},
        {"new keyword appended", card(kIdentity, 8), 0, VPD_RESOURCE_TAG_READ_ONLY, "EC", "A1",
         HVXRETVAL_SUCCESS, card({{"PN", "HX-2540"}, {"SN", "ZL0123456789"}, {"EC", "A1"}}, 3)},
        {"no spare bytes and the End tag fills the buffer", card(kIdentity, 1), 0, VPD_RESOURCE_TAG_READ_ONLY,
         "EC", "A1", HVXRETVAL_INSUFFICIENT_SPACE, std::nullopt},
        {"no spare bytes: grows when the buffer has room, the End tag moves", card(kIdentity, 1), 5,
         VPD_RESOURCE_TAG_READ_ONLY, "EC", "A1", HVXRETVAL_SUCCESS,
         card({{"PN", "HX-2540"}, {"SN", "ZL0123456789"}, {"EC", "A1"}}, 1)},
        {"no spare bytes and another resource follows", card_then_rw, 32, VPD_RESOURCE_TAG_READ_ONLY, "EC",
         "A1", HVXRETVAL_INSUFFICIENT_SPACE, std::nullopt},
        {"missing read-write resource is added before the End tag", card(kIdentity, 1), 20,
         VPD_RESOURCE_TAG_READ_WRITE, "V1", "abc", HVXRETVAL_SUCCESS,
         with_zeros(VpdImageBuilder().id("Card").read_only(kIdentity, 1).read_write({{"V1", "abc"}}, 7).end().build(),
                    1)},
        {"missing resource and no room", card(kIdentity, 1), 8, VPD_RESOURCE_TAG_READ_WRITE, "V1", "abc",
         HVXRETVAL_INSUFFICIENT_SPACE, std::nullopt},
        {"missing resource and no end of data", VpdImageBuilder().id("Card").build(), 0,
         VPD_RESOURCE_TAG_READ_WRITE, "V1", "abc", HVXRETVAL_ZERO_LENGTH_ITEM, std::nullopt},
        {"value longer than 255 bytes", card(kIdentity, 1), 400, VPD_RESOURCE_TAG_READ_ONLY, "SN",
         std::string(256, 'x'), HVXRETVAL_INVALID_DATA_LENGTH, std::nullopt},
        {"unused zero space in a resource without terminator is reused",
         VpdImageBuilder().id("Card").large(0x91, {'V', '1', 1, 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0}).end().build(), 0,
         VPD_RESOURCE_TAG_READ_WRITE, "V2", "b", HVXRETVAL_SUCCESS,
         VpdImageBuilder().id("Card").read_write({{"V1", "a"}, {"V2", "b"}}, 2).end().build()},
        {"field lengths running past the resource leave the buffer alone", bad_lengths, 0,
         VPD_RESOURCE_TAG_READ_WRITE, "V2", "y", HVXRETVAL_INVALID_DATA_LENGTH, std::nullopt},
    };
    for (const PutFieldCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.before, c.extra);
        int32_t rc = vpd_put_field(buf.data(), buf.size(), c.name, c.keyword,
                                   reinterpret_cast<const uint8_t*>(c.value.data()), c.value.size());
        ASSERT_EQ(rc, c.rc);
        if (rc != HVXRETVAL_SUCCESS) {
            // Checks that fail before anything is written leave the buffer as it was.
            if (rc != HVXRETVAL_INSUFFICIENT_SPACE) {
                EXPECT_EQ(buf.bytes(), with_zeros(c.before, c.extra));
            }
            continue;
        }
        if (vpd_get_resource(static_cast<const uint8_t*>(buf.data()), buf.size(), VPD_RESOURCE_TAG_READ_ONLY,
                             nullptr) >= 0) {
            ASSERT_EQ(vpd_put_checksum(buf.data(), buf.size()), HVXRETVAL_SUCCESS);
        }
        EXPECT_EQ(buf.bytes(), *c.after);
        const int32_t used = vpd_get_length(buf.data(), buf.size());
        ASSERT_GT(used, 0);
        EXPECT_EQ(vpd_verify(buf.data(), static_cast<size_t>(used), nullptr), HVXRETVAL_SUCCESS);
    }
}

TEST(VpdPut, AddedResourceGrowsBeforeTheEndTag) {
    // A resource created by a keyword write takes at most one full-length terminator of
    // room; a later write that needs more grows it, moving the End tag, and the resource
    // must stay reachable by walks.
    const std::vector<uint8_t> before = card(kIdentity, 1);
    ExactBuffer buf(before, 600);
    const std::string v1(250, 'a'), v2(10, 'b');
    ASSERT_EQ(vpd_put_field(buf.data(), buf.size(), VPD_RESOURCE_TAG_READ_WRITE, "V1",
                            reinterpret_cast<const uint8_t*>(v1.data()), v1.size()),
              HVXRETVAL_SUCCESS);
    ASSERT_EQ(vpd_put_field(buf.data(), buf.size(), VPD_RESOURCE_TAG_READ_WRITE, "V2",
                            reinterpret_cast<const uint8_t*>(v2.data()), v2.size()),
              HVXRETVAL_SUCCESS);
    ASSERT_EQ(vpd_put_checksum(buf.data(), buf.size()), HVXRETVAL_SUCCESS);
    const std::vector<uint8_t> expected =
        VpdImageBuilder().id("Card").read_only(kIdentity, 1).read_write({{"V1", v1}, {"V2", v2}}).end().build();
    EXPECT_EQ(buf.bytes(), with_zeros(expected, buf.size() - expected.size()));
    EXPECT_EQ(vpd_get_length(buf.data(), buf.size()), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(vpd_verify(buf.data(), expected.size(), nullptr), HVXRETVAL_SUCCESS);
}

struct PutResourceCase {
    const char* what;
    std::vector<uint8_t> before;
    size_t extra;
    uint8_t name;
    bool large;
    std::vector<uint8_t> data;  // empty: zero-filled
    size_t length;
    int32_t rc;
    std::vector<uint8_t> after;  // whole buffer, when rc >= 0
};

TEST(VpdPut, AddResource) {
    const std::vector<uint8_t> id = VpdImageBuilder().id("Card").build();
    const std::vector<uint8_t> id_end = VpdImageBuilder().id("Card").end().build();
    auto id_then = [&](std::vector<uint8_t> tail) {
        std::vector<uint8_t> v = id;
        v.insert(v.end(), tail.begin(), tail.end());
        return v;
    };
    const PutResourceCase cases[] = {
        {"small resource longer than 7 bytes", id_end, 16, 3, false, {}, 8, HVXRETVAL_INVALID_DATA_LENGTH, {}},
        {"large resource longer than 65535 bytes", id_end, 16, 3, true, {}, 65536, HVXRETVAL_INVALID_DATA_LENGTH,
         {}},
        {"existing resource too short", id_end, 16, VPD_RESOURCE_TAG_IDENTIFER_STRING, true, {}, 5,
         HVXRETVAL_INSUFFICIENT_SPACE, {}},
        {"existing resource", id_end, 16, VPD_RESOURCE_TAG_IDENTIFER_STRING, true, {}, 4,
         HVXRETVAL_UNSUPPORTED_OPERATION, {}},
        {"no end of data", id, 0, VPD_RESOURCE_TAG_READ_WRITE, true, {}, 4, HVXRETVAL_ZERO_LENGTH_ITEM, {}},
        {"no room for the header", id_end, 2, VPD_RESOURCE_TAG_READ_WRITE, true, {}, 4,
         HVXRETVAL_INSUFFICIENT_SPACE, {}},
        {"cut to the room left, before the End tag", id_end, 5, VPD_RESOURCE_TAG_READ_WRITE, true, {}, 100, 2,
         id_then({0x91, 2, 0, 0, 0, 0x78})},
        {"empty read-write area gets its terminator", id_end, 10, VPD_RESOURCE_TAG_READ_WRITE, true, {}, 7, 7,
         id_then({0x91, 7, 0, 'R', 'W', 4, 0, 0, 0, 0, 0x78})},
        {"small resource with data", id_end, 3, 3, false, {'a', 'b'}, 2, 2, id_then({0x1A, 'a', 'b', 0x78})},
        {"placed at the first free byte when there is no End tag", id_then({0, 0, 0, 0, 0, 0}), 0,
         VPD_RESOURCE_TAG_READ_WRITE, true, {}, 3, 3, id_then({0x91, 3, 0, 'R', 'W', 0})},
    };
    for (const PutResourceCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.before, c.extra);
        uint8_t* data = nullptr;
        int32_t rc = vpd_put_resource(buf.data(), buf.size(), c.name, c.large, &data,
                                      c.data.empty() ? nullptr : c.data.data(), c.length);
        ASSERT_EQ(rc, c.rc);
        if (rc < 0) {
            EXPECT_EQ(buf.bytes(), with_zeros(c.before, c.extra));
            continue;
        }
        EXPECT_EQ(buf.bytes(), c.after);
        const uint8_t* found = nullptr;
        EXPECT_EQ(vpd_get_resource(static_cast<const uint8_t*>(buf.data()), buf.size(), c.name, &found), rc);
        EXPECT_EQ(found, data);
    }
}

TEST(VpdPut, Checksum) {
    VpdImageBuilder good;
    good.id("Card").read_only(kIdentity, 3).end();
    struct Case {
        const char* what;
        std::vector<uint8_t> before;
        int32_t rc;
    } cases[] = {
        {"no read-only resource", VpdImageBuilder().id("Card").end().build(), HVXRETVAL_RESOURCE_NOT_FOUND},
        {"no RV field", VpdImageBuilder().id("Card").read_only_unterminated(kIdentity).end().build(),
         HVXRETVAL_CHECKSUM_NOT_FOUND},
        {"RV without a data byte", card(kIdentity, 0), HVXRETVAL_INVALID_LENGTH},
        {"stored", good.build(), HVXRETVAL_SUCCESS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.before);
        if (good.rv_offset() < buf.size()) buf.data()[good.rv_offset()] ^= 0x5A;  // spoil what is there
        ASSERT_EQ(vpd_put_checksum(buf.data(), buf.size()), c.rc);
        if (c.rc == HVXRETVAL_SUCCESS) {
            EXPECT_EQ(buf.bytes(), good.build());
            EXPECT_EQ(byte_sum(buf.bytes(), good.rv_offset() + 1), 0);
        }
    }
}

}  // namespace
