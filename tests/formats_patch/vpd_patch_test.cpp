// VPD patch lines applied to a VPD resource list.
#include <gtest/gtest.h>

#include "formats/patch/patch.h"
#include "formats/vpd/vpd.h"
#include "tests/formats_vpd/vpd_image_builder.h"

using namespace zelt;

using zelt::test::ExactBuffer;
using zelt::test::VpdFields;
using zelt::test::VpdImageBuilder;

namespace {

const VpdFields kIdentity = {{"PN", "HX-2540"}, {"SN", "ZL0123456789"}};

std::vector<uint8_t> card(const VpdFields& ro, uint8_t rv, const VpdFields& rw, uint8_t rw_len,
                          bool bad_checksum = false) {
    return VpdImageBuilder().id("Card").read_only(ro, rv, bad_checksum).read_write(rw, rw_len).end().build();
}

struct VpdPatchCase {
    const char* what;
    std::vector<uint8_t> before;
    size_t extra;
    std::string text;
    int32_t rc;
    std::vector<uint8_t> after;  // the used bytes, when rc >= 0
};

TEST(VpdPatch, Lines) {
    const std::vector<uint8_t> base = card(kIdentity, 20, {{"V1", "fw"}}, 10);
    const int32_t base_len = static_cast<int32_t>(base.size());
    const std::string long_value(300, 'x');
    const std::vector<uint8_t> no_read_write = VpdImageBuilder().id("Card").read_only(kIdentity, 1).end().build();
    const VpdPatchCase cases[] = {
        {"read-write keyword", base, 0, "W.V1 = \"7.2\"", base_len, card(kIdentity, 20, {{"V1", "7.2"}}, 9)},
        {"read-only keyword with prefix and Text,", base, 0, "R.SN = Text,\"NEW1\"", base_len,
         card({{"PN", "HX-2540"}, {"SN", "NEW1"}}, 28, {{"V1", "fw"}}, 10)},
        {"read-only is the default", base, 0, "SN = \"NEW1\"", base_len,
         card({{"PN", "HX-2540"}, {"SN", "NEW1"}}, 28, {{"V1", "fw"}}, 10)},
        {"comments around a line", base, 0, "# new serial\nSN = \"NEW1\"\n; done\n", base_len,
         card({{"PN", "HX-2540"}, {"SN", "NEW1"}}, 28, {{"V1", "fw"}}, 10)},
        {"several lines, both resources", base, 0, "PN = Text,\"A\"\nW.V2 = \"xy\"\n", base_len,
         card({{"PN", "A"}, {"SN", "ZL0123456789"}}, 26, {{"V1", "fw"}, {"V2", "xy"}}, 5)},
        {"no lines: only the checksum is recomputed", card(kIdentity, 20, {{"V1", "fw"}}, 10, true), 0, "",
         base_len, base},
        {"prefix other than R or W", base, 0, "X.PN = \"v\"", HVXRETVAL_INVALID_TAG, {}},
        {"value cut to 255 characters", card(kIdentity, 255, {}, 0), 0, "SN = \"" + long_value + "\"",
         static_cast<int32_t>(card(kIdentity, 255, {}, 0).size()),
         card({{"PN", "HX-2540"}, {"SN", long_value.substr(0, 255)}}, 12, {}, 0)},
        {"no read-only resource for the checksum", VpdImageBuilder().id("Card").read_write({}, 8).end().build(), 0,
         "W.V1 = \"a\"", HVXRETVAL_RESOURCE_NOT_FOUND, {}},
        {"no room for a new keyword", card(kIdentity, 1, {}, 0), 0, "EC = \"A1\"", HVXRETVAL_INSUFFICIENT_SPACE, {}},
        {"missing read-write resource added before the End tag", no_read_write, 30, "W.V1 = \"a\"\nW.V2 = \"b\"",
         static_cast<int32_t>(no_read_write.size()) + 29,
         VpdImageBuilder().id("Card").read_only(kIdentity, 1).read_write({{"V1", "a"}, {"V2", "b"}}, 15).end().build()},
    };
    for (const VpdPatchCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.before, c.extra);
        const int32_t rc = zeltnvmPatchVPD(buf.data(), buf.size(), c.text.data(), c.text.size());
        ASSERT_EQ(rc, c.rc);
        if (rc < 0) continue;
        const std::vector<uint8_t> got = buf.bytes();
        EXPECT_EQ(std::vector<uint8_t>(got.begin(), got.begin() + rc), c.after);
        EXPECT_EQ(vpd_verify(buf.data(), static_cast<size_t>(rc), nullptr), HVXRETVAL_SUCCESS);
    }
}

}  // namespace
