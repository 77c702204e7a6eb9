// Builds item images in the layouts the readers expect: signed firmware images,
// component trailers, secure-boot headers. Used by the package builder, the simulated
// adapters' factory content and tests, so that image fixtures are made by code.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/image/image_records.h"

namespace zelt::image {

struct FirmwareImageSpec {
    uint8_t code_type = CODE_BOOT;
    uint8_t device = DEVICE_BASIL_FAMILY;
    uint8_t media = 0;
    // Header version numbers and text (text up to 16 bytes, or 12 with an extended header).
    uint8_t major = 0, minor = 0, revision = 0, build = 0;
    std::string version_text;
    // An extended header placed right after the header, with these numbers and text.
    bool extended_header = false;
    uint16_t ext_major = 0, ext_minor = 0, ext_build = 0, ext_patch = 0;
    std::string ext_version_text;  // up to 32 bytes
    std::vector<uint8_t> body;
};

// Header (and extended header) followed by the body, without signature and CRC.
std::vector<uint8_t> firmware_image_unsealed(const FirmwareImageSpec& plan);

// Appends the RSA signature over all of `image` and the CRC-32 over everything before
// the CRC. 0, or the signer's failure.
int seal_firmware_image(std::vector<uint8_t>* image, std::span<const uint8_t> private_key);

// firmware_image_unsealed + seal_firmware_image.
int build_firmware_image(const FirmwareImageSpec& plan, std::span<const uint8_t> private_key,
                         std::vector<uint8_t>* image);

struct TrailerSpec {
    uint16_t dir_type = 0;
    uint8_t version_format = ZEL_VERSION_FMT_ASCII;
    std::vector<uint8_t> version;  // at most 16 bytes
    uint16_t flags = 0;
};

// Raw DEC version bytes of up to eight numbers.
std::vector<uint8_t> dec_version(std::initializer_list<uint16_t> numbers);

// Appends a component trailer to `image`: 288 bytes with the RSA signature over the
// image when `private_key` is given, else the 32-byte base alone. 0; the signer's
// failure; HVXRETVAL_INVALID_DATA_LENGTH (-28) for a version longer than 16 bytes.
int append_component_trailer(std::vector<uint8_t>* image, const TrailerSpec& plan,
                             std::span<const uint8_t> private_key);

// A 64-byte secure-boot image header with its Tag, MagicNumber and FwVersion set.
std::vector<uint8_t> secure_boot_header(uint32_t fw_version);

}  // namespace zelt::image
