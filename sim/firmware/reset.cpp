#include "sim/firmware/reset.h"

namespace zelt::sim {

namespace {

constexpr uint32_t kNormalWait = 30;   // 3 s
constexpr uint32_t kMaxBailout = 100;  // 10 s

bool fault_matches(const FaultDesc& f, const FirmwareContext& ctx, ResetFault kind) {
    if (f.kind != "reset_fault" || f.cmd_err != static_cast<uint8_t>(kind)) return false;
    if (!f.adapter.empty() && f.adapter != ctx.adapter.name) return false;
    if (!f.function.empty() && f.function != ctx.function.address() && f.function != ctx.function.ifname)
        return false;
    return true;
}

bool has_fault(const FirmwareContext& ctx, ResetFault kind) {
    if (!ctx.faults) return false;
    for (const FaultDesc& f : *ctx.faults)
        if (fault_matches(f, ctx, kind)) return true;
    return false;
}

}  // namespace

bool sim_hot_reset_capable(const AdapterDesc& adapter) { return adapter.device_type > 5; }

void sim_fw_reset(FirmwareContext& ctx, const hwrm_fw_reset_input& request) {
    (void)request;
    const uint32_t counter = ctx.state.reset_count;
    firmware_reset(ctx, has_fault(ctx, ResetFault::stays_down) ? kResetStuckMs : kResetRestartMs);
    if (has_fault(ctx, ResetFault::counter_stuck)) ctx.state.reset_count = counter;
}

uint16_t sim_registered_vfs(FirmwareContext& ctx) {
    const FunctionDesc& f = ctx.function;
    if (f.is_vf) return 0;
    const uint64_t back = ctx.state.down_until_us + uint64_t{kResetVfReturnMs} * 1000u;
    if (ctx.state.down_until_us != 0 && ctx.now_us < back) return 0;
    unsigned vfs = f.num_vfs;
    if (ctx.state.reset_count > 0 && vfs > 0 && has_fault(ctx, ResetFault::fewer_vfs)) --vfs;
    return static_cast<uint16_t>(vfs);
}

void sim_reset_wait_periods(FirmwareContext& ctx, uint32_t& normal_wait, uint32_t& max_bailout) {
    const bool none = has_fault(ctx, ResetFault::no_wait_periods);
    normal_wait = none ? 0 : kNormalWait;
    max_bailout = none ? 0 : kMaxBailout;
}

}  // namespace zelt::sim
