#include "formats/image/item_version.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/directory_entry.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "formats/image/byte_view.h"
#include "formats/image/exp_rom.h"
#include "formats/image/firmware_image.h"
#include "formats/image/package_log.h"
#include "formats/image/trailer.h"

namespace zelt {

using namespace zelt::image;

namespace {

constexpr size_t kMaxMultiEntries = ZELT_MAX_RAW_VERSION / sizeof(zelt_nvm_multi_version_t);  // 16

// Header sizes that hold the versions of the configuration images.
constexpr size_t kCcmHeaderLength = 19;
constexpr size_t kCcmTextOffset = 8;
constexpr size_t kCcmTextMax = 125;
constexpr size_t kIscsiHeaderLength = 16;
constexpr size_t kIscsiTextOffsetPos = 4;
constexpr size_t kIscsiTextMax = 127;
constexpr size_t kSecureBootVersionLength = offsetof(AuthenticatedBootImageHeader_t, sbi.FwVersion) + 4;  // 60

struct RawVersion {
    std::vector<uint8_t> bytes;
    int format = ZEL_VERSION_FMT_ASCII;
};

void set_ascii(RawVersion* out, std::string_view text) {
    out->bytes.assign(text.begin(), text.end());
    out->format = ZEL_VERSION_FMT_ASCII;
}

void set_dec(RawVersion* out, std::initializer_list<unsigned> numbers) {
    out->bytes.clear();
    for (unsigned n : numbers) {
        out->bytes.push_back(static_cast<uint8_t>(n & 0xFF));
        out->bytes.push_back(static_cast<uint8_t>((n >> 8) & 0xFF));
    }
    out->format = ZEL_VERSION_FMT_DEC;
}

// NUL-terminated text starting at `offset`, at most `max` bytes and never past the image.
std::string_view text_at(Bytes image, size_t offset, size_t max) {
    if (offset >= image.size()) return {};
    const size_t avail = std::min(max, image.size() - offset);
    const char* p = reinterpret_cast<const char*>(image.data() + offset);
    return std::string_view(p, bounded_text_length(p, avail));
}

bool selector_is_primary_or_secondary(int selector) { return selector == 0 || selector == 1; }

int log_version(Bytes image, int selector, RawVersion* out) {
    const int field = zeltnvmPackageLogSelectorField(selector);
    if (field < 0) return HVXRETVAL_UNSUPPORTED_DETAIL;
    std::string text;
    if (!zeltnvmPackageLogField(field, image.data(), image.size(), &text)) return HVXRETVAL_VERSION_INFO_NOT_FOUND;
    set_ascii(out, text);
    return HVXRETVAL_SUCCESS;
}

int firmware_version(Bytes image, int selector, RawVersion* out) {
    if (!selector_is_primary_or_secondary(selector)) return HVXRETVAL_UNSUPPORTED_DETAIL;
    apebinHeader hdr;
    if (!load_firmware_header(image, &hdr)) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (has_extended_header(hdr)) {
        Ext_Bin_Header ext;
        if (!load_extended_header(image, hdr, &ext)) return HVXRETVAL_HEADER_NOT_FOUND;
        if (selector == 0) {
            set_dec(out, {ext.ver_major, ext.ver_minor, ext.ver_build, ext.ver_patch});
            return HVXRETVAL_SUCCESS;
        }
        set_ascii(out, std::string_view(ext.ver_str, bounded_text_length(ext.ver_str, sizeof ext.ver_str)));
    } else {
        if (selector == 0) {
            set_dec(out, {hdr.major_ver, hdr.minor_ver, hdr.revision, hdr.build});
            return HVXRETVAL_SUCCESS;
        }
        set_ascii(out, std::string_view(hdr.ver, bounded_text_length(hdr.ver, sizeof hdr.ver)));
    }
    return out->bytes.empty() ? HVXRETVAL_VERSION_INFO_NOT_FOUND : HVXRETVAL_SUCCESS;
}

std::string dotted4(const unsigned v[4]) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", v[0], v[1], v[2], v[3]);
    return buf;
}

// Expansion ROM with a component trailer: eight big-endian u16 numbers in the
// trailer's version bytes, four of the PXE image and four of the EFI image.
int exp_rom_trailer_version(Bytes image, const zelnvm_component_trailer_base_t& base, int selector,
                            RawVersion* out) {
    unsigned n[8];
    for (size_t i = 0; i < 8; ++i) n[i] = (unsigned{base.version[2 * i]} << 8) | base.version[2 * i + 1];
    const std::string pxe = dotted4(n);
    if (selector == 0) {
        set_ascii(out, pxe);
        return HVXRETVAL_SUCCESS;
    }
    std::string text = "PXE:" + pxe + ",EFI:" + dotted4(n + 4);
    const auto roms = walk_expansion_rom(image, image.size() / EXP_ROM_LENGTH_UNIT + 1);
    const auto fcode = std::find_if(roms.begin(), roms.end(),
                                    [](const RomImage& r) { return r.pci.CodeType == EXP_ROM_CODE_FCODE; });
    if (fcode != roms.end()) {
        text += ",FCODE:" + std::to_string(fcode->pci.ImageRev >> 8) + "." + std::to_string(fcode->pci.ImageRev & 0xFF);
    }
    set_ascii(out, text);
    return HVXRETVAL_SUCCESS;
}

// `max_entries`: how many image versions the caller can take; `overflow_fails`: a
// longer list is an error instead of being cut.
int exp_rom_version(Bytes image, int selector, RawVersion* out, size_t max_entries, bool overflow_fails) {
    if (!selector_is_primary_or_secondary(selector)) return HVXRETVAL_UNSUPPORTED_DETAIL;

    // The trailer, when present, is looked for in the last 288 bytes.
    const size_t window = std::min(image.size(), ZELNVM_TRAILER_SIGNED_SIZE);
    zelnvm_component_trailer_t trailer;
    if (zeltnvmComponentTrailerParse(image.data() + (image.size() - window), window, &trailer) == 0 &&
        trailer.base.version_length != 0) {
        return exp_rom_trailer_version(image, trailer.base, selector, out);
    }

    if (image.size() <= sizeof(exp_rom_hdr_t)) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (selector == 0) {
        exp_rom_hdr_t rom;
        load_record(image, 0, &rom);
        if (rom.Signature != EXP_ROM_SIGNATURE) return HVXRETVAL_INVALID_SIGNATURE;
        vendor_data_t vendor;
        if (size_t{rom.VendorOffset} + sizeof vendor >= image.size() || !load_record(image, rom.VendorOffset, &vendor)) {
            return HVXRETVAL_INVALID_LENGTH_PARAMETER;
        }
        const uint32_t pxe = vendor.PxeVersion;
        set_dec(out, {pxe >> 16, (pxe >> 8) & 0xFF, pxe & 0xFF, 0});
        return HVXRETVAL_SUCCESS;
    }

    auto roms = walk_expansion_rom(image, kMaxMultiEntries + 1);
    if (roms.empty()) return HVXRETVAL_VERSION_INFO_NOT_FOUND;
    if (roms.size() > kMaxMultiEntries && overflow_fails) return HVXRETVAL_INSUFFICIENT_SPACE;
    const size_t limit = std::min(max_entries, kMaxMultiEntries);
    if (limit == 0) return HVXRETVAL_INSUFFICIENT_SPACE;
    if (roms.size() > limit) roms.resize(limit);
    out->bytes.clear();
    out->format = ZEL_VERSION_FMT_MULTI;
    for (const auto& rom : roms) {
        const RomRevision rev = decode_rom_revision(rom.pci.ImageRev);
        zelt_nvm_multi_version_t entry{};
        entry.type = rom.pci.CodeType;
        entry.major = rev.major;
        entry.minor = rev.minor;
        entry.revision = rev.revision;
        const auto* p = reinterpret_cast<const uint8_t*>(&entry);
        out->bytes.insert(out->bytes.end(), p, p + sizeof entry);
    }
    return HVXRETVAL_SUCCESS;
}

int ccm_version(Bytes image, int selector, RawVersion* out) {
    if (!selector_is_primary_or_secondary(selector)) return HVXRETVAL_UNSUPPORTED_DETAIL;
    if (image.size() < kCcmHeaderLength) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (selector == 0) {
        set_dec(out, {image[16], image[17], image[18], 0});
    } else {
        set_ascii(out, std::string(text_at(image, kCcmTextOffset, kCcmTextMax)) + ".0");
    }
    return HVXRETVAL_SUCCESS;
}

int iscsi_version(Bytes image, int selector, RawVersion* out) {
    if (!selector_is_primary_or_secondary(selector)) return HVXRETVAL_UNSUPPORTED_DETAIL;
    if (image.size() < kIscsiHeaderLength) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    if (selector == 0) {
        set_dec(out, {image[9], image[10], image[11], 0});
        return HVXRETVAL_SUCCESS;
    }
    uint16_t text_offset = 0;
    load_record(image, kIscsiTextOffsetPos, &text_offset);
    // A text offset outside the image names no version.
    if (text_offset >= image.size()) return HVXRETVAL_VERSION_INFO_NOT_FOUND;
    set_ascii(out, text_at(image, text_offset, kIscsiTextMax));
    return HVXRETVAL_SUCCESS;
}

int secure_boot_version(Bytes image, int selector, RawVersion* out) {
    if (selector != 0) return HVXRETVAL_UNSUPPORTED_DETAIL;
    if (image.size() < kSecureBootVersionLength) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    uint32_t v = 0;
    load_record(image, offsetof(AuthenticatedBootImageHeader_t, sbi.FwVersion), &v);
    const unsigned parts[4] = {v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF};
    set_ascii(out, dotted4(parts));
    return HVXRETVAL_SUCCESS;
}

int trailer_version(Bytes image, int selector, RawVersion* out) {
    if (selector != 0) return HVXRETVAL_UNSUPPORTED_DETAIL;
    zelnvm_component_trailer_t trailer;
    if (zeltnvmComponentTrailerParse(image.data(), image.size(), &trailer) != 0) {
        return HVXRETVAL_VERSION_INFO_NOT_FOUND;
    }
    const size_t n = trailer.base.version_length;
    if (n == 0) return HVXRETVAL_VERSION_INFO_NOT_FOUND;
    if (n > ZELT_MAX_RAW_VERSION) return HVXRETVAL_INSUFFICIENT_SPACE;
    // The version field holds 16 bytes; a longer claim would reach past the image end.
    if (n > sizeof trailer.base.version) return HVXRETVAL_INVALID_DATA_LENGTH;
    out->bytes.assign(trailer.base.version, trailer.base.version + n);
    out->format = trailer.base.version_format;
    return HVXRETVAL_SUCCESS;
}

int extract_version(unsigned dir_type, Bytes image, int selector, uint16_t attr, size_t multi_capacity_entries,
                    bool multi_overflow_fails, RawVersion* out) {
    const bool trailer_bit = (attr & ZEL_DIR_ATTR_TRAILER) != 0;
    if (dir_type == ZEL_DIR_TYPE_PKG_LOG) return log_version(image, selector, out);
    if (zelt::is_signed_firmware_type(dir_type)) return firmware_version(image, selector, out);
    if (dir_type == ZEL_DIR_TYPE_EXP_ROM_MBA) {
        return exp_rom_version(image, selector, out, multi_capacity_entries, multi_overflow_fails);
    }
    if (dir_type == ZEL_DIR_TYPE_CCM && !trailer_bit) return ccm_version(image, selector, out);
    if (dir_type == ZEL_DIR_TYPE_ISCSI_BOOT && !trailer_bit) return iscsi_version(image, selector, out);
    if (dir_type == ZEL_DIR_TYPE_SRT || dir_type == ZEL_DIR_TYPE_CRT) return secure_boot_version(image, selector, out);
    return trailer_version(image, selector, out);
}

// Bounded text building for zeltnvmVersionString.
class TextOut {
public:
    TextOut(char* text, size_t capacity) : text_(text), capacity_(capacity) {
        if (capacity_ != 0) text_[0] = '\0';
    }
    void add(std::string_view s) {
        if (capacity_ == 0) return;
        const size_t room = capacity_ - 1 - used_;
        const size_t n = std::min(room, s.size());
        if (n != 0) std::memcpy(text_ + used_, s.data(), n);
        used_ += n;
        text_[used_] = '\0';
    }
    void addf_u(const char* format, unsigned v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, format, v);
        add(buf);
    }

private:
    char* text_;
    size_t capacity_;
    size_t used_ = 0;
};

const char* multi_name(uint8_t type) {
    switch (type) {
        case EXP_ROM_CODE_PCAT: return "PXE";
        case EXP_ROM_CODE_FCODE: return "FCODE";
        case EXP_ROM_CODE_EFI: return "EFI";
        default: return nullptr;
    }
}

}  // namespace

char* zeltnvmVersionString(const uint8_t* raw, size_t raw_length, int format, char* text, size_t capacity) {
    if (text == nullptr) return text;
    TextOut out(text, capacity);
    if (raw == nullptr) raw_length = 0;
    switch (format) {
        case ZEL_VERSION_FMT_ASCII: {
            const char* p = reinterpret_cast<const char*>(raw);
            out.add(std::string_view(p, raw_length ? bounded_text_length(p, raw_length) : 0));
            break;
        }
        case ZEL_VERSION_FMT_DEC:
            for (size_t i = 0; i + 1 < raw_length; i += 2) {
                if (i != 0) out.add(".");
                out.addf_u("%u", unsigned{raw[i]} | (unsigned{raw[i + 1]} << 8));
            }
            break;
        case ZEL_VERSION_FMT_HEX:
            out.add("0x");
            for (size_t i = 0; i < raw_length; ++i) out.addf_u("%02X", raw[i]);
            break;
        case ZEL_VERSION_FMT_MULTI:
            for (size_t i = 0; i + sizeof(zelt_nvm_multi_version_t) <= raw_length; i += sizeof(zelt_nvm_multi_version_t)) {
                zelt_nvm_multi_version_t e;
                std::memcpy(&e, raw + i, sizeof e);
                if (i != 0) out.add(", ");
                if (const char* name = multi_name(e.type)) {
                    out.add(name);
                } else {
                    out.addf_u("%u", e.type);
                }
                out.addf_u(":%u", e.major);
                out.addf_u(".%u", e.minor);
                out.addf_u(".%u", e.revision);
                out.add(".0");
            }
            break;
        default:
            out.add("??");
            for (size_t i = 0; i < raw_length; ++i) out.addf_u("%02X", raw[i]);
            break;
    }
    return text;
}

int zeltnvmGetItemBufVersion(unsigned dir_type, const uint8_t* image, size_t image_length, int selector,
                             uint8_t* raw, size_t* raw_length, int* format, uint16_t attr) {
    if (raw == nullptr || raw_length == nullptr || format == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    const size_t capacity = *raw_length;
    RawVersion version;
    const Bytes bytes(image, image ? image_length : 0);
    const int rc = extract_version(dir_type, bytes, selector, attr, capacity / sizeof(zelt_nvm_multi_version_t),
                                   false, &version);
    if (rc != 0) return rc;
    if (version.bytes.size() > capacity) return HVXRETVAL_INSUFFICIENT_SPACE;
    if (!version.bytes.empty()) std::memcpy(raw, version.bytes.data(), version.bytes.size());
    *raw_length = version.bytes.size();
    *format = version.format;
    return HVXRETVAL_SUCCESS;
}

int zeltnvmGetItemBufVersionString(unsigned dir_type, const uint8_t* image, size_t image_length, int selector,
                                   char* text, size_t capacity, uint16_t attr) {
    if (text == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    if (capacity != 0) std::memset(text, 0, capacity);
    RawVersion version;
    const Bytes bytes(image, image ? image_length : 0);
    const int rc = extract_version(dir_type, bytes, selector, attr, kMaxMultiEntries, true, &version);
    if (rc != 0) return rc;
    // Raw versions of every source but the install log stay within 128 bytes; a log
    // field may be longer and is cut like any text to the caller's capacity.
    zeltnvmVersionString(version.bytes.data(), version.bytes.size(), version.format, text, capacity);
    return HVXRETVAL_SUCCESS;
}

bool zeltnvmItemTypeHasVersion(unsigned dir_type) {
    switch (dir_type) {
        case ZEL_DIR_TYPE_PKG_LOG:
        case ZEL_DIR_TYPE_CHIMP_PATCH:
        case ZEL_DIR_TYPE_BOOTCODE:
        case ZEL_DIR_TYPE_TSCF_UCODE:
        case ZEL_DIR_TYPE_ISCSI_BOOT:
        case ZEL_DIR_TYPE_EXT_PHY:
        case ZEL_DIR_TYPE_OOB_MGMT:
        case ZEL_DIR_TYPE_SBI:
        case ZEL_DIR_TYPE_SRT:
        case ZEL_DIR_TYPE_CRT:
        case ZEL_DIR_TYPE_CRASH_DUMP_FW:
            return true;
        default:
            return dir_type >= ZEL_DIR_TYPE_EXP_ROM_MBA && dir_type <= ZEL_DIR_TYPE_CCM;
    }
}

int zeltnvmItemVersionReadRange(unsigned dir_type, uint16_t attr, size_t data_length, int selector, size_t* offset,
                                size_t* length) {
    if (offset == nullptr || length == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    if (!zeltnvmItemTypeHasVersion(dir_type)) return HVXRETVAL_UNSUPPORTED_DETAIL;
    const bool trailer_bit = (attr & ZEL_DIR_ATTR_TRAILER) != 0;
    auto first = [&](size_t n) {
        *offset = 0;
        *length = std::min(n, data_length);
    };
    auto last = [&](size_t n) {
        *length = std::min(n, data_length);
        *offset = data_length - *length;
    };

    if (dir_type == ZEL_DIR_TYPE_SRT || dir_type == ZEL_DIR_TYPE_CRT) {
        first(sizeof(AuthenticatedBootImageHeader_t));
        return HVXRETVAL_SUCCESS;
    }
    if ((dir_type == ZEL_DIR_TYPE_CCM || dir_type == ZEL_DIR_TYPE_ISCSI_BOOT) && trailer_bit) {
        last(ZELNVM_TRAILER_SIGNED_SIZE);
        return HVXRETVAL_SUCCESS;
    }
    if (dir_type == ZEL_DIR_TYPE_EXP_ROM_MBA && trailer_bit) {
        first(data_length);
        return HVXRETVAL_SUCCESS;
    }
    if (dir_type == ZEL_DIR_TYPE_CCM || (dir_type == ZEL_DIR_TYPE_ISCSI_BOOT && selector == 0)) {
        const size_t header = dir_type == ZEL_DIR_TYPE_CCM ? kCcmHeaderLength : kIscsiHeaderLength;
        if (data_length < header) return HVXRETVAL_HEADER_NOT_FOUND;
        first(header);
        return HVXRETVAL_SUCCESS;
    }
    if (trailer_bit) {
        if (data_length < ZELNVM_TRAILER_SIGNED_SIZE) return HVXRETVAL_TRAILER_NOT_FOUND;
        if (selector == 0) {
            last(ZELNVM_TRAILER_SIGNED_SIZE);
        } else {
            first(data_length);
        }
        return HVXRETVAL_SUCCESS;
    }
    if (data_length < 8) return HVXRETVAL_INVALID_DATA_LENGTH;
    first(data_length);
    return HVXRETVAL_SUCCESS;
}

}  // namespace zelt
