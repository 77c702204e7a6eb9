#include "device/dumps/dsc_dump.h"

#include <strings.h>

#include <array>
#include <cstring>

#include "common/hvxretval.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_coredump.h"
#include "wire/hwrm_messages.h"

namespace zelt::device {

using transport::Function;

namespace {

constexpr std::array<const char*, HWRM_DSC_DUMP_LEVELS> kLevelNames = {
    "diag_lane",     "diag_core",    "diag_event",   "diag_eye",        "diag_reg_core",
    "diag_reg_lane", "diag_uc_core", "diag_uc_lane", "diag_lane_debug", "diag_ber_vert",
    "diag_ber_horz", "diag_event_safe", "diag_timestamp"};

Result dsc_message(const Function& fn, uint16_t port, uint16_t lane, uint16_t level, uint8_t config,
                   std::vector<uint8_t>* buffer, uint32_t* total) {
    hwrm_port_dsc_dump_input req{};
    hwrm_port_dsc_dump_output resp{};
    req.port_id = port;
    req.diag_level = level;
    req.lane_number = lane;
    req.dsc_dump_config = config;
    if (!buffer) return transport::exchange(fn, HWRM_PORT_DSC_DUMP, req, resp);
    req.data_len = static_cast<uint16_t>(buffer->size());
    transport::HwrmData data{buffer->data(), static_cast<uint32_t>(buffer->size()), HWRM_DMA_ADDR_OFFSET, 1};
    const Result rc = transport::exchange(fn, HWRM_PORT_DSC_DUMP, req, resp, &data);
    if (rc.ok()) *total = resp.total_data_len;
    return rc;
}

// Starts and retrieves one level, appending its data.
DscLevelOutcome one_level(const Function& fn, uint16_t port, uint16_t lane, uint16_t level,
                          std::vector<uint8_t>& out) {
    DscLevelOutcome o;
    o.level = level;
    o.start = dsc_message(fn, port, lane, level, HWRM_DSC_DUMP_CONFIG_START, nullptr, nullptr).code();
    if (o.start != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "DSC Dump Start Failed %d for diag_level %d\n", o.start, level);
        return o;
    }
    std::vector<uint8_t> buffer(HWRM_DSC_DUMP_BUFFER, 0);
    uint32_t total = 0;
    o.retrieve = dsc_message(fn, port, lane, level, HWRM_DSC_DUMP_CONFIG_RETRIEVE, &buffer, &total).code();
    if (o.retrieve != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "DSC Dump Retrieve Failed %d for diag_level %d\n", o.retrieve,
                      level);
        return o;
    }
    if (total > buffer.size()) {
        // Never more than the buffer holds, whatever the firmware claims.
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "DSC dump of diag_level %d claims %u bytes; %zu kept.\n", level,
                      total, buffer.size());
        total = static_cast<uint32_t>(buffer.size());
    }
    out.insert(out.end(), buffer.begin(), buffer.begin() + total);
    o.length = total;
    return o;
}

int32_t failure_of(const DscLevelOutcome& o) { return o.start != 0 ? o.start : o.retrieve; }

}  // namespace

std::optional<uint16_t> dsc_level_by_name(std::string_view name) {
    for (size_t i = 0; i < kLevelNames.size(); ++i)
        if (name.size() == std::strlen(kLevelNames[i]) && strncasecmp(name.data(), kLevelNames[i], name.size()) == 0)
            return static_cast<uint16_t>(i);
    return std::nullopt;
}

const char* dsc_level_name(uint16_t level) { return level < kLevelNames.size() ? kLevelNames[level] : "unknown"; }

DscDump take_dsc_dump(const Function& fn, uint16_t lane, std::optional<uint16_t> level) {
    DscDump dump;
    hwrm_func_qcaps_output caps{};
    if (const Result rc = transport::zeltnvm_get_func_qcaps(fn, &caps); !rc.ok()) {
        dump.result = rc.code();
        return dump;
    }
    const uint16_t port = caps.port_id;
    if (level) {
        dump.levels.push_back(one_level(fn, port, lane, *level, dump.data));
        dump.result = failure_of(dump.levels.back());
        if (dump.result != 0) dump.data.clear();
        return dump;
    }
    int32_t last = 0;
    bool stopped = false;
    for (uint16_t l = 0; l < HWRM_DSC_DUMP_LEVELS && !stopped; ++l) {
        dump.levels.push_back(one_level(fn, port, lane, l, dump.data));
        const DscLevelOutcome& o = dump.levels.back();
        last = failure_of(o);
        stopped = last == ZELTNVM_DSC_BUSY || last == ZELTNVM_DSC_BAD_LANE ||
                  (o.start == ZELTNVM_DSC_NO_SUCH_VARIABLE);
    }
    if (stopped || last == ZELTNVM_DSC_NO_SUCH_VARIABLE) {
        dump.data.clear();
        dump.result = last;
    } else if (dump.data.empty()) {
        dump.result = HVXRETVAL_INVALID_DATA_LENGTH;
    } else {
        dump.result = last;
    }
    return dump;
}

}  // namespace zelt::device
