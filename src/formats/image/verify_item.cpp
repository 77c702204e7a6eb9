#include "formats/image/verify_item.h"

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "formats/crypto/crc32.h"
#include "formats/image/byte_view.h"
#include "formats/image/firmware_image.h"
#include "formats/image/image_records.h"
#include "formats/image/trailer.h"
#include "formats/vpd/vpd.h"

namespace zelt {

using namespace zelt::image;

uint16_t zeltnvmAutodetectDirectoryTypeAtOffset(const uint8_t* buffer, size_t offset, size_t length) {
    if (buffer == nullptr) return ZEL_DIR_TYPE_UNUSED;
    const Bytes image(buffer + offset, length);
    apebinHeader hdr;
    if (length > sizeof hdr && load_firmware_header(image, &hdr) && hdr.signature == APEBIN_SIGNATURE &&
        hdr.device == DEVICE_BASIL_FAMILY) {
        return zeltnvmCodeTypeToDirType(hdr.codeType);
    }
    zelnvm_component_trailer_t trailer;
    if (zeltnvmComponentTrailerParse(image.data(), length, &trailer) == 0) return trailer.base.dir_type;
    return ZEL_DIR_TYPE_UNUSED;
}

uint16_t zeltnvmAutodetectDirectoryType(const uint8_t* image, size_t length) {
    return zeltnvmAutodetectDirectoryTypeAtOffset(image, 0, length);
}

int zeltnvmCheckDirectoryType(unsigned claimed_type, unsigned inferred_type) {
    if (inferred_type == ZEL_DIR_TYPE_UNUSED || claimed_type == inferred_type) return HVXRETVAL_SUCCESS;
    if (inferred_type == ZEL_DIR_TYPE_BOOTCODE && claimed_type == ZEL_DIR_TYPE_BOOTCODE_2) return HVXRETVAL_SUCCESS;
    return HVXRETVAL_INVALID_TYPE_PARAMETER;
}

namespace {

bool skips_data_checksum(const zelnvm_directory_entry_t& entry) {
    switch (entry.type) {
        case ZEL_DIR_TYPE_SRT:
        case ZEL_DIR_TYPE_CRT:
        case ZEL_DIR_TYPE_SRT_LIVEPATCH:
        case ZEL_DIR_TYPE_CRT_LIVEPATCH:
            return true;
        default:
            return (entry.attr & ZEL_DIR_ATTR_NO_CHKSUM) != 0;
    }
}

int check_type(Bytes image, unsigned claimed) {
    return zeltnvmCheckDirectoryType(claimed, zeltnvmAutodetectDirectoryType(image.data(), image.size()));
}

int verify_secure_boot_header(Bytes image, size_t at) {
    if (!range_inside(image.size(), at, sizeof(AuthenticatedBootImageHeader_t))) return HVXRETVAL_INVALID_DATA_LENGTH;
    return zeltnvmVerifySBIHeader(image.data() + at);
}

}  // namespace

namespace {

// The item check; the data checksum and a firmware image's checksum and signed digest
// come from `digests` when the caller computed them.
int verify_item(const uint8_t* buffer, size_t buffer_length, size_t offset, const zelnvm_directory_entry_t& entry,
                const crypto::RangeDigest* digests) {
    if (buffer == nullptr || !range_inside(buffer_length, offset, entry.data_length)) {
        return HVXRETVAL_INVALID_DATA_LENGTH;
    }
    const Bytes image(buffer + offset, entry.data_length);

    if (!skips_data_checksum(entry)) {
        const uint32_t crc = digests != nullptr ? digests->crc : file_crc32(image.data(), image.size());
        if (crc != entry.data_chksum) return HVXRETVAL_INVALID_CHECKSUM;
    }

    const unsigned type = entry.type;
    if (type == ZEL_DIR_TYPE_UNUSED) return HVXRETVAL_SUCCESS;
    if (zelt::is_signed_firmware_type(type)) {
        const int rc = digests != nullptr && digests->want_sha
                           ? zeltnvmVerifyFirmwareDigested(image.data(), image.size(), digests->crc_to_mark,
                                                           digests->sha)
                           : zeltnvmVerifyFirmware(image.data(), image.size());
        return rc != 0 ? rc : check_type(image, type);
    }
    if (zelt::is_trailer_type(type)) {
        if ((entry.attr & ZEL_DIR_ATTR_TRAILER) == 0) return HVXRETVAL_TRAILER_NOT_FOUND;
        const int rc = zeltnvmComponentTrailerVerify(image.data(), image.size());
        return rc != 0 ? rc : check_type(image, type);
    }
    switch (type) {
        case ZEL_DIR_TYPE_SBI: return verify_secure_boot_header(image, SBI_HEADER_OFFSET_IN_SBI);
        case ZEL_DIR_TYPE_SRT:
        case ZEL_DIR_TYPE_CRT: return verify_secure_boot_header(image, 0);
        case ZEL_DIR_TYPE_VPD:
            // A 4-byte format revision, then the VPD resource list.
            if (image.size() <= 4) return HVXRETVAL_INVALID_DATA_LENGTH;
            return vpd_verify_image(image.data(), image.size());
        default: return HVXRETVAL_SUCCESS;
    }
}

}  // namespace

int zeltnvmVerifyItemAtOffset(const uint8_t* buffer, size_t buffer_length, size_t offset,
                              const zelnvm_directory_entry_t& entry) {
    return verify_item(buffer, buffer_length, offset, entry, nullptr);
}

crypto::RangeDigest item_digest_range(uint64_t offset, const zelnvm_directory_entry_t& entry) {
    crypto::RangeDigest r;
    r.begin = offset;
    r.end = offset + entry.data_length;
    // A firmware image ends in its signature and its own checksum: the checksum covers
    // all but its last 4 bytes, the signature all but the last 260.
    const bool firmware = zelt::is_signed_firmware_type(entry.type) && entry.data_length >= FW_IMAGE_MIN_SIGNED_LENGTH;
    r.crc_mark = firmware ? r.end - FW_IMAGE_CRC_SIZE : r.end;
    r.want_sha = firmware;
    r.sha_end = firmware ? r.end - FW_IMAGE_TAIL_SIZE : r.begin;
    return r;
}

int zeltnvmVerifyItemAtOffset(const uint8_t* buffer, size_t buffer_length, size_t offset,
                              const zelnvm_directory_entry_t& entry, const crypto::RangeDigest& digests) {
    // Digests of another range than this item's are never used.
    const crypto::RangeDigest expected = item_digest_range(offset, entry);
    if (digests.begin != expected.begin || digests.end != expected.end || digests.crc_mark != expected.crc_mark ||
        digests.want_sha != expected.want_sha || digests.sha_end != expected.sha_end)
        return verify_item(buffer, buffer_length, offset, entry, nullptr);
    return verify_item(buffer, buffer_length, offset, entry, &digests);
}

int zeltnvmVerifyItem(const uint8_t* image, size_t available, const zelnvm_directory_entry_t& entry) {
    return zeltnvmVerifyItemAtOffset(image, available, 0, entry);
}

}  // namespace zelt
