// The PCI mailbox: firmware messages exchanged through the adapter's mapped PCI
// memory window, used for recovery names and when /dev/zelt_lfc cannot be opened;
// and encoded firmware register reads through the same window.
//
// Until the mailbox handshake is built, an exchange answers "unsupported operation"
// after a log line (mailbox.cpp). Register reads are in fw_register_window.cpp.
#pragma once

#include <cstdint>

#include "common/pci_address.h"
#include "common/result.h"
#include "transport/hwrm_channel.h"

namespace zelt::host {
class Host;
}

namespace zelt::transport {

// Name of the cross-process lock of one PCI domain and bus (printf form: domain, bus),
// held for one mailbox exchange or one windowed register access, and how long a taker
// waits for it.
inline constexpr const char* ZELT_PCI_LOCK_NAME_FORMAT = "ZELTNVM_PCI_LOCK_%04x_%02x";
inline constexpr unsigned ZELT_PCI_LOCK_TIMEOUT_MS = 1000;

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

struct zelt_device_info {
    uint16_t domain;
    uint16_t bus;
    uint16_t device;
    uint16_t func;
    uint8_t ushi_fw_state;
    uint8_t rsvd;
};

struct zelt_pci_request {
    void* hwrm_req;
    uint32_t hwrm_req_size;
    uint32_t payload_length;  // host-to-device data (writes)
    void* payload_data;
    uint32_t dma_addr_offset;
};

struct zelt_pci_response {
    void* hwrm_resp;
    uint32_t hwrm_resp_size;
    uint32_t payload_length;  // device-to-host data (reads)
    void* payload_data;
};

// One message through the mailbox of the function at `address`. The request's
// target_id is already set for the mailbox; the answer's own error status is left to
// the caller. A failing mailbox status is returned as the tool's result (busy as 16).
Result mailbox_exchange(const PciAddress& address, const Message& msg);

// Reads one firmware register of the function at `address` through the PCI
// configuration space of `host`, the register named by an encoded address
// (wire/fw_register_address.h): a configuration-space offset, or on the newest chips
// the configuration direct window. HVXRETVAL_REG_READ_FAILED when the function or
// register cannot be read; 16 (busy) when another process holds the bus's PCI lock for
// longer than ZELT_PCI_LOCK_TIMEOUT_MS; HVXRETVAL_UNSUPPORTED_OPERATION for registers
// behind the BAR0 window.
Result zeltnvm_read_fw_reg(host::Host& host, const PciAddress& address, uint32_t* value, uint32_t reg);

}  // namespace zelt::transport
