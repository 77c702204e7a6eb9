#include "device/function_queries.h"

#include <cstdio>
#include <cstring>

#include "common/hvxretval.h"
#include "device/nvm/item_bounds.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_item_version.h"
#include "device/nvm/nvm_items.h"
#include "host/host.h"
#include "transport/bar_window.h"
#include "transport/fw_health.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "transport/nvm_variables.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "wire/nvm_option_values.h"

namespace zelt::device {

using transport::exchange;
using transport::Function;

namespace {

// Room for the version texts the firmware reports.
constexpr size_t kVersionTextLen = 256;

// One NVM option read by message. `dimensions` 0 reads a device-wide option, 1 the
// instance `index`.
ResultOr<std::vector<uint8_t>> read_option(const Function& fn, uint16_t option, uint16_t dimensions, uint16_t index,
                                           size_t size) {
    if (size == 0 || size > 0xFFFF / 8) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    std::vector<uint8_t> buf(size, 0);
    transport::NvmVariableRef ref;
    ref.option = option;
    ref.bits = static_cast<uint16_t>(size * 8);
    ref.dimensions = dimensions;
    ref.index_0 = index;
    const Result rc = transport::nvmVariableGet(fn, ref, buf.data(), static_cast<uint16_t>(size));
    if (!rc.ok()) return rc;
    return buf;
}

}  // namespace

ResultOr<uint32_t> item_length(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext) {
    zelnvm_directory_entry_t entry{};
    const auto index = zeltnvmGetDirEntry(fn, type, ordinal, ext, &entry);
    if (!index.ok()) return index.result();
    return entry.data_length;
}

ResultOr<std::vector<uint8_t>> read_whole_item(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext) {
    const auto length = item_length(fn, type, ordinal, ext);
    if (!length.ok()) return length.result();
    if (const Result bounded = check_item_length(type, *length); !bounded.ok()) return bounded;
    auto made = zeroed_buffer(*length);
    if (!made.ok()) return made.result();
    std::vector<uint8_t> buf = std::move(*made);
    if (*length == 0) return buf;
    const auto read = zeltnvmReadItem(fn, type, ordinal, ext, buf.data(), *length, 0, nullptr);
    if (!read.ok()) return read.result();
    buf.resize(std::min(*read, buf.size()));
    return buf;
}

ResultOr<std::string> item_version_text(const Function& fn, uint16_t type, uint16_t ordinal, uint16_t ext,
                                        int selector) {
    char buf[kVersionTextLen];
    const Result rc = zeltnvmGetItemVersionString(fn, type, ordinal, ext, selector, buf, sizeof buf);
    if (!rc.ok()) return rc;
    return std::string(buf, strnlen(buf, sizeof buf));
}

ResultOr<std::vector<uint8_t>> option_value(const Function& fn, uint16_t option, size_t size) {
    return read_option(fn, option, 0, 0, size);
}

ResultOr<std::string> base_mac_text(const Function& fn) {
    const auto v = read_option(fn, ZELT_OPT_MAC_ADDRESS, 1, 0, ZELT_OPT_MAC_ADDRESS_BYTES);
    if (!v.ok()) return v.result();
    uint8_t m[6];
    zeltOptMacDecode(v->data(), m);
    char text[24];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3], m[4], m[5]);
    return std::string(text);
}

ResultOr<std::array<uint8_t, 6>> permanent_mac(const Function& fn) {
    std::array<uint8_t, 6> mac{};
    const Result rc = zelt_nvm_get_permanent_mac(fn, mac.data());
    if (!rc.ok()) return rc;
    return mac;
}

ResultOr<std::string> serial_number_text(const Function& fn) {
    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    std::string text = transport::zeltnvm_read_dev_serial_no(fn.channel->host(), fn.address);
    if (text.empty()) return Result::tool(HVXRETVAL_FAILURE);
    return text;
}

ResultOr<uint32_t> fw_reset_counter(const Function& fn, int device_type) {
    // The register address the firmware gives for its reset counter, read as the error
    // recovery counter is.
    hwrm_error_recovery_qcfg_input req{};
    hwrm_error_recovery_qcfg_output cfg{};
    Result rc = exchange(fn, HWRM_ERROR_RECOVERY_QCFG, req, cfg);
    if (!rc.ok()) return rc;
    const uint32_t reg = le32_to_cpu(cfg.fw_reset_cnt_reg);
    if (reg == 0) return Result::tool(9);  // the firmware keeps no counter register
    uint32_t v = 0;
    rc = zeltnvm_read_counter_register(fn, reg, device_type, &v);
    if (!rc.ok()) return rc;
    return v;
}

ResultOr<uint64_t> crashdump_timestamp(const Function& fn) {
    hwrm_func_qcaps_output caps{};
    Result rc = zeltnvm_get_func_qcaps(fn, &caps);
    if (!rc.ok()) return rc;
    if (!(le32_to_cpu(caps.flags) & HWRM_FUNC_QCAPS_FLAGS_CRASHDUMP_HOST_SUPPORTED))
        return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
    hwrm_dbg_crashdump_header_input req{};
    hwrm_dbg_crashdump_header_output resp{};
    rc = exchange(fn, HWRM_DBG_CRASHDUMP_HEADER, req, resp);
    if (!rc.ok()) return rc;
    return static_cast<uint64_t>(le32_to_cpu(resp.crash_time));
}

ResultOr<bool> crashdump_in_ddr(const Function& fn) {
    hwrm_dbg_qcaps_output caps{};
    const Result rc = zeltnvm_query_dbg_qcaps(fn, &caps);
    if (!rc.ok()) return rc;
    // Only a firmware that can keep its crash dump in host memory leaves one there; the
    // driver then says whether it holds one.
    return (le32_to_cpu(caps.flags) & HWRM_DBG_QCAPS_FLAGS_CRASHDUMP_HOST_DDR) != 0 &&
           fn.channel->crashdump_available(fn);
}

ResultOr<bool> crashdump_in_ddr_or_health(host::Host& host, const Function& fn, int device_type) {
    hwrm_dbg_qcaps_output caps{};
    if (zeltnvm_query_dbg_qcaps(fn, &caps).ok())
        return (le32_to_cpu(caps.flags) & HWRM_DBG_QCAPS_FLAGS_CRASHDUMP_HOST_DDR) != 0 &&
               fn.channel->crashdump_available(fn);
    // The firmware does not answer: a crashed firmware left its dump with the driver.
    const auto health = transport::zeltnvm_get_fw_health_status(host, fn.address, device_type);
    if (!health.ok()) return health.result();
    return health->status_word == kFwHealthCrashed && fn.channel->crashdump_available(fn);
}

}  // namespace zelt::device
