// Live patches of the adapter's firmware. A patch stored in the NVM is the flash item
// of the target's live-patch type; the running patch of each target is kept in the
// adapter's state. Images are checked as the firmware checks them: size, header, then
// the CRC-32 that authenticates the payload. Only the newest family takes an image
// from host memory.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <zlib.h>

#include "common/directory_types.h"
#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_livepatch.h"
#include "wire/hwrm_messages.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "livepatch";

bool newest(const FirmwareContext& ctx) { return ctx.adapter.device_type >= 8; }

// The flash item type of a target on this adapter; 0 for a target it lacks.
uint16_t item_type(const FirmwareContext& ctx, uint8_t target) {
    switch (target) {
        case HWRM_FW_LIVEPATCH_TARGET_COMMON_FW: return newest(ctx) ? ZEL_DIR_TYPE_CRT_LIVEPATCH : 0;
        case HWRM_FW_LIVEPATCH_TARGET_SECURE_FW: return newest(ctx) ? ZEL_DIR_TYPE_SRT_LIVEPATCH : 0;
        case HWRM_FW_LIVEPATCH_TARGET_CHIMP_FW: return newest(ctx) ? 0 : ZEL_DIR_TYPE_CHIMP_LIVEPATCH;
        default: return 0;
    }
}

json load(const AdapterState& st) {
    auto it = st.features.find(kFeature);
    json j = it == st.features.end() ? json::object() : json::parse(it->second, nullptr, false);
    return j.is_object() ? j : json::object();
}

// The stored patch of the target, when the flash holds one.
std::optional<std::vector<uint8_t>> stored_image(const FirmwareContext& ctx, uint16_t type) {
    const int index = ctx.flash.find(type, 0, 0);
    if (index < 0) return std::nullopt;
    std::vector<uint8_t> data(ctx.flash.entry(static_cast<uint32_t>(index)).data_length);
    if (ctx.flash.read(static_cast<uint32_t>(index), 0, data) != FlashStatus::ok) return std::nullopt;
    return data;
}

// The reason an image is refused (0: none); its version text when taken.
uint8_t check_image(std::span<const uint8_t> image, uint8_t target, std::string* version) {
    livepatch_image_header h;
    if (image.size() < sizeof h || image.size() > LIVEPATCH_IMAGE_MAX_BYTES)
        return HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_SIZE;
    std::memcpy(&h, image.data(), sizeof h);
    if (h.magic != LIVEPATCH_IMAGE_MAGIC || h.header_version != LIVEPATCH_IMAGE_HEADER_VERSION ||
        h.header_len != sizeof h || h.fw_target != target)
        return HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_HEADER;
    if (uint64_t{h.header_len} + h.payload_len != image.size()) return HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_SIZE;
    const std::span<const uint8_t> payload = image.subspan(sizeof h);
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), payload.data(), static_cast<uInt>(payload.size()));
    if (crc != h.payload_crc32) return HWRM_FW_LIVEPATCH_CMD_ERR_AUTH_FAIL;
    *version = std::string(h.version, strnlen(h.version, sizeof h.version));
    return 0;
}

void copy_version(char (&field)[32], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

void livepatch_query(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_livepatch_query_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_0)) return ex.error(kFwErrInvalidParams);
    const uint16_t type = item_type(ctx, in.fw_target);
    if (type == 0) return ex.error(kFwErrInvalidParams, HWRM_FW_LIVEPATCH_CMD_ERR_NOT_SUPPORTED);
    hwrm_fw_livepatch_query_output out{};
    std::string version;
    if (auto image = stored_image(ctx, type); image && check_image(*image, in.fw_target, &version) == 0) {
        copy_version(out.install_ver, version);
        out.status_flags |= HWRM_FW_LIVEPATCH_QUERY_STATUS_INSTALL;
    }
    const json j = load(ctx.state);
    const std::string key = std::to_string(in.fw_target);
    if (j.contains(key)) {
        copy_version(out.active_ver, j[key].get<std::string>());
        out.status_flags |= HWRM_FW_LIVEPATCH_QUERY_STATUS_ACTIVE;
    }
    ex.answer(out);
}

void livepatch(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_livepatch_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    auto refuse = [&](uint8_t reason) { ex.error(kFwErrInvalidParams, reason); };
    const uint16_t type = item_type(ctx, in.fw_target);
    if (type == 0) return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_NOT_SUPPORTED);
    json j = load(ctx.state);
    const std::string key = std::to_string(in.fw_target);
    std::string version;
    if (in.opcode == HWRM_FW_LIVEPATCH_OPCODE_DEACTIVATE) {
        if (!j.contains(key)) return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_NOT_PATCHED);
        j.erase(key);
    } else if (in.opcode == HWRM_FW_LIVEPATCH_OPCODE_ACTIVATE && in.loadtype == HWRM_FW_LIVEPATCH_LOADTYPE_NVM) {
        const auto image = stored_image(ctx, type);
        if (!image) return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_NOT_INSTALLED);
        if (j.contains(key)) return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_ALREADY_PATCHED);
        if (const uint8_t reason = check_image(*image, in.fw_target, &version)) return refuse(reason);
        j[key] = version;
    } else if (in.opcode == HWRM_FW_LIVEPATCH_OPCODE_ACTIVATE && in.loadtype == HWRM_FW_LIVEPATCH_LOADTYPE_MEMORY) {
        if (!newest(ctx)) return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_NOT_SUPPORTED);
        if (j.contains(key)) return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_ALREADY_PATCHED);
        if (in.patch_len == 0 || in.patch_len > LIVEPATCH_IMAGE_MAX_BYTES)
            return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_INVALID_SIZE);
        const std::span<uint8_t> image = ex.source_at(offsetof(hwrm_fw_livepatch_input, host_addr), in.patch_len);
        if (image.size() != in.patch_len) return ex.error(kFwErrInvalidParams);
        if (const uint8_t reason = check_image(image, in.fw_target, &version)) return refuse(reason);
        j[key] = version;
    } else {
        return refuse(HWRM_FW_LIVEPATCH_CMD_ERR_NOT_SUPPORTED);
    }
    ctx.state.features[kFeature] = j.dump();
    hwrm_fw_livepatch_output out{};
    ex.answer(out);
}

}  // namespace

bool answer_livepatch_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_FW_LIVEPATCH_QUERY: livepatch_query(ctx, ex); return true;
        case HWRM_FW_LIVEPATCH: livepatch(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
