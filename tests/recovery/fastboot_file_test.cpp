// The header of a multi-image recovery file and the words an image is loaded as.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/fastboot/fastboot_file.h"
#include "wire/fastboot_registers.h"

namespace fb = zelt::formats::fastboot;
namespace wf = zelt::wire::fastboot;

namespace {

// A file with a header announcing `count` images (revision `revision`) followed by
// `body` bytes; image i covers `length` bytes at offset `offset`.
struct ImageSpec {
    uint32_t flags, offset, length, sram;
};
std::vector<uint8_t> make_file(uint32_t count, uint32_t revision, const std::vector<ImageSpec>& images,
                               size_t body, const char* signature = "CFB") {
    std::vector<uint8_t> file(fb::kHeaderSize + body, 0xA5);
    wf::fastboot_header h{};
    std::memcpy(h.signature, signature, 3);
    h.num_images_rev = revision << 16 | count;
    for (size_t i = 0; i < images.size() && i < 4; ++i) {
        h.images[i].name[0] = static_cast<char>('A' + i);
        h.images[i].flags = images[i].flags;
        h.images[i].file_offset = images[i].offset;
        h.images[i].length = images[i].length;
        h.images[i].sram_address = images[i].sram;
    }
    h.cookie_addr = 0xA0500000u;
    std::memcpy(file.data(), &h, sizeof h);
    return file;
}

TEST(FastbootHeader, ChecksSignatureCountAndImageBounds) {
    const ImageSpec inside{0, 100, 16, 0xA0100000u};
    struct Case {
        const char* what;
        std::vector<uint8_t> file;
        fb::HeaderStatus status;
    } cases[] = {
        {"one image", make_file(1, 0, {inside}, 16), fb::HeaderStatus::kOk},
        {"four images", make_file(4, 0, {inside, inside, inside, inside}, 16), fb::HeaderStatus::kOk},
        {"shorter than the header", std::vector<uint8_t>(99, 0), fb::HeaderStatus::kShort},
        {"other signature", make_file(1, 0, {inside}, 16, "CFX"), fb::HeaderStatus::kSignature},
        {"no image", make_file(0, 0, {}, 16), fb::HeaderStatus::kImageCount},
        {"five images", make_file(5, 0, {inside, inside, inside, inside}, 16), fb::HeaderStatus::kImageCount},
        {"image past the end", make_file(1, 0, {{0, 100, 17, 0}}, 16), fb::HeaderStatus::kImageOutside},
        {"offset and length wrap around", make_file(1, 0, {{0, 0xFFFFFFF0u, 0x20, 0}}, 16),
         fb::HeaderStatus::kImageOutside},
        {"second image outside", make_file(2, 0, {inside, {0, 200, 1, 0}}, 16), fb::HeaderStatus::kImageOutside},
    };
    for (const Case& c : cases) {
        const fb::HeaderRead read = fb::read_header(c.file);
        EXPECT_EQ(read.status, c.status) << c.what;
        if (c.status != fb::HeaderStatus::kOk) {
            EXPECT_TRUE(read.header.images.empty()) << c.what;
        }
    }
}

TEST(FastbootHeader, ReadsImagesSbiAndCookieAddress) {
    const auto file = make_file(2, 2, {{0, 100, 8, 0xA0100000u}, {wf::kImageFlagSbi, 108, 4, 0xA0200000u}}, 12);
    const fb::HeaderRead read = fb::read_header(file);
    ASSERT_EQ(read.status, fb::HeaderStatus::kOk);
    ASSERT_EQ(read.header.images.size(), 2u);
    EXPECT_EQ(read.header.images[0].name, "A");
    ASSERT_NE(read.header.sbi(), nullptr);
    EXPECT_EQ(read.header.sbi()->sram_address, 0xA0200000u);
    EXPECT_EQ(read.header.cookie_host_address(), 0xA0500000u - 0x80000000u);

    // Older headers have the cookie at a fixed place whatever the field says.
    const fb::HeaderRead old = fb::read_header(make_file(1, 1, {{0, 100, 8, 0}}, 8));
    ASSERT_EQ(old.status, fb::HeaderStatus::kOk);
    EXPECT_EQ(old.header.cookie_host_address(), wf::kCookieAddressOldHeader);
    EXPECT_EQ(old.header.sbi(), nullptr);
}

// A length that is not a multiple of 4 keeps every byte and pads the last word with zeros.
TEST(FastbootImage, WordsPadTheLastPartialWordWithZeros) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::vector<uint32_t> words;
    } cases[] = {
        {{}, {}},
        {{1, 2, 3, 4}, {0x04030201u}},
        {{1, 2, 3, 4, 5}, {0x04030201u, 0x00000005u}},
        {{0xFF, 0xFE, 0xFD}, {0x00FDFEFFu}},
    };
    for (const Case& c : cases) EXPECT_EQ(fb::image_words(c.bytes), c.words) << c.bytes.size() << " bytes";
}

}  // namespace
