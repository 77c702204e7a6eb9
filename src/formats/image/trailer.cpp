#include "formats/image/trailer.h"

#include <cstring>

#include "common/hvxretval.h"
#include "formats/crypto/crc32.h"
#include "formats/crypto/rsa.h"
#include "formats/image/byte_view.h"

namespace zelt {

using zelt::image::Bytes;
using zelt::image::load_record;

namespace {

// The base is always the image's last 32 bytes; false for a shorter image.
bool load_base(Bytes image, zelnvm_component_trailer_base_t* base) {
    if (image.size() < ZELNVM_TRAILER_BASE_SIZE) return false;
    return load_record(image, image.size() - ZELNVM_TRAILER_BASE_SIZE, base);
}

bool trailer_length_fits(const zelnvm_component_trailer_base_t& base, size_t image_length) {
    return base.trailer_length >= ZELNVM_TRAILER_BASE_SIZE && base.trailer_length <= image_length;
}

}  // namespace

int zeltnvmComponentTrailerParseAtOffset(const uint8_t* buffer, size_t offset, size_t length,
                                         zelnvm_component_trailer_t* trailer) {
    if (buffer == nullptr) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    const Bytes image(buffer + offset, length);
    zelnvm_component_trailer_base_t base;
    if (!load_base(image, &base)) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (base.sig != ZELNVM_TRAILER_SIGNATURE) return HVXRETVAL_INVALID_SIGNATURE;
    if (!trailer_length_fits(base, length)) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (trailer == nullptr) return HVXRETVAL_SUCCESS;

    std::memset(static_cast<void*>(trailer), 0, sizeof *trailer);
    trailer->base = base;
    if (base.trailer_length >= ZELNVM_TRAILER_SIGNED_SIZE) {
        // trailer_length <= length, so the signature lies inside the image.
        std::memcpy(trailer->rsa_sig, image.data() + length - ZELNVM_TRAILER_SIGNED_SIZE, sizeof trailer->rsa_sig);
    }
    return HVXRETVAL_SUCCESS;
}

int zeltnvmComponentTrailerParse(const uint8_t* image, size_t length, zelnvm_component_trailer_t* trailer) {
    return zeltnvmComponentTrailerParseAtOffset(image, 0, length, trailer);
}

int zeltnvmComponentTrailerVerifyAtOffset(const uint8_t* buffer, size_t offset, size_t length) {
    if (buffer == nullptr) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    const Bytes image(buffer + offset, length);
    zelnvm_component_trailer_base_t base;
    if (!load_base(image, &base) || !trailer_length_fits(base, length)) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (base.sig != ZELNVM_TRAILER_SIGNATURE) return HVXRETVAL_INVALID_SIGNATURE;
    if (file_crc32(image.data(), length - 4) != base.chksum) return HVXRETVAL_INVALID_ITEM_CHECKSUM;
    if (base.trailer_length < ZELNVM_TRAILER_SIGNED_SIZE) return HVXRETVAL_INVALID_TRAILER;
    const size_t signed_length = length - ZELNVM_TRAILER_SIGNED_SIZE;
    return zeltnvmVerifyRSAsignatureAtOffset(image.data(), 0, signed_length, image.data() + signed_length);
}

int zeltnvmComponentTrailerVerify(const uint8_t* image, size_t length) {
    return zeltnvmComponentTrailerVerifyAtOffset(image, 0, length);
}

}  // namespace zelt
