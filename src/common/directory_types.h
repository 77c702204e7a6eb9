// NVM directory entry types: the enumeration with the short name and description of
// every type. Used by the front end's -type= options, the listings and the format code.
#pragma once

#include <cstdint>
#include <string>

namespace zelt {

enum zelnvm_directory_type : uint16_t {
    ZEL_DIR_TYPE_UNUSED = 0,
    ZEL_DIR_TYPE_PKG_LOG = 1,
    ZEL_DIR_TYPE_UPDATE = 2,
    ZEL_DIR_TYPE_CHIMP_PATCH = 3,
    ZEL_DIR_TYPE_BOOTCODE = 4,
    ZEL_DIR_TYPE_VPD = 5,
    ZEL_DIR_TYPE_EXP_ROM_MBA = 6,
    ZEL_DIR_TYPE_AVS = 7,
    ZEL_DIR_TYPE_PCIE = 8,
    ZEL_DIR_TYPE_PORT_MACRO = 9,
    ZEL_DIR_TYPE_APE_FW = 10,
    ZEL_DIR_TYPE_APE_PATCH = 11,
    ZEL_DIR_TYPE_KONG_FW = 12,
    ZEL_DIR_TYPE_KONG_PATCH = 13,
    ZEL_DIR_TYPE_BONO_FW = 14,
    ZEL_DIR_TYPE_BONO_PATCH = 15,
    ZEL_DIR_TYPE_TANG_FW = 16,
    ZEL_DIR_TYPE_TANG_PATCH = 17,
    ZEL_DIR_TYPE_BOOTCODE_2 = 18,
    ZEL_DIR_TYPE_CCM = 19,
    ZEL_DIR_TYPE_PCI_CFG = 20,
    ZEL_DIR_TYPE_TSCF_UCODE = 21,
    ZEL_DIR_TYPE_ISCSI_BOOT = 22,
    ZEL_DIR_TYPE_ISCSI_BOOT_IPV6 = 24,
    ZEL_DIR_TYPE_ISCSI_BOOT_IPV4N6 = 25,
    ZEL_DIR_TYPE_ISCSI_BOOT_CFG = 26,
    ZEL_DIR_TYPE_EXT_PHY = 27,
    ZEL_DIR_TYPE_MODULES_PN = 28,
    ZEL_DIR_TYPE_SHARED_CFG = 40,
    ZEL_DIR_TYPE_PORT_CFG = 41,
    ZEL_DIR_TYPE_FUNC_CFG = 42,
    ZEL_DIR_TYPE_CFG_TABLE = 43,
    ZEL_DIR_TYPE_QOS_CFG = 44,
    ZEL_DIR_TYPE_CFG_JOURNAL = 45,
    ZEL_DIR_TYPE_SYSTEM_CFG = 46,
    ZEL_DIR_TYPE_FACTORY_CFG = 47,
    ZEL_DIR_TYPE_MGMT_CFG = 48,
    ZEL_DIR_TYPE_MGMT_DATA = 49,
    ZEL_DIR_TYPE_MGMT_WEB_DATA = 50,
    ZEL_DIR_TYPE_MGMT_WEB_META = 51,
    ZEL_DIR_TYPE_MGMT_EVENT_LOG = 52,
    ZEL_DIR_TYPE_MGMT_AUDIT_LOG = 53,
    ZEL_DIR_TYPE_SNA_CFG = 54,
    ZEL_DIR_TYPE_LLDP_DCBX_CFG = 55,
    ZEL_DIR_TYPE_ASN_DATA = 57,
    ZEL_DIR_TYPE_OOB_MGMT = 58,
    ZEL_DIR_TYPE_MCU_PATCH = 59,
    ZEL_DIR_TYPE_QOS_PROFILES = 60,
    ZEL_DIR_TYPE_SBI = 61,
    ZEL_DIR_TYPE_SRT = 62,
    ZEL_DIR_TYPE_CRT = 63,
    ZEL_DIR_TYPE_OOB_MGMT_SSH_CFG = 64,
    ZEL_DIR_TYPE_OOB_MGMT_CFG = 65,
    ZEL_DIR_TYPE_CRASH_DUMP_FW = 66,
    ZEL_DIR_TYPE_CRASH_DUMP_DATA = 67,
    ZEL_DIR_TYPE_PREDEF_PFX = 68,
    ZEL_DIR_TYPE_HUFFMAN_PFX = 69,
    ZEL_DIR_TYPE_CFG_PATCH = 70,
    ZEL_DIR_TYPE_PFX_FEATURE = 71,
    ZEL_DIR_TYPE_PFX_RECIM = 72,
    ZEL_DIR_TYPE_PFX_RECSAT = 73,
    ZEL_DIR_TYPE_PFX_RECCT = 74,
    ZEL_DIR_TYPE_ELF_COREDUMP = 75,
    ZEL_DIR_TYPE_HCAPI_RM_CFG = 76,
    ZEL_DIR_TYPE_SECURITY_CFG = 77,
    ZEL_DIR_TYPE_SRT_LIVEPATCH = 78,
    ZEL_DIR_TYPE_CRT_LIVEPATCH = 79,
    ZEL_DIR_TYPE_CERT_CHAIN = 80,
    ZEL_DIR_TYPE_FRU = 81,
    ZEL_DIR_TYPE_ONBOARD_CFG = 82,
    ZEL_DIR_TYPE_CHIMP_LIVEPATCH = 83,
    ZEL_DIR_TYPE_CERT_ALIAS = 84,
    ZEL_DIR_TYPE_CERT_CUST = 85,
    ZEL_DIR_TYPE_CFG_CRC = 86,
};

// Number of defined directory types.
constexpr int ZEL_DIR_TYPE_COUNT = 74;

// Short name of a type, or nullptr for a type without one.
const char* zeltnvmDirectoryTypeName(unsigned type);

// Description of a type; the short name for a type without a description; for a type
// with neither, "<Unrecognized directory entry type: N>".
std::string zeltnvmDirectoryTypeDesc(unsigned type);

// Type whose short name equals `name` ignoring case, searching types 1 to `max_type`;
// 0 when there is none.
unsigned zeltnvmDirectoryTypeByName(const char* name, unsigned max_type);

// Kinds of item image by directory type, the same for every reader and writer of items
// (the tool's and the simulated firmware's).

// Firmware images with the signed firmware header: types 3, 4, 10 to 18, 58 and 66.
bool is_signed_firmware_type(unsigned type);

// Types whose image must end in a component trailer: 6 to 9, 19, 21, 22 and 27.
bool is_trailer_type(unsigned type);

// Types that may not carry the Patch directive: the signed firmware types, the
// trailer types and the secure-boot images 61 to 63.
bool is_patch_forbidden_type(unsigned type);

}  // namespace zelt
