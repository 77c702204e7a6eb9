#include "sim/create/recovery_images.h"

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "common/directory_types.h"
#include "pkgbuild/pkgbuild.h"
#include "sim/chip/recovery_chip.h"
#include "sim/firmware/install_staged.h"
#include "sim/state/sim_store.h"
#include "test_signing_key/test_signing_key.h"
#include "wire/fastboot_registers.h"

namespace zelt::sim {

namespace fb = wire::fastboot;

namespace {

// Body bytes of a recovery firmware image: small, as a recovery image only has to
// bring up the mailbox and the NVM access.
constexpr uint32_t kRecoveryBodyBytes = 24u << 10;
constexpr uint32_t kSbiBytes = 16u << 10;
constexpr uint16_t kHeaderRevision = 2;

std::vector<uint16_t> version_numbers(const std::string& text) {
    unsigned v[4] = {0, 0, 0, 0};
    std::sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    return {static_cast<uint16_t>(v[0]), static_cast<uint16_t>(v[1]), static_cast<uint16_t>(v[2]),
            static_cast<uint16_t>(v[3])};
}

void put_info(fb::image_info& info, const char* name, uint32_t flags, uint32_t offset, uint32_t length,
              uint32_t sram) {
    std::memcpy(info.name, name, sizeof info.name);
    info.flags = flags;
    info.file_offset = offset;
    info.length = length;
    info.sram_address = sram;
}

}  // namespace

int recovery_image_file(const AdapterDesc& a, std::string& path, std::vector<uint8_t>& bytes) {
    namespace pb = zelt::pkgbuild;
    path.clear();
    bytes.clear();
    const std::vector<uint16_t> version = version_numbers(a.fw_version);
    std::vector<uint8_t> firmware;
    if (int rc = pb::firmware_image(ZEL_DIR_TYPE_BOOTCODE_2, version, "recovery", kRecoveryBodyBytes,
                                    pb::test_signing_key(), &firmware);
        rc != 0)
        return rc;
    if (a.device_type == 4 || a.device_type == 5 || a.device_type == 6) {
        path = a.device_type == 6 ? fb::kRecoveryImageType6 : fb::kRecoveryImageTypes4And5;
        bytes = std::move(firmware);
        return 0;
    }
    if (a.device_type != 8) return 0;
    const AntiRollbackCounters fuses = anti_rollback_counters(a);
    const image::SecureBootIdentity id{fuses.crid, fuses.sbi_rev, fuses.srt_rev, fuses.crt_rev};
    const std::vector<uint8_t> sbi =
        pb::secure_boot_image(ZEL_DIR_TYPE_SBI, pb::secure_boot_version(version), kSbiBytes, id);
    fb::fastboot_header h{};
    std::memcpy(h.signature, "CFB", 4);
    h.num_images_rev = 2u | (uint32_t{kHeaderRevision} << 16);
    const uint32_t sbi_at = sizeof h;
    const uint32_t fw_at = sbi_at + static_cast<uint32_t>(sbi.size());
    put_info(h.images[0], "SBI0", fb::kImageFlagSbi, sbi_at, static_cast<uint32_t>(sbi.size()), kRecoverySbiSramAddress);
    put_info(h.images[1], "FW00", 0, fw_at, static_cast<uint32_t>(firmware.size()), kRecoveryFirmwareSramAddress);
    h.cookie_addr = kSbiCookieAddress + fb::kSramHostOffset;
    bytes.resize(sizeof h);
    std::memcpy(bytes.data(), &h, sizeof h);
    bytes.insert(bytes.end(), sbi.begin(), sbi.end());
    bytes.insert(bytes.end(), firmware.begin(), firmware.end());
    char name[160];
    std::snprintf(name, sizeof name, fb::kRecoveryImageKestraFormat, fuses.crid);
    path = name;
    return 0;
}

bool write_recovery_images(const std::string& root, const HostDesc& host, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(root + fb::kRecoveryImageDir, ec);
    if (ec) {
        error = root + fb::kRecoveryImageDir + ": " + ec.message();
        return false;
    }
    for (const AdapterDesc& a : host.adapters) {
        std::string path;
        std::vector<uint8_t> bytes;
        if (recovery_image_file(a, path, bytes) != 0) {
            error = a.name + ": building the recovery image failed";
            return false;
        }
        if (path.empty()) continue;
        if (!write_file_atomic(root + path, std::string(bytes.begin(), bytes.end()), error)) return false;
    }
    return true;
}

}  // namespace zelt::sim
