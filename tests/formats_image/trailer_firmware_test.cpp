// Component trailers and signed firmware images: shape, checksums and signatures, and
// the firmware header report.
#include <gtest/gtest.h>

#include <functional>

#include "common/hvxretval.h"
#include "formats/image/firmware_image.h"
#include "formats/image/trailer.h"
#include "tests/formats_image/fixtures.h"

using namespace zelt;

namespace {

using zelt::test::put;
using zelt::test::refresh_tail_crc;
using Image = std::vector<uint8_t>;
using Mutation = std::function<void(Image*)>;

constexpr size_t kTrailerLengthPos = 22;  // inside the 32-byte base
constexpr size_t kTrailerSigPos = 24;

void set_trailer_length(Image* image, uint16_t length) {
    put<uint16_t>(image, image->size() - 32 + kTrailerLengthPos, length);
}

Image signed_trailer_image() {
    zelt::image::TrailerSpec plan;
    plan.dir_type = 21;
    plan.version = {'1', '.', '2'};
    return zelt::test::trailer_image(plan, 1000, true);
}

struct TrailerCase {
    const char* what;
    Mutation mutate;
    int parse;
    int verify;
};

TEST(ComponentTrailer, ParseAndVerify) {
    const TrailerCase cases[] = {
        {"intact signed trailer", [](Image*) {}, 0, 0},
        {"base only (32 bytes)", [](Image* i) {
             zelt::image::TrailerSpec plan;
             plan.dir_type = 21;
             *i = zelt::test::trailer_image(plan, 1000, false);
         }, 0, HVXRETVAL_INVALID_TRAILER},
        {"image shorter than a base", [](Image* i) { i->resize(31); }, HVXRETVAL_INVALID_LENGTH_PARAMETER,
         HVXRETVAL_INVALID_LENGTH_PARAMETER},
        {"wrong signature", [](Image* i) { put<uint32_t>(i, i->size() - 32 + kTrailerSigPos, 0x726C7255); },
         HVXRETVAL_INVALID_SIGNATURE, HVXRETVAL_INVALID_SIGNATURE},
        {"trailer_length 31", [](Image* i) { set_trailer_length(i, 31); }, HVXRETVAL_INVALID_LENGTH_PARAMETER,
         HVXRETVAL_INVALID_LENGTH_PARAMETER},
        {"trailer_length past the image start", [](Image* i) { set_trailer_length(i, 0xFFFF); },
         HVXRETVAL_INVALID_LENGTH_PARAMETER, HVXRETVAL_INVALID_LENGTH_PARAMETER},
        {"stored CRC wrong", [](Image* i) { (*i)[i->size() - 1] ^= 1; }, 0, HVXRETVAL_INVALID_ITEM_CHECKSUM},
        {"body changed, CRC refreshed", [](Image* i) {
             (*i)[10] ^= 0x40;
             refresh_tail_crc(i);
         }, 0, HVXRETVAL_INVALID_RSA_SIGNATURE},
        {"signature changed, CRC refreshed", [](Image* i) {
             (*i)[i->size() - 200] ^= 0x01;
             refresh_tail_crc(i);
         }, 0, HVXRETVAL_INVALID_RSA_SIGNATURE},
    };
    for (const auto& c : cases) {
        Image image = signed_trailer_image();
        c.mutate(&image);
        zelnvm_component_trailer_t out;
        EXPECT_EQ(zeltnvmComponentTrailerParse(image.data(), image.size(), &out), c.parse) << c.what;
        EXPECT_EQ(zeltnvmComponentTrailerParse(image.data(), image.size(), nullptr), c.parse) << c.what;
        EXPECT_EQ(zeltnvmComponentTrailerVerify(image.data(), image.size()), c.verify) << c.what;
    }
}

TEST(ComponentTrailer, ParseFillsBaseAndSignature) {
    const Image image = signed_trailer_image();
    zelnvm_component_trailer_t out;
    std::memset(&out, 0xAB, sizeof out);
    ASSERT_EQ(zeltnvmComponentTrailerParse(image.data(), image.size(), &out), 0);
    EXPECT_EQ(out.base.dir_type, 21);
    EXPECT_EQ(out.base.version_length, 3);
    EXPECT_EQ(out.base.trailer_length, 288);
    EXPECT_EQ(0, std::memcmp(out.rsa_sig, image.data() + image.size() - 288, 256));

    zelt::image::TrailerSpec plan;
    const Image unsigned_image = zelt::test::trailer_image(plan, 500, false);
    std::memset(&out, 0xAB, sizeof out);
    ASSERT_EQ(zeltnvmComponentTrailerParse(unsigned_image.data(), unsigned_image.size(), &out), 0);
    EXPECT_EQ(out.rsa_sig[0], 0);  // zeroed, not left over
    EXPECT_EQ(out.rsa_sig[255], 0);
}

TEST(ComponentTrailer, VerifiesAnImageInsideALargerBuffer) {
    const Image image = signed_trailer_image();
    Image buffer(100 + image.size() + 50, 0xEE);
    std::copy(image.begin(), image.end(), buffer.begin() + 100);
    EXPECT_EQ(zeltnvmComponentTrailerVerifyAtOffset(buffer.data(), 100, image.size()), 0);
    EXPECT_EQ(zeltnvmComponentTrailerParseAtOffset(buffer.data(), 100, image.size(), nullptr), 0);
    EXPECT_NE(zeltnvmComponentTrailerVerifyAtOffset(buffer.data(), 99, image.size()), 0);
}

zelt::image::FirmwareImageSpec boot_spec() {
    zelt::image::FirmwareImageSpec plan;
    plan.code_type = CODE_BOOT;
    plan.major = 2;
    plan.minor = 1;
    plan.revision = 0;
    plan.build = 7;
    plan.version_text = "boot-2.1";
    plan.body = zelt::test::pattern(2000);
    return plan;
}

TEST(FirmwareImage, VerifyInOrder) {
    struct Case {
        const char* what;
        Mutation mutate;
        int expected;
    };
    const Case cases[] = {
        {"intact", [](Image*) {}, 0},
        {"31 bytes", [](Image* i) { i->resize(31); }, HVXRETVAL_INVALID_DATA_LENGTH},
        {"wrong signature", [](Image* i) { (*i)[0] ^= 1; }, HVXRETVAL_INVALID_SIGNATURE},
        {"other device family", [](Image* i) { (*i)[6] = 18; }, HVXRETVAL_INVALID_FILE_HEADER},
        {"body bit flipped", [](Image* i) { (*i)[100] ^= 0x10; }, HVXRETVAL_INVALID_CHECKSUM},
        {"body bit flipped, CRC refreshed", [](Image* i) {
             (*i)[100] ^= 0x10;
             refresh_tail_crc(i);
         }, HVXRETVAL_INVALID_RSA_SIGNATURE},
        {"signature bit flipped, CRC refreshed", [](Image* i) {
             (*i)[i->size() - 10] ^= 0x10;
             refresh_tail_crc(i);
         }, HVXRETVAL_INVALID_RSA_SIGNATURE},
        {"287 bytes with a right CRC", [](Image* i) {
             i->resize(287);
             refresh_tail_crc(i);
         }, HVXRETVAL_INVALID_DATA_LENGTH},
    };
    const Image good = zelt::test::signed_firmware(boot_spec());
    ASSERT_FALSE(good.empty());
    for (const auto& c : cases) {
        Image image = good;
        c.mutate(&image);
        EXPECT_EQ(zeltnvmVerifyFirmware(image.data(), image.size()), c.expected) << c.what;
    }
}

TEST(FirmwareImage, SmallestSignedImageVerifies) {
    auto plan = boot_spec();
    plan.body.clear();
    const Image image = zelt::test::signed_firmware(plan);
    ASSERT_EQ(image.size(), 288u);
    EXPECT_EQ(zeltnvmVerifyFirmware(image.data(), image.size()), 0);
}

TEST(FirmwareImage, HeaderReport) {
    std::string text;
    const Image plain = zelt::test::signed_firmware(boot_spec());
    EXPECT_EQ(zeltnvmViewApeBinHdr(plain.data(), plain.size(), &text), 0);
    EXPECT_EQ(text,
              "            BIN Header\n"
              "             Code Type : 5\n"
              "                Device : 19\n"
              "                 Media : 0\n"
              "                 Flags : 0x00\n"
              "           Version Str : boot-2.1\n"
              "           Version Num : 2.1.0.7\n");

    auto plan = boot_spec();
    plan.extended_header = true;
    plan.ext_major = 218;
    plan.ext_minor = 1;
    plan.ext_build = 300;
    plan.ext_patch = 4;
    plan.ext_version_text = "218.1.300.4-rc";
    const Image ext = zelt::test::signed_firmware(plan);
    text.clear();
    EXPECT_EQ(zeltnvmViewApeBinHdr(ext.data(), ext.size(), &text), 0);
    EXPECT_EQ(text,
              "            BIN Header\n"
              "             Code Type : 5\n"
              "                Device : 19\n"
              "                 Media : 0\n"
              "                 Flags : 0x10\n"
              "           Version Str : 218.1.300.4-rc\n"
              "           Version Num : 218.1.300.4\n");

    plan = boot_spec();
    plan.version_text.clear();
    const Image no_text = zelt::test::signed_firmware(plan);
    text.clear();
    EXPECT_EQ(zeltnvmViewApeBinHdr(no_text.data(), no_text.size(), &text), 0);
    EXPECT_EQ(text.find("Version Str"), std::string::npos);
}

TEST(FirmwareImage, HeaderReportFailures) {
    const Image good = zelt::test::signed_firmware(boot_spec());
    std::string text;
    EXPECT_EQ(zeltnvmViewApeBinHdr(good.data(), 27, &text), HVXRETVAL_INVALID_FILE_HEADER);
    EXPECT_EQ(text, "            BIN Header\n");

    Image bad = good;
    bad[1] = 0;
    text.clear();
    EXPECT_EQ(zeltnvmViewApeBinHdr(bad.data(), bad.size(), &text), HVXRETVAL_INVALID_SIGNATURE);

    // An extended header said to lie past the image end is never read.
    Image ext = good;
    ext[4] = APEBIN_FLAG_EXT_HEADER;
    put<uint32_t>(&ext, APEBIN_EXT_OFFSET_POS, static_cast<uint32_t>(ext.size() - 63));
    text.clear();
    EXPECT_EQ(zeltnvmViewApeBinHdr(ext.data(), ext.size(), &text), HVXRETVAL_HEADER_NOT_FOUND);
}

TEST(SecureBootHeader, TagAndMagicBothRequired) {
    struct Case {
        const char* what;
        size_t offset;  // byte changed, or none
        int expected;
    };
    const Case cases[] = {
        {"intact", 64, 0},
        {"tag", 0, HVXRETVAL_INVALID_SIGNATURE},
        {"magic", 63, HVXRETVAL_INVALID_SIGNATURE},
        {"field the check ignores", 20, 0},
    };
    for (const auto& c : cases) {
        Image hdr = zelt::image::secure_boot_header(0x01020304);
        if (c.offset < hdr.size()) hdr[c.offset] ^= 0xFF;
        EXPECT_EQ(zeltnvmVerifySBIHeader(hdr.data()), c.expected) << c.what;
    }
}

}  // namespace
