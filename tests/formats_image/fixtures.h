// Image fixtures for the image tests: the test signing key and small images built in
// code.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/crypto/crc32.h"
#include "formats/image/image_builder.h"
#include "tests/support/run_program.h"

namespace zelt::test {

inline const std::vector<uint8_t>& signing_key() {
    static const std::vector<uint8_t> key = [] {
        const std::string text =
            read_text_file(std::string(ZELT_SOURCE_DIR) + "/tests/fixtures/keys/zelt_test_signing_key.pem");
        return std::vector<uint8_t>(text.begin(), text.end());
    }();
    return key;
}

inline std::vector<uint8_t> pattern(size_t n, uint8_t seed = 1) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

template <typename T>
void put(std::vector<uint8_t>* image, size_t offset, T value) {
    std::memcpy(image->data() + offset, &value, sizeof value);
}

// Rewrites the CRC-32 kept in the last 4 bytes after a change to the image.
inline void refresh_tail_crc(std::vector<uint8_t>* image) {
    put<uint32_t>(image, image->size() - 4, file_crc32(image->data(), image->size() - 4));
}

inline std::vector<uint8_t> signed_firmware(const image::FirmwareImageSpec& plan) {
    std::vector<uint8_t> out;
    if (image::build_firmware_image(plan, signing_key(), &out) != 0) out.clear();
    return out;
}

// An image body followed by a component trailer (signed with the test key when asked).
inline std::vector<uint8_t> trailer_image(const image::TrailerSpec& plan, size_t body, bool signed_trailer) {
    std::vector<uint8_t> out = pattern(body);
    const std::vector<uint8_t> no_key;
    if (image::append_component_trailer(&out, plan, signed_trailer ? std::span(signing_key()) : std::span(no_key)) != 0) {
        out.clear();
    }
    return out;
}

}  // namespace zelt::test
