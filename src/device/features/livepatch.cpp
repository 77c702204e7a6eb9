#include "device/features/livepatch.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "transport/hwrm_exchange.h"
#include "wire/hwrm_livepatch.h"
#include "wire/hwrm_messages.h"

namespace zelt::device {

namespace {

uint8_t wire_target(LivepatchTarget t) {
    switch (t) {
        case LivepatchTarget::common_fw: return HWRM_FW_LIVEPATCH_TARGET_COMMON_FW;
        case LivepatchTarget::secure_fw: return HWRM_FW_LIVEPATCH_TARGET_SECURE_FW;
        case LivepatchTarget::chimp_fw: return HWRM_FW_LIVEPATCH_TARGET_CHIMP_FW;
    }
    return 0;
}

// A NUL-padded version field; nothing when empty.
std::optional<std::string> version_text(const char (&field)[32]) {
    std::string s(field, strnlen(field, sizeof field));
    if (s.empty()) return std::nullopt;
    return s;
}

}  // namespace

Result zeltnvm_query_livepatch(const transport::Function& fn, LivepatchTarget target, LivepatchVersions* versions) {
    hwrm_fw_livepatch_query_input req{};
    req.fw_target = wire_target(target);
    hwrm_fw_livepatch_query_output resp{};
    const Result rc = transport::exchange(fn, HWRM_FW_LIVEPATCH_QUERY, req, resp);
    *versions = {};
    if (!rc.ok()) return rc;
    const uint16_t flags = le16_to_cpu(resp.status_flags);
    if (flags & HWRM_FW_LIVEPATCH_QUERY_STATUS_ACTIVE) versions->active = version_text(resp.active_ver);
    if (flags & HWRM_FW_LIVEPATCH_QUERY_STATUS_INSTALL) versions->nvm = version_text(resp.install_ver);
    return rc;
}

Result zeltnvm_livepatch(const transport::Function& fn, LivepatchTarget target, LivepatchOperation op,
                         std::span<const uint8_t> image) {
    hwrm_fw_livepatch_input req{};
    req.fw_target = wire_target(target);
    hwrm_fw_livepatch_output resp{};
    if (op == LivepatchOperation::deactivate) {
        req.opcode = HWRM_FW_LIVEPATCH_OPCODE_DEACTIVATE;
        return transport::exchange(fn, HWRM_FW_LIVEPATCH, req, resp);
    }
    req.opcode = HWRM_FW_LIVEPATCH_OPCODE_ACTIVATE;
    if (image.empty()) {
        req.loadtype = HWRM_FW_LIVEPATCH_LOADTYPE_NVM;
        return transport::exchange(fn, HWRM_FW_LIVEPATCH, req, resp);
    }
    req.loadtype = HWRM_FW_LIVEPATCH_LOADTYPE_MEMORY;
    req.patch_len = cpu_to_le32(static_cast<uint32_t>(image.size()));
    // The channel maps a buffer it may write to: the image goes in a copy.
    std::vector<uint8_t> buf(image.begin(), image.end());
    const transport::HwrmData data{buf.data(), static_cast<uint32_t>(buf.size()),
                                   offsetof(hwrm_fw_livepatch_input, host_addr), 0};
    return transport::exchange(fn, HWRM_FW_LIVEPATCH, req, resp, &data);
}

}  // namespace zelt::device
