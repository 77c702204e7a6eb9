// Virtual-function configuration of a physical function: the trusted flag, the
// default MAC address, and the decoding of firmware function ids into PF and VF
// numbers.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "common/result.h"
#include "transport/function.h"

namespace zelt::device {

// Whether the firmware of `fn` can mark virtual functions trusted.
Result zelt_is_trusted_vf_supported(const transport::Function& fn, bool* supported);

// Reads (`set` false) or sets the trusted flag of VF `vf_index` of the physical
// function `fn`, which has `active_vfs` VFs. A VF index outside the active VFs is
// refused with HVXRETVAL_INVALID_PARAMETER_VALUE and nothing is sent. On success
// `*trusted` holds the VF's flag (as set).
Result zelt_trusted_vf(const transport::Function& fn, uint16_t vf_index, uint16_t active_vfs, bool set,
                       bool* trusted);

// The default MAC address of VF `vf_index` of `fn`: read and set.
Result zelt_get_vf_mac(const transport::Function& fn, uint16_t vf_index, std::array<uint8_t, 6>* mac);
Result zelt_set_vf_mac(const transport::Function& fn, uint16_t vf_index, const std::array<uint8_t, 6>& mac);

// One active physical function as the firmware numbers its VFs.
struct PfVfRange {
    uint16_t start_vf_id = 0;  // firmware id of its VF 0
    uint16_t active_vfs = 0;
};

// A firmware function id as the user knows the function.
struct DecodedFid {
    bool is_vf = false;
    int pf = 0;  // the PF number, or the parent PF of a VF
    int vf = 0;  // the VF number (is_vf only)
    bool operator==(const DecodedFid&) const = default;
};

// Decodes `fid` against the active PFs, in PF order. An id from one PF's starting VF
// id up to the next PF's belongs to that PF when it has no active VFs; otherwise an id
// of 128 or above belongs to the first PF whose active VFs cover it. Any other id is
// physical function id - 1.
DecodedFid zeltnvm_decode_fid(std::span<const PfVfRange> pfs, uint16_t fid);

}  // namespace zelt::device
