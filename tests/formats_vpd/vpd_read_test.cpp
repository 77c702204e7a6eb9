// Walking the resource list, finding the end of data, reading fields and the
// per-keyword lookup of a whole item.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/vpd/vpd.h"
#include "tests/formats_vpd/vpd_image_builder.h"

using namespace zelt;

using zelt::test::ExactBuffer;
using zelt::test::VpdImageBuilder;

namespace {

std::vector<uint8_t> standard_vpd() {
    return VpdImageBuilder()
        .id("Orvanta Dual 25G")
        .read_only({{"PN", "HX-2540"}, {"SN", "ZL0123456789"}, {"EC", "A1"}}, 4)
        .read_write({{"V1", "fw"}}, 5)
        .end()
        .build();
}

struct LengthCase {
    const char* what;
    std::vector<uint8_t> bytes;
    int32_t length;
};

TEST(VpdRead, UsedLengthEndsAtEndTagOrFirstFreeByte) {
    const std::vector<uint8_t> id = VpdImageBuilder().id("Card").build();  // 7 bytes
    const LengthCase cases[] = {
        {"End tag last", standard_vpd(), static_cast<int32_t>(standard_vpd().size())},
        {"bytes after the End tag", VpdImageBuilder().id("Card").end().raw({0xAA, 0xBB}).build(), 8},
        {"no End tag, zero padding", VpdImageBuilder().id("Card").zeros(5).build(), 7},
        {"End tag after a zero byte wins", VpdImageBuilder().id("Card").zeros(2).end().build(), 10},
        {"neither End tag nor zero", id, HVXRETVAL_END_TAG_NOT_FOUND},
        {"empty buffer", {}, HVXRETVAL_END_TAG_NOT_FOUND},
        {"resource runs past the end", {0x82, 0x10, 0x00, 'a', 'b'}, HVXRETVAL_END_TAG_NOT_FOUND},
        {"large header cut short", {0x82, 0x05}, HVXRETVAL_END_TAG_NOT_FOUND},
        {"small End tag with data", {0x7A, 0x01, 0x02, 0xFF}, 3},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.bytes);
        EXPECT_EQ(vpd_get_length(buf.data(), buf.size()), c.length);
        const uint8_t* end = vpd_find_end(buf.data(), buf.size());
        if (c.length < 0)
            EXPECT_EQ(end, nullptr);
        else
            EXPECT_EQ(end, buf.data() + c.length);
    }
}

struct ResourceCase {
    const char* what;
    std::vector<uint8_t> bytes;
    uint8_t name;
    int32_t length;       // or the failure
    size_t data_offset;   // when found
};

TEST(VpdRead, ResourceLookupStopsAtEndTagAndBufferEnd) {
    const ResourceCase cases[] = {
        {"identifier string", standard_vpd(), VPD_RESOURCE_TAG_IDENTIFER_STRING, 16, 3},
        {"read-only after identifier", standard_vpd(), VPD_RESOURCE_TAG_READ_ONLY, 37, 22},
        {"read-write", standard_vpd(), VPD_RESOURCE_TAG_READ_WRITE, 13, 62},
        {"absent", VpdImageBuilder().id("Card").end().build(), VPD_RESOURCE_TAG_READ_ONLY,
         HVXRETVAL_RESOURCE_NOT_FOUND, 0},
        {"behind the End tag", VpdImageBuilder().end().read_write({}).build(), VPD_RESOURCE_TAG_READ_WRITE,
         HVXRETVAL_RESOURCE_NOT_FOUND, 0},
        {"after unused zero bytes", VpdImageBuilder().zeros(2).read_write({}).end().build(),
         VPD_RESOURCE_TAG_READ_WRITE, 3, 5},
        {"runs past the buffer", {0x91, 0x40, 0x00, 'R', 'W', 0}, VPD_RESOURCE_TAG_READ_WRITE,
         HVXRETVAL_RESOURCE_NOT_FOUND, 0},
        {"small resource", {0x1A, 0xDE, 0xAD, 0x78}, 3, 2, 1},
    };
    for (const ResourceCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.bytes);
        const uint8_t* data = nullptr;
        ASSERT_EQ(vpd_get_resource(static_cast<const uint8_t*>(buf.data()), buf.size(), c.name, &data), c.length);
        if (c.length >= 0) {
            EXPECT_EQ(data, buf.data() + c.data_offset);
        }
    }
}

TEST(VpdRead, FieldsOfReadOnlyResource) {
    std::vector<uint8_t> bytes = standard_vpd();
    const uint8_t* ro = nullptr;
    int32_t len = vpd_get_resource(bytes.data(), bytes.size(), VPD_RESOURCE_TAG_READ_ONLY, &ro);
    ASSERT_GT(len, 0);

    EXPECT_EQ(vpd_count_fields(ro, len, VPD_RESOURCE_TAG_READ_ONLY), 3);  // "RV" not counted

    vpd_field fields[8];
    ASSERT_EQ(vpd_get_fields(ro, len, VPD_RESOURCE_TAG_READ_ONLY, fields, 8), 3);
    EXPECT_EQ(std::string(fields[1].hdr.keyword, 2), "SN");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(fields[1].data), fields[1].hdr.length), "ZL0123456789");
    EXPECT_EQ(vpd_get_fields(ro, len, VPD_RESOURCE_TAG_READ_ONLY, fields, 2), 2);

    vpd_field field;
    ASSERT_EQ(vpd_get_field(ro, len, "EC", &field), HVXRETVAL_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(field.data), field.hdr.length), "A1");
    EXPECT_EQ(vpd_get_field(ro, len, "MN", &field), HVXRETVAL_ITEM_NOT_FOUND);

    vpd_field_header hdr;
    const uint8_t* rv = vpd_get_field_hdr(ro, len, "RV", &hdr);
    ASSERT_NE(rv, nullptr);
    EXPECT_EQ(hdr.length, 4);
    EXPECT_TRUE(vpd_field_is_terminator(VPD_RESOURCE_TAG_READ_ONLY, "RV"));
    EXPECT_FALSE(vpd_field_is_terminator(VPD_RESOURCE_TAG_READ_WRITE, "RV"));
}

TEST(VpdRead, FieldWalksNeverPassTheResourceEnd) {
    // "SN" claims 200 bytes where 4 remain: it is neither found nor counted.
    const std::vector<uint8_t> data = {'P', 'N', 2, 'a', 'b', 'S', 'N', 200, 'x', 'y', 'z', 'w'};
    ExactBuffer buf(data);
    EXPECT_EQ(vpd_get_field_hdr(buf.data(), buf.size(), "SN", nullptr), nullptr);
    EXPECT_NE(vpd_get_field_hdr(buf.data(), buf.size(), "PN", nullptr), nullptr);
    EXPECT_EQ(vpd_count_fields(buf.data(), buf.size(), VPD_RESOURCE_TAG_READ_WRITE), 1);

    // Resources other than VPD-R/VPD-W count fields up to a zero byte.
    ExactBuffer other({'A', 'B', 1, 'x', 0, 0, 0, 'C', 'D', 0});
    EXPECT_EQ(vpd_count_fields(other.data(), other.size(), 3), 1);
}

TEST(VpdRead, ItemFieldLookupFallsBackToNotAvailable) {
    std::vector<uint8_t> item = {1, 0, 0, 0};
    const std::vector<uint8_t> vpd = standard_vpd();
    item.insert(item.end(), vpd.begin(), vpd.end());
    std::vector<uint8_t> no_read_only = {1, 0, 0, 0};
    const std::vector<uint8_t> id_only = VpdImageBuilder().id("Card").read_write({{"SN", "W1"}}).end().build();
    no_read_only.insert(no_read_only.end(), id_only.begin(), id_only.end());

    struct Case {
        const char* what;
        const std::vector<uint8_t>& item;
        size_t length;
        const char* keyword;
        size_t out_size;
        int32_t rc;
        const char* text;
    } cases[] = {
        {"serial number", item, item.size(), "SN", 256, HVXRETVAL_SUCCESS, "ZL0123456789"},
        {"cut to the output", item, item.size(), "SN", 5, HVXRETVAL_SUCCESS, "ZL01"},
        {"missing keyword", item, item.size(), "MN", 256, HVXRETVAL_ITEM_NOT_FOUND, "N/A"},
        {"read-write keyword is not looked at", no_read_only, no_read_only.size(), "SN", 256,
         HVXRETVAL_ITEM_NOT_FOUND, "N/A"},
        {"item of only the revision word", item, 4, "SN", 256, HVXRETVAL_ITEM_NOT_FOUND, "N/A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(std::vector<uint8_t>(c.item.begin(), c.item.begin() + static_cast<long>(c.length)));
        std::vector<char> out(c.out_size, 'Z');
        EXPECT_EQ(zelt_vpd_get_field(buf.data(), buf.size(), c.keyword, out.data(), out.size()), c.rc);
        EXPECT_STREQ(out.data(), c.text);
    }
}

}  // namespace
