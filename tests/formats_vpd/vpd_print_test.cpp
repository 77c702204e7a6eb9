// The VPD report at each verbosity, and the hex dump it uses.
#include <gtest/gtest.h>

#include "formats/vpd/vpd.h"
#include "tests/formats_vpd/vpd_image_builder.h"

using namespace zelt;

using zelt::test::ExactBuffer;
using zelt::test::VpdImageBuilder;

namespace {

std::string sp(size_t n) { return std::string(n, ' '); }

// Checksum byte 0x4D.
std::vector<uint8_t> sample() {
    return VpdImageBuilder()
        .id("Card X")
        .read_only({{"PN", "HX-2540"}, {"SN", "ZL01"}}, 2)
        .read_write({{"V1", "ab"}})
        .end()
        .build();
}

struct PrintCase {
    const char* what;
    std::vector<uint8_t> bytes;
    int verbosity;
    std::string text;
};

TEST(VpdPrint, Report) {
    const PrintCase cases[] = {
        {"verbosity 0 hides tags, sizes and terminators", sample(), 0,
         "VPD Resource Tag ID \"Card X\"\n"
         "VPD Resource Tag VPD-R \n"
         "    PN: \"HX-2540\"\n"
         "    SN: \"ZL01\"\n"
         "VPD Resource Tag VPD-W \n"
         "    V1: \"ab\"\n"
         "VPD Resource Tag END \n"},
        {"verbosity 1 adds tag bytes, sizes and terminators", sample(), 1,
         "VPD Resource Tag (82) ID \"Card X\"\n"
         "VPD Resource Tag (90) VPD-R (22 bytes)\n"
         "    PN: \"HX-2540\"\n"
         "    SN: \"ZL01\"\n"
         "    RV: 4D  00\n"
         "VPD Resource Tag (91) VPD-W (8 bytes)\n"
         "    V1: \"ab\"\n"
         "    RW: \"\"\n"
         "VPD Resource Tag (78) END \n"},
        {"verbosity 2 dumps every field", sample(), 2,
         "VPD Resource Tag (82) ID \"Card X\"\n"
         "VPD Resource Tag (90) VPD-R (22 bytes)\n"
         "    VPD-R Field 1  'PN' (7   bytes): \n"
         "00000: 48 58 2D 32 35 34 30 " + sp(29) + "  : HX-2540\n"
         "    VPD-R Field 2  'SN' (4   bytes): \n"
         "00000: 5A 4C 30 31 " + sp(38) + "  : ZL01\n"
         "    VPD-R Field 3  'RV' (2   bytes): \n"
         "00000: 4D 00 " + sp(44) + "  : M.\n"
         "VPD Resource Tag (91) VPD-W (8 bytes)\n"
         "    VPD-W Field 1  'V1' (2   bytes): \n"
         "00000: 61 62 " + sp(44) + "  : ab\n"
         "    VPD-W Field 2  'RW' (0   bytes): \n"
         "VPD Resource Tag (78) END \n"},
        {"identifier with a control byte prints as hex", {0x82, 3, 0, 'A', 0x01, 'B', 0x78}, 0,
         "VPD Resource Tag ID 41  01  42\n"
         "VPD Resource Tag END \n"},
        {"unknown resource", {0x1A, 0xDE, 0xAD, 0x78}, 1,
         "VPD Resource Tag (1A) ??? Unknown: 0x03\n"
         "VPD Resource Tag (78) END \n"},
        {"unknown resource dumped at verbosity 2", {0x1A, 0xDE, 0xAD, 0x78}, 2,
         "VPD Resource Tag (1A) ??? Unknown: 0x03\n"
         "00000: DE AD " + sp(44) + "  : ..\n"
         "VPD Resource Tag (78) END \n"},
        {"field running past its resource", {0x91, 5, 0, 'V', '1', 9, 'a', 'b', 0x78}, 0,
         "VPD Resource Tag VPD-W \n"
         "    V1: Invalid length (9)\n"
         "VPD Resource Tag END \n"},
        {"field running past its resource at verbosity 2", {0x91, 5, 0, 'V', '1', 9, 'a', 'b', 0x78}, 2,
         "VPD Resource Tag (91) VPD-W (5 bytes)\n"
         "    VPD-W Field 1  'V1' (9   bytes): Invalid length (9)\n"
         "VPD Resource Tag (78) END \n"},
        {"resource running past the buffer ends the report", {0x90, 0x30, 0x00, 'P', 'N'}, 0,
         "VPD Resource Tag VPD-R Invalid length (48)\n"},
        {"no End tag: the buffer end stops the report", {0x82, 1, 0, 'A'}, 0, "VPD Resource Tag ID \"A\"\n"},
        {"nothing after the End tag is printed", {0x78, 0x82, 1, 0, 'A'}, 0, "VPD Resource Tag END \n"},
    };
    for (const PrintCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.bytes);
        std::string out;
        vpd_print(buf.data(), buf.size(), c.verbosity, out);
        EXPECT_EQ(out, c.text);
    }
}

TEST(VpdPrint, FieldCountFollowsVerbosity) {
    const std::vector<uint8_t> bytes = sample();
    const uint8_t* ro = nullptr;
    const int32_t len = vpd_get_resource(bytes.data(), bytes.size(), VPD_RESOURCE_TAG_READ_ONLY, &ro);
    std::string out;
    EXPECT_EQ(vpd_print_fields(ro, len, VPD_RESOURCE_TAG_READ_ONLY, 0, out), 2);
    EXPECT_EQ(vpd_print_fields(ro, len, VPD_RESOURCE_TAG_READ_ONLY, 1, out), 3);
}

TEST(VpdPrint, HexDumpLinesUpItsCharacterColumn) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        std::string text;
    } cases[] = {
        {"empty", {}, ""},
        {"one full line and a partial one",
         {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F', 0x00, 0x7F, 0x20, 0x7E},
         "00000: 30 31 32 33 34 35 36 37 - 38 39 41 42 43 44 45 46   : 0123456789ABCDEF\n"
         "00010: 00 7F 20 7E " + sp(38) + "  : .. ~\n"},
        {"exactly eight bytes", {1, 2, 3, 4, 5, 6, 7, 8},
         "00000: 01 02 03 04 05 06 07 08 - " + sp(24) + "  : ........\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer buf(c.bytes);
        std::string out;
        vpd_hex_dump(buf.data(), buf.size(), out);
        EXPECT_EQ(out, c.text);
    }
}

}  // namespace
