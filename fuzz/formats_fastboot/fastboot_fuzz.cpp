// Header and images of arbitrary recovery file bytes: no access outside the buffer, an
// accepted header's images all lie inside the file, and an image's words hold exactly
// its bytes with zero padding.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/fastboot/fastboot_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace fb = zelt::formats::fastboot;
    const std::span<const uint8_t> file(data, size);
    const fb::HeaderRead read = fb::read_header(file);
    if (read.status != fb::HeaderStatus::kOk) return 0;
    if (read.header.images.empty() || read.header.images.size() > 4) __builtin_trap();
    for (const fb::Image& image : read.header.images) {
        const std::span<const uint8_t> bytes = fb::image_bytes(file, image);
        if (bytes.size() != image.length) __builtin_trap();
        const auto words = fb::image_words(bytes);
        if (words.size() != (bytes.size() + 3) / 4) __builtin_trap();
        for (size_t i = 0; i < words.size() * 4; ++i) {
            const uint8_t byte = static_cast<uint8_t>(words[i / 4] >> (8 * (i % 4)));
            if (byte != (i < bytes.size() ? bytes[i] : 0)) __builtin_trap();
        }
    }
    return 0;
}
