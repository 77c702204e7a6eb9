#include "sim/factory/factory_content.h"

#include <cstdio>
#include <cstring>

#include "common/directory_entry.h"
#include "common/directory_types.h"
#include "formats/image/image_records.h"
#include "pkgbuild/pkgbuild.h"
#include "sim/firmware/install_staged.h"
#include "test_signing_key/test_signing_key.h"

namespace zelt::sim {

namespace {

std::vector<uint16_t> version_numbers(const std::string& text) {
    unsigned v[4] = {0, 0, 0, 0};
    std::sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    return {static_cast<uint16_t>(v[0]), static_cast<uint16_t>(v[1]), static_cast<uint16_t>(v[2]),
            static_cast<uint16_t>(v[3])};
}

// Stamps a secure-boot image with the revisions the adapter's counters ask for, so
// that the adapter takes its own images back (a backup reinstalled, a repair).
void stamp_revisions(uint16_t type, const AntiRollbackCounters& fuses, std::vector<uint8_t>& image) {
    const size_t at = type == ZEL_DIR_TYPE_SBI ? SBI_HEADER_OFFSET_IN_SBI : 0;
    AuthenticatedBootImageHeader_t h;
    if (image.size() < at + sizeof h) return;
    std::memcpy(&h, image.data() + at, sizeof h);
    if (type == ZEL_DIR_TYPE_SBI) {
        h.sbi.CustomerRevisionID = fuses.crid;
        h.sbi.SBIRevisionID = fuses.sbi_rev;
    } else {
        h.sbi.CustomerRevisionID = type == ZEL_DIR_TYPE_SRT ? fuses.srt_rev : fuses.crt_rev;
    }
    std::memcpy(image.data() + at, &h, sizeof h);
}

}  // namespace

int factory_items(const AdapterDesc& a, std::vector<FactoryItem>& items, std::string& error) {
    namespace pb = zelt::pkgbuild;
    items.clear();
    const std::vector<uint16_t> version = version_numbers(a.fw_version);
    const bool newest = a.device_type > 7;
    auto key = pb::test_signing_key();

    struct Firmware {
        uint16_t type;
        uint32_t size;
    };
    for (Firmware f : {Firmware{ZEL_DIR_TYPE_BOOTCODE, 64u << 10}, Firmware{ZEL_DIR_TYPE_BOOTCODE_2, 128u << 10},
                       Firmware{ZEL_DIR_TYPE_APE_FW, 64u << 10}, Firmware{ZEL_DIR_TYPE_KONG_FW, 32u << 10}}) {
        FactoryItem item{f.type, 0, 0, 0, 0, {}};
        if (int rc = pb::firmware_image(f.type, version, a.fw_version, f.size, key, &item.data); rc != 0) {
            error = "firmware image of type " + std::to_string(f.type);
            return rc;
        }
        item.item_length = static_cast<uint32_t>((item.data.size() / 4096 + 2) * 4096);  // room to grow
        items.push_back(std::move(item));
    }
    // Trailer-signed images carry the Trailer attribute, as an installed one does.
    for (uint16_t type : {uint16_t{ZEL_DIR_TYPE_AVS}, uint16_t{ZEL_DIR_TYPE_CCM}}) {
        FactoryItem item{type, 0, 0, ZEL_DIR_ATTR_TRAILER, 0, {}};
        if (int rc = pb::trailer_image(type, version, 8u << 10, key, &item.data); rc != 0) {
            error = "trailer image of type " + std::to_string(type);
            return rc;
        }
        items.push_back(std::move(item));
    }
    if (!a.pcie_version.empty()) {
        // A PCIe table of the configured version, as older boards carry one.
        FactoryItem item{ZEL_DIR_TYPE_PCIE, 0, 0, ZEL_DIR_ATTR_TRAILER, 0, {}};
        if (int rc = pb::trailer_image(ZEL_DIR_TYPE_PCIE, version_numbers(a.pcie_version), 256, key, &item.data);
            rc != 0) {
            error = "PCIe table";
            return rc;
        }
        items.push_back(std::move(item));
    }
    if (newest) {
        uint32_t packed = (uint32_t{version[0]} << 24) | (uint32_t{version[1] & 0xFFu} << 16) |
                          (uint32_t{version[2] & 0xFFu} << 8) | (version[3] & 0xFFu);
        for (uint16_t type : {uint16_t{ZEL_DIR_TYPE_SBI}, uint16_t{ZEL_DIR_TYPE_SRT}, uint16_t{ZEL_DIR_TYPE_CRT}}) {
            FactoryItem item{type, 0, 0, 0, 0,
                             pb::secure_boot_image(type, packed, type == ZEL_DIR_TYPE_SBI ? 16u << 10 : 96u << 10)};
            stamp_revisions(type, anti_rollback_counters(a), item.data);
            items.push_back(std::move(item));
        }
    }

    FactoryItem vpd{ZEL_DIR_TYPE_VPD, 0, 0, 0, 1024, {}};
    if (int rc = pb::vpd_image(a.product_name, {{"PN", a.part_number}, {"SN", a.vpd_serial}, {"MN", "2B1D"}, {"EC", "A1"}},
                               &vpd.data);
        rc != 0) {
        error = "VPD image";
        return rc;
    }
    items.push_back(std::move(vpd));
    // Board data fields are short: the product name when it fits, else the maker and the
    // part number; the part number without its variant suffix.
    const std::string board_name =
        a.product_name.size() <= 32 ? a.product_name : ("Orvanta " + a.part_number).substr(0, 32);
    const std::string board_part =
        a.part_number.size() <= 6 ? a.part_number : a.part_number.substr(0, a.part_number.find('-')).substr(0, 6);
    items.push_back({ZEL_DIR_TYPE_FRU, 0, 0, 0, 0, pb::fru_image(board_name, a.vpd_serial, board_part, "A01")});
    items.push_back({ZEL_DIR_TYPE_SHARED_CFG, 0, 0, 0, 0, pb::filler(ZEL_DIR_TYPE_SHARED_CFG, 2048)});
    for (unsigned p = 0; p < a.ports; ++p)
        items.push_back({ZEL_DIR_TYPE_PORT_CFG, static_cast<uint16_t>(p), 0, 0, 0,
                         pb::filler(static_cast<uint16_t>(ZEL_DIR_TYPE_PORT_CFG * 16 + p), 1024)});
    items.push_back({ZEL_DIR_TYPE_FUNC_CFG, 0, 0, 0, 0, pb::filler(ZEL_DIR_TYPE_FUNC_CFG, 1024)});
    items.push_back({ZEL_DIR_TYPE_CFG_TABLE, 0, 0, 0, 0, pb::filler(ZEL_DIR_TYPE_CFG_TABLE, 4096)});
    items.push_back({ZEL_DIR_TYPE_ONBOARD_CFG, 0, 0, 0, 0, pb::filler(ZEL_DIR_TYPE_ONBOARD_CFG, 512)});
    items.push_back({ZEL_DIR_TYPE_CERT_CHAIN, 0, 0, 0, 0, pb::filler(ZEL_DIR_TYPE_CERT_CHAIN, 1536)});
    if (newest) {
        // The newest chips carry a second chain certificate and the device's alias certificate.
        items.push_back({ZEL_DIR_TYPE_CERT_CHAIN, 1, 0, 0, 0, pb::filler(ZEL_DIR_TYPE_CERT_CHAIN * 16 + 1, 1280)});
        items.push_back({ZEL_DIR_TYPE_CERT_ALIAS, 0, 0, 0, 0, pb::filler(ZEL_DIR_TYPE_CERT_ALIAS, 768)});
    }

    // Install log: one entry for the factory installation, already reported.
    std::string log = "2026-01-12 08:30:00\tOrvanta factory package\t" + a.pkg_version +
                      "\t2026-01-10 17:02:11\tSuccess\tN/A\t" + std::to_string(items.size()) +
                      "\t0x1fff\t0\tfactory\t0\n";
    items.push_back({ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, 8192, std::vector<uint8_t>(log.begin(), log.end())});
    // The staging area: allocated, empty.
    items.push_back({ZEL_DIR_TYPE_UPDATE, 0, 0, ZEL_DIR_ATTR_NO_CHKSUM, newest ? (2u << 20) : (1u << 20), {}});
    return 0;
}

}  // namespace zelt::sim
