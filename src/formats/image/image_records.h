// Layouts of the records found inside NVM item images: the firmware image header and
// its extended header, the expansion-ROM structures, the component trailer, the
// multi-image version entry and the secure-boot image header. All little-endian,
// packed; shared by the tool, the simulator and the package builder.
//
// Images are byte buffers of any alignment: records are copied out with
// zelt::image::load_record (formats/image/byte_view.h), never cast in place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "image records are read in host byte order");

// ---- Firmware image header -------------------------------------------------------

inline constexpr uint32_t APEBIN_SIGNATURE = 0x1A585648;  // "HVX" 0x1A
inline constexpr uint8_t APEBIN_FLAG_EXT_HEADER = 0x10;    // flags: extended header present
inline constexpr uint8_t DEVICE_BASIL_FAMILY = 19;         // device: this adapter family
inline constexpr size_t APEBIN_EXT_OFFSET_POS = 20;        // ext_hdr_offset inside ver

#pragma pack(push, 1)
struct apebinHeader {
    uint32_t signature;  // APEBIN_SIGNATURE
    uint8_t flags;       // APEBIN_FLAG_EXT_HEADER
    uint8_t codeType;    // SUPPORTED_CODE
    uint8_t device;      // DEVICE_BASIL_FAMILY
    uint8_t media;
    // Without extended header: 16 bytes of NUL-padded version text. With it: 12 bytes
    // of text, then the u32 offset of the extended header from the image start.
    char ver[16];
    uint8_t build;
    uint8_t revision;
    uint8_t minor_ver;
    uint8_t major_ver;
};
#pragma pack(pop)
static_assert(sizeof(apebinHeader) == 28);
static_assert(offsetof(apebinHeader, flags) == 4);
static_assert(offsetof(apebinHeader, codeType) == 5);
static_assert(offsetof(apebinHeader, device) == 6);
static_assert(offsetof(apebinHeader, media) == 7);
static_assert(offsetof(apebinHeader, ver) == 8);
static_assert(APEBIN_EXT_OFFSET_POS + 4 == offsetof(apebinHeader, build));  // last 4 bytes of ver
static_assert(offsetof(apebinHeader, build) == 24);
static_assert(offsetof(apebinHeader, revision) == 25);
static_assert(offsetof(apebinHeader, minor_ver) == 26);
static_assert(offsetof(apebinHeader, major_ver) == 27);

// Value the image builder writes into ext_signature ("EXT1"); readers do not rely on it.
inline constexpr uint32_t EXT_BIN_HEADER_SIGNATURE = 0x31545845;

#pragma pack(push, 1)
struct Ext_Bin_Header {
    uint32_t ext_signature;
    uint8_t ext_header_len;
    uint8_t ext_header_ver;
    uint16_t ver_major;
    uint16_t ver_minor;
    uint16_t ver_build;
    uint16_t ver_patch;
    char ver_str[32];
    uint8_t reserved[18];
};
#pragma pack(pop)
static_assert(sizeof(Ext_Bin_Header) == 64);
static_assert(offsetof(Ext_Bin_Header, ext_header_len) == 4);
static_assert(offsetof(Ext_Bin_Header, ext_header_ver) == 5);
static_assert(offsetof(Ext_Bin_Header, ver_major) == 6);
static_assert(offsetof(Ext_Bin_Header, ver_minor) == 8);
static_assert(offsetof(Ext_Bin_Header, ver_build) == 10);
static_assert(offsetof(Ext_Bin_Header, ver_patch) == 12);
static_assert(offsetof(Ext_Bin_Header, ver_str) == 14);
static_assert(offsetof(Ext_Bin_Header, reserved) == 46);

// Firmware code types (the header's codeType) that name a directory type.
enum SUPPORTED_CODE : uint8_t {
    CODE_BOOT = 5,
    CODE_MCTP_PASSTHRU = 7,
    CODE_APE_PATCH = 15,
    CODE_KONG_FW = 17,
    CODE_KONG_PATCH = 18,
    CODE_BONO_FW = 19,
    CODE_BONO_PATCH = 20,
    CODE_CHIMP_PATCH = 21,
    CODE_CRASH_DUMP_FW = 22,
};

// Signed firmware images end in a signature over everything before it and a CRC-32
// over everything before the CRC.
inline constexpr size_t FW_IMAGE_SIG_SIZE = 256;
inline constexpr size_t FW_IMAGE_CRC_SIZE = 4;
inline constexpr size_t FW_IMAGE_TAIL_SIZE = FW_IMAGE_SIG_SIZE + FW_IMAGE_CRC_SIZE;  // 260
// Smallest signed image: a header and the tail, with an empty body.
inline constexpr size_t FW_IMAGE_MIN_SIGNED_LENGTH = sizeof(apebinHeader) + FW_IMAGE_TAIL_SIZE;  // 288

// ---- Expansion ROM ---------------------------------------------------------------

inline constexpr uint16_t EXP_ROM_SIGNATURE = 0xAA55;
inline constexpr uint32_t PCI_DATA_SIGNATURE = 0x52494350;  // "PCIR"
inline constexpr uint8_t EXP_ROM_INDICATOR_LAST = 0x80;
inline constexpr size_t EXP_ROM_LENGTH_UNIT = 512;

enum exp_rom_code_type : uint8_t {
    EXP_ROM_CODE_PCAT = 0,   // PC-AT boot code (PXE)
    EXP_ROM_CODE_FCODE = 1,  // Open Firmware
    EXP_ROM_CODE_EFI = 3,
};

#pragma pack(push, 1)
struct exp_rom_hdr_t {
    uint16_t Signature;  // EXP_ROM_SIGNATURE
    uint8_t Size;
    uint8_t Entry[4];
    uint8_t Cksum;
    uint16_t VendorOffset;  // vendor_data_t, first image only
    uint8_t reserved1[12];
    uint16_t ROMIDoffset;
    uint16_t PCIdsOffset;  // pci30_rom_hdr_t, from the image start
    uint16_t PnPehOffset;
    uint8_t reserved2[4];
};

struct pci30_rom_hdr_t {
    uint32_t Signature;  // PCI_DATA_SIGNATURE
    uint16_t VendorID;
    uint16_t DeviceID;
    uint16_t VP;
    uint16_t StructLength;
    uint8_t StructRev;
    uint8_t BaseClass;
    uint8_t SubClass;
    uint8_t Interface;
    uint16_t ImageLength;  // in EXP_ROM_LENGTH_UNIT
    uint16_t ImageRev;
    uint8_t CodeType;   // exp_rom_code_type
    uint8_t Indicator;  // EXP_ROM_INDICATOR_LAST
    uint16_t RunTimeImgLen;
    uint16_t CfgCodeHdr;
    uint16_t DmtfEntry;
};

struct vendor_data_t {
    uint16_t Flags;
    uint32_t UNDIAddr;
    uint16_t UNDIDataImageSize;
    uint16_t UNDICodeImageSize;
    uint16_t UNDIDataSegSize;
    uint16_t UNDICodeSegSize;
    uint32_t BaseAddr;
    uint16_t BaseDataImageSize;
    uint16_t BaseCodeImageSize;
    uint16_t BaseDataSegSize;
    uint16_t BaseCodeSegSize;
    uint16_t InitCodeSize;
    uint32_t PxeVersion;
    uint16_t forced_pfn;
};
#pragma pack(pop)
static_assert(sizeof(exp_rom_hdr_t) == 32);
static_assert(offsetof(exp_rom_hdr_t, Size) == 2);
static_assert(offsetof(exp_rom_hdr_t, Entry) == 3);
static_assert(offsetof(exp_rom_hdr_t, Cksum) == 7);
static_assert(offsetof(exp_rom_hdr_t, VendorOffset) == 8);
static_assert(offsetof(exp_rom_hdr_t, ROMIDoffset) == 22);
static_assert(offsetof(exp_rom_hdr_t, PCIdsOffset) == 24);
static_assert(offsetof(exp_rom_hdr_t, PnPehOffset) == 26);
static_assert(sizeof(pci30_rom_hdr_t) == 28);
static_assert(offsetof(pci30_rom_hdr_t, VendorID) == 4);
static_assert(offsetof(pci30_rom_hdr_t, DeviceID) == 6);
static_assert(offsetof(pci30_rom_hdr_t, StructLength) == 10);
static_assert(offsetof(pci30_rom_hdr_t, BaseClass) == 13);
static_assert(offsetof(pci30_rom_hdr_t, ImageLength) == 16);
static_assert(offsetof(pci30_rom_hdr_t, ImageRev) == 18);
static_assert(offsetof(pci30_rom_hdr_t, CodeType) == 20);
static_assert(offsetof(pci30_rom_hdr_t, Indicator) == 21);
static_assert(offsetof(pci30_rom_hdr_t, RunTimeImgLen) == 22);
static_assert(offsetof(pci30_rom_hdr_t, DmtfEntry) == 26);
static_assert(sizeof(vendor_data_t) == 34);
static_assert(offsetof(vendor_data_t, UNDIAddr) == 2);
static_assert(offsetof(vendor_data_t, BaseAddr) == 14);
static_assert(offsetof(vendor_data_t, InitCodeSize) == 26);
static_assert(offsetof(vendor_data_t, PxeVersion) == 28);
static_assert(offsetof(vendor_data_t, forced_pfn) == 32);

// ---- Component trailer -----------------------------------------------------------

inline constexpr uint32_t ZELNVM_TRAILER_SIGNATURE = 0x726C7254;  // "Trlr"
inline constexpr size_t ZELNVM_TRAILER_BASE_SIZE = 32;
inline constexpr size_t ZELNVM_TRAILER_SIGNED_SIZE = 288;
inline constexpr size_t ZELNVM_TRAILER_VERSION_SIZE = 16;

#pragma pack(push, 1)
struct zelnvm_component_trailer_base_t {
    uint16_t flags;
    uint8_t version_format;  // zelnvm_version_format
    uint8_t version_length;  // meaningful bytes of version
    uint8_t version[ZELNVM_TRAILER_VERSION_SIZE];
    uint16_t dir_type;        // directory type the image is for
    uint16_t trailer_length;  // 32 (base only) or 288 (with signature)
    uint32_t sig;             // ZELNVM_TRAILER_SIGNATURE
    uint32_t chksum;          // CRC-32 of every image byte before this field
};

struct zelnvm_component_trailer_t {
    uint8_t rsa_sig[256];  // signature over every image byte before the trailer
    zelnvm_component_trailer_base_t base;
};
#pragma pack(pop)
static_assert(sizeof(zelnvm_component_trailer_base_t) == ZELNVM_TRAILER_BASE_SIZE);
static_assert(offsetof(zelnvm_component_trailer_base_t, version_format) == 2);
static_assert(offsetof(zelnvm_component_trailer_base_t, version_length) == 3);
static_assert(offsetof(zelnvm_component_trailer_base_t, version) == 4);
static_assert(offsetof(zelnvm_component_trailer_base_t, dir_type) == 20);
static_assert(offsetof(zelnvm_component_trailer_base_t, trailer_length) == 22);
static_assert(offsetof(zelnvm_component_trailer_base_t, sig) == 24);
static_assert(offsetof(zelnvm_component_trailer_base_t, chksum) == 28);
static_assert(sizeof(zelnvm_component_trailer_t) == ZELNVM_TRAILER_SIGNED_SIZE);
static_assert(offsetof(zelnvm_component_trailer_t, base) == 256);

// ---- Versions --------------------------------------------------------------------

// Form of raw version bytes.
enum zelnvm_version_format : uint8_t {
    ZEL_VERSION_FMT_ASCII = 0,  // text
    ZEL_VERSION_FMT_DEC = 1,    // little-endian u16 numbers, joined by "."
    ZEL_VERSION_FMT_HEX = 2,    // bytes, "0x" and two upper-case hex digits each
    ZEL_VERSION_FMT_MULTI = 3,  // zelt_nvm_multi_version_t entries
};

#pragma pack(push, 1)
struct zelt_nvm_multi_version_t {
    uint8_t type;  // the ROM image's CodeType
    uint8_t major;
    uint8_t minor;
    uint8_t revision;
    uint8_t patch;
    uint8_t rsvd[3];
};
#pragma pack(pop)
static_assert(sizeof(zelt_nvm_multi_version_t) == 8);
static_assert(offsetof(zelt_nvm_multi_version_t, revision) == 3);

// Raw versions never exceed this many bytes (16 multi-version entries).
inline constexpr size_t ZELT_MAX_RAW_VERSION = 128;

// ---- Secure-boot image header ----------------------------------------------------

inline constexpr uint32_t SBI_HEADER_TAG = 0xA5A5A5A5;
inline constexpr uint32_t SBI_HEADER_MAGIC = 0x45F2D99A;
inline constexpr size_t SBI_HEADER_OFFSET_IN_SBI = 256;  // type 61; types 62/63 at 0

#pragma pack(push, 1)
struct UnAuthenticatedHeader_t {
    uint32_t Tag;  // SBI_HEADER_TAG
    uint32_t Length;
    uint32_t Reserved;
    uint32_t crc;
};

struct AuthenticatedHeader_t {
    uint16_t SBIConfiguration;
    uint16_t SBIRevisionID;
    uint32_t CustomerID;
    uint16_t ProductID;
    uint16_t CustomerRevisionID;
    uint32_t COTOffset;
    uint16_t nCOTEntries;
    uint16_t COTLength;
    uint32_t BootLoaderCodeOffset;
    uint32_t BootLoaderCodeLength;
    uint32_t AuthenticationOffset;
    uint16_t ImageVerificationConfig;
    uint16_t AuthLength;
    uint16_t Reserved1;
    uint16_t SBIUsage;
    uint32_t FwVersion;    // version, most significant byte first when printed
    uint32_t MagicNumber;  // SBI_HEADER_MAGIC
};

struct AuthenticatedBootImageHeader_t {
    UnAuthenticatedHeader_t unh;
    AuthenticatedHeader_t sbi;
};
#pragma pack(pop)
static_assert(sizeof(UnAuthenticatedHeader_t) == 16);
static_assert(sizeof(AuthenticatedHeader_t) == 48);
static_assert(sizeof(AuthenticatedBootImageHeader_t) == 64);
static_assert(offsetof(AuthenticatedBootImageHeader_t, unh.Tag) == 0);
static_assert(offsetof(AuthenticatedBootImageHeader_t, unh.crc) == 12);
static_assert(offsetof(AuthenticatedBootImageHeader_t, sbi.COTOffset) == 28);
static_assert(offsetof(AuthenticatedBootImageHeader_t, sbi.BootLoaderCodeOffset) == 36);
static_assert(offsetof(AuthenticatedBootImageHeader_t, sbi.ImageVerificationConfig) == 48);
static_assert(offsetof(AuthenticatedBootImageHeader_t, sbi.SBIUsage) == 54);
static_assert(offsetof(AuthenticatedBootImageHeader_t, sbi.FwVersion) == 56);
static_assert(offsetof(AuthenticatedBootImageHeader_t, sbi.MagicNumber) == 60);

}  // namespace zelt
