// Query and control messages: versions, capabilities, function and port
// configuration, error recovery, status, reset, health, synchronisation, time,
// temperature, PCIe counters, manufacturing queries and direct register access.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "formats/crypto/crc32.h"
#include "sim/firmware/fw_exchange.h"
#include "wire/hwrm_vf.h"
#include "sim/firmware/install_staged.h"
#include "sim/firmware/reset.h"
#include "wire/hwrm_attestation.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"

namespace zelt::sim {

namespace {

// Firmware addresses of the counter registers (host addresses add the chip's base).
constexpr uint32_t kRegHealthStatus = 0x000A0000;
constexpr uint32_t kRegHeartbeat = 0x000A0004;
constexpr uint32_t kRegResetCount = 0x000A0008;
constexpr uint32_t kRegResetInProgress = 0x000A000C;
constexpr uint32_t kRegErrorRecoveryCount = 0x000A0010;

// Temperature answer flag: the values are in the second set of fields, plus 64.
constexpr uint8_t kTempOffsetEncoding = 0x10;

uint32_t host_register_base(const AdapterDesc& a) { return a.device_type < 8 ? 0x4F000000u : 0x80000000u; }

void parse_version(const std::string& text, uint8_t out[4]) {
    unsigned v[4] = {0, 0, 0, 0};
    std::sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v[i]);
}

template <size_t N>
void put_text(char (&field)[N], const std::string& text) {
    std::memset(field, 0, N);
    std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

unsigned pfs_on_port(const AdapterDesc& a, unsigned port) {
    unsigned n = 0;
    for (const auto& f : a.functions) n += (!f.is_vf && f.port == port) ? 1 : 0;
    return n;
}

uint16_t function_id(const AdapterDesc& a, const FunctionDesc& f) {
    if (!f.is_vf) return static_cast<uint16_t>(f.pf_index);
    unsigned n = 0;
    for (const auto& v : a.functions) {
        if (&v == &f) break;
        n += v.is_vf ? 1 : 0;
    }
    return static_cast<uint16_t>(128 + n);
}

uint32_t read_register(FirmwareContext& ctx, uint32_t addr) {
    // The chip's recovery registers, by their chip address.
    const uint32_t chip_address = addr + host_register_base(ctx.adapter);
    if (RecoveryChip::handles(ctx.adapter.device_type, chip_address)) {
        FirmwareChipHost boot(ctx, 0);
        bool changed = false;
        return RecoveryChip(recovery_chip_config(ctx.adapter), ctx.state.chip, boot).read(chip_address, changed);
    }
    switch (addr) {
        case kRegHealthStatus: return firmware_restarting(ctx) ? 0x0 : 0x8000;
        case kRegHeartbeat: return static_cast<uint32_t>(ctx.now_us / 100000u);
        case kRegResetCount: return ctx.state.reset_count;
        case kRegResetInProgress: return firmware_restarting(ctx) ? 1 : 0;
        case kRegErrorRecoveryCount: return ctx.state.error_recovery_count;
        default: {
            auto it = ctx.state.registers.find(addr);
            return it == ctx.state.registers.end() ? 0 : it->second;
        }
    }
}

void ver_get(FirmwareContext& ctx, Exchange& ex) {
    hwrm_ver_get_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_ver_get_output out{};
    out.hwrm_intf_maj_8b = HWRM_INTF_MAJ;
    out.hwrm_intf_min_8b = HWRM_INTF_MIN;
    out.hwrm_intf_upd_8b = HWRM_INTF_UPD;
    uint8_t v[4];
    // A recovery image reports its own version until the chip boots from its NVM again.
    parse_version(ctx.state.chip.boot == FirmwareBoot::recovery ? ctx.state.chip.recovery_version
                                                                 : ctx.state.running_fw_version,
                  v);
    out.hwrm_fw_maj_8b = v[0];
    out.hwrm_fw_min_8b = v[1];
    out.hwrm_fw_bld_8b = v[2];
    out.hwrm_fw_rsvd_8b = v[3];
    out.mgmt_fw_maj_8b = v[0];
    out.mgmt_fw_min_8b = v[1];
    out.mgmt_fw_bld_8b = v[2];
    out.netctrl_fw_maj_8b = v[0];
    out.netctrl_fw_min_8b = v[1];
    out.netctrl_fw_bld_8b = v[2];
    out.roce_fw_maj_8b = v[0];
    out.roce_fw_min_8b = v[1];
    out.roce_fw_bld_8b = v[2];
    out.dev_caps_cfg = HWRM_VER_GET_DEV_CAPS_CFG_SECURE_FW;
    if (ctx.adapter.secure_boot) out.dev_caps_cfg |= HWRM_VER_GET_DEV_CAPS_CFG_SECURE_BOOT;
    if (ctx.adapter.trusted_vf) out.dev_caps_cfg |= HWRM_VER_GET_DEV_CAPS_CFG_TRUSTED_VF;
    put_text(out.hwrm_fw_name, "HWRM");
    put_text(out.mgmt_fw_name, "MGMT");
    put_text(out.netctrl_fw_name, "NCSI");
    put_text(out.roce_fw_name, "ROCE");
    put_text(out.active_pkg_name, ctx.state.running_pkg_version);
    out.chip_num = ctx.adapter.device_id;
    out.chip_rev = ctx.adapter.revision;
    out.chip_metal = 0;
    out.max_req_win_len = 128;
    out.max_resp_len = 1024;
    out.def_req_timeout = 500;
    ex.answer(out);
}

void error_recovery_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_error_recovery_qcfg_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    uint32_t base = host_register_base(ctx.adapter);
    hwrm_error_recovery_qcfg_output out{};
    out.flags = 0x1;  // host-driven recovery
    out.driver_polling_freq = 1000;
    out.master_func_wait_period = 20;
    sim_reset_wait_periods(ctx, out.normal_func_wait_period, out.max_bailout_time_after_reset);
    out.master_func_wait_period_after_reset = 20;
    out.fw_health_status_reg = base + kRegHealthStatus;
    out.fw_heartbeat_reg = base + kRegHeartbeat;
    out.fw_reset_cnt_reg = base + kRegResetCount;
    out.reset_inprogress_reg = base + kRegResetInProgress;
    out.reset_inprogress_reg_mask = 0x1;
    out.err_recovery_cnt_reg = base + kRegErrorRecoveryCount;
    // The newest chips name registers the host reads through the configuration window.
    if (ctx.adapter.device_type > 7) sim_window_recovery_registers(out);
    ex.answer(out);
}

void func_qcaps(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_qcaps_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.fid != HWRM_FID_SELF) return ex.error(kFwErrInvalidParams);
    const AdapterDesc& a = ctx.adapter;
    const FunctionDesc& f = ctx.function;
    bool newest = a.device_type > 7;
    hwrm_func_qcaps_output out{};
    out.fid = function_id(a, f);
    out.port_id = static_cast<uint16_t>(f.port);
    out.flags = HWRM_FUNC_QCAPS_FLAGS_CRASHDUMP_HOST_SUPPORTED;
    if (!f.is_vf && !a.multi_host) out.flags |= HWRM_FUNC_QCAPS_FLAGS_ADMIN_PF;
    if (a.device_type > 5) out.flags |= HWRM_FUNC_QCAPS_FLAGS_ERR_RECOVER_RELOAD;
    if (sim_hot_reset_capable(a)) out.flags |= HWRM_FUNC_QCAPS_FLAGS_HOT_RESET_CAPABLE;
    std::memcpy(out.mac_address, f.mac.data(), 6);
    out.max_rsscos_ctx = 64;
    out.max_cmpl_rings = 128;
    out.max_tx_rings = 128;
    out.max_rx_rings = 128;
    out.max_l2_ctxs = 256;
    out.max_vnics = 64;
    out.first_vf_id = static_cast<uint16_t>(128 + f.pf_index * f.total_vfs);
    out.max_vfs = static_cast<uint16_t>(f.total_vfs);
    out.max_stat_ctx = 128;
    if (newest) out.flags_ext = HWRM_FUNC_QCAPS_FLAGS_EXT_REBOOT_CAP_ENABLED;
    if (sim_hot_reset_capable(a)) out.flags_ext |= HWRM_FUNC_QCAPS_FLAGS_EXT_HOT_RESET_IF_SUPPORT;
    ex.answer(out);
}

void func_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_func_qcfg_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.fid != HWRM_FID_SELF && answer_vf_qcfg(ctx, ex, in.fid)) return;
    if (in.fid != HWRM_FID_SELF) return ex.error(kFwErrInvalidParams);
    const AdapterDesc& a = ctx.adapter;
    const FunctionDesc& f = ctx.function;
    hwrm_func_qcfg_output out{};
    out.fid = function_id(a, f);
    out.port_id = static_cast<uint16_t>(f.port);
    if (a.multi_host) out.flags |= HWRM_FUNC_QCFG_FLAGS_MULTI_HOST;
    if (a.secure_boot) out.flags |= HWRM_FUNC_QCFG_FLAGS_SECURE_MODE_ENABLED;
    if (sim_hot_reset_capable(a)) out.flags |= HWRM_FUNC_QCFG_FLAGS_HOT_RESET_ALLOWED;
    std::memcpy(out.mac_address, f.mac.data(), 6);
    out.pci_id = static_cast<uint16_t>((f.bus << 8) | (f.dev << 3) | f.func);
    out.mtu = static_cast<uint16_t>(f.mtu);
    out.mru = static_cast<uint16_t>(f.mtu);
    out.port_pf_cnt = static_cast<uint8_t>(pfs_on_port(a, f.port));
    out.alloc_vfs = static_cast<uint16_t>(f.num_vfs);
    out.registered_vfs = sim_registered_vfs(ctx);
    out.alloc_msix = 74;
    ex.answer(out);
}

void port_phy_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_port_phy_qcfg_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    const FunctionDesc& f = ctx.function;
    bool newest = ctx.adapter.device_type > 7;
    hwrm_port_phy_qcfg_output out{};
    out.link = f.link_up ? 2 : 0;
    out.link_speed = f.link_up ? f.link_speed : 0;
    out.active_fec_signal_mode = newest ? 0x11 : 0x00;  // PAM4 with RS544 FEC on the newest chips
    out.duplex_cfg = 1;
    out.duplex_state = 1;
    out.support_speeds = newest ? 0x0BC0 : 0x03C0;
    out.support_pam4_speeds = newest ? 0x0007 : 0x0000;
    out.media_type = 3;
    out.lpbk = sim_phy_loopback(ctx);
    put_text(out.phy_vendor_name, "HALVEX");
    put_text(out.phy_vendor_partnumber, "HXQ-SIM");
    ex.answer(out);
}

void fw_reset(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_reset_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_fw_reset_output out{};
    out.selfrst_status = in.selfrst_status;
    ex.answer(out);
    // The answer leaves before the firmware goes down.
    sim_fw_reset(ctx, in);
}

void fw_qstatus(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_qstatus_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_fw_qstatus_output out{};
    out.selfrst_status = ctx.adapter.self_reset_status;
    // An installation waiting for its reset reports the device reset as the pending
    // action when nothing else waits.
    uint8_t action = ctx.adapter.boot_status != 0 ? ctx.adapter.boot_status : ctx.state.option_action_status;
    if (action == 0 && ctx.state.reset_pending) action = kBootActionDeviceReset;
    out.nvm_option_action_status = action;
    ex.answer(out);
}

void fw_health_check(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_health_check_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_fw_health_check_output out{};
    out.fw_status = ctx.state.fw_status;
    ex.answer(out);
}

void fw_sync(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_sync_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    ctx.state.sync_count++;
    hwrm_fw_sync_output out{};
    if (sim_sync_fails(ctx)) {
        out.sync_status = kSyncStatusFailed;
    } else {
        ctx.state.fw_status = 0;  // synchronising clears the pending redundancy work
        out.sync_status = 0;
    }
    ex.answer(out);
}

void fw_set_time(FirmwareContext& ctx, Exchange& ex) {
    hwrm_fw_set_time_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.year < 1970 || in.month < 1 || in.month > 12 || in.day < 1 || in.day > 31 || in.hour > 23 ||
        in.minute > 59 || in.second > 60 || in.millisecond > 999)
        return ex.error(kFwErrInvalidParams);
    ctx.state.fw_time_year = in.year;
    ctx.state.fw_time_seconds =
        ((in.month * 31u + in.day) * 24u + in.hour) * 3600u + in.minute * 60u + in.second;
    hwrm_fw_set_time_output out{};
    ex.answer(out);
}

void temp_monitor_query(FirmwareContext& ctx, Exchange& ex) {
    hwrm_temp_monitor_query_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_temp_monitor_query_output out{};
    // The wider encoding carries each value plus 64 in the second set of fields.
    const int temps[3] = {ctx.state.temperature, ctx.state.temperature - 4, ctx.state.temperature - 12};
    out.flags = ctx.state.temperature_flags;
    if (out.flags & kTempOffsetEncoding) {
        out.temp2 = static_cast<uint8_t>(temps[0] + 64);
        out.phy_temp2 = static_cast<uint8_t>(temps[1] + 64);
        out.om_temp2 = static_cast<uint8_t>(temps[2] + 64);
    } else {
        out.temp = static_cast<uint8_t>(temps[0]);
        out.phy_temp = static_cast<uint8_t>(temps[1]);
        out.om_temp = static_cast<uint8_t>(temps[2]);
    }
    out.warn_threshold = 95;
    out.critical_threshold = 105;
    out.fatal_threshold = 110;
    out.shutdown_threshold = 115;
    ex.answer(out);
}

void pcie_qstats(FirmwareContext& ctx, Exchange& ex) {
    hwrm_pcie_qstats_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    size_t size = std::min<size_t>(in.pcie_stat_size, ctx.state.pcie_counters.size() * 8) / 8 * 8;
    std::span<uint8_t> buf = ex.dma_at(offsetof(hwrm_pcie_qstats_input, pcie_stat_host_addr), size);
    if (size == 0 || buf.size() != size) return ex.error(kFwErrInvalidParams);
    // The counters grow a little with every query, as on a live link.
    for (size_t i = 0; i < ctx.state.pcie_counters.size(); ++i) ctx.state.pcie_counters[i] += i < 4 ? 100 + i : 0;
    std::memcpy(buf.data(), ctx.state.pcie_counters.data(), size);
    hwrm_pcie_qstats_output out{};
    out.pcie_stat_size = static_cast<uint16_t>(size);
    ex.answer(out);
}

void mfg_otp_qcfg(FirmwareContext& ctx, Exchange& ex) {
    hwrm_mfg_otp_qcfg_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_mfg_otp_qcfg_output out{};
    if (in.enables & 0x1) out.enc_device_type = ctx.adapter.device_type;
    // The counters the installation enforces (sim/firmware/install_staged.h).
    const AntiRollbackCounters fuses = anti_rollback_counters(ctx.adapter);
    if (in.enables & 0x2) out.crid = fuses.crid;
    if (in.enables & 0x4) out.srt_rev_id = fuses.srt_rev;
    if (in.enables & 0x8) {
        out.crt_rev_id = fuses.crt_rev;
        out.sbi_rev_id = fuses.sbi_rev;
    }
    ex.answer(out);
}

void mfg_prvsn_get_state(FirmwareContext&, Exchange& ex) {
    hwrm_mfg_prvsn_get_state_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_mfg_prvsn_get_state_output out{};
    out.get_state_valid = 1;
    // Slots 0 and 1 verified by the two kinds of agent, slot 2 still being verified;
    // the others hold no agent.
    out.slot_status = HWRM_PRVSN_STATE_SPDM | HWRM_PRVSN_STATE_CERBERUS << HWRM_PRVSN_SLOT_BITS |
                      HWRM_PRVSN_STATE_NOT_READY << (2 * HWRM_PRVSN_SLOT_BITS);
    ex.answer(out);
}

// HMAC-SHA256 over the configuration the adapter holds (every option value set, in
// option and index order), keyed per adapter by its serial number: it changes when an
// option changes and stays the same otherwise.
void mfg_get_nvm_measurement(FirmwareContext& ctx, Exchange& ex) {
    hwrm_mfg_get_nvm_measurement_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    std::vector<uint8_t> message;
    const auto put16 = [&](uint16_t v) {
        message.push_back(static_cast<uint8_t>(v));
        message.push_back(static_cast<uint8_t>(v >> 8));
    };
    for (const auto& [num, var] : ctx.state.options) {
        for (const auto& [index, value] : var.values) {
            put16(static_cast<uint16_t>(num));
            for (uint16_t i : index.i) put16(i);
            put16(static_cast<uint16_t>(value.size()));
            message.insert(message.end(), value.begin(), value.end());
        }
    }
    const std::string key = "measure:" + std::to_string(ctx.adapter.dsn) + ":" + ctx.adapter.name;
    hwrm_mfg_get_nvm_measurement_output out{};
    unsigned length = 0;
    if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(), message.size(), out.hash,
              &length) ||
        length != sizeof out.hash) {
        out.hash_state = HWRM_NVM_MEASUREMENT_HASH_ERROR;
        std::memset(out.hash, 0, sizeof out.hash);
    }
    out.calc_time = HWRM_NVM_MEASUREMENT_CALC_LIVE;
    ex.answer(out);
}

void dbg_read_direct(FirmwareContext& ctx, Exchange& ex) {
    hwrm_dbg_read_direct_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.read_len32 == 0 || in.read_len32 > 1024) return ex.error(kFwErrInvalidParams);
    std::span<uint8_t> buf = ex.dma_at(offsetof(hwrm_dbg_read_direct_input, host_dest_addr), in.read_len32 * 4u);
    if (buf.size() != in.read_len32 * 4u) return ex.error(kFwErrInvalidParams);
    for (uint32_t i = 0; i < in.read_len32; ++i) {
        uint32_t v = read_register(ctx, in.read_addr + i * 4);
        std::memcpy(buf.data() + i * 4, &v, 4);
    }
    hwrm_dbg_read_direct_output out{};
    out.crc32 = crc32i(ZELT_CRC32_INIT, buf.data(), buf.size());
    ex.answer(out);
}

void dbg_write_direct(FirmwareContext& ctx, Exchange& ex) {
    hwrm_dbg_write_direct_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    if (in.write_len32 == 0 || in.write_len32 > 8) return ex.error(kFwErrInvalidParams);
    for (uint32_t i = 0; i < in.write_len32; ++i) {
        const uint32_t addr = in.write_addr + i * 4;
        const uint32_t chip_address = addr + host_register_base(ctx.adapter);
        if (RecoveryChip::handles(ctx.adapter.device_type, chip_address)) {
            // The firmware's own write: register protection does not stop it.
            FirmwareChipHost boot(ctx, 0);
            RecoveryChip(recovery_chip_config(ctx.adapter), ctx.state.chip, boot)
                .write(chip_address, in.write_data[i], /*privileged=*/true);
        } else {
            ctx.state.registers[addr] = in.write_data[i];
        }
    }
    hwrm_dbg_write_direct_output out{};
    ex.answer(out);
}

void dbg_qcaps(FirmwareContext& ctx, Exchange& ex) {
    hwrm_dbg_qcaps_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_dbg_qcaps_output out{};
    out.fid = function_id(ctx.adapter, ctx.function);
    out.coredump_component_disable_caps = 0;
    out.flags = ctx.adapter.device_type > 7 ? HWRM_DBG_QCAPS_FLAGS_CRASHDUMP_HOST_DDR : 0;
    ex.answer(out);
}

// The time of the last crash ("zeltsim fault <dir> crash"); 0 when the firmware never crashed.
void dbg_crashdump_header(FirmwareContext& ctx, Exchange& ex) {
    hwrm_dbg_crashdump_header_input in;
    if (!ex.request(in)) return ex.error(kFwErrInvalidParams);
    hwrm_dbg_crashdump_header_output out{};
    out.crash_time = ctx.state.crash_time;
    ex.answer(out);
}

}  // namespace

bool answer_query_message(FirmwareContext& ctx, Exchange& ex) {
    switch (ex.req_type()) {
        case HWRM_VER_GET: ver_get(ctx, ex); return true;
        case HWRM_ERROR_RECOVERY_QCFG: error_recovery_qcfg(ctx, ex); return true;
        case HWRM_FUNC_QCAPS: func_qcaps(ctx, ex); return true;
        case HWRM_FUNC_QCFG: func_qcfg(ctx, ex); return true;
        case HWRM_PORT_PHY_QCFG: port_phy_qcfg(ctx, ex); return true;
        case HWRM_FW_RESET: fw_reset(ctx, ex); return true;
        case HWRM_FW_QSTATUS: fw_qstatus(ctx, ex); return true;
        case HWRM_FW_HEALTH_CHECK: fw_health_check(ctx, ex); return true;
        case HWRM_FW_SYNC: fw_sync(ctx, ex); return true;
        case HWRM_FW_SET_TIME: fw_set_time(ctx, ex); return true;
        case HWRM_TEMP_MONITOR_QUERY: temp_monitor_query(ctx, ex); return true;
        case HWRM_PCIE_QSTATS: pcie_qstats(ctx, ex); return true;
        case HWRM_MFG_OTP_QCFG: mfg_otp_qcfg(ctx, ex); return true;
        case HWRM_MFG_PRVSN_GET_STATE: mfg_prvsn_get_state(ctx, ex); return true;
        case HWRM_MFG_GET_NVM_MEASUREMENT: mfg_get_nvm_measurement(ctx, ex); return true;
        case HWRM_DBG_READ_DIRECT: dbg_read_direct(ctx, ex); return true;
        case HWRM_DBG_WRITE_DIRECT: dbg_write_direct(ctx, ex); return true;
        case HWRM_DBG_QCAPS: dbg_qcaps(ctx, ex); return true;
        case HWRM_DBG_CRASHDUMP_HEADER: dbg_crashdump_header(ctx, ex); return true;
        default: return false;
    }
}

}  // namespace zelt::sim
