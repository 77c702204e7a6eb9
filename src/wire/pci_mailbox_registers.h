// The adapter's BAR0 register layout as the tool and the simulated chip both see it:
// the sliding register window, the configuration-space windows, the request area and
// doorbell, the mailbox CTRL/DATA registers and their handshake bits, the mailbox block
// header, the firmware health and signature registers, and the mailbox transfer states.
#pragma once

#include <cstdint>

namespace zelt::wire::bar {

// ---- BAR0 sliding window ------------------------------------------------------------
// Writing (address AND kWindowBaseMask) to the window register at BAR0 offset 0x418
// makes the chip register appear at BAR0 offset 0x7000 + (address AND kWindowOffsetMask).
inline constexpr uint32_t kWindowRegister = 0x418;
inline constexpr uint32_t kWindowAperture = 0x7000;
inline constexpr uint32_t kWindowBaseMask = 0xFFFFF000u;
inline constexpr uint32_t kWindowOffsetMask = 0x00000FFFu;

constexpr uint32_t window_base(uint32_t address) { return address & kWindowBaseMask; }
constexpr uint32_t window_offset(uint32_t address) { return kWindowAperture + (address & kWindowOffsetMask); }

// ---- PCI configuration-space windows ------------------------------------------------
// Select word and data dword. Through the select word the chip window is reached as
// from BAR0: write kConfigWindowRegisterSelect, then the window base into the data
// dword, then (address AND 0xFFF) OR 0x7000 into the select word; the register is then
// read or written at the data dword. A plain 16-bit offset in the select word reaches
// the direct window (firmware health word of the newest chips).
inline constexpr unsigned kConfigSelect = 0x78;
inline constexpr unsigned kConfigData = 0x80;
inline constexpr uint16_t kConfigWindowRegisterSelect = 0x0418;

// ---- Configuration-space words the direct path reads --------------------------------
inline constexpr unsigned kConfigCommand = 0x04;          // PCI command word
inline constexpr uint16_t kCommandBusMaster = 0x0004;     // bus mastering enable bit
inline constexpr unsigned kConfigRevision = 0x08;         // revision byte
inline constexpr unsigned kConfigSubsystemId = 0x2E;      // 0xFFFF while the function does not answer
inline constexpr unsigned kConfigSerialLow = 0x140;       // device serial number, first dword
inline constexpr unsigned kConfigSerialHigh = 0x144;      // device serial number, second dword

// ---- Request area and doorbell ------------------------------------------------------
inline constexpr uint32_t kRequestArea = 0x200;
inline constexpr uint32_t kRequestAreaEnd = 0x300;  // the doorbell follows the area
inline constexpr uint32_t kDoorbell = 0x300;

// Where a multi-host request carries its tag: the low half of resp_addr, and the DMA
// address field of a request that has a data buffer.
inline constexpr uint32_t kTagOffsetResponseAddress = 8;
inline constexpr uint32_t kTagOffsetDmaAddress = 16;
inline constexpr uint32_t kTagOffsetDmaAddressPcieStats = 24;  // hwrm_pcie_qstats

// ---- Mailbox registers (chip addresses, reached through the window) ------------------
inline constexpr uint32_t kMailboxCtrlNewest = 0x88100000u;  // device type 8
inline constexpr uint32_t kMailboxCtrlOlder = 0x03100030u;   // every other device type
inline constexpr uint32_t kMailboxDataDistance = 4;          // DATA follows CTRL

// CTRL bits.
inline constexpr uint32_t kCtrlSignatureMask = 0x000000FFu;
inline constexpr uint32_t kCtrlSignature = 0x37;  // "7": a mailbox is present
inline constexpr uint32_t kCtrlDataValid = 0x00008000u;
inline constexpr uint32_t kCtrlFrts = 0x00010000u;        // firmware ready to send
inline constexpr uint32_t kCtrlFcts = 0x00020000u;        // firmware clear to send
inline constexpr uint32_t kCtrlBusyAfterReset = 0x00040000u;
inline constexpr uint32_t kCtrlMultiHost = 0x00080000u;
inline constexpr uint32_t kCtrlHostMask = 0xFCFFFFFFu;    // clears the two host bits
inline constexpr uint32_t kCtrlHrts = 0x01000000u;        // host ready to send
inline constexpr uint32_t kCtrlHcts = 0x02000000u;        // host clear to send

// Indirect mailbox of the newest chips: a signature block in the window at
// kIndirectBlock holds "USHI" at +0x30 and the CTRL address at +0x34.
inline constexpr uint32_t kIndirectBlock = 0xA0000000u;
inline constexpr uint32_t kIndirectSignatureOffset = 0x30;
inline constexpr uint32_t kIndirectCtrlAddressOffset = 0x34;
inline constexpr uint32_t kIndirectSignature = 0x55534849u;  // "USHI" as a little-endian word

// ---- Firmware health (older chips through the window; newest through the direct window)
inline constexpr uint32_t kHealthStatus = 0x03100008u;
inline constexpr uint32_t kHealthHealthy = 0x8000;  // low 16 bits of a running firmware
inline constexpr uint32_t kHealthSignature = 0x031001F0u;
inline constexpr uint32_t kHealthSignatureBase = 0x48435300u;  // "HCS" and a version byte
inline constexpr uint32_t kHealthSignatureMask = 0xFFFFFF00u;
inline constexpr uint16_t kHealthDirectWindow = 0x520;

constexpr bool health_signature_valid(uint32_t word) {
    return (word & kHealthSignatureMask) == kHealthSignatureBase;
}
constexpr bool health_running(uint32_t word) { return (word & 0xFFFFu) == kHealthHealthy; }

// ---- Mailbox block header ------------------------------------------------------------
// Sent by the firmware before each block: type in bits 31..24, length in bytes in
// bits 23..0 (read as whole dwords).
inline constexpr uint32_t kBlockPayload = 0;     // data for the caller's buffer
inline constexpr uint32_t kBlockResponse = 1;    // the message's answer record
inline constexpr uint32_t kBlockTagged = 2;      // secondary header (tag), then a payload block
inline constexpr uint32_t kBlockTaggedResponse = 3;  // secondary header (tag), then a response block
inline constexpr uint32_t kBlockTypeHasTag = 0x2;

constexpr uint32_t block_header(uint32_t type, uint32_t length) { return (type << 24) | (length & 0x00FFFFFFu); }
constexpr uint32_t block_type(uint32_t header) { return header >> 24; }
constexpr uint32_t block_length(uint32_t header) { return header & 0x00FFFFFFu; }
constexpr uint32_t block_dwords(uint32_t header) { return (block_length(header) + 3) / 4; }

// ---- Transfer states, reported as the additional status of a failed transfer ---------
enum zelt_pci_request_state : uint32_t {
    ZELT_PCI_IOCTL_QUERY_FCTS = 1,
    ZELT_PCI_IOCTL_SET_HRTS = 2,
    ZELT_PCI_IOCTL_SEND_PAYLOAD = 3,
    ZELT_PCI_IOCTL_REQ_FRTS_FCTS = 4,
};

enum zelt_pci_response_state : uint32_t {
    ZELT_PCI_IOCTL_QUERY_FRTS = 1,
    ZELT_PCI_IOCTL_SET_HCTS = 2,
    ZELT_PCI_IOCTL_GET_SECONDARY_HEADER = 3,
    ZELT_PCI_IOCTL_GET_PAYLOAD = 4,
    ZELT_PCI_IOCTL_GET_HEADER = 5,
    ZELT_PCI_IOCTL_RESP_FRTS_FCTS = 6,
};

static_assert(block_header(kBlockTaggedResponse, 100) == 0x03000064u);
static_assert(block_dwords(block_header(kBlockResponse, 6)) == 2);
static_assert(window_offset(0x03100030u) == 0x7030);
static_assert(health_signature_valid(0x484353A1u) && !health_signature_valid(0x48435400u));

}  // namespace zelt::wire::bar
