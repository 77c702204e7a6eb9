// Reading a recovery image file: the header of a multi-image ("CFB") file and the
// 32-bit words an image is loaded into chip memory as. Pure functions over bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zelt::formats::fastboot {

// Bytes of the header at the start of a multi-image file.
inline constexpr size_t kHeaderSize = 100;

// One image of a multi-image file.
struct Image {
    std::string name;  // up to 4 characters, trailing zero bytes dropped
    uint32_t flags = 0;
    uint32_t file_offset = 0;
    uint32_t length = 0;
    uint32_t sram_address = 0;
    bool is_sbi() const;
};

struct Header {
    unsigned revision = 0;
    std::vector<Image> images;  // 1..4, in header order
    uint32_t cookie_addr = 0;
    // Where the host writes the firmware cookie: a fixed address for header revisions
    // below 2, else the header's cookie address as the host reaches SRAM.
    uint32_t cookie_host_address() const;
    // The first image flagged as the SBI, or nullptr.
    const Image* sbi() const;
};

enum class HeaderStatus {
    kOk,
    kShort,          // fewer than kHeaderSize bytes
    kSignature,      // does not begin with "CFB"
    kImageCount,     // the header announces no image or more than four
    kImageOutside,   // an image's bytes do not lie inside the file
};

struct HeaderRead {
    HeaderStatus status = HeaderStatus::kShort;
    Header header;  // filled when status is kOk; images checked against the file's size
    unsigned announced_images = 0;  // the count the header gives (valid from kImageCount on)
};

// True when `file` begins with the multi-image signature ("CFB" and any fourth byte).
bool has_signature(std::span<const uint8_t> file);

// Reads the header of a multi-image file, given the whole file: checks the signature,
// the image count (1..4) and that each image's offset and length lie inside the file.
HeaderRead read_header(std::span<const uint8_t> file);

// The little-endian 32-bit words of `bytes`, in order. The chip is loaded word by word,
// so a length that is not a multiple of 4 has its last word padded with zero bytes:
// the image's bytes all reach the chip, and the padding is the same on every load.
std::vector<uint32_t> image_words(std::span<const uint8_t> bytes);

// The bytes of `image` within `file`; empty when they do not lie inside it.
std::span<const uint8_t> image_bytes(std::span<const uint8_t> file, const Image& image);

}  // namespace zelt::formats::fastboot
