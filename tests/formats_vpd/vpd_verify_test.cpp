// Checking resource lists.
#include <gtest/gtest.h>

#include "formats/vpd/vpd.h"
#include "tests/formats_vpd/vpd_image_builder.h"

using namespace zelt;

using zelt::test::ExactBuffer;
using zelt::test::VpdFields;
using zelt::test::VpdImageBuilder;

namespace {

const VpdFields kIdentity = {{"PN", "HX-2540"}, {"SN", "ZL0123456789"}};

struct VerifyCase {
    const char* what;
    std::vector<uint8_t> bytes;
    int32_t rc;
    size_t position;  // offset of the resource that was being checked
};

TEST(VpdVerify, ResourceByResource) {
    auto card = [](const std::string& id) { return VpdImageBuilder().id(id).read_only(kIdentity, 2); };
    const size_t ro = 3 + 4;                   // read-only resource after the identifier "Card"
    const size_t rw = ro + 3 + 10 + 15 + 5;    // read-write resource after it
    const VerifyCase cases[] = {
        {"well formed", card("Card").read_write({{"V1", "x"}}, 2).end().build(), HVXRETVAL_SUCCESS, rw + 3 + 9},
        {"bytes after the End tag", card("Card").end().raw({0}).build(), HVXRETVAL_INVALID_END_TAG, rw},
        {"control byte in the identifier", card("Ca\x01""d").end().build(), HVXRETVAL_INVALID_STRING, 0},
        {"byte above 0x7E in the identifier", card("Ca\xC3""d").end().build(), HVXRETVAL_INVALID_STRING, 0},
        {"white space in the identifier", card("C\td\n").end().build(), HVXRETVAL_SUCCESS, rw},
        {"read-only without RV", VpdImageBuilder().id("Card").read_only_unterminated(kIdentity).end().build(),
         HVXRETVAL_CHECKSUM_NOT_FOUND, ro},
        {"RV without a checksum byte", VpdImageBuilder().id("Card").read_only(kIdentity, 0).end().build(),
         HVXRETVAL_INVALID_LENGTH, ro},
        {"wrong checksum", VpdImageBuilder().id("Card").read_only(kIdentity, 2, true).end().build(),
         HVXRETVAL_INVALID_CHECKSUM, ro},
        {"keyword twice in read-only",
         VpdImageBuilder().id("Card").read_only({{"PN", "A"}, {"SN", "B"}, {"PN", "C"}}).end().build(),
         HVXRETVAL_DUPLICATE_ITEM, ro},
        {"empty field in read-only", VpdImageBuilder().id("Card").read_only({{"PN", ""}}).end().build(),
         HVXRETVAL_ZERO_LENGTH_ITEM, ro},
        {"keyword twice in read-write", card("Card").read_write({{"V1", "a"}, {"V1", "b"}}).end().build(),
         HVXRETVAL_DUPLICATE_ITEM, rw},
        {"read-write field runs past its resource",
         card("Card").large(0x91, {'V', '1', 9, 'a', 'b'}).end().build(), HVXRETVAL_INVALID_DATA_LENGTH, rw},
        {"resource runs past the buffer", card("Card").raw({0x91, 0x20, 0x00, 'R', 'W', 0}).build(),
         HVXRETVAL_INVALID_DATA_LENGTH, rw},
        // A whole header with no data, ending the buffer: read, then the End tag is missing.
        {"empty resource ends at the buffer end", card("Card").raw({0x91, 0x00, 0x00}).build(),
         HVXRETVAL_END_TAG_NOT_FOUND, rw},
        {"no End tag", card("Card").build(), HVXRETVAL_END_TAG_NOT_FOUND, ro},
        {"unused zero bytes and unknown resources are skipped",
         card("Card").zeros(3).raw({0x1A, 0xDE, 0xAD}).end().build(), HVXRETVAL_SUCCESS, rw + 6},
        {"empty", {}, HVXRETVAL_END_TAG_NOT_FOUND, 0},
    };
    for (const VerifyCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.bytes);
        size_t position = 0;
        EXPECT_EQ(vpd_verify(buf.data(), buf.size(), &position), c.rc);
        EXPECT_EQ(position, c.position);
    }
}

TEST(VpdVerify, WholeItem) {
    const std::vector<uint8_t> vpd = VpdImageBuilder().id("Card").read_only(kIdentity).end().build();
    std::vector<uint8_t> item = {1, 0, 0, 0};
    item.insert(item.end(), vpd.begin(), vpd.end());
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int32_t rc;
    } cases[] = {
        {"revision word only", {1, 0, 0, 0}, HVXRETVAL_INVALID_DATA_LENGTH},
        {"End tag only", {1, 0, 0, 0, 0x78}, HVXRETVAL_SUCCESS},
        {"identity", item, HVXRETVAL_SUCCESS},
        {"spoiled checksum", [&] {
             std::vector<uint8_t> bad = item;
             bad[4 + 3] ^= 1;  // a letter of the identifier
             return bad;
         }(),
         HVXRETVAL_INVALID_CHECKSUM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.bytes);
        EXPECT_EQ(vpd_verify_image(buf.data(), buf.size()), c.rc);
    }
}

}  // namespace
