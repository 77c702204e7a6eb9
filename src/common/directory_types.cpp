#include "common/directory_types.h"

#include <strings.h>

#include <cstdio>

namespace zelt {

namespace {

struct DirectoryTypeInfo {
    unsigned type;
    const char* name;  // short name, or nullptr
    const char* desc;  // description, or nullptr (then the short name describes it)
};

constexpr DirectoryTypeInfo kDirectoryTypes[] = {
    {0, "unused", "Deleted directory entry, available for reuse"},
    {1, "pkgLog", "Package Installation Log"},
    {2, "update", "Secure Update Staging Area"},
    {3, "chimpPatch", "Chip Management Processor Patch"},
    {4, "chimpBoot", "Chip Management Processor Boot Firmware"},
    {5, "VPD", "Vital Product Data"},
    {6, "MBA", "Multiple Boot Agent Expansion ROM"},
    {7, "AVS", "Adaptive Voltage Scaling Data"},
    {8, "PCIEucode", "PCIe Microcode"},
    {9, "portMacro", "Port Macro Configuration"},
    {10, "apeFW", "Application Processor Firmware"},
    {11, "apePatch", "Application Processor Patch"},
    {12, "kongFW", "Management Controller Firmware"},
    {13, "kongPatch", "Management Controller Patch"},
    {14, "bonoFW", "Network Offload Processor Firmware"},
    {15, "bonoPatch", "Network Offload Processor Patch"},
    {16, "tangFW", "Tunnel Engine Firmware"},
    {17, "tangPatch", "Tunnel Engine Patch"},
    {18, "chimpHWRM", "ChiMP Hardware Resource Manager Firmware"},
    {19, "CCM", "Comprehensive Configuration Management Image"},
    {20, "PCIcfg", "PCI Configuration Data"},
    {21, "PHYucode", "Quill PHY Microcode"},
    {22, "iSCSIboot", "iSCSI Boot Image"},
    {24, nullptr, "iSCSI Boot Image (IPv6)"},
    {25, nullptr, "iSCSI Boot Image (IPv4 and IPv6)"},
    {26, "iSCSIcfg", "iSCSI Boot Configuration"},
    {27, "extPHYfw", "External PHY Firmware"},
    {28, "modPartNums", "Supported Module Part Numbers"},
    {40, "sharedCfg", "Shared Configuration"},
    {41, "portCfg", "Port Configuration"},
    {42, "funcCfg", "Function Configuration"},
    {43, "cfgTable", "Configuration Table"},
    {44, "QOScfg", "Quality of Service Configuration"},
    {45, "cfgJournal", "Configuration Update Journal"},
    {46, "systemCfg", "System Configuration"},
    {47, "factoryCfg", "Factory Configuration"},
    {48, "mgmtCfg", "Management Configuration"},
    {49, "mgmtData", "Management Data"},
    {50, "webData", "Management Web Data"},
    {51, "webMeta", "Management Web Metadata"},
    {52, "eventLog", "Management Event Log"},
    {53, "auditLog", "Management Audit Log"},
    {54, "SNAcfg", "Storage Network Adapter Configuration"},
    {55, "LLDPcfg", "LLDP and DCBX Configuration"},
    {57, "ASNdata", "Adapter Serial Number Data"},
    {58, "OOBM-Mgmt", "Out-of-Band Management Firmware"},
    {59, "MCUPatch", "Microcontroller Patch"},
    {60, "QoSProfiles", "Quality of Service Profiles"},
    {61, "SBIImage", "SBI Image"},
    {62, "SRTImage", "SRT Image"},
    {63, "CRTImage", "CRT Image"},
    {64, "oobmSshCfg", "Out-of-Band Management SSH Configuration"},
    {65, "oobmCfg", "Out-of-Band Management Configuration"},
    {66, "CrashDmpFW", "Crash Dump Firmware"},
    {67, "CrashDmpData", "Crash Dump Data"},
    {68, "predefPfx", "Predefined Prefix Table"},
    {69, "HuffmanPfx", "Huffman Prefix Table"},
    {70, "CfgPatch", "Configuration Patch"},
    {71, "PfxFeature", "Prefix Feature Table"},
    {72, "PfxRecim", "Prefix Recognition Image"},
    {73, "PfxRecsat", "Prefix Recognition Saturation Table"},
    {74, "PfxRecct", "Prefix Recognition Count Table"},
    {75, "ElfCoredump", nullptr},
    {76, "HcapiRmCfg", nullptr},
    {77, "SecurityCfg", nullptr},
    {78, "SRTLivePatch", "SRT Live Patch"},
    {79, "CRTLivePatch", "CRT Live Patch"},
    {80, "CertChain", "Certificate Chain"},
    {81, "FRU", "FRU data in NVM"},
    {82, "OnboardCfg", "Onboard configuration"},
    {83, "ChimpLivePatch", "ChiMP Live Patch"},
    {84, "CertAlias", "Certificate Alias Data"},
    {85, "CertCust", "Customer Certificates provisioned after mfg"},
    {86, "CfgCRCs", "Configuration file CRC record"},
};

const DirectoryTypeInfo* find_type(unsigned type) {
    for (const auto& t : kDirectoryTypes) {
        if (t.type == type) return &t;
    }
    return nullptr;
}

}  // namespace

static_assert(sizeof kDirectoryTypes / sizeof kDirectoryTypes[0] == ZEL_DIR_TYPE_COUNT);

const char* zeltnvmDirectoryTypeName(unsigned type) {
    const DirectoryTypeInfo* t = find_type(type);
    return t ? t->name : nullptr;
}

std::string zeltnvmDirectoryTypeDesc(unsigned type) {
    const DirectoryTypeInfo* t = find_type(type);
    if (t && t->desc) return t->desc;
    if (t && t->name) return t->name;
    return "<Unrecognized directory entry type: " + std::to_string(type) + ">";
}

unsigned zeltnvmDirectoryTypeByName(const char* name, unsigned max_type) {
    if (!name) return 0;
    for (const auto& t : kDirectoryTypes) {
        if (t.type >= 1 && t.type <= max_type && t.name && strcasecmp(t.name, name) == 0) return t.type;
    }
    return 0;
}

bool is_signed_firmware_type(unsigned type) {
    switch (type) {
        case ZEL_DIR_TYPE_CHIMP_PATCH:
        case ZEL_DIR_TYPE_BOOTCODE:
        case ZEL_DIR_TYPE_APE_FW:
        case ZEL_DIR_TYPE_APE_PATCH:
        case ZEL_DIR_TYPE_KONG_FW:
        case ZEL_DIR_TYPE_KONG_PATCH:
        case ZEL_DIR_TYPE_BONO_FW:
        case ZEL_DIR_TYPE_BONO_PATCH:
        case ZEL_DIR_TYPE_TANG_FW:
        case ZEL_DIR_TYPE_TANG_PATCH:
        case ZEL_DIR_TYPE_BOOTCODE_2:
        case ZEL_DIR_TYPE_OOB_MGMT:
        case ZEL_DIR_TYPE_CRASH_DUMP_FW: return true;
        default: return false;
    }
}

bool is_trailer_type(unsigned type) {
    switch (type) {
        case ZEL_DIR_TYPE_EXP_ROM_MBA:
        case ZEL_DIR_TYPE_AVS:
        case ZEL_DIR_TYPE_PCIE:
        case ZEL_DIR_TYPE_PORT_MACRO:
        case ZEL_DIR_TYPE_CCM:
        case ZEL_DIR_TYPE_TSCF_UCODE:
        case ZEL_DIR_TYPE_ISCSI_BOOT:
        case ZEL_DIR_TYPE_EXT_PHY: return true;
        default: return false;
    }
}

bool is_patch_forbidden_type(unsigned type) {
    return is_signed_firmware_type(type) || is_trailer_type(type) || type == ZEL_DIR_TYPE_SBI ||
           type == ZEL_DIR_TYPE_SRT || type == ZEL_DIR_TYPE_CRT;
}

}  // namespace zelt
