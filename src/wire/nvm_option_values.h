// Value layouts of the NVM options that the device listings read and the simulated
// firmware answers, decided here once for both sides.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt {

// A function's MAC address, indexed by the function's number on the adapter.
inline constexpr uint16_t ZELT_OPT_MAC_ADDRESS = 1;
inline constexpr size_t ZELT_OPT_MAC_ADDRESS_BYTES = 8;
// The NVM configuration version (major, minor, update).
inline constexpr uint16_t ZELT_OPT_NVM_CFG_VERSION = 602;
inline constexpr size_t ZELT_OPT_NVM_CFG_VERSION_BYTES = 3;

// The multi-function mode of a port (1 byte, indexed by port): 1 single function,
// 2 and above the NPAR modes. Adapters leave the factory in single-function mode.
inline constexpr uint16_t ZELT_OPT_MF_MODE = 157;
inline constexpr size_t ZELT_OPT_MF_MODE_BYTES = 1;
inline constexpr uint8_t ZELT_MF_MODE_FACTORY = 1;
// The PF PCI BAR2 size (2 bytes, little-endian, a size code: 5 is 1 MiB), read with the
// port as first index and 2 as second index. Adapters leave the factory with 1 MiB.
inline constexpr uint16_t ZELT_OPT_PF_BAR2_SIZE = 104;
inline constexpr size_t ZELT_OPT_PF_BAR2_SIZE_BYTES = 2;
inline constexpr uint16_t ZELT_PF_BAR2_SIZE_FACTORY = 5;

// The adapter's network port mode (1 byte, device scope): an entry of the port-mode list
// whose label starts with the port count. Adapters leave the factory in the mode that
// matches their port count. (The option list knows it as ZELTNVM_OPT_NETWORK_PORT_MODE.)
inline constexpr uint16_t ZELT_OPT_NETWORK_PORT_MODE = 301;
inline constexpr uint8_t ZELT_PORT_MODE_ONE_PORT = 9;    // "1x100G"
inline constexpr uint8_t ZELT_PORT_MODE_TWO_PORTS = 12;  // "2x100G"
inline constexpr uint8_t ZELT_PORT_MODE_FOUR_PORTS = 11; // "4x25G"

// MAC m0..m5 is kept as m1 m0 0 0 m5 m4 m3 m2: two little-endian 32-bit words, m0 m1 in
// the low half of the first, m2..m5 from the most significant byte down in the second.
inline void zeltOptMacEncode(const uint8_t mac[6], uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES]) {
    const uint8_t v[ZELT_OPT_MAC_ADDRESS_BYTES] = {mac[1], mac[0], 0, 0, mac[5], mac[4], mac[3], mac[2]};
    for (size_t i = 0; i < ZELT_OPT_MAC_ADDRESS_BYTES; ++i) value[i] = v[i];
}
inline void zeltOptMacDecode(const uint8_t value[ZELT_OPT_MAC_ADDRESS_BYTES], uint8_t mac[6]) {
    const uint8_t m[6] = {value[1], value[0], value[7], value[6], value[5], value[4]};
    for (size_t i = 0; i < 6; ++i) mac[i] = m[i];
}

// The configuration version is a 24-bit little-endian number whose most significant
// byte is the major number: update, minor, major in value order.
inline void zeltOptCfgVersionEncode(const uint8_t version[3], uint8_t value[ZELT_OPT_NVM_CFG_VERSION_BYTES]) {
    value[0] = version[2];
    value[1] = version[1];
    value[2] = version[0];
}
inline void zeltOptCfgVersionDecode(const uint8_t value[ZELT_OPT_NVM_CFG_VERSION_BYTES], uint8_t version[3]) {
    version[0] = value[2];
    version[1] = value[1];
    version[2] = value[0];
}

}  // namespace zelt
