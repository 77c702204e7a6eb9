#include "package/item_check.h"

#include "common/hvxretval.h"
#include "formats/image/firmware_image.h"
#include "formats/image/item_version.h"
#include "formats/image/trailer.h"
#include "formats/image/verify_item.h"

namespace zelt::pkg {

int32_t verify_item_in_package(const void* pkg, size_t length, const zelnvm_directory_entry_t& entry) {
    return zeltnvmVerifyItemAtOffset(static_cast<const uint8_t*>(pkg), length, entry.item_location, entry);
}

crypto::RangeDigest item_digests_wanted(const zelnvm_directory_entry_t& entry) {
    return item_digest_range(entry.item_location, entry);
}

int32_t verify_item_in_package(const void* pkg, size_t length, const zelnvm_directory_entry_t& entry,
                               const crypto::RangeDigest& digests) {
    return zeltnvmVerifyItemAtOffset(static_cast<const uint8_t*>(pkg), length, entry.item_location, entry, digests);
}

bool has_component_trailer(const void* data, size_t length) {
    return data != nullptr &&
           zeltnvmComponentTrailerParse(static_cast<const uint8_t*>(data), length, nullptr) == HVXRETVAL_SUCCESS;
}

int32_t verify_component_trailer(const void* data, size_t length) {
    return zeltnvmComponentTrailerVerify(static_cast<const uint8_t*>(data), length);
}

int32_t verify_signed_firmware(const void* data, size_t length) {
    return zeltnvmVerifyFirmware(static_cast<const uint8_t*>(data), length);
}

int32_t item_version_text(unsigned type, const uint8_t* data, size_t length, int selector, uint16_t attr,
                          std::string& text) {
    char buf[256];
    const int32_t rc = zeltnvmGetItemBufVersionString(type, data, length, selector, buf, sizeof(buf), attr);
    text = rc == HVXRETVAL_SUCCESS ? buf : "";
    return rc;
}

int32_t firmware_header_report(const uint8_t* data, size_t length, std::string& out) {
    return zeltnvmViewApeBinHdr(data, length, &out);
}

namespace {

std::string flag_names(uint16_t bits, const char* const* names, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        if (bits & (1u << i)) text += names[i];
    return text;
}

}  // namespace

std::string extension_flag_names(uint16_t ext) {
    static const char* const kNames[] = {"Inactive ", "Update "};
    return flag_names(ext, kNames, 2);
}

std::string attribute_flag_names(uint16_t attr) {
    static const char* const kNames[] = {"No-Chksum ", "Prop-Stream ", "IPv4 ", "IPv6 ", "Trailer "};
    return flag_names(attr, kNames, 5);
}

}  // namespace zelt::pkg
