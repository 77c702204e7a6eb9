// The self-test messages: the test list and the SerDes data of the eye diagrams, their
// projections and the PCIe eye scope, all computed from the lanes' channel model.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

#include "sim/faults/faults.h"
#include "sim/firmware/fw_exchange.h"
#include "sim/firmware/serdes_model.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_selftest.h"

namespace zelt::sim {

namespace {

constexpr unsigned kPcieLanes = 16;
constexpr unsigned kEthernetLanes = 4;
// Virtual time an eye-scope test takes per target step (1e-8 takes one step).
constexpr uint64_t kEyeScopeStepUs = 10'000'000;
// Bits the older scans count per cell: a count at these rates reads as BER 1e-1.
constexpr double kPcieEyeBits = 9175040;
constexpr double kEthernetEyeBits = 18350080;
// The projection measures each point until about this many errors, within these times
// (10 us units).
constexpr double kProjectionErrors = 200;
constexpr uint64_t kProjectionMinTime = 100;
constexpr uint64_t kProjectionMaxTime = 200'000;
constexpr double kScopeMvPerRow = 3.52;
constexpr double kScopeUiPerColumn = 1.0 / 32;

bool newest(const FirmwareContext& ctx) { return ctx.adapter.device_type > 7; }

int target_support(const FirmwareContext& ctx) {
    const int configured = ctx.adapter.serdes.target_ber_support;
    return configured >= 0 ? configured : (newest(ctx) ? 4 : 2);
}

double pcie_rate(const FirmwareContext& ctx) { return newest(ctx) ? 16e9 : 8e9; }

double ethernet_rate(const FirmwareContext& ctx) {
    switch (ctx.function.link_speed) {
        case 100:
        case 400: return 10.3125e9;
        default: return 25.78125e9;
    }
}

// The voltage ladders of the older scans, in mV for a signed step.
int pcie_ladder(int step) {
    const int a = std::abs(step);
    const int mv = ((a < 23 ? a * 25 : a * 50 - 550) + 2) / 4;
    return step < 0 ? -mv : mv;
}
int ethernet_ladder(int step) {
    const int mv = std::abs(step) * 300 / 127;
    return step < 0 ? -mv : mv;
}

uint32_t clamp_count(double v) {
    if (!(v > 0)) return 0;
    return v >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(std::llround(v));
}

void put_u32(std::span<uint8_t> buf, size_t index, uint32_t v) {
    if ((index + 1) * 4 <= buf.size()) std::memcpy(buf.data() + index * 4, &v, 4);
}

void answer_lengths(Exchange& ex, uint32_t length, uint16_t progress, uint8_t flags) {
    hwrm_selftest_retrieve_serdes_data_output out{};
    out.total_data_len = static_cast<uint16_t>(length);
    out.copied_data_len = static_cast<uint16_t>(length);
    out.progress_percent = progress;
    out.flags = flags;
    ex.answer(out);
}

void selftest_qlist(FirmwareContext& ctx, Exchange& ex) {
    hwrm_selftest_qlist_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_selftest_qlist_output out{};
    out.num_tests = 2;
    out.available_tests = 0x03;
    out.test_timeout = 30;
    std::strncpy(out.test_name[0], "NVM Test", sizeof out.test_name[0] - 1);
    std::strncpy(out.test_name[1], "Link Test", sizeof out.test_name[1] - 1);
    out.eyescope_target_BER_support = static_cast<uint8_t>(target_support(ctx));
    ex.answer(out);
}

// ---- The older scans -------------------------------------------------------------------

void legacy_eye(FirmwareContext& ctx, Exchange& ex, const hwrm_selftest_retrieve_serdes_data_input& in) {
    const bool pcie = in.flags & HWRM_SERDES_FLAGS_PCIE;
    if (pcie && newest(ctx)) return ex.error(kFwErrUnsupported);
    if (in.options >= (pcie ? kPcieLanes : kEthernetLanes)) return ex.error(kFwErrInvalidParams);
    auto buf = ex.dma_at(offsetof(hwrm_selftest_retrieve_serdes_data_input, resp_data_addr), HWRM_SERDES_EYE_DATA_LEN);
    if (buf.empty() || in.data_len != HWRM_SERDES_EYE_DATA_LEN) return ex.error(kFwErrInvalidParams);
    const SerdesLaneDesc& lane = pcie ? ctx.adapter.serdes.pcie(in.options) : ctx.adapter.serdes.ethernet(in.options);
    // PCIe: rows 31 to -31. Ethernet: every step 127 to -127 on the newest chips, every
    // second one 62 to -62 before them.
    const int top = pcie ? 31 : (newest(ctx) ? 127 : 62);
    const int step = pcie || newest(ctx) ? 1 : 2;
    size_t slot = 0;
    for (int row = top; row >= -top; row -= step, slot += 64) {
        const double mv = pcie ? pcie_ladder(row) : ethernet_ladder(row);
        for (int phase = -31; phase <= 31; ++phase) {
            const double ber = lane_ber(lane, phase / 64.0, mv);
            put_u32(buf, slot + size_t(phase + 31), clamp_count(ber * (pcie ? kPcieEyeBits : kEthernetEyeBits)));
        }
    }
    answer_lengths(ex, static_cast<uint32_t>(slot * 4), 1000, 0);
}

void legacy_projection(FirmwareContext& ctx, Exchange& ex, const hwrm_selftest_retrieve_serdes_data_input& in) {
    const bool pcie = in.flags & HWRM_SERDES_FLAGS_PCIE;
    if (pcie && newest(ctx)) return ex.error(kFwErrUnsupported);
    if (in.options >= (pcie ? kPcieLanes : kEthernetLanes)) return ex.error(kFwErrInvalidParams);
    auto buf = ex.dma_at(offsetof(hwrm_selftest_retrieve_serdes_data_input, resp_data_addr), HWRM_SERDES_PROJECTION_LEN);
    if (buf.empty() || in.data_len != HWRM_SERDES_PROJECTION_LEN) return ex.error(kFwErrInvalidParams);
    const SerdesLaneDesc& lane = pcie ? ctx.adapter.serdes.pcie(in.options) : ctx.adapter.serdes.ethernet(in.options);
    const uint8_t direction = in.flags & HWRM_SERDES_FLAGS_DIRECTION_MASK;
    const bool horizontal = direction == HWRM_SERDES_DIRECTION_RIGHT || direction == HWRM_SERDES_DIRECTION_LEFT;
    const double rate = pcie ? pcie_rate(ctx) : ethernet_rate(ctx);
    serdes_projection_data data{};
    for (int i = 0; i < 32; ++i) {
        // The scan steps in from its outermost offset towards the centre.
        double phase_ui = 0, mv = 0;
        int steps_left;
        if (newest(ctx)) {
            steps_left = horizontal ? 62 - 2 * i : 62 - i;
            if (horizontal) phase_ui = steps_left / 128.0;
            else mv = std::abs(steps_left) * 263 / 127;
        } else {
            steps_left = horizontal || pcie ? 31 - i : 62 - i;
            if (horizontal) phase_ui = steps_left / 64.0;
            else mv = pcie ? pcie_ladder(steps_left) : ethernet_ladder(steps_left);
        }
        if (steps_left <= 0) break;
        const double ber = lane_ber(lane, phase_ui, mv);
        const double bits_per_unit = rate * 1e-5;
        const double wanted = kProjectionErrors / (ber * bits_per_unit);
        const uint64_t time = std::clamp<uint64_t>(static_cast<uint64_t>(std::ceil(std::min(wanted, 1e12))),
                                                   kProjectionMinTime, kProjectionMaxTime);
        const uint32_t errors = clamp_count(ber * double(time) * bits_per_unit);
        data.error_count[i] = errors;
        data.time[i] = time;
        // Once a point sees no error in the longest measurement the scan is done.
        if (errors == 0) break;
    }
    std::memcpy(buf.data(), &data, sizeof data);
    answer_lengths(ex, sizeof data, 1000, 0);
}

// ---- The eye scope ---------------------------------------------------------------------

// Whether an "eyescope_slow" fault is scheduled for the function.
bool eye_scope_slow(const FirmwareContext& ctx) {
    if (!ctx.faults) return false;
    for (const FaultDesc& f : *ctx.faults) {
        if (f.kind != "eyescope_slow") continue;
        if (!f.adapter.empty() && f.adapter != ctx.adapter.name) continue;
        if (!f.function.empty() && f.function != ctx.function.address() && f.function != ctx.function.ifname) continue;
        return true;
    }
    return false;
}

uint16_t test_progress(const FirmwareContext& ctx, unsigned lane) {
    const EyeScopeTest& t = ctx.state.eye_scope;
    if (!t.active || t.lane != lane) return 0;
    const uint64_t elapsed = ctx.now_us > t.start_us ? ctx.now_us - t.start_us : 0;
    if (t.duration_us == 0 || elapsed >= t.duration_us) return 1000;
    return static_cast<uint16_t>(elapsed * 1000 / t.duration_us);
}

serdes_rx_settings rx_settings(const SerdesLaneDesc& lane) {
    serdes_rx_settings s{};
    const int loss = static_cast<int>(std::lround(lane.loss_db));
    const int amplitude = static_cast<int>(std::lround(lane_amplitude_mv(lane) / 4));
    s.iskew_signed = 0;
    s.qskew_signed = -1;
    s.dlev00_signed = amplitude;
    s.dlev01_signed = amplitude - 2;
    s.dlev10_signed = -amplitude;
    s.dlev11_signed = 2 - amplitude;
    s.h1p = 2 * loss;
    s.h1n = -loss;
    int32_t* taps[] = {&s.h2, &s.h3, &s.h4, &s.h5, &s.h6, &s.h7, &s.h8, &s.h9};
    for (int k = 0; k < 8; ++k) *taps[k] = loss / (k + 2);
    s.aeq = loss;
    s.vga = 30 - loss / 2;
    s.appmd = 1;
    s.rxrt = 3;
    s.shd = 4;
    s.proc = 0;
    s.step = 1;
    s.wm = 0;
    return s;
}

// Bits counted at a cell: enough for the target BER, fewer where errors are plenty so
// that the error count stays within 32 bits. Returns the count, or its exponent of two.
uint32_t cell_bits(double ber, int target, bool pow2, double fraction) {
    if (pow2) {
        int exponent = 30 + 3 * target + static_cast<int>(std::floor(std::log2(std::max(fraction, 1e-3))));
        // Compared in floating point: for a BER near zero the cap is beyond any int.
        const double cap = ber > 0 ? std::floor(std::log2(2147483648.0 / ber)) : HUGE_VAL;
        if (cap < exponent) exponent = static_cast<int>(cap);
        return static_cast<uint32_t>(std::max(exponent, 8));
    }
    double bits = std::min(4e9, std::pow(10.0, 9 + target) * fraction);
    if (ber > 0) bits = std::min(bits, 2147483648.0 / ber);
    return static_cast<uint32_t>(std::max(bits, 256.0));
}

void fill_full_eye(const FirmwareContext& ctx, const SerdesLaneDesc& lane, int target, double fraction,
                   serdes_eyescope_full& eye) {
    const bool pow2 = ctx.adapter.serdes.bits_pow2;
    eye.rx_settings = rx_settings(lane);
    for (int r = 0; r < SERDES_EYESCOPE_ROWS; ++r) {
        for (int c = 0; c < SERDES_EYESCOPE_COLUMNS; ++c) {
            const double ber = lane_ber(lane, (c - 20) * kScopeUiPerColumn, (63 - r) * kScopeMvPerRow);
            const uint32_t bits = cell_bits(ber, target, pow2, fraction);
            const double counted = pow2 ? std::ldexp(1.0, int(bits)) : double(bits);
            eye.bit_count[r][c] = bits;
            eye.error_count[r][c] = clamp_count(ber * counted);
        }
    }
}

void fill_summary(const SerdesLaneDesc& lane, int target, serdes_eyescope_summary& summary) {
    summary.rx_settings = rx_settings(lane);
    const double limit = std::pow(10.0, -(8 + target));
    int columns = 0, rows = 0;
    while (columns < 20 && lane_ber(lane, (columns + 1) * kScopeUiPerColumn, 0) < limit) ++columns;
    while (rows < 63 && lane_ber(lane, 0, (rows + 1) * kScopeMvPerRow) < limit) ++rows;
    if (lane_ber(lane, 0, 0) >= limit) columns = rows = 0;
    summary.results.left = static_cast<int16_t>(-columns);
    summary.results.right = static_cast<int16_t>(columns);
    summary.results.top = static_cast<int16_t>(-rows);
    summary.results.bottom = static_cast<int16_t>(rows);
    summary.results.test_passed = (2 * columns * kScopeUiPerColumn > 0.2 && 2 * rows * kScopeMvPerRow > 18) ? 1 : 0;
}

void eye_scope(FirmwareContext& ctx, Exchange& ex, const hwrm_selftest_retrieve_serdes_data_input& in) {
    if (!newest(ctx)) return ex.error(kFwErrUnsupported);
    const bool full = in.flags == HWRM_SERDES_FLAGS_EYESCOPE_FULL;
    if ((!full && in.flags != HWRM_SERDES_FLAGS_EYESCOPE_SUMMARY) || in.options >= kPcieLanes ||
        in.targetBER > target_support(ctx))
        return ex.error(kFwErrInvalidParams);
    EyeScopeTest& test = ctx.state.eye_scope;
    const uint8_t resp_flags = ctx.adapter.serdes.bits_pow2 ? HWRM_SERDES_RESP_FLAGS_BITS_POW2 : 0;
    switch (in.action) {
        case HWRM_SERDES_ACTION_START: {
            const uint16_t running = test.active ? test_progress(ctx, test.lane) : 1000;
            if (running < 1000) return ex.error(kFwErrNoResources);  // one test at a time
            const uint64_t stretch = eye_scope_slow(ctx) ? kEyeScopeSlowStretch : 1;
            test = EyeScopeTest{true, in.options, in.flags, in.targetBER, ctx.now_us,
                                kEyeScopeStepUs * (uint64_t(in.targetBER) + 1) * stretch};
            return answer_lengths(ex, 0, 0, resp_flags);
        }
        case HWRM_SERDES_ACTION_PROGRESS:
            if (eye_scope_slow(ctx)) std::this_thread::sleep_for(std::chrono::milliseconds(kEyeScopeSlowQueryMs));
            return answer_lengths(ex, 0, test_progress(ctx, in.options), resp_flags);
        case HWRM_SERDES_ACTION_RETRIEVE: break;
        default: return ex.error(kFwErrInvalidParams);
    }
    const uint32_t length = full ? HWRM_SERDES_EYESCOPE_FULL_LEN : HWRM_SERDES_EYESCOPE_SUMMARY_LEN;
    auto buf = ex.dma_at(offsetof(hwrm_selftest_retrieve_serdes_data_input, resp_data_addr), length);
    if (buf.empty() || in.data_len != length) return ex.error(kFwErrInvalidParams);
    // A retrieve ends the lane's test: a running one stops with what it measured so far.
    // Without a test the firmware measures at once.
    uint16_t progress = 1000;
    int target = in.targetBER;
    if (test.active && test.lane == in.options) {
        progress = test_progress(ctx, in.options);
        target = test.target;
        test.active = false;
    }
    const double fraction = std::max(progress, uint16_t{1}) / 1000.0;
    const SerdesLaneDesc& lane = ctx.adapter.serdes.pcie(in.options);
    if (full) {
        auto eye = std::make_unique<serdes_eyescope_full>();
        fill_full_eye(ctx, lane, target, fraction, *eye);
        std::memcpy(buf.data(), eye.get(), sizeof *eye);
    } else {
        serdes_eyescope_summary summary{};
        fill_summary(lane, target, summary);
        std::memcpy(buf.data(), &summary, sizeof summary);
    }
    answer_lengths(ex, length, progress, resp_flags);
}

void retrieve_serdes_data(FirmwareContext& ctx, Exchange& ex) {
    hwrm_selftest_retrieve_serdes_data_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.action != HWRM_SERDES_ACTION_NONE) return eye_scope(ctx, ex, in);
    if (!(in.flags & (HWRM_SERDES_FLAGS_PCIE | HWRM_SERDES_FLAGS_ETHERNET))) return ex.error(kFwErrInvalidParams);
    if (in.flags & HWRM_SERDES_FLAGS_PROJECTION) return legacy_projection(ctx, ex, in);
    legacy_eye(ctx, ex, in);
}

}  // namespace

bool answer_serdes_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_SELFTEST_QLIST: selftest_qlist(ctx, ex); return true;
        case HWRM_SELFTEST_RETRIEVE_SERDES_DATA: retrieve_serdes_data(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
