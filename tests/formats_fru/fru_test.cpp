// The FRU item's board fields: read back as written, cut to their widths, and an item
// too short for the last field refused.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/fru/fru.h"

namespace {

namespace fru = zelt::formats::fru;

TEST(Fru, FieldsReadBackWithoutPaddingAndCutToTheirWidths) {
    struct Case {
        const char* name;
        fru::BoardFields written;
        fru::BoardFields read;
    } cases[] = {
        {"short texts", {"Orvanta 2x25G", "SN01", "OA21", "B"}, {"Orvanta 2x25G", "SN01", "OA21", "B"}},
        {"texts filling their fields",
         {"Orvanta quad port 25G adapter 01", "SN000123456789", "OA2101", "B01"},
         {"Orvanta quad port 25G adapter 01", "SN000123456789", "OA2101", "B01"}},
        {"texts too long", {"", "SN000123456789XYZ", "OA2101-77", "B012"}, {"", "SN000123456789", "OA2101", "B01"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto item = fru::build(c.written);
        ASSERT_EQ(item.size(), fru::kItemSize);
        const auto fields = fru::parse(item);
        ASSERT_TRUE(fields);
        EXPECT_EQ(fields->product_name, c.read.product_name);
        EXPECT_EQ(fields->serial_number, c.read.serial_number);
        EXPECT_EQ(fields->part_number, c.read.part_number);
        EXPECT_EQ(fields->revision, c.read.revision);
    }
}

TEST(Fru, AFieldEndsAtAZeroByteAndAShortItemIsRefused) {
    auto item = fru::build({"Orvanta 2x25G", "SN01", "OA21", "B01"});
    std::memcpy(&item[fru::kSerialNumber.offset], "SN\0 9", 5);
    EXPECT_EQ(fru::parse(item)->serial_number, "SN");
    item.resize(fru::kFieldsEnd);
    EXPECT_TRUE(fru::parse(item));
    item.resize(fru::kFieldsEnd - 1);
    EXPECT_FALSE(fru::parse(item));
}

}  // namespace
