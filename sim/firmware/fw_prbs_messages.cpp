// The PRBS test of a port, run on the virtual clock: a test started with a time-out
// ends by itself once that much virtual time has passed, one without runs until it is
// stopped. A port runs one test at a time; the older families have no PRBS58.
#include <string>

#include <nlohmann/json.hpp>

#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_prbs.h"

namespace zelt::sim {

namespace {

using nlohmann::json;

constexpr const char* kFeature = "prbs";
constexpr unsigned kLanesPerPort = 4;
// The answer while a test already runs on the port: the firmware cannot take another.
constexpr uint16_t kFwErrBusy = 16;

json load(const AdapterState& st) {
    auto it = st.features.find(kFeature);
    json j = it == st.features.end() ? json::object() : json::parse(it->second, nullptr, false);
    return j.is_object() ? j : json::object();
}

void store(AdapterState& st, const json& j) { st.features[kFeature] = j.dump(); }

// True while the test stored for the port still runs at `now_us`.
bool running(const json& test, uint64_t now_us) {
    if (!test.is_object() || !test.value("running", false)) return false;
    const uint64_t timeout_us = test.value("timeout_s", uint64_t{0}) * 1000000u;
    return timeout_us == 0 || now_us < test.value("start_us", uint64_t{0}) + timeout_us;
}

void prbs_test(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_prbs_test_input in;
    if (!ex.request(in) || !reserved_clear(in.unused_1) || in.port_id != ctx.function.port)
        return ex.error(kFwErrInvalidParams);
    json j = load(ctx.state);
    const std::string port = std::to_string(ctx.function.port);
    hwrm_port_prbs_test_output out{};
    if (!(in.flags & HWRM_PORT_PRBS_TEST_FLAGS_ENABLE)) {
        j[port] = json{{"running", false}};
        store(ctx.state, j);
        return ex.answer(out);
    }
    if (in.poly > HWRM_PORT_PRBS_POLY_PRBS58) return ex.error(kFwErrInvalidParams);
    if (in.poly == HWRM_PORT_PRBS_POLY_PRBS58 && ctx.adapter.device_type < 8) return ex.error(kFwErrUnsupported);
    const uint16_t all = (1u << kLanesPerPort) - 1;
    if ((in.tx_lane_mask & ~all) || (in.rx_lane_mask & ~all)) return ex.error(kFwErrInvalidParams);
    if (j.contains(port) && running(j[port], ctx.now_us)) return ex.error(kFwErrBusy);
    const uint16_t tx = in.tx_lane_mask ? in.tx_lane_mask : all;
    const uint16_t rx = in.rx_lane_mask ? in.rx_lane_mask : all;
    j[port] = json{{"running", true}, {"poly", in.poly},        {"tx", tx},
                   {"rx", rx},        {"start_us", ctx.now_us}, {"timeout_s", in.timeout}};
    store(ctx.state, j);
    out.tx_lanes_running = tx;
    out.rx_lanes_running = rx;
    ex.answer(out);
}

}  // namespace

bool answer_prbs_message(FirmwareContext& ctx, Exchange& ex) {
    if (ex.req_type() != HWRM_PORT_PRBS_TEST) return false;
    prbs_test(ctx, ex);
    return true;
}

}  // namespace zelt::sim
