// The PCI mailbox: firmware messages exchanged through the adapter's mapped BAR0 with
// the register handshake, for functions no driver holds and when /dev/zelt_lfc cannot
// be opened; and encoded firmware register reads through the chip windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/pci_address.h"
#include "common/result.h"
#include "transport/hwrm_channel.h"

namespace zelt::host {
class Host;
}

namespace zelt::transport {

// Mailbox status values.
enum zelt_pci_ioctl_error : int32_t {
    ZELT_PCI_IOCTL_SUCCESS = 0,
    ZELT_PCI_IOCTL_FAILURE = 1,
    ZELT_PCI_IOCTL_BUSY = 2,
    ZELT_PCI_IOCTL_HOST_TIMEOUT = 3,
    ZELT_PCI_IOCTL_DEVICE_NOT_FOUND = 4,
    ZELT_PCI_IOCTL_SIGNATURE_MISMATCH = 5,
    ZELT_PCI_IOCTL_LOCK_ACQUIRE_FAILED = 6,
    ZELT_PCI_IOCTL_BAR0_MMAP_FAILED = 7,
    ZELT_PCI_IOCTL_BAR0_MUNMAP_FAILED = 8,
    ZELT_PCI_IOCTL_BAR0_OPEN_FAILED = 9,
    ZELT_PCI_IOCTL_MMAP_PERMISSION_DENIED = 10,
    ZELT_PCI_IOCTL_INVALID_PAYLOAD_LENGTH = 11,
    ZELT_PCI_IOCTL_INVALID_HWRM_RESP_LENGTH = 12,
    ZELT_PCI_IOCTL_REG_READ_FAILED = 13,
    ZELT_PCI_IOCTL_REG_WRITE_FAILED = 14,
    ZELT_PCI_IOCTL_RETRY = 15,
};

// A function that stopped answering during this run, and the transfer state it
// stopped in.
struct UnresponsiveFunction {
    PciAddress address;
    uint8_t ushi_fw_state = 0;
};

// What one run's mailbox exchanges share: owned by the channel that drives them.
struct MailboxRun {
    // The function is reached in recovery mode: a silent function is still tried, and
    // the firmware health is not asked.
    bool recovery_mode = false;
    // The recovery firmware image runs: the firmware health is not asked.
    bool fastboot_running = false;
    // Functions found unresponsive; they are not waited for again.
    std::vector<UnresponsiveFunction> unresponsive;
    // Source of the multi-host request tags.
    uint32_t tag_state = 0;

    bool is_unresponsive(const PciAddress& address) const;
    void mark_unresponsive(const PciAddress& address, uint8_t state);
};

// The outcome of one mailbox exchange: the mailbox status, and the transfer state a
// failed transfer reached.
struct MailboxOutcome {
    int32_t status = ZELT_PCI_IOCTL_SUCCESS;
    uint32_t add_status = 0;
};

// One message through the mailbox of the function at `address` (request already framed
// with the mailbox target id): configuration read, bus lock, mapping and mailbox check,
// request, response, release; repeated while the firmware asks for a retry (at most
// kMailboxRetries times). Every failure leaves HRTS, HCTS and data valid clear and
// BAR0 unmapped.
inline constexpr int kMailboxRetries = 8;
MailboxOutcome zeltnvm_issue_pci_ioctl(host::Host& host, MailboxRun& run, const PciAddress& address,
                                       const Message& msg);

// The same as the tool's result: busy (2) as 16, other statuses as they are.
Result mailbox_exchange(host::Host& host, MailboxRun& run, const PciAddress& address, const Message& msg);

// Reads one firmware register of the function at `address` by encoded address
// (wire/fw_register_address.h): a configuration-space offset; a chip register through
// the BAR0 window, falling back to the configuration-space window when BAR0 cannot be
// mapped for a reason other than refused permission; on the newest family the
// configuration direct window. HVXRETVAL_REG_READ_FAILED when the function or register
// cannot be read; 16 (busy) when another process holds the bus's PCI lock.
Result zeltnvm_read_fw_reg(host::Host& host, const PciAddress& address, uint32_t* value, uint32_t reg);

// The device serial number text of the function: configuration dwords 0x140 and 0x144,
// least significant byte of the first dword first, as the first 15 hexadecimal digits.
// Empty when configuration space cannot be read.
std::string zeltnvm_read_dev_serial_no(host::Host& host, const PciAddress& address);
// The serial number text of the two dwords.
std::string serial_number_text(uint32_t first, uint32_t second);

}  // namespace zelt::transport
