#include "sim/factory/factory_content.h"

#include <algorithm>
#include <cstring>

#include "common/directory_entry.h"
#include "common/directory_types.h"
#include "formats/crypto/crc32.h"
#include "formats/vpd/vpd.h"

namespace zelt::sim {

namespace {

void put_text(std::vector<uint8_t>& buf, size_t offset, size_t width, const std::string& text) {
    std::fill_n(buf.begin() + static_cast<long>(offset), width, ' ');
    std::copy_n(text.begin(), std::min(width, text.size()), buf.begin() + static_cast<long>(offset));
}

// A firmware image: a small header naming the image and its version, a body of
// deterministic bytes and the CRC-32 of everything before it.
std::vector<uint8_t> firmware_image(uint16_t type, const std::string& version, uint32_t size) {
    std::vector<uint8_t> img(size);
    for (uint32_t i = 0; i < size; ++i) img[i] = static_cast<uint8_t>((i * 131u + type * 17u) >> 3);
    const char magic[4] = {'Z', 'F', 'W', 'I'};
    std::memcpy(img.data(), magic, 4);
    std::memcpy(img.data() + 4, &type, 2);
    std::string v = version.substr(0, 31);
    std::fill_n(img.begin() + 8, 32, 0);
    std::copy(v.begin(), v.end(), img.begin() + 8);
    uint32_t crc = crc32i(ZELT_CRC32_INIT, img.data(), size - 4);
    std::memcpy(img.data() + size - 4, &crc, 4);
    return img;
}

std::vector<uint8_t> config_block(uint16_t type, uint16_t ordinal, uint32_t size) {
    std::vector<uint8_t> b(size, 0);
    for (uint32_t i = 0; i < size; i += 4) {
        uint32_t v = (uint32_t{type} << 16) ^ (uint32_t{ordinal} << 8) ^ i;
        std::memcpy(b.data() + i, &v, std::min<uint32_t>(4, size - i));
    }
    return b;
}

std::vector<uint8_t> text_bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

}  // namespace

std::vector<uint8_t> build_vpd_item(const AdapterDesc& a) {
    std::vector<uint8_t> item(512, 0);
    uint32_t revision = 1;
    std::memcpy(item.data(), &revision, 4);
    uint8_t* list = item.data() + VPD_IMAGE_HEADER_SIZE;
    size_t len = item.size() - VPD_IMAGE_HEADER_SIZE;
    list[0] = VPD_TAG_END;
    std::string name = a.product_name.substr(0, 80);
    vpd_put_resource(list, len, VPD_RESOURCE_TAG_IDENTIFER_STRING, true, nullptr,
                     reinterpret_cast<const uint8_t*>(name.data()), name.size());
    auto field = [&](const char* kw, const std::string& value) {
        vpd_put_field(list, len, VPD_RESOURCE_TAG_READ_ONLY, kw, reinterpret_cast<const uint8_t*>(value.data()),
                      value.size());
    };
    field("PN", a.part_number);
    field("EC", "A1");
    field("SN", a.vpd_serial);
    field("MN", "2B1D");
    vpd_put_checksum(list, len);
    int32_t used = vpd_get_length(list, len);
    if (used > 0) item.resize(VPD_IMAGE_HEADER_SIZE + static_cast<size_t>(used));
    return item;
}

std::vector<uint8_t> build_fru_item(const AdapterDesc& a) {
    std::vector<uint8_t> fru(128, 0);
    fru[0] = 0x01;  // common header: format version
    fru[3] = 0x01;  // board area at 8 bytes
    put_text(fru, 19, 32, a.product_name);
    put_text(fru, 52, 14, a.vpd_serial);
    put_text(fru, 67, 6, a.part_number.substr(0, 6));
    put_text(fru, 73, 3, "A01");
    return fru;
}

std::vector<FactoryItem> factory_items(const AdapterDesc& a) {
    const std::string& v = a.pkg_version;
    bool newest = a.device_type > 7;
    std::vector<FactoryItem> items;
    auto fw = [&](uint16_t type, uint32_t size) {
        items.push_back({type, 0, 0, 0, 0, firmware_image(type, a.fw_version, size)});
    };
    fw(ZEL_DIR_TYPE_BOOTCODE, 64 << 10);
    fw(ZEL_DIR_TYPE_BOOTCODE_2, 256 << 10);
    fw(ZEL_DIR_TYPE_APE_FW, 128 << 10);
    fw(ZEL_DIR_TYPE_KONG_FW, 128 << 10);
    fw(ZEL_DIR_TYPE_EXP_ROM_MBA, 96 << 10);
    if (newest) {
        fw(ZEL_DIR_TYPE_SBI, 32 << 10);
        fw(ZEL_DIR_TYPE_SRT, 192 << 10);
        fw(ZEL_DIR_TYPE_CRT, 192 << 10);
    }
    items.push_back({ZEL_DIR_TYPE_VPD, 0, 0, 0, 1024, build_vpd_item(a)});
    items.push_back({ZEL_DIR_TYPE_FRU, 0, 0, 0, 0, build_fru_item(a)});
    items.push_back({ZEL_DIR_TYPE_SHARED_CFG, 0, 0, 0, 0, config_block(ZEL_DIR_TYPE_SHARED_CFG, 0, 2048)});
    for (unsigned p = 0; p < a.ports; ++p)
        items.push_back({ZEL_DIR_TYPE_PORT_CFG, static_cast<uint16_t>(p), 0, 0, 0,
                         config_block(ZEL_DIR_TYPE_PORT_CFG, static_cast<uint16_t>(p), 1024)});
    items.push_back({ZEL_DIR_TYPE_FUNC_CFG, 0, 0, 0, 0, config_block(ZEL_DIR_TYPE_FUNC_CFG, 0, 1024)});
    items.push_back({ZEL_DIR_TYPE_CFG_TABLE, 0, 0, 0, 0, config_block(ZEL_DIR_TYPE_CFG_TABLE, 0, 4096)});
    items.push_back({ZEL_DIR_TYPE_ONBOARD_CFG, 0, 0, 0, 0, config_block(ZEL_DIR_TYPE_ONBOARD_CFG, 0, 512)});
    items.push_back({ZEL_DIR_TYPE_CERT_CHAIN, 0, 0, 0, 0, config_block(ZEL_DIR_TYPE_CERT_CHAIN, 0, 1536)});
    // Install log: one entry for the factory installation, already reported.
    std::string log = "2026-01-12 08:30:00\tOrvanta factory package\t" + v +
                      "\t2026-01-10 17:02:11\tSuccess\tN/A\t" + std::to_string(items.size()) +
                      "\t0x1fff\t0\tfactory\t0\n";
    items.push_back({ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, 8192, text_bytes(log)});
    // The staging area: allocated, empty.
    items.push_back({ZEL_DIR_TYPE_UPDATE, 0, 0, ZEL_DIR_ATTR_NO_CHKSUM, newest ? (2u << 20) : (1u << 20), {}});
    return items;
}

}  // namespace zelt::sim
