// The extended PTP parameters of an adapter's hardware clock: its master and
// secondary functions, how the secondary takes over, and the take-over history.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "common/result.h"
#include "device/features/vf.h"
#include "device/inventory.h"
#include "transport/function.h"

namespace zelt::device {

// Whether the function's firmware reports the PTP hardware clock.
Result zelt_is_ptp_supported(const transport::Function& fn, bool* supported);

// What a set changes; an absent field is left as it is.
struct PtpExtSettings {
    std::optional<uint16_t> master_fid;
    std::optional<uint16_t> secondary_fid;
    std::optional<uint8_t> secondary_mode;  // HWRM_PTP_EXT_SEC_MODE_*
    std::optional<uint32_t> failover_timer;  // milliseconds
};

Result zeltnvm_set_ptp_ext_params(const transport::Function& fn, const PtpExtSettings& settings);

// The clock's configuration and history, as firmware function ids
// (HWRM_PTP_EXT_FID_NONE for none).
struct PtpExtState {
    uint16_t master_fid = 0;
    uint16_t secondary_fid = 0;
    uint16_t last_fid = 0;         // last function that was neither master nor secondary
    uint16_t second_last_fid = 0;  // the one before it
    uint16_t failover_from_fid = 0;
    uint16_t failover_to_fid = 0;
    uint32_t failover_time = 0;  // seconds since the epoch of the last take-over (0: none)
    uint32_t failover_timer = 0;
    uint8_t secondary_mode = 0;
};

Result zeltnvm_get_ptp_ext_params(const transport::Function& fn, PtpExtState* state);

// The physical functions of `target`'s adapter, in PF order.
std::vector<const InventoryFunction*> adapter_pfs(const Inventory& inventory, const InventoryFunction& target);

// Each PF of the adapter with the firmware id of its first VF (asked of the PF) and
// its active VF count, in PF order, as zeltnvm_decode_fid takes them.
Result adapter_vf_ranges(const Inventory& inventory, const InventoryFunction& target, std::vector<PfVfRange>* ranges);

}  // namespace zelt::device
