// Versions of every kind of item image, their text forms, and which bytes of an item
// must be read to learn its version.
#include <gtest/gtest.h>

#include <string>

#include "common/directory_entry.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "formats/image/exp_rom.h"
#include "formats/image/item_version.h"
#include "tests/formats_image/fixtures.h"

using namespace zelt;

namespace {

using zelt::test::put;
using Image = std::vector<uint8_t>;

struct Rom {
    size_t size;  // multiple of 512
    uint8_t code_type;
    uint16_t image_rev;
};

constexpr size_t kPciDataAt = 0x20;
constexpr size_t kVendorDataAt = 0x40;

// A chain of expansion ROM images; the first carries vendor data with `pxe_version`.
Image rom_chain(const std::vector<Rom>& roms, uint32_t pxe_version = 0x00030201, bool mark_last = true) {
    Image out;
    for (size_t i = 0; i < roms.size(); ++i) {
        Image img(roms[i].size, 0);
        exp_rom_hdr_t hdr{};
        hdr.Signature = EXP_ROM_SIGNATURE;
        hdr.VendorOffset = kVendorDataAt;
        hdr.PCIdsOffset = kPciDataAt;
        std::memcpy(img.data(), &hdr, sizeof hdr);
        pci30_rom_hdr_t pci{};
        pci.Signature = PCI_DATA_SIGNATURE;
        pci.StructLength = sizeof pci;
        pci.ImageLength = static_cast<uint16_t>(roms[i].size / 512);
        pci.ImageRev = roms[i].image_rev;
        pci.CodeType = roms[i].code_type;
        pci.Indicator = (mark_last && i + 1 == roms.size()) ? EXP_ROM_INDICATOR_LAST : 0;
        std::memcpy(img.data() + kPciDataAt, &pci, sizeof pci);
        if (i == 0) {
            vendor_data_t vendor{};
            vendor.PxeVersion = pxe_version;
            std::memcpy(img.data() + kVendorDataAt, &vendor, sizeof vendor);
        }
        out.insert(out.end(), img.begin(), img.end());
    }
    return out;
}

Image firmware(bool ext, const std::string& text) {
    zelt::image::FirmwareImageSpec plan;
    plan.major = 2;
    plan.minor = 1;
    plan.revision = 0;
    plan.build = 7;
    plan.version_text = text;
    plan.extended_header = ext;
    plan.ext_major = 20;
    plan.ext_minor = 6;
    plan.ext_build = 1000;
    plan.ext_patch = 3;
    plan.ext_version_text = ext ? "20.6.1000.3 release" : "";
    plan.body = zelt::test::pattern(64);
    return zelt::image::firmware_image_unsealed(plan);
}

Image with_trailer(Image body, uint16_t dir_type, uint8_t format, std::vector<uint8_t> version) {
    zelt::image::TrailerSpec plan;
    plan.dir_type = dir_type;
    plan.version_format = format;
    plan.version = std::move(version);
    zelt::image::append_component_trailer(&body, plan, {});
    return body;
}

Image ccm_image() {
    Image img(40, 0);
    img[16] = 7;
    img[17] = 20;
    img[18] = 1;
    std::memcpy(img.data() + 8, "CCM-A", 5);
    return img;
}

Image iscsi_image(uint16_t text_offset, const std::string& text, size_t size = 64) {
    Image img(size, 0);
    put<uint16_t>(&img, 4, text_offset);
    img[9] = 4;
    img[10] = 5;
    img[11] = 6;
    if (text_offset < size) std::memcpy(img.data() + text_offset, text.data(), std::min(text.size(), size - text_offset));
    return img;
}

Image srt_image(uint32_t fw_version) {
    Image img = zelt::image::secure_boot_header(fw_version);
    img.resize(200, 0x11);
    return img;
}

Image text_image(const std::string& s) { return Image(s.begin(), s.end()); }

Image head(const Image& image, size_t n) { return Image(image.begin(), image.begin() + static_cast<long>(n)); }

const std::string kLog =
    "2026-01-01 10:00\tBase package\t1.0\t20251201\tSuccess\t0A0B0C0D\t5\t1f\t0\tzeltnvm\t0\n"
    "2026-02-01 10:00\tBase package\t2.0\t20260115\tSuccess\t11223344\t6\t3f\t0\tzeltnvm\t0\n"
    "2026-03-01 10:00\tLive Patch 7\t2.0.1\t20260220\tSuccess\tN/A\t1\t1\t0\tzeltnvm\tF\n";

struct VersionCase {
    const char* what;
    unsigned type;
    uint16_t attr;
    Image image;
    int selector;
    int rc;
    std::string text;
};

void expect_version(const VersionCase& c) {
    char text[256];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(zeltnvmGetItemBufVersionString(c.type, c.image.data(), c.image.size(), c.selector, text, sizeof text,
                                             c.attr),
              c.rc)
        << c.what;
    EXPECT_EQ(std::string(text), c.text) << c.what;
}

TEST(ItemVersion, HeaderSources) {
    Image ext_outside = firmware(true, "");
    put<uint32_t>(&ext_outside, APEBIN_EXT_OFFSET_POS, static_cast<uint32_t>(ext_outside.size() - 10));
    Image ext_huge_offset = firmware(true, "");
    put<uint32_t>(&ext_huge_offset, APEBIN_EXT_OFFSET_POS, 0xFFFFFFF0u);
    Image long_ccm_text(300, 'T');
    long_ccm_text[16] = 1;
    const VersionCase cases[] = {
        {"firmware of 27 bytes, primary", 4, 0, head(firmware(false, "x"), 27), 0, HVXRETVAL_INVALID_LENGTH_PARAMETER, ""},
        {"firmware of 27 bytes, secondary", 4, 0, head(firmware(false, "x"), 27), 1,
         HVXRETVAL_INVALID_LENGTH_PARAMETER, ""},
        {"firmware primary", 4, 0, firmware(false, "boot 2.1"), 0, 0, "2.1.0.7"},
        {"firmware secondary", 18, 0, firmware(false, "boot 2.1"), 1, 0, "boot 2.1"},
        {"firmware full 16-byte text", 10, 0, firmware(false, "0123456789abcdefXYZ"), 1, 0, "0123456789abcdef"},
        {"firmware without text", 4, 0, firmware(false, ""), 1, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"firmware selector 2", 4, 0, firmware(false, "a"), 2, HVXRETVAL_UNSUPPORTED_DETAIL, ""},
        {"extended header primary", 66, 0, firmware(true, ""), 0, 0, "20.6.1000.3"},
        {"extended header secondary", 58, 0, firmware(true, ""), 1, 0, "20.6.1000.3 release"},
        {"extended header past the end", 4, 0, ext_outside, 0, HVXRETVAL_HEADER_NOT_FOUND, ""},
        {"extended header offset near 4 GiB", 4, 0, ext_huge_offset, 1, HVXRETVAL_HEADER_NOT_FOUND, ""},
        {"SRT primary", 62, 0, srt_image(0x01020304), 0, 0, "1.2.3.4"},
        {"CRT primary", 63, 0, srt_image(0xFF00FE01), 0, 0, "255.0.254.1"},
        {"SRT secondary", 62, 0, srt_image(0x01020304), 1, HVXRETVAL_UNSUPPORTED_DETAIL, ""},
        {"SRT too short", 62, 0, head(srt_image(1), 59), 0,
         HVXRETVAL_INVALID_LENGTH_PARAMETER, ""},
        {"SRT of 60 bytes, the version its last word", 62, 0, head(srt_image(0x01020304), 60), 0, 0, "1.2.3.4"},
        {"CCM primary", 19, 0, ccm_image(), 0, 0, "7.20.1.0"},
        {"CCM secondary", 19, 0, ccm_image(), 1, 0, "CCM-A.0"},
        {"CCM text cut at 125 characters", 19, 0, long_ccm_text, 1, 0,
         std::string(8, 'T') + "\x01" + std::string(116, 'T') + ".0"},
        {"CCM of 19 bytes: text stops at the image end", 19, 0, head(long_ccm_text, 19),
         1, 0, "TTTTTTTT\x01TT.0"},
        {"CCM of 18 bytes", 19, 0, Image(18, 0), 0, HVXRETVAL_INVALID_LENGTH_PARAMETER, ""},
        {"iSCSI primary", 22, 0, iscsi_image(20, "iscsi v4"), 0, 0, "4.5.6.0"},
        {"iSCSI secondary", 22, 0, iscsi_image(20, "iscsi v4"), 1, 0, "iscsi v4"},
        {"iSCSI text running to the image end", 22, 0, iscsi_image(60, "abcdefgh"), 1, 0, "abcd"},
        {"iSCSI text offset outside the image", 22, 0, iscsi_image(64, ""), 1, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"iSCSI text offset far outside", 22, 0, iscsi_image(0xFFFF, ""), 1, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"iSCSI of 15 bytes", 22, 0, Image(15, 0), 0, HVXRETVAL_INVALID_LENGTH_PARAMETER, ""},
        {"iSCSI of 16 bytes", 22, 0, head(iscsi_image(20, "iscsi v4"), 16), 0, 0, "4.5.6.0"},
    };
    for (const auto& c : cases) expect_version(c);
}

TEST(ItemVersion, TrailerSource) {
    Image long_version = with_trailer(zelt::test::pattern(100), 21, 0, {'1'});
    long_version[long_version.size() - 32 + 3] = 17;  // version_length past the version field
    Image huge_version = long_version;
    huge_version[huge_version.size() - 32 + 3] = 129;
    Image longest_raw = long_version;  // the most a raw version holds, still past the field
    longest_raw[longest_raw.size() - 32 + 3] = 128;
    const VersionCase cases[] = {
        {"ASCII", 21, ZEL_DIR_ATTR_TRAILER, with_trailer(zelt::test::pattern(100), 21, 0, {'3', '.', '1'}), 0, 0,
         "3.1"},
        {"DEC", 27, 0, with_trailer(zelt::test::pattern(100), 27, 1, zelt::image::dec_version({1, 2, 300, 4})), 0, 0,
         "1.2.300.4"},
        {"HEX", 8, ZEL_DIR_ATTR_TRAILER, with_trailer(zelt::test::pattern(10), 8, 2, {0x0A, 0xBC, 0x01}), 0, 0,
         "0x0ABC01"},
        {"unknown format", 9, 0, with_trailer({}, 9, 7, {0xFE, 0x01}), 0, 0, "??FE01"},
        {"CCM with the trailer bit", 19, ZEL_DIR_ATTR_TRAILER, with_trailer(ccm_image(), 19, 0, {'9'}), 0, 0, "9"},
        {"iSCSI with the trailer bit", 22, ZEL_DIR_ATTR_TRAILER, with_trailer(iscsi_image(20, "x"), 22, 0, {'8'}), 0,
         0, "8"},
        {"secondary", 21, 0, with_trailer({}, 21, 0, {'1'}), 1, HVXRETVAL_UNSUPPORTED_DETAIL, ""},
        {"version_length 0", 21, 0, with_trailer({}, 21, 0, {}), 0, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"no trailer", 21, 0, zelt::test::pattern(300), 0, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"version_length past the version field", 21, 0, long_version, 0, HVXRETVAL_INVALID_DATA_LENGTH, ""},
        {"version_length above 128", 21, 0, huge_version, 0, HVXRETVAL_INSUFFICIENT_SPACE, ""},
        {"version_length 128", 21, 0, longest_raw, 0, HVXRETVAL_INVALID_DATA_LENGTH, ""},
        {"version field full", 21, 0, with_trailer({}, 21, 0, {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0', 'a', 'b', 'c', 'd', 'e', 'f'}), 0, 0,
         "1234567890abcdef"},
    };
    for (const auto& c : cases) expect_version(c);
}

TEST(ItemVersion, InstallLog) {
    Image padded = text_image(kLog);
    padded.resize(padded.size() + 40, 0xFF);
    const VersionCase cases[] = {
        {"version skips the live-patch entry", 1, 0, text_image(kLog), 0, 0, "2.0"},
        {"time stamp", 1, 0, text_image(kLog), 1, 0, "20260115"},
        {"checksum", 1, 0, text_image(kLog), 2, 0, "11223344"},
        {"description", 1, 0, text_image(kLog), 3, 0, "Base package"},
        {"erased bytes after the text", 1, 0, padded, 0, 0, "2.0"},
        {"selector 4", 1, 0, text_image(kLog), 4, HVXRETVAL_UNSUPPORTED_DETAIL, ""},
        {"only erased bytes", 1, 0, Image(64, 0xFF), 0, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"only live-patch entries", 1, 0, text_image("t\tPatch 1\t3.0\tx\n"), 0, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"entry without that field", 1, 0, text_image("t\tdesc\n"), 0, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"last line without newline", 1, 0, text_image("a\tb\t1.0\nc\td\t1.1"), 0, 0, "1.1"},
    };
    for (const auto& c : cases) expect_version(c);
}

TEST(ItemVersion, ExpansionRomWithoutTrailer) {
    const Image three = rom_chain({{65536, 0, 0x2301}, {32768, 3, 0x1504}, {16384, 1, 0x4382}}, 0x000A0B0C);
    Image bad_sig = three;
    bad_sig[0] = 0;
    Image vendor_outside = rom_chain({{512, 0, 0x1000}});
    put<uint16_t>(&vendor_outside, 8, static_cast<uint16_t>(512 - 34));
    Image looping = rom_chain({{512, 0, 0x1000}, {512, 3, 0x2000}}, 1, false);
    put<uint16_t>(&looping, 512 + kPciDataAt + 16, 0);  // second image: length 0, not last
    Image runs_past_end = rom_chain({{1024, 0, 0x1000}, {512, 3, 0x2000}}, 1, false);
    put<uint16_t>(&runs_past_end, 1024 + kPciDataAt + 16, 40);  // says 20 KiB, not last
    Image pci_outside = rom_chain({{512, 0, 0x1000}, {512, 3, 0x2000}});
    put<uint16_t>(&pci_outside, 512 + 24, 500);  // second image's PCI data past the end
    Image no_pcir = rom_chain({{512, 0, 0x1000}, {512, 3, 0x2000}});
    no_pcir[512 + kPciDataAt] = 'X';
    std::vector<Rom> seventeen(17, Rom{512, 0, 0x1100});
    std::vector<Rom> sixteen(16, Rom{512, 0, 0x1100});
    std::string sixteen_text;
    for (int i = 0; i < 16; ++i) sixteen_text += std::string(i ? ", " : "") + "PXE:1.1.0.0";

    const VersionCase cases[] = {
        {"primary from the vendor data", 6, 0, three, 0, 0, "10.11.12.0"},
        {"every image's version", 6, 0, three, 1, 0, "PXE:2.3.1.0, EFI:1.5.4.0, FCODE:20.3.2.0"},
        {"selector 2", 6, 0, three, 2, HVXRETVAL_UNSUPPORTED_DETAIL, ""},
        {"32 bytes", 6, 0, head(three, 32), 0, HVXRETVAL_INVALID_LENGTH_PARAMETER, ""},
        {"wrong ROM signature", 6, 0, bad_sig, 0, HVXRETVAL_INVALID_SIGNATURE, ""},
        {"no usable image", 6, 0, bad_sig, 1, HVXRETVAL_VERSION_INFO_NOT_FOUND, ""},
        {"vendor data reaching the image end", 6, 0, vendor_outside, 0, HVXRETVAL_INVALID_LENGTH_PARAMETER, ""},
        {"image of length 0 ends the walk", 6, 0, looping, 1, 0, "PXE:1.0.0.0, EFI:2.0.0.0"},
        {"next image past the end", 6, 0, runs_past_end, 1, 0, "PXE:1.0.0.0, EFI:2.0.0.0"},
        {"PCI data outside the image", 6, 0, pci_outside, 1, 0, "PXE:1.0.0.0"},
        {"PCI data without PCIR", 6, 0, no_pcir, 1, 0, "PXE:1.0.0.0"},
        {"sixteen images", 6, 0, rom_chain(sixteen), 1, 0, sixteen_text},
        {"seventeen images", 6, 0, rom_chain(seventeen), 1, HVXRETVAL_INSUFFICIENT_SPACE, ""},
        {"unknown code type", 6, 0, rom_chain({{512, 7, 0x1000}}), 1, 0, "7:1.0.0.0"},
    };
    for (const auto& c : cases) expect_version(c);

    const auto walked = zelt::image::walk_expansion_rom(three, 100);
    ASSERT_EQ(walked.size(), 3u);
    EXPECT_EQ(walked[1].offset, 65536u);
    EXPECT_EQ(walked[2].offset, 98304u);
}

TEST(ItemVersion, ExpansionRomWithTrailer) {
    // Eight big-endian numbers: PXE 1.2.3.4, EFI 5.6.7.8.
    const std::vector<uint8_t> numbers = {0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8};
    const Image plain = with_trailer(rom_chain({{512, 0, 0x1000}, {512, 3, 0x2000}}), 6, 0, numbers);
    const Image fcode = with_trailer(rom_chain({{512, 0, 0x1000}, {512, 1, 0x0A0B}}), 6, 0, numbers);
    const Image empty_version = with_trailer(rom_chain({{512, 0, 0x1000}}, 0x00010203), 6, 0, {});
    const VersionCase cases[] = {
        {"primary", 6, ZEL_DIR_ATTR_TRAILER, plain, 0, 0, "1.2.3.4"},
        {"secondary", 6, ZEL_DIR_ATTR_TRAILER, plain, 1, 0, "PXE:1.2.3.4,EFI:5.6.7.8"},
        {"secondary with an FCode image", 6, ZEL_DIR_ATTR_TRAILER, fcode, 1, 0, "PXE:1.2.3.4,EFI:5.6.7.8,FCODE:10.11"},
        {"trailer without version falls back to the ROM", 6, 0, empty_version, 0, 0, "1.2.3.0"},
    };
    for (const auto& c : cases) expect_version(c);
}

TEST(ItemVersion, RawVersionAndCapacity) {
    const Image rom = rom_chain({{512, 0, 0x2301}, {512, 3, 0x1504}, {512, 1, 0x1100}});
    uint8_t raw[128];
    size_t len = 16;  // room for two entries
    int format = -1;
    ASSERT_EQ(zeltnvmGetItemBufVersion(6, rom.data(), rom.size(), 1, raw, &len, &format, 0), 0);
    EXPECT_EQ(len, 16u);
    EXPECT_EQ(format, ZEL_VERSION_FMT_MULTI);
    char text[64];
    EXPECT_STREQ(zeltnvmVersionString(raw, len, format, text, sizeof text), "PXE:2.3.1.0, EFI:1.5.4.0");

    len = 7;
    EXPECT_EQ(zeltnvmGetItemBufVersion(6, rom.data(), rom.size(), 1, raw, &len, &format, 0),
              HVXRETVAL_INSUFFICIENT_SPACE);

    const Image fw = firmware(false, "abc");
    len = 7;
    EXPECT_EQ(zeltnvmGetItemBufVersion(4, fw.data(), fw.size(), 0, raw, &len, &format, 0),
              HVXRETVAL_INSUFFICIENT_SPACE);
    len = 8;
    ASSERT_EQ(zeltnvmGetItemBufVersion(4, fw.data(), fw.size(), 0, raw, &len, &format, 0), 0);
    EXPECT_EQ(format, ZEL_VERSION_FMT_DEC);
    EXPECT_EQ(std::vector<uint8_t>(raw, raw + 8), zelt::image::dec_version({2, 1, 0, 7}));
}

TEST(VersionString, FormatsAndCapacity) {
    struct Case {
        std::vector<uint8_t> raw;
        int format;
        size_t capacity;
        std::string text;
    };
    const Case cases[] = {
        {{'a', 'b', 0, 'c'}, ZEL_VERSION_FMT_ASCII, 32, "ab"},
        {{'a', 'b', 'c'}, ZEL_VERSION_FMT_ASCII, 3, "ab"},
        {zelt::image::dec_version({1, 65535, 0}), ZEL_VERSION_FMT_DEC, 32, "1.65535.0"},
        {{1, 0, 2}, ZEL_VERSION_FMT_DEC, 32, "1"},
        {{}, ZEL_VERSION_FMT_HEX, 32, "0x"},
        {{0xAB, 0x01}, ZEL_VERSION_FMT_HEX, 5, "0xAB"},
        {{0, 2, 3, 1, 0, 0, 0, 0, 3, 1, 5, 4, 0, 0, 0, 0}, ZEL_VERSION_FMT_MULTI, 64, "PXE:2.3.1.0, EFI:1.5.4.0"},
        {{9, 1, 2, 3, 0, 0, 0, 0, 1, 4, 5, 6}, ZEL_VERSION_FMT_MULTI, 64, "9:1.2.3.0"},
        {{0x10}, 200, 32, "??10"},
        {{'x'}, ZEL_VERSION_FMT_ASCII, 1, ""},
    };
    for (const auto& c : cases) {
        char text[256];
        std::memset(text, 'z', sizeof text);
        EXPECT_STREQ(zeltnvmVersionString(c.raw.data(), c.raw.size(), c.format, text, c.capacity), c.text.c_str())
            << c.text;
    }
}

TEST(ItemVersion, ReadRangeForDeviceItems) {
    struct Case {
        const char* what;
        unsigned type;
        uint16_t attr;
        size_t data_length;
        int selector;
        int rc;
        size_t offset, length;
    };
    const uint16_t T = ZEL_DIR_ATTR_TRAILER;
    const Case cases[] = {
        {"type without version", 40, 0, 1000, 0, HVXRETVAL_UNSUPPORTED_DETAIL, 0, 0},
        {"SRT: secure-boot header", 62, 0, 5000, 0, 0, 0, 64},
        {"CCM with trailer: last 288", 19, T, 5000, 0, 0, 4712, 288},
        {"expansion ROM with trailer: whole", 6, T, 70000, 1, 0, 0, 70000},
        {"CCM: header", 19, 0, 5000, 1, 0, 0, 19},
        {"CCM shorter than its header", 19, 0, 18, 0, HVXRETVAL_HEADER_NOT_FOUND, 0, 0},
        {"CCM of just its header", 19, 0, 19, 0, 0, 0, 19},
        {"iSCSI primary: header", 22, 0, 5000, 0, 0, 0, 16},
        {"iSCSI secondary: whole", 22, 0, 5000, 1, 0, 0, 5000},
        {"iSCSI shorter than its header", 22, 0, 15, 0, HVXRETVAL_HEADER_NOT_FOUND, 0, 0},
        {"iSCSI of just its header", 22, 0, 16, 0, 0, 0, 16},
        {"trailer primary: last 288", 21, T, 9000, 0, 0, 8712, 288},
        {"trailer secondary: whole", 21, T, 9000, 1, 0, 0, 9000},
        {"trailer item under 288", 21, T, 287, 0, HVXRETVAL_TRAILER_NOT_FOUND, 0, 0},
        {"trailer item of just 288", 21, T, 288, 0, 0, 0, 288},
        {"firmware: whole", 4, 0, 9000, 0, 0, 0, 9000},
        {"item under 8 bytes", 1, 0, 7, 0, HVXRETVAL_INVALID_DATA_LENGTH, 0, 0},
        {"item of 8 bytes", 1, 0, 8, 0, 0, 0, 8},
    };
    for (const auto& c : cases) {
        size_t offset = 99, length = 99;
        EXPECT_EQ(zeltnvmItemVersionReadRange(c.type, c.attr, c.data_length, c.selector, &offset, &length), c.rc)
            << c.what;
        if (c.rc == 0) {
            EXPECT_EQ(offset, c.offset) << c.what;
            EXPECT_EQ(length, c.length) << c.what;
        }
    }
}

}  // namespace
