#include "sim/firmware/firmware.h"

#include <algorithm>
#include <cstring>

#include "sim/firmware/fw_exchange.h"
#include "sim/firmware/option_values.h"
#include "sim/firmware/reset.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

namespace zelt::sim {

uint64_t DmaMap::next_bus() const {
    uint64_t end = kBusBase;
    for (const Mapping& m : maps_) end = std::max(end, m.bus + m.bytes.size() + (1u << 20));
    if (response_bus_ != 0) end = std::max(end, response_bus_ + response_size_ + (1u << 20));
    return end == kBusBase ? kBusBase : end & ~uint64_t{(1u << 20) - 1};
}

uint64_t DmaMap::map(std::span<uint8_t> buffer) {
    const uint64_t bus = next_bus();
    maps_.push_back({bus, buffer});
    return bus;
}

uint64_t DmaMap::map_response(std::span<uint8_t> response) {
    response_bus_ = next_bus();
    response_size_ = response.size();
    return response_bus_;
}

void DmaMap::carry_through_mailbox(std::span<uint8_t> host_payload) {
    mailbox_ = true;
    host_payload_ = host_payload;
}

std::span<uint8_t> DmaMap::find_source(uint64_t bus_address, uint64_t length) const {
    if (mailbox_ && host_payload_.empty()) return {};
    return find(bus_address, length);
}

bool DmaMap::names_source(uint64_t bus_address, uint64_t length) const {
    if (bus_address != 0) return true;
    return mailbox_ && (!host_payload_.empty() || length != 0);
}

std::span<uint8_t> DmaMap::find(uint64_t bus_address, uint64_t length, bool exact) const {
    if (mailbox_) {
        if (!host_payload_.empty()) {
            // The payload arrives in whole dwords: up to three bytes of padding follow.
            const bool fits = length <= host_payload_.size() && (!exact || host_payload_.size() - length < 4);
            return fits ? host_payload_.first(length) : std::span<uint8_t>{};
        }
        if (length > kMaxMailboxBlockBytes) return {};
        device_blocks_.emplace_back(length, 0);
        return device_blocks_.back();
    }
    for (const Mapping& m : maps_) {
        if (bus_address != m.bus) continue;
        if (length == m.bytes.size() || (!exact && length < m.bytes.size())) return m.bytes.first(length);
    }
    return {};
}

void firmware_error_answer(std::span<const uint8_t> request, std::span<uint8_t> response, uint16_t error_code,
                           uint8_t cmd_err) {
    hwrm_err_output err{};
    err.error_code = error_code;
    if (request.size() >= 2) std::memcpy(&err.req_type, request.data(), 2);
    if (request.size() >= 6) std::memcpy(&err.seq_id, request.data() + 4, 2);
    err.resp_len = sizeof err;
    err.cmd_err = cmd_err;
    err.valid = 1;
    std::fill(response.begin(), response.end(), 0);
    std::memcpy(response.data(), &err, std::min(sizeof err, response.size()));
    if (!response.empty()) response.back() = 1;
}

namespace {

// The common header: the default completion ring, a target the message may be sent
// to, and the response address the driver mapped.
enum class HeaderVerdict { ok, invalid, unanswerable };

HeaderVerdict check_header(std::span<const uint8_t> request, const DmaMap& dma) {
    hwrm_input_header hdr;
    std::memcpy(&hdr, request.data(), sizeof hdr);
    uint64_t resp_addr;
    std::memcpy(&resp_addr, hdr.resp_addr, sizeof resp_addr);
    if (dma.response_address() == 0 || resp_addr != dma.response_address()) return HeaderVerdict::unanswerable;
    if (hdr.cmpl_ring != kFwDefaultCmplRing) return HeaderVerdict::invalid;
    const uint16_t own_target = hdr.req_type == HWRM_NVM_INSTALL_UPDATE ? kFwTargetInstaller : kFwTargetSelf;
    if (hdr.target_id != own_target && hdr.target_id != kFwTargetMailbox) return HeaderVerdict::invalid;
    return HeaderVerdict::ok;
}

}  // namespace

void firmware_answer(FirmwareContext& ctx, std::span<const uint8_t> request, std::span<uint8_t> response,
                     const DmaMap& dma) {
    if (response.empty()) return;
    Exchange ex(request, response, dma);
    if (request.size() < sizeof(hwrm_input_header)) {
        ex.error(kFwErrInvalidParams);
        return;
    }
    switch (check_header(request, dma)) {
        case HeaderVerdict::unanswerable: return;
        case HeaderVerdict::invalid: ex.error(kFwErrInvalidParams); return;
        case HeaderVerdict::ok: break;
    }
    // A recovery image finding an erased NVM starts it afresh with an empty directory, so
    // that a complete package can be written into it.
    if (ctx.state.chip.boot == FirmwareBoot::recovery && ctx.flash.size() != 0 && !ctx.flash.has_directory())
        ctx.flash.format();
    if (answer_nvm_message(ctx, ex) || answer_query_message(ctx, ex) || answer_serdes_message(ctx, ex) ||
        answer_dump_message(ctx, ex) || answer_ntuple_message(ctx, ex) || answer_vf_message(ctx, ex) ||
        answer_loopback_message(ctx, ex) ||
        answer_tunnel_message(ctx, ex) || answer_txfir_message(ctx, ex) || answer_prbs_message(ctx, ex) ||
        answer_msix_message(ctx, ex) || answer_livepatch_message(ctx, ex) || answer_tsio_message(ctx, ex) ||
        answer_ptp_ext_message(ctx, ex) || answer_synce_message(ctx, ex)) {
        if (!ex.answered()) ex.error(kFwErrFail);
        return;
    }
    ex.error(kFwErrUnsupported);
}

void firmware_reset(FirmwareContext& ctx, unsigned restart_ms) {
    AdapterState& st = ctx.state;
    if (st.reset_pending && st.last_install.valid && st.last_install.result == 0) {
        st.running_fw_version = st.pending_fw_version.empty() ? st.running_fw_version : st.pending_fw_version;
        st.running_pkg_version = st.pending_pkg_version.empty() ? st.running_pkg_version : st.pending_pkg_version;
    }
    activate_stored_cfg_version(st);
    st.reset_pending = false;
    // Option values never flushed to the NVM are gone.
    st.unflushed_options.clear();
    st.option_action_status = 0;
    st.reset_count++;
    st.down_until_us = ctx.now_us + uint64_t{restart_ms} * 1000u;
    chip_boot_from_nvm(st.chip, ctx.adapter.device_type, nvm_boot_image_verifies(ctx.flash, st.verified_boot));
}

bool firmware_restarting(FirmwareContext& ctx) { return ctx.now_us < ctx.state.down_until_us; }

bool firmware_down(FirmwareContext& ctx) {
    const FirmwareBoot boot = ctx.state.chip.boot;
    return firmware_restarting(ctx) || ctx.flash.size() == 0 || boot == FirmwareBoot::nvm_failed ||
           boot == FirmwareBoot::halted;
}

}  // namespace zelt::sim
