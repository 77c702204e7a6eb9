#include "formats/image/image_builder.h"

#include <algorithm>
#include <cstring>

#include "common/hvxretval.h"
#include "formats/crypto/crc32.h"
#include "formats/crypto/rsa_sign.h"

namespace zelt::image {

namespace {

template <typename T>
void append_record(std::vector<uint8_t>* out, const T& record) {
    const size_t at = out->size();
    out->resize(at + sizeof record);
    std::memcpy(out->data() + at, &record, sizeof record);
}

void append_u32(std::vector<uint8_t>* out, uint32_t v) { append_record(out, v); }

void copy_text(char* field, size_t size, const std::string& text) {
    std::memcpy(field, text.data(), std::min(size, text.size()));
}

}  // namespace

std::vector<uint8_t> firmware_image_unsealed(const FirmwareImageSpec& plan) {
    apebinHeader hdr{};
    hdr.signature = APEBIN_SIGNATURE;
    hdr.codeType = plan.code_type;
    hdr.device = plan.device;
    hdr.media = plan.media;
    hdr.major_ver = plan.major;
    hdr.minor_ver = plan.minor;
    hdr.revision = plan.revision;
    hdr.build = plan.build;
    std::vector<uint8_t> image;
    if (plan.extended_header) {
        hdr.flags |= APEBIN_FLAG_EXT_HEADER;
        copy_text(hdr.ver, APEBIN_EXT_OFFSET_POS - offsetof(apebinHeader, ver), plan.version_text);
        const uint32_t ext_offset = sizeof(apebinHeader);
        std::memcpy(hdr.ver + (APEBIN_EXT_OFFSET_POS - offsetof(apebinHeader, ver)), &ext_offset, 4);
        Ext_Bin_Header ext{};
        ext.ext_signature = EXT_BIN_HEADER_SIGNATURE;
        ext.ext_header_len = sizeof ext;
        ext.ext_header_ver = 1;
        ext.ver_major = plan.ext_major;
        ext.ver_minor = plan.ext_minor;
        ext.ver_build = plan.ext_build;
        ext.ver_patch = plan.ext_patch;
        copy_text(ext.ver_str, sizeof ext.ver_str, plan.ext_version_text);
        append_record(&image, hdr);
        append_record(&image, ext);
    } else {
        copy_text(hdr.ver, sizeof hdr.ver, plan.version_text);
        append_record(&image, hdr);
    }
    image.insert(image.end(), plan.body.begin(), plan.body.end());
    return image;
}

int seal_firmware_image(std::vector<uint8_t>* image, std::span<const uint8_t> private_key) {
    std::vector<uint8_t> sig;
    const int rc = zelt::crypto::rsa_sign_sha256(private_key, *image, &sig);
    if (rc != 0) return rc;
    image->insert(image->end(), sig.begin(), sig.end());
    append_u32(image, file_crc32(image->data(), image->size()));
    return HVXRETVAL_SUCCESS;
}

int build_firmware_image(const FirmwareImageSpec& plan, std::span<const uint8_t> private_key,
                         std::vector<uint8_t>* image) {
    std::vector<uint8_t> built = firmware_image_unsealed(plan);
    const int rc = seal_firmware_image(&built, private_key);
    if (rc == 0) *image = std::move(built);
    return rc;
}

std::vector<uint8_t> dec_version(std::initializer_list<uint16_t> numbers) {
    std::vector<uint8_t> out;
    for (uint16_t n : numbers) append_record(&out, n);
    return out;
}

int append_component_trailer(std::vector<uint8_t>* image, const TrailerSpec& plan,
                             std::span<const uint8_t> private_key) {
    if (plan.version.size() > ZELNVM_TRAILER_VERSION_SIZE) return HVXRETVAL_INVALID_DATA_LENGTH;
    std::vector<uint8_t> out = *image;
    zelnvm_component_trailer_base_t base{};
    base.flags = plan.flags;
    base.version_format = plan.version_format;
    base.version_length = static_cast<uint8_t>(plan.version.size());
    std::copy(plan.version.begin(), plan.version.end(), base.version);
    base.dir_type = plan.dir_type;
    base.sig = ZELNVM_TRAILER_SIGNATURE;
    if (!private_key.empty()) {
        std::vector<uint8_t> sig;
        const int rc = zelt::crypto::rsa_sign_sha256(private_key, out, &sig);
        if (rc != 0) return rc;
        out.insert(out.end(), sig.begin(), sig.end());
        base.trailer_length = ZELNVM_TRAILER_SIGNED_SIZE;
    } else {
        base.trailer_length = ZELNVM_TRAILER_BASE_SIZE;
    }
    append_record(&out, base);
    const uint32_t crc = file_crc32(out.data(), out.size() - 4);
    std::memcpy(out.data() + out.size() - 4, &crc, 4);
    *image = std::move(out);
    return HVXRETVAL_SUCCESS;
}

std::vector<uint8_t> secure_boot_header(uint32_t fw_version) {
    AuthenticatedBootImageHeader_t hdr{};
    hdr.unh.Tag = SBI_HEADER_TAG;
    hdr.unh.Length = sizeof hdr;
    hdr.sbi.FwVersion = fw_version;
    hdr.sbi.MagicNumber = SBI_HEADER_MAGIC;
    std::vector<uint8_t> out;
    append_record(&out, hdr);
    return out;
}

}  // namespace zelt::image
