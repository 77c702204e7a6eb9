// Firmware register addresses as the firmware names them (for example the reset
// counter in hwrm_error_recovery_qcfg), and the PCI configuration-space window that
// reaches them on the newest chips without mapping BAR0.
//
// The low two bits of an encoded address say how to reach the register:
//   0  the address is a PCI configuration-space offset
//   1  a chip register through the BAR0 window
//   2  through the BAR0 window at (address AND 0xFFC) on older chips; through the
//      configuration direct window on the newest chips (device type above 7)
//   3  as 2 on the newest chips; not readable on older ones
// The rest of the address is dword aligned: a direct-window offset is the low 16 bits
// without the two space bits.
#pragma once

#include <cstdint>

namespace zelt {

inline constexpr uint32_t ZELT_FW_REG_SPACE_MASK = 0x3;
inline constexpr uint32_t ZELT_FW_REG_SPACE_CONFIG = 0;
inline constexpr uint32_t ZELT_FW_REG_SPACE_BAR0 = 1;
inline constexpr uint32_t ZELT_FW_REG_SPACE_WINDOW = 2;
inline constexpr uint32_t ZELT_FW_REG_SPACE_WINDOW_ONLY = 3;

// Configuration direct window: writing a 16-bit register offset at the select word
// makes the data dword read that register.
inline constexpr unsigned ZELT_PCI_CFG_WINDOW_SELECT = 0x78;
inline constexpr unsigned ZELT_PCI_CFG_WINDOW_DATA = 0x80;

// Direct-window offset of the firmware health word on the newest chips.
inline constexpr uint16_t ZELT_CFG_WINDOW_FW_HEALTH = 0x520;

constexpr uint32_t zeltFwRegSpace(uint32_t address) { return address & ZELT_FW_REG_SPACE_MASK; }
constexpr uint16_t zeltFwRegWindowOffset(uint32_t address) {
    return static_cast<uint16_t>(address & 0xFFFCu);
}
// The encoded address of a register behind the configuration direct window.
constexpr uint32_t zeltFwRegWindowAddress(uint16_t window_offset) {
    return (window_offset & 0xFFFCu) | ZELT_FW_REG_SPACE_WINDOW;
}

}  // namespace zelt
