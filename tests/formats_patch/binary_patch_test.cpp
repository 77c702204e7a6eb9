// Binary patch lines applied to images, and the diff that writes them.
#include <gtest/gtest.h>

#include <random>

#include "formats/patch/patch.h"
#include "tests/formats_vpd/vpd_image_builder.h"

using namespace zelt;

using zelt::test::ExactBuffer;

namespace {

struct PatchCase {
    const char* what;
    size_t capacity;
    size_t data_len;
    std::string text;
    int32_t rc;
    std::vector<std::pair<size_t, uint8_t>> changed;  // bytes that differ from the initial 0x00 fill
};

TEST(BinaryPatch, Lines) {
    const PatchCase cases[] = {
        {"bit at the last byte of the buffer is refused past it", 16, 4, "Bit 3 at 10 = 1", HVXRETVAL_INVALID_OFFSET_PARAMETER, {}},
        {"bit at the last byte raises the data length", 17, 4, "Bit 3 at 10 = 1", 17, {{0x10, 0x08}}},
        {"16-bit value little-endian", 8, 4, "16 bits at 4 = 0x1234", 6, {{4, 0x34}, {5, 0x12}}},
        {"data length never shrinks", 8, 8, "8 bits at 0 = 7", 8, {{0, 7}}},
        {"width write may end at the last byte", 8, 4, "32 bits at 4 = -1", 8,
         {{4, 0xFF}, {5, 0xFF}, {6, 0xFF}, {7, 0xFF}}},
        {"width write past the buffer", 8, 4, "32 bits at 5 = 1", HVXRETVAL_INVALID_OFFSET_PARAMETER, {}},
        {"offset beyond 32 bits is not cut to 32", 8, 4, "8 bits at 100000000 = 1", HVXRETVAL_INVALID_OFFSET_PARAMETER,
         {}},
        {"width of 12 bits", 8, 4, "12 bits at 0 = 1", HVXRETVAL_INVALID_BIT_PARAMETER, {}},
        {"width of 24 bits", 8, 4, "24 bits at 0 = 1", HVXRETVAL_INVALID_BIT_PARAMETER, {}},
        {"bit 8", 8, 4, "Bit 8 at 0 = 1", HVXRETVAL_INVALID_BIT_PARAMETER, {}},
        {"bit value 2", 8, 4, "Bit 1 at 0 = 2", HVXRETVAL_INVALID_PARAMETER_VALUE, {}},
        {"value wider than 64 bits", 8, 4, "8 bits at 0 = 0x1FFFFFFFFFFFFFFFF", HVXRETVAL_INVALID_PARAMETER_VALUE,
         {}},
        {"octal and negative values", 8, 0, "8 bits at 0 = 017\n16 bits at 1 = -2", 3,
         {{0, 0x0F}, {1, 0xFE}, {2, 0xFF}}},
        {"64-bit value with the top bit set", 8, 0, "64 bits at 0 = 0xFEDCBA9876543210", 8,
         {{0, 0x10}, {1, 0x32}, {2, 0x54}, {3, 0x76}, {4, 0x98}, {5, 0xBA}, {6, 0xDC}, {7, 0xFE}}},
        {"lines in the diff's own form, comment after a tab", 8, 2, "8bits at 002 = 0x7f\t; was 0x00\nBit3 at 001 = 1\n",
         3, {{1, 0x08}, {2, 0x7F}}},
        {"comment lines are ignored", 8, 2, "# 8 bits at 0 = 1\n; Bit 1 at 0 = 1\nchange the serial", 2, {}},
        {"lines before a failure stay applied", 8, 2, "8 bits at 0 = 0xAA\nBit 9 at 0 = 1\n8 bits at 1 = 0xBB",
         HVXRETVAL_INVALID_BIT_PARAMETER, {{0, 0xAA}}},
        {"text ends at a zero byte", 8, 2, std::string("8 bits at 0 = 1\n") + '\0' + "8 bits at 1 = 1", 2, {{0, 1}}},
        {"only the first 511 characters of a line count", 8, 2, std::string(511, '#') + "8 bits at 0 = 1", 2, {}},
        {"data length above the capacity", 4, 5, "8 bits at 0 = 1", HVXRETVAL_INVALID_DATA_LENGTH, {}},
    };
    for (const PatchCase& c : cases) {
        SCOPED_TRACE(c.what);
        ExactBuffer image(std::vector<uint8_t>(c.capacity, 0));
        EXPECT_EQ(zeltnvmPatch(image.data(), image.size(), c.data_len, c.text.data(), c.text.size()), c.rc);
        std::vector<uint8_t> expected(c.capacity, 0);
        for (auto [offset, value] : c.changed) expected[offset] = value;
        EXPECT_EQ(image.bytes(), expected);
    }
}

TEST(BinaryPatch, ClearsBits) {
    ExactBuffer image({0xFF, 0xFF});
    const std::string text = "Bit 0 at 1 = 0\nBit 7 at 1 = 0";
    EXPECT_EQ(zeltnvmPatch(image.data(), image.size(), 2, text.data(), text.size()), 2);
    EXPECT_EQ(image.bytes(), (std::vector<uint8_t>{0xFF, 0x7E}));
}

struct DiffCase {
    unsigned unit;
    int32_t lines;
    std::string text;
};

TEST(Diff, LinesPerUnitSize) {
    const std::vector<uint8_t> original = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    const std::vector<uint8_t> modified = {0x00, 0x11, 0x2A, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    const DiffCase cases[] = {
        {1, 1, "Bit3 at 002 = 1\n"},
        {8, 2, "8bits at 002 = 0x2a\t; orig 0x22\n8bits at 008 = 0x88\n"},
        {16, 2, "16bits at 002 = 0x332a\t; orig 0x3322\n8bits at 008 = 0x88\n"},
        {32, 2, "32bits at 000 = 0x332a1100\t; orig 0x33221100\n8bits at 008 = 0x88\n"},
        {64, 2, "64bits at 000 = 0x77665544332a1100\t; orig 0x7766554433221100\n8bits at 008 = 0x88\n"},
    };
    ExactBuffer a(original), b(modified);
    for (const DiffCase& c : cases) {
        SCOPED_TRACE(c.unit);
        std::string out;
        EXPECT_EQ(zeltnvmDiff(out, c.unit, a.data(), a.size(), b.data(), b.size(), "orig"), c.lines);
        EXPECT_EQ(out, c.text);
    }
}

TEST(Diff, RefusesOtherUnitsAndWritesNothingForEqualImages) {
    const std::vector<uint8_t> image = {1, 2, 3, 4};
    std::string out = "kept";
    EXPECT_EQ(zeltnvmDiff(out, 4, image.data(), image.size(), image.data(), image.size(), "x"),
              HVXRETVAL_INVALID_PARAMETER_VALUE);
    for (unsigned unit : {0u, 2u, 4u, 7u, 12u, 24u, 128u}) EXPECT_FALSE(zeltnvmValidDiffSize(unit)) << unit;
    for (unsigned unit : {1u, 8u, 16u, 32u, 64u}) {
        EXPECT_TRUE(zeltnvmValidDiffSize(unit)) << unit;
        EXPECT_EQ(zeltnvmDiff(out, unit, image.data(), image.size(), image.data(), image.size(), "x"), 0);
    }
    EXPECT_EQ(out, "kept");
}

TEST(Diff, PatchOfTheDiffRebuildsTheModifiedImage) {
    std::mt19937 rng(20240611);
    for (unsigned unit : {1u, 8u, 16u, 32u, 64u}) {
        for (size_t original_len : {0u, 1u, 7u, 64u, 301u}) {
            for (size_t modified_len : {original_len, original_len + 5, original_len + 13}) {
                if (unit == 1 && modified_len != original_len) continue;  // bits cannot add bytes
                SCOPED_TRACE(testing::Message() << "unit " << unit << " lengths " << original_len << "/"
                                                << modified_len);
                std::vector<uint8_t> original(original_len), modified(modified_len);
                for (auto& b : original) b = static_cast<uint8_t>(rng());
                for (size_t i = 0; i < modified_len; ++i)
                    modified[i] = i < original_len && rng() % 4 != 0 ? original[i] : static_cast<uint8_t>(rng());
                std::string text;
                ASSERT_GE(zeltnvmDiff(text, unit, original.data(), original.size(), modified.data(),
                                      modified.size(), "before"),
                          0);
                std::vector<uint8_t> start = original;
                start.resize(modified_len, 0);
                ExactBuffer image(start);
                EXPECT_EQ(zeltnvmPatch(image.data(), image.size(), original_len, text.data(), text.size()),
                          static_cast<int32_t>(modified_len));
                EXPECT_EQ(image.bytes(), modified);
            }
        }
    }
}

}  // namespace
