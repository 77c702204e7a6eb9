// Rebuilding a VPD item with one field changed: keywords replaced or appended, the
// checksum recomputed, the item length kept or grown, and the layouts refused.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_rebuild.h"
#include "pkgbuild/pkgbuild.h"

using namespace zelt;

namespace {

namespace pb = zelt::pkgbuild;

std::vector<uint8_t> item(const std::map<std::string, std::string>& fields, const std::string& name = "Orvanta board") {
    std::vector<uint8_t> out;
    EXPECT_EQ(pb::vpd_image(name, fields, &out), 0);
    return out;
}

std::string field(const std::vector<uint8_t>& vpd, const char* keyword) {
    char text[256];
    zelt_vpd_get_field(vpd.data(), vpd.size(), keyword, text, sizeof text);
    return text;
}

// Reads `vpd`, sets `name` to `value` and rebuilds at the item's own length.
std::vector<uint8_t> rebuilt(const std::vector<uint8_t>& vpd, const char* name, const std::string& value,
                             bool* appended = nullptr) {
    vpd_identity_table table;
    EXPECT_EQ(vpd_read_identity(vpd.data(), vpd.size(), table, nullptr, nullptr), 0);
    EXPECT_EQ(vpd_identity_set(table, name, value, appended), 0);
    std::vector<uint8_t> out;
    EXPECT_EQ(vpd_rebuild_image(table, vpd.size(), out), 0);
    return out;
}

TEST(VpdRebuild, AMissingPartNumberIsAppendedAndTheChecksumRecomputed) {
    const auto before = item({{"SN", "ZX0012345678"}, {"MN", "2B1D"}});
    ASSERT_EQ(field(before, "PN"), "N/A");
    bool appended = false;
    const auto after = rebuilt(before, "PN", "ORV-2P25-OCP", &appended);
    EXPECT_TRUE(appended);
    EXPECT_EQ(field(after, "PN"), "ORV-2P25-OCP");
    EXPECT_EQ(field(after, "SN"), "ZX0012345678");
    EXPECT_EQ(field(after, "MN"), "2B1D");
    EXPECT_EQ(vpd_verify_image(after.data(), after.size()), 0);  // "RV" makes the byte sum 0
    EXPECT_EQ(after[0], 1);                                       // format revision
}

TEST(VpdRebuild, ChangedFieldsKeepTheOrderAndTheItemLengthWhenTheyFit) {
    const auto before = item({{"EC", "A1"}, {"MN", "2B1D"}, {"PN", "ORV-2P25"}, {"SN", "ZX0012345678"}});
    struct Case {
        const char* name;
        std::string value;
    } cases[] = {{"SN", "ZX01"}, {"SN", "ZX0098765432"}, {"PRODUCT_NAME", "Orvanta renamed"}, {"EC", "B2"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        bool appended = true;
        const auto after = rebuilt(before, c.name, c.value, &appended);
        EXPECT_FALSE(appended);
        EXPECT_EQ(after.size(), before.size());
        EXPECT_EQ(vpd_verify_image(after.data(), after.size()), 0);
        vpd_identity_table table;
        ASSERT_EQ(vpd_read_identity(after.data(), after.size(), table, nullptr, nullptr), 0);
        ASSERT_EQ(table.fields.size(), 4u);
        EXPECT_STREQ(table.fields[0].keyword, "EC");
        EXPECT_STREQ(table.fields[3].keyword, "SN");
        if (std::string(c.name) == "PRODUCT_NAME")
            EXPECT_EQ(table.product_name, c.value);
        else
            EXPECT_EQ(field(after, c.name), c.value);
    }
}

TEST(VpdRebuild, AnImageThatNeedsMoreRoomGrowsToAWholeWordPastTheNeed) {
    const auto before = item({{"SN", "1"}});
    vpd_identity_table table;
    ASSERT_EQ(vpd_read_identity(before.data(), before.size(), table, nullptr, nullptr), 0);
    ASSERT_EQ(vpd_identity_set(table, "V1", std::string(240, 'x'), nullptr), 0);
    ASSERT_EQ(vpd_identity_set(table, "V2", std::string(101, 'y'), nullptr), 0);
    std::vector<uint8_t> after;
    ASSERT_EQ(vpd_rebuild_image(table, before.size(), after), 0);
    const size_t needed = 3 + 13 + 3 + (3 + 1) + (3 + 240) + (3 + 101) + 4 + 1;  // name, SN, V1, V2, RV, End
    ASSERT_GT(needed, before.size() - 4);
    EXPECT_EQ(after.size(), 4 + needed / 4 * 4 + 4);
    EXPECT_EQ(vpd_verify_image(after.data(), after.size()), 0);
    EXPECT_EQ(field(after, "V2"), std::string(101, 'y'));
}

TEST(VpdRebuild, RefusedValuesAndLayouts) {
    const auto vpd = item({{"SN", "ZX0012345678"}});
    vpd_identity_table table;
    ASSERT_EQ(vpd_read_identity(vpd.data(), vpd.size(), table, nullptr, nullptr), 0);
    struct SetCase {
        const char* name;
        std::string value;
        int32_t result;
    } sets[] = {
        {"SN", "", HVXRETVAL_INVALID_LENGTH},
        {"PRODUCT_NAME", "", HVXRETVAL_INVALID_LENGTH},
        {"PRODUCT_NAME", std::string(82, 'n'), HVXRETVAL_INVALID_DATA_LENGTH},
        {"SN", std::string(242, 's'), HVXRETVAL_INVALID_DATA_LENGTH},
        {"RV", "1", HVXRETVAL_INVALID_PARAMETER},
        {"SNX", "1", HVXRETVAL_INVALID_PARAMETER},
    };
    for (const SetCase& c : sets) EXPECT_EQ(vpd_identity_set(table, c.name, c.value, nullptr), c.result) << c.name;

    // Kept at a much longer item length, the checksum field would need over 255 bytes.
    std::vector<uint8_t> out;
    EXPECT_EQ(vpd_rebuild_image(table, vpd.size() + 300, out), HVXRETVAL_INVALID_LENGTH);

    // The identifier string must come first and the read-only resource right after it.
    auto wrong_first = vpd;
    wrong_first[4] = VPD_TAG_READ_WRITE;
    auto wrong_second = vpd;
    wrong_second[4 + 3 + 13] = VPD_TAG_READ_WRITE;
    struct Layout {
        std::vector<uint8_t> data;
        uint8_t expected, found;
    } layouts[] = {{wrong_first, VPD_TAG_IDENTIFIER_STRING, VPD_TAG_READ_WRITE},
                   {wrong_second, VPD_TAG_READ_ONLY, VPD_TAG_READ_WRITE}};
    for (const Layout& l : layouts) {
        uint8_t expected = 0, found = 0;
        EXPECT_EQ(vpd_read_identity(l.data.data(), l.data.size(), table, &expected, &found), HVXRETVAL_INVALID_TAG);
        EXPECT_EQ(expected, l.expected);
        EXPECT_EQ(found, l.found);
    }
    // Cut short inside the read-only resource.
    EXPECT_EQ(vpd_read_identity(vpd.data(), 4 + 3 + 13 + 5, table, nullptr, nullptr), HVXRETVAL_INVALID_DATA_LENGTH);
}

}  // namespace
