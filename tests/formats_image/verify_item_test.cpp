// Item verification against a directory entry, and directory type inference.
#include <gtest/gtest.h>

#include "common/directory_entry.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "formats/image/verify_item.h"
#include "tests/formats_image/fixtures.h"

using namespace zelt;

namespace {

using zelt::test::put;
using Image = std::vector<uint8_t>;

Image firmware_with_code(uint8_t code_type) {
    zelt::image::FirmwareImageSpec plan;
    plan.code_type = code_type;
    plan.body = zelt::test::pattern(500);
    return zelt::test::signed_firmware(plan);
}

Image signed_trailer(uint16_t dir_type) {
    zelt::image::TrailerSpec plan;
    plan.dir_type = dir_type;
    plan.version = {'1'};
    return zelt::test::trailer_image(plan, 700, true);
}

Image unsigned_trailer(uint16_t dir_type) {
    zelt::image::TrailerSpec plan;
    plan.dir_type = dir_type;
    return zelt::test::trailer_image(plan, 700, false);
}

Image sbi_item(bool good) {
    Image img = zelt::test::pattern(256);
    const Image hdr = zelt::image::secure_boot_header(0x01000000);
    img.insert(img.end(), hdr.begin(), hdr.end());
    img.resize(1024, 0);
    if (!good) img[256 + 60] ^= 1;
    return img;
}

// Format revision word, identifier string "AB", VPD-R with "RV" and a right checksum, End.
Image vpd_item() {
    Image img = {1, 0, 0, 0, 0x82, 2, 0, 'A', 'B', 0x90, 4, 0, 'R', 'V', 1, 0, 0x78};
    uint8_t sum = 0;
    for (size_t i = 4; i < img.size() - 2; ++i) sum = static_cast<uint8_t>(sum + img[i]);
    img[img.size() - 2] = static_cast<uint8_t>(0x100 - sum);
    return img;
}

zelnvm_directory_entry_t entry_for(const Image& image, uint16_t type, uint16_t attr = 0) {
    zelnvm_directory_entry_t e{};
    e.type = type;
    e.attr = attr;
    e.data_length = static_cast<uint32_t>(image.size());
    e.item_length = e.data_length;
    e.data_chksum = file_crc32(image.data(), image.size());
    return e;
}

struct Case {
    const char* what;
    Image image;
    uint16_t type;
    uint16_t attr;
    int expected;
    bool wrong_data_chksum = false;
};

TEST(VerifyItem, ByType) {
    const uint16_t T = ZEL_DIR_ATTR_TRAILER;
    Image fw_changed = firmware_with_code(CODE_BOOT);
    fw_changed[40] ^= 1;
    Image vpd_bad = vpd_item();
    vpd_bad[7] ^= 1;  // breaks the checksum
    const Case cases[] = {
        {"unused entry", zelt::test::pattern(10), 0, 0, 0},
        {"boot code as type 4", firmware_with_code(CODE_BOOT), 4, 0, 0},
        {"boot code as type 18", firmware_with_code(CODE_BOOT), 18, 0, 0},
        {"boot code as type 10", firmware_with_code(CODE_BOOT), 10, 0, HVXRETVAL_INVALID_TYPE_PARAMETER},
        {"APE firmware as type 10", firmware_with_code(CODE_MCTP_PASSTHRU), 10, 0, 0},
        {"unknown code type accepted for any firmware type", firmware_with_code(99), 16, 0, 0},
        {"firmware body changed (entry checksum matches)", fw_changed, 4, 0, HVXRETVAL_INVALID_CHECKSUM},
        {"data checksum wrong", firmware_with_code(CODE_BOOT), 4, 0, HVXRETVAL_INVALID_CHECKSUM, true},
        {"No-Chksum attribute", firmware_with_code(CODE_BOOT), 4, ZEL_DIR_ATTR_NO_CHKSUM, 0, true},
        {"CCM with a signed trailer", signed_trailer(19), 19, T, 0},
        {"CCM entry without the trailer bit", signed_trailer(19), 19, 0, HVXRETVAL_TRAILER_NOT_FOUND},
        {"trailer without signature", unsigned_trailer(21), 21, T, HVXRETVAL_INVALID_TRAILER},
        {"trailer for another type", signed_trailer(21), 19, T, HVXRETVAL_INVALID_TYPE_PARAMETER},
        {"expansion ROM without trailer", zelt::test::pattern(1000), 6, T, HVXRETVAL_INVALID_LENGTH_PARAMETER},
        {"SBI header at 256", sbi_item(true), 61, 0, 0},
        {"SBI header with wrong magic", sbi_item(false), 61, 0, HVXRETVAL_INVALID_SIGNATURE},
        {"SBI item too short for its header", Image(300, 0), 61, 0, HVXRETVAL_INVALID_DATA_LENGTH},
        {"SRT with a wrong data checksum", zelt::image::secure_boot_header(5), 62, 0, 0, true},
        {"CRT live patch skips the data checksum", zelt::test::pattern(9), 79, 0, 0, true},
        {"VPD", vpd_item(), 5, 0, 0},
        {"VPD with a bad checksum", vpd_bad, 5, 0, HVXRETVAL_INVALID_CHECKSUM},
        {"VPD of 4 bytes", Image{1, 0, 0, 0}, 5, 0, HVXRETVAL_INVALID_DATA_LENGTH},
        {"other type", zelt::test::pattern(10), 40, 0, 0},
    };
    for (const auto& c : cases) {
        auto e = entry_for(c.image, c.type, c.attr);
        if (c.wrong_data_chksum) e.data_chksum ^= 0x1;
        EXPECT_EQ(zeltnvmVerifyItem(c.image.data(), c.image.size(), e), c.expected) << c.what;
    }
}

TEST(VerifyItem, ImageInsideAPackageBuffer) {
    const Image fw = firmware_with_code(CODE_KONG_FW);
    Image package(64, 0xAA);
    package.insert(package.end(), fw.begin(), fw.end());
    package.resize(package.size() + 3, 0);
    const auto e = entry_for(fw, 12);
    EXPECT_EQ(zeltnvmVerifyItemAtOffset(package.data(), package.size(), 64, e), 0);
    // A data length reaching past the buffer is refused before any byte is read.
    EXPECT_EQ(zeltnvmVerifyItemAtOffset(package.data(), package.size(), 68, e), HVXRETVAL_INVALID_DATA_LENGTH);
    EXPECT_EQ(zeltnvmVerifyItemAtOffset(package.data(), package.size(), SIZE_MAX - 2, e),
              HVXRETVAL_INVALID_DATA_LENGTH);
    EXPECT_EQ(zeltnvmVerifyItem(fw.data(), fw.size() - 1, e), HVXRETVAL_INVALID_DATA_LENGTH);
}

TEST(AutodetectDirectoryType, FromContent) {
    Image other_family = firmware_with_code(CODE_BOOT);
    other_family[6] = 18;
    Image header_only = firmware_with_code(CODE_BOOT);
    header_only.resize(28);
    struct Detect {
        const char* what;
        Image image;
        uint16_t expected;
    };
    const Detect cases[] = {
        {"boot code", firmware_with_code(CODE_BOOT), 4},
        {"chimp patch", firmware_with_code(CODE_CHIMP_PATCH), 3},
        {"crash dump firmware", firmware_with_code(CODE_CRASH_DUMP_FW), 66},
        {"unknown code type", firmware_with_code(6), 0},
        {"another device family", other_family, 0},
        {"a header alone (28 bytes)", header_only, 0},
        {"trailer", unsigned_trailer(27), 27},
        {"nothing recognisable", zelt::test::pattern(100), 0},
        {"empty", Image{}, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zeltnvmAutodetectDirectoryType(c.image.data(), c.image.size()), c.expected) << c.what;
    }
}

TEST(CheckDirectoryType, Rules) {
    EXPECT_EQ(zeltnvmCheckDirectoryType(40, 0), 0);
    EXPECT_EQ(zeltnvmCheckDirectoryType(12, 12), 0);
    EXPECT_EQ(zeltnvmCheckDirectoryType(18, 4), 0);
    EXPECT_EQ(zeltnvmCheckDirectoryType(4, 18), HVXRETVAL_INVALID_TYPE_PARAMETER);
    EXPECT_EQ(zeltnvmCheckDirectoryType(3, 4), HVXRETVAL_INVALID_TYPE_PARAMETER);
}

}  // namespace
