#include "formats/image/firmware_image.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "formats/crypto/crc32.h"
#include "formats/crypto/rsa.h"

namespace zelt {

namespace image {

bool load_firmware_header(Bytes image, apebinHeader* header) { return load_record(image, 0, header); }

bool load_extended_header(Bytes image, const apebinHeader& header, Ext_Bin_Header* ext) {
    if (!has_extended_header(header)) return false;
    uint32_t offset = 0;
    std::memcpy(&offset, header.ver + (APEBIN_EXT_OFFSET_POS - offsetof(apebinHeader, ver)), sizeof offset);
    return load_record(image, offset, ext);
}

}  // namespace image

using namespace zelt::image;

uint16_t zeltnvmCodeTypeToDirType(uint8_t code_type) {
    switch (code_type) {
        case CODE_BOOT: return ZEL_DIR_TYPE_BOOTCODE;
        case CODE_MCTP_PASSTHRU: return ZEL_DIR_TYPE_APE_FW;
        case CODE_APE_PATCH: return ZEL_DIR_TYPE_APE_PATCH;
        case CODE_KONG_FW: return ZEL_DIR_TYPE_KONG_FW;
        case CODE_KONG_PATCH: return ZEL_DIR_TYPE_KONG_PATCH;
        case CODE_BONO_FW: return ZEL_DIR_TYPE_BONO_FW;
        case CODE_BONO_PATCH: return ZEL_DIR_TYPE_BONO_PATCH;
        case CODE_CHIMP_PATCH: return ZEL_DIR_TYPE_CHIMP_PATCH;
        case CODE_CRASH_DUMP_FW: return ZEL_DIR_TYPE_CRASH_DUMP_FW;
        default: return ZEL_DIR_TYPE_UNUSED;
    }
}

namespace {

__attribute__((format(printf, 2, 3))) void appendf(std::string* out, const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0) out->append(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

std::string text_field(const char* field, size_t size) { return std::string(field, bounded_text_length(field, size)); }

}  // namespace

int zeltnvmViewApeBinHdr(const uint8_t* image, size_t length, std::string* out) {
    std::string local;
    std::string& text = out ? *out : local;
    appendf(&text, "%22s\n", "BIN Header");
    const Bytes bytes(image, image ? length : 0);
    apebinHeader hdr;
    if (!load_firmware_header(bytes, &hdr)) return HVXRETVAL_INVALID_FILE_HEADER;
    if (hdr.signature != APEBIN_SIGNATURE) return HVXRETVAL_INVALID_SIGNATURE;
    appendf(&text, "%22s : %u\n", "Code Type", hdr.codeType);
    appendf(&text, "%22s : %u\n", "Device", hdr.device);
    appendf(&text, "%22s : %u\n", "Media", hdr.media);
    appendf(&text, "%22s : 0x%02x\n", "Flags", hdr.flags);
    if (has_extended_header(hdr)) {
        Ext_Bin_Header ext;
        if (!load_extended_header(bytes, hdr, &ext)) return HVXRETVAL_HEADER_NOT_FOUND;
        const std::string ver = text_field(ext.ver_str, sizeof ext.ver_str);
        if (!ver.empty()) appendf(&text, "%22s : %s\n", "Version Str", ver.c_str());
        appendf(&text, "%22s : %u.%u.%u.%u\n", "Version Num", ext.ver_major, ext.ver_minor, ext.ver_build,
                ext.ver_patch);
    } else {
        const std::string ver = text_field(hdr.ver, sizeof hdr.ver);
        if (!ver.empty()) appendf(&text, "%22s : %s\n", "Version Str", ver.c_str());
        appendf(&text, "%22s : %u.%u.%u.%u\n", "Version Num", hdr.major_ver, hdr.minor_ver, hdr.revision, hdr.build);
    }
    return HVXRETVAL_SUCCESS;
}

namespace {

// The firmware image check; the image CRC and signed digest are computed here when the
// caller did not bring them.
int verify_firmware(const uint8_t* image, size_t length, const uint32_t* image_crc,
                    const uint8_t* signed_digest) {
    if (image == nullptr || length < 32) return HVXRETVAL_INVALID_DATA_LENGTH;
    const Bytes bytes(image, length);
    apebinHeader hdr;
    load_firmware_header(bytes, &hdr);
    if (hdr.signature != APEBIN_SIGNATURE) return HVXRETVAL_INVALID_SIGNATURE;
    if (hdr.device != DEVICE_BASIL_FAMILY) return HVXRETVAL_INVALID_FILE_HEADER;
    uint32_t stored_crc = 0;
    load_record(bytes, length - FW_IMAGE_CRC_SIZE, &stored_crc);
    const uint32_t crc = image_crc != nullptr ? *image_crc : file_crc32(image, length - FW_IMAGE_CRC_SIZE);
    if (crc != stored_crc) return HVXRETVAL_INVALID_CHECKSUM;
    if (length < FW_IMAGE_MIN_SIGNED_LENGTH) return HVXRETVAL_INVALID_DATA_LENGTH;
    const size_t signed_length = length - FW_IMAGE_TAIL_SIZE;
    if (signed_digest == nullptr)
        return zeltnvmVerifyRSAsignatureAtOffset(image, 0, signed_length, image + signed_length);
    return crypto::rsa_verify_sha256_digest(crypto::builtin_public_key(), std::span<const uint8_t, 32>(signed_digest, 32),
                                            std::span<const uint8_t>(image + signed_length, ZELT_RSA_SIG_SIZE));
}

}  // namespace

int zeltnvmVerifyFirmware(const uint8_t* image, size_t length) {
    return verify_firmware(image, length, nullptr, nullptr);
}

int zeltnvmVerifyFirmwareDigested(const uint8_t* image, size_t length, uint32_t image_crc,
                                  std::span<const uint8_t, 32> signed_digest) {
    return verify_firmware(image, length, &image_crc, signed_digest.data());
}

int zeltnvmVerifySBIHeader(const uint8_t* header) {
    if (header == nullptr) return HVXRETVAL_INVALID_SIGNATURE;
    AuthenticatedBootImageHeader_t hdr;
    std::memcpy(&hdr, header, sizeof hdr);
    if (hdr.unh.Tag != SBI_HEADER_TAG || hdr.sbi.MagicNumber != SBI_HEADER_MAGIC) return HVXRETVAL_INVALID_SIGNATURE;
    return HVXRETVAL_SUCCESS;
}

}  // namespace zelt
