#include "sim/firmware/image_check.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <cstring>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>

#include "common/directory_types.h"
#include "formats/crypto/crc32.h"
#include "formats/crypto/rsa.h"
#include "formats/image/image_records.h"
#include "formats/vpd/vpd.h"

namespace zelt::sim {

namespace {

template <class T, void (*Free)(T*)>
struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using BigNum = std::unique_ptr<BIGNUM, Deleter<BIGNUM, BN_free>>;
using ParamBuilder = std::unique_ptr<OSSL_PARAM_BLD, Deleter<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using Params = std::unique_ptr<OSSL_PARAM, Deleter<OSSL_PARAM, OSSL_PARAM_free>>;
using KeyContext = std::unique_ptr<EVP_PKEY_CTX, Deleter<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using Key = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;

constexpr size_t kSignatureSize = 256;

// The firmware's public key as an OpenSSL key; null when it cannot be built.
Key public_key() {
    BigNum n(BN_bin2bn(pub_key_N_bin, sizeof pub_key_N_bin, nullptr));
    BigNum e(BN_bin2bn(pub_key_e_bin, sizeof pub_key_e_bin, nullptr));
    ParamBuilder bld(OSSL_PARAM_BLD_new());
    if (!n || !e || !bld || !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) ||
        !OSSL_PARAM_BLD_push_BN(bld.get(), OSSL_PKEY_PARAM_RSA_E, e.get()))
        return nullptr;
    Params params(OSSL_PARAM_BLD_to_param(bld.get()));
    KeyContext ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
        EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return nullptr;
    return Key(key);
}

uint32_t load_u32(std::span<const uint8_t> bytes, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, sizeof v);
    return v;
}

// Directory type a firmware code type installs as; 0 for one the firmware does not know.
unsigned code_type_dir_type(uint8_t code) {
    switch (code) {
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

// The firmware header of a longer image, when it names this adapter family.
bool family_header(std::span<const uint8_t> image, apebinHeader& hdr) {
    if (image.size() <= sizeof hdr) return false;
    std::memcpy(&hdr, image.data(), sizeof hdr);
    return hdr.signature == APEBIN_SIGNATURE && hdr.device == DEVICE_BASIL_FAMILY;
}

// The type the image says it is for (its firmware header, else its trailer), 0 when
// it names none.
unsigned image_dir_type(std::span<const uint8_t> image) {
    apebinHeader hdr;
    if (family_header(image, hdr)) return code_type_dir_type(hdr.codeType);
    if (image.size() < ZELNVM_TRAILER_BASE_SIZE) return ZEL_DIR_TYPE_UNUSED;
    zelnvm_component_trailer_base_t base;
    std::memcpy(&base, image.data() + image.size() - sizeof base, sizeof base);
    if (base.sig != ZELNVM_TRAILER_SIGNATURE || base.trailer_length < sizeof base || base.trailer_length > image.size())
        return ZEL_DIR_TYPE_UNUSED;
    return base.dir_type;
}

bool type_matches(std::span<const uint8_t> image, unsigned claimed) {
    const unsigned found = image_dir_type(image);
    return found == ZEL_DIR_TYPE_UNUSED || found == claimed ||
           (found == ZEL_DIR_TYPE_BOOTCODE && claimed == ZEL_DIR_TYPE_BOOTCODE_2);
}

// The signature's answer when it was checked already, else nothing.
using KnownSignature = std::optional<bool>;

// Header, CRC-32 of everything before the last 4 bytes (`head_crc`), and the signature
// over everything before the 260-byte tail.
bool signed_firmware_valid(std::span<const uint8_t> image, uint32_t head_crc, KnownSignature signature = {}) {
    if (image.size() < FW_IMAGE_MIN_SIGNED_LENGTH) return false;
    apebinHeader hdr;
    std::memcpy(&hdr, image.data(), sizeof hdr);
    if (hdr.signature != APEBIN_SIGNATURE || hdr.device != DEVICE_BASIL_FAMILY) return false;
    const size_t crc_at = image.size() - FW_IMAGE_CRC_SIZE;
    if (head_crc != load_u32(image, crc_at)) return false;
    if (signature) return *signature;
    const size_t signed_length = image.size() - FW_IMAGE_TAIL_SIZE;
    return firmware_signature_valid(image.first(signed_length), image.subspan(signed_length, kSignatureSize));
}

// The signed component trailer at the end of the image: its CRC-32 over everything
// before the CRC field (`head_crc`), and the signature over everything before the trailer.
bool trailer_valid(std::span<const uint8_t> image, uint32_t head_crc, KnownSignature signature = {}) {
    if (image.size() < ZELNVM_TRAILER_SIGNED_SIZE) return false;
    zelnvm_component_trailer_base_t base;
    std::memcpy(&base, image.data() + image.size() - sizeof base, sizeof base);
    if (base.sig != ZELNVM_TRAILER_SIGNATURE || base.trailer_length < ZELNVM_TRAILER_SIGNED_SIZE ||
        base.trailer_length > image.size())
        return false;
    if (head_crc != base.chksum) return false;
    if (signature) return *signature;
    const size_t signed_length = image.size() - ZELNVM_TRAILER_SIGNED_SIZE;
    return firmware_signature_valid(image.first(signed_length), image.subspan(signed_length, kSignatureSize));
}

bool secure_boot_header_valid(std::span<const uint8_t> image, size_t at) {
    AuthenticatedBootImageHeader_t hdr;
    if (image.size() < at || image.size() - at < sizeof hdr) return false;
    std::memcpy(&hdr, image.data() + at, sizeof hdr);
    return hdr.unh.Tag == SBI_HEADER_TAG && hdr.sbi.MagicNumber == SBI_HEADER_MAGIC;
}

// The signature of a signed firmware image or a component trailer's image alone, where
// the image is long enough to hold one; false otherwise.
bool item_signature_valid(std::span<const uint8_t> image, unsigned type) {
    size_t tail;
    if (zelt::is_signed_firmware_type(type)) {
        if (image.size() < FW_IMAGE_MIN_SIGNED_LENGTH) return false;
        tail = FW_IMAGE_TAIL_SIZE;
    } else {
        if (image.size() < ZELNVM_TRAILER_SIGNED_SIZE) return false;
        tail = ZELNVM_TRAILER_SIGNED_SIZE;
    }
    const size_t signed_length = image.size() - tail;
    return firmware_signature_valid(image.first(signed_length), image.subspan(signed_length, kSignatureSize));
}

// Images shorter than this are checked on one thread: a second costs more than it saves.
constexpr size_t kTwoThreadImageBytes = 1u << 20;

bool skips_data_checksum(const zelnvm_directory_entry_t& e) {
    switch (e.type) {
        case ZEL_DIR_TYPE_SRT:
        case ZEL_DIR_TYPE_CRT:
        case ZEL_DIR_TYPE_SRT_LIVEPATCH:
        case ZEL_DIR_TYPE_CRT_LIVEPATCH: return true;
        default: return (e.attr & ZEL_DIR_ATTR_NO_CHKSUM) != 0;
    }
}

// Every check the entry calls for, with the image's CRCs and, when known, its signature.
bool item_valid(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry, const ImageCrcs& crcs,
                KnownSignature signature) {
    if (image.size() != entry.data_length) return false;
    if (!skips_data_checksum(entry) && crcs.whole != entry.data_chksum) return false;
    const unsigned type = entry.type;
    if (type == ZEL_DIR_TYPE_UNUSED) return true;
    if (zelt::is_signed_firmware_type(type))
        return signed_firmware_valid(image, crcs.head, signature) && type_matches(image, type);
    if (zelt::is_trailer_type(type))
        return (entry.attr & ZEL_DIR_ATTR_TRAILER) != 0 && trailer_valid(image, crcs.head, signature) &&
               type_matches(image, type);
    switch (type) {
        case ZEL_DIR_TYPE_SBI: return secure_boot_header_valid(image, SBI_HEADER_OFFSET_IN_SBI);
        case ZEL_DIR_TYPE_SRT:
        case ZEL_DIR_TYPE_CRT: return secure_boot_header_valid(image, 0);
        // A 4-byte format revision, then the VPD resource list.
        case ZEL_DIR_TYPE_VPD: return image.size() > 4 && vpd_verify_image(image.data(), image.size()) == 0;
        default: return true;
    }
}

}  // namespace

uint32_t firmware_crc32(std::span<const uint8_t> bytes) { return crypto::crc32(bytes); }

bool firmware_signature_valid(std::span<const uint8_t> message, std::span<const uint8_t> signature) {
    if (signature.size() != kSignatureSize) return false;
    Key key = public_key();
    DigestContext ctx(EVP_MD_CTX_new());
    if (!key || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) return false;
    return EVP_DigestVerify(ctx.get(), signature.data(), signature.size(), message.data(), message.size()) == 1;
}

uint32_t firmware_crc32_continue(uint32_t crc, std::span<const uint8_t> bytes) {
    // The register runs on the complement of the CRC so far.
    return crc32i(~crc, bytes.data(), bytes.size());
}

uint32_t firmware_crc32_of_suffix(uint32_t crc_ab, uint32_t crc_a, uint64_t len_b) {
    return crypto::crc32_of_suffix(crc_ab, crc_a, len_b);
}

ImageCrcs firmware_image_crcs(std::span<const uint8_t> image) {
    const size_t head = image.size() >= 4 ? image.size() - 4 : 0;
    ImageCrcs crcs;
    crcs.head = firmware_crc32(image.first(head));
    crcs.whole = firmware_crc32_continue(crcs.head, image.subspan(head));
    return crcs;
}

bool firmware_signed_image_valid(std::span<const uint8_t> image) {
    return signed_firmware_valid(image, firmware_image_crcs(image).head);
}

bool firmware_item_valid(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry) {
    const unsigned type = entry.type;
    const bool signed_image = zelt::is_signed_firmware_type(type) || zelt::is_trailer_type(type);
    if (signed_image && image.size() >= kTwoThreadImageBytes && image.size() == entry.data_length) {
        // A large signed image: its CRCs are taken on a second thread while this one
        // checks the signature (each a pass over the image). The answer is the same as
        // from checking the CRCs first.
        ImageCrcs crcs;
        std::optional<std::thread> helper;
        try {
            helper.emplace([&] { crcs = firmware_image_crcs(image); });
        } catch (const std::system_error&) {
            // No second thread to be had: the checks below run one after the other.
        }
        if (helper) {
            const bool signature = item_signature_valid(image, type);
            helper->join();
            return item_valid(image, entry, crcs, signature);
        }
    }
    return firmware_item_valid(image, entry, firmware_image_crcs(image));
}

bool firmware_item_valid(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry,
                         const ImageCrcs& crcs) {
    return item_valid(image, entry, crcs, std::nullopt);
}

bool firmware_item_sound(std::span<const uint8_t> image, const zelnvm_directory_entry_t& entry,
                         const ImageCrcs& crcs) {
    return item_valid(image, entry, crcs, true);
}

}  // namespace zelt::sim
