// One request and its answer inside the simulated firmware: typed access to the
// request record and the writing of the answer record.
#pragma once

#include <cstring>
#include <span>
#include <type_traits>

#include "sim/firmware/firmware.h"
#include "wire/hwrm_header.h"

namespace zelt::sim {

class Exchange {
public:
    Exchange(std::span<const uint8_t> request, std::span<uint8_t> response, const DmaMap& dma)
        : request_(request), response_(response), dma_(dma) {}

    // Copies the request record; false when the request is not exactly the record.
    template <class In>
    bool request(In& in) const {
        static_assert(std::is_trivially_copyable_v<In>);
        if (request_.size() != sizeof(In)) return false;
        std::memcpy(&in, request_.data(), sizeof(In));
        return true;
    }

    // Writes a success answer: header echoed from the request, `valid` set.
    template <class Out>
    void answer(Out& out) {
        static_assert(std::is_trivially_copyable_v<Out>);
        out.hdr.error_code = 0;
        out.hdr.req_type = req_type();
        out.hdr.seq_id = seq_id();
        out.hdr.resp_len = sizeof(Out);
        out.valid = 1;
        std::memcpy(response_.data(), &out, std::min(sizeof(Out), response_.size()));
        answered_ = true;
    }

    void error(uint16_t error_code, uint8_t cmd_err = 0) {
        firmware_error_answer(request_, response_, error_code, cmd_err);
        answered_ = true;
    }

    // An error answer whose two status words (opaque_0, opaque_1) say more about why.
    void error_with_status(uint16_t error_code, uint32_t opaque_0, uint16_t opaque_1) {
        error(error_code);
        hwrm_err_output err;
        if (response_.size() < sizeof err) return;
        std::memcpy(&err, response_.data(), sizeof err);
        err.opaque_0 = opaque_0;
        err.opaque_1 = opaque_1;
        std::memcpy(response_.data(), &err, sizeof err);
    }

    // The DMA buffer whose bus address the request holds at `field_offset`, when it is
    // exactly `length` bytes long (with `exact` false: its first `length` bytes, when it
    // is at least that long); empty otherwise.
    std::span<uint8_t> dma_at(size_t field_offset, uint64_t length, bool exact = true) const {
        if (request_.size() < field_offset + 8) return {};
        uint64_t bus;
        std::memcpy(&bus, request_.data() + field_offset, 8);
        return dma_.find(bus, length, exact);
    }

    // The host's data buffer named at `field_offset`, for a message that writes it
    // somewhere: empty unless the host's data is really there (see DmaMap::find_source).
    std::span<uint8_t> source_at(size_t field_offset, uint64_t length) const {
        return dma_.find_source(bus_at(field_offset), length);
    }
    // True when the request names a host buffer to take `length` bytes from.
    bool names_source(size_t field_offset, uint64_t length) const {
        return dma_.names_source(bus_at(field_offset), length);
    }

    uint16_t req_type() const { return word(0); }
    uint16_t seq_id() const { return word(4); }
    bool answered() const { return answered_; }

private:
    uint64_t bus_at(size_t field_offset) const {
        uint64_t bus = 0;
        if (request_.size() >= field_offset + 8) std::memcpy(&bus, request_.data() + field_offset, 8);
        return bus;
    }
    uint16_t word(size_t off) const {
        uint16_t v = 0;
        if (request_.size() >= off + 2) std::memcpy(&v, request_.data() + off, 2);
        return v;
    }
    std::span<const uint8_t> request_;
    std::span<uint8_t> response_;
    const DmaMap& dma_;
    bool answered_ = false;
};

// True when every byte of a reserved field is zero.
template <size_t N>
bool reserved_clear(const uint8_t (&field)[N]) {
    for (uint8_t b : field)
        if (b != 0) return false;
    return true;
}

// Handlers of the message families; each returns false for a message it does not know.
bool answer_nvm_message(FirmwareContext& ctx, Exchange& ex);
bool answer_query_message(FirmwareContext& ctx, Exchange& ex);
bool answer_serdes_message(FirmwareContext& ctx, Exchange& ex);
bool answer_dump_message(FirmwareContext& ctx, Exchange& ex);
bool answer_ntuple_message(FirmwareContext& ctx, Exchange& ex);
bool answer_vf_message(FirmwareContext& ctx, Exchange& ex);
bool answer_loopback_message(FirmwareContext& ctx, Exchange& ex);
bool answer_tunnel_message(FirmwareContext& ctx, Exchange& ex);
bool answer_txfir_message(FirmwareContext& ctx, Exchange& ex);
bool answer_prbs_message(FirmwareContext& ctx, Exchange& ex);
bool answer_msix_message(FirmwareContext& ctx, Exchange& ex);
bool answer_livepatch_message(FirmwareContext& ctx, Exchange& ex);
bool answer_tsio_message(FirmwareContext& ctx, Exchange& ex);
bool answer_ptp_ext_message(FirmwareContext& ctx, Exchange& ex);
bool answer_synce_message(FirmwareContext& ctx, Exchange& ex);
// The PHY loopback set on the function's port (hwrm_port_phy_qcfg `lpbk`).
uint8_t sim_phy_loopback(FirmwareContext& ctx);
// hwrm_func_qcfg of one of the asking PF's VFs (by firmware id); false when `fid` is
// none of them.
bool answer_vf_qcfg(FirmwareContext& ctx, Exchange& ex, uint16_t fid);

}  // namespace zelt::sim
