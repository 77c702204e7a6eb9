// Field values of the attestation answers: the certificate provisioning state per
// slot (hwrm_mfg_prvsn_get_state) and the NVM configuration measurement
// (hwrm_mfg_get_nvm_measurement). The records themselves are in wire/hwrm_query.h.
#pragma once

#include <cstdint>

namespace zelt {

// slot_status holds two bits per certificate slot, slot 0 in the lowest bits.
inline constexpr unsigned HWRM_PRVSN_SLOT_COUNT = 8;
inline constexpr unsigned HWRM_PRVSN_SLOT_BITS = 2;
inline constexpr uint16_t HWRM_PRVSN_SLOT_MASK = 0x3;
enum hwrm_prvsn_slot_state : uint8_t {
    HWRM_PRVSN_STATE_NO_AGENT = 0,     // no attestation agent on the adapter
    HWRM_PRVSN_STATE_CERBERUS = 1,     // chain verified by the first kind of agent
    HWRM_PRVSN_STATE_SPDM = 2,         // chain verified by the second kind of agent
    HWRM_PRVSN_STATE_NOT_READY = 3,    // agent still initialising, chain not verified yet
};
static_assert(HWRM_PRVSN_SLOT_COUNT * HWRM_PRVSN_SLOT_BITS == 16, "slot_status is 16 bits wide");

// The state of `slot` in a slot_status word.
constexpr uint8_t hwrm_prvsn_slot_state_of(uint16_t slot_status, unsigned slot) {
    return static_cast<uint8_t>((slot_status >> (slot * HWRM_PRVSN_SLOT_BITS)) & HWRM_PRVSN_SLOT_MASK);
}

// hash_state: set when the firmware could not calculate the hash.
inline constexpr uint8_t HWRM_NVM_MEASUREMENT_HASH_ERROR = 0x01;
// calc_time: when the hash was calculated.
inline constexpr uint32_t HWRM_NVM_MEASUREMENT_CALC_BOOT = 0;
inline constexpr uint32_t HWRM_NVM_MEASUREMENT_CALC_LIVE = 1;

}  // namespace zelt
