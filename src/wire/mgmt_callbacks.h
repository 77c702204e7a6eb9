// The adapter driver's management interface on the hypervisor platform: the callback
// numbers, the request header every callback gets, the payload records and the
// driver statuses. The tool fills these records and the simulated driver decodes
// them; both use the definitions here. Native byte order throughout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "wire/wire_layout.h"

namespace zelt::wire::mgmt {

// The interface the tool registers with the management library.
inline constexpr const char* kInterfaceName = "zeltnet_mgmt_if";
inline constexpr const char* kInterfaceVendor = "halvex";
inline constexpr uint8_t kInterfaceRevision[4] = {1, 0, 0, 0};
inline constexpr uint32_t kInterfaceCallbacks = 38;

// Callback numbers.
inline constexpr uint32_t kCbDriverInfo = 16;
inline constexpr uint32_t kCbLinkInfo = 20;
inline constexpr uint32_t kCbInterfaces = 21;
inline constexpr uint32_t kCbNicInfo = 22;
inline constexpr uint32_t kCbDirInfo = 23;
inline constexpr uint32_t kCbDirEntries = 24;
inline constexpr uint32_t kCbItemRead = 25;
inline constexpr uint32_t kCbItemErase = 27;
inline constexpr uint32_t kCbItemCreate = 28;
inline constexpr uint32_t kCbItemWrite = 29;
inline constexpr uint32_t kCbInstall = 37;
inline constexpr uint32_t kCbSetTime = 39;
inline constexpr uint32_t kCbHwrmV0 = 46;
inline constexpr uint32_t kCbFwCounters = 50;
inline constexpr uint32_t kCbHwrm = 53;

// Driver statuses written into the request header.
inline constexpr uint32_t kStatusOk = 0;
// The firmware refused the request (the payload carries its error code and cmd_err).
inline constexpr uint32_t kStatusFirmwareRefused = 0x0BAD0015;
// The driver does not know the callback number.
inline constexpr uint32_t kStatusUnknownCallback = 0x0BAD0001;
// The driver could not carry the request (bad payload, no such interface).
inline constexpr uint32_t kStatusFailure = 0x0BAD0002;

// The largest piece of item data one callback moves.
inline constexpr uint32_t kItemPiece = 32768;
// The largest directory answer.
inline constexpr uint32_t kDirectoryBytes = 32768;
// Directory indexes an erase may name.
inline constexpr uint32_t kMaxEraseIndex = 254;

// The first argument of every callback.
struct RequestHeader {
    char ifname[16];    // at most 15 characters and a terminating zero
    uint32_t callback;  // callback number
    uint32_t status;    // written by the driver; kStatusOk on success
};
ZELT_WIRE_SIZE(RequestHeader, 24);
ZELT_WIRE_FIELD(RequestHeader, callback, 16);
ZELT_WIRE_FIELD(RequestHeader, status, 20);

// Callback 16: what the driver reports about an interface.
struct DriverInfoPayload {
    char driver_name[32];
    char driver_version[40];
    char fw_version[64];  // "<firmware version>/pkg <package version>"
};
ZELT_WIRE_SIZE(DriverInfoPayload, 136);
ZELT_WIRE_FIELD(DriverInfoPayload, driver_version, 32);
ZELT_WIRE_FIELD(DriverInfoPayload, fw_version, 72);

// Callback 20: the interface's link.
struct LinkInfoPayload {
    uint32_t link_up;  // 1 when the link is up
    uint32_t speed_mbps;
    uint32_t mtu;
    uint32_t duplex;  // 1: full
};
ZELT_WIRE_SIZE(LinkInfoPayload, 16);
ZELT_WIRE_FIELD(LinkInfoPayload, mtu, 8);

// Callback 21: the driver's interfaces.
inline constexpr uint32_t kMaxInterfaces = 32;
struct InterfaceListPayload {
    char names[kMaxInterfaces][16];
    uint64_t count;
};
ZELT_WIRE_SIZE(InterfaceListPayload, 520);
ZELT_WIRE_FIELD(InterfaceListPayload, count, 512);

// Callback 22: the PCI function behind an interface.
inline constexpr uint8_t kNicFlagPhysical = 0x01;      // a physical function
inline constexpr uint8_t kNicFlagDriverActive = 0x02;  // the driver has the function up
struct NicInfoPayload {
    uint16_t vendor_id;
    uint16_t device_id;
    uint16_t subsys_vendor_id;
    uint16_t subsys_id;
    uint8_t bus;
    uint8_t device;
    uint16_t domain;
    uint8_t function;
    uint8_t revision;
    uint8_t flags;
    uint8_t unused_0;
    uint16_t pcie_link_status;  // the PCIe link status register: speed (bits 0-3), width (4-9)
    uint8_t unused_1[2];
    uint8_t mac[6];            // current address
    uint8_t permanent_mac[6];  // address the adapter was made with
    uint16_t vfs_total;
    uint16_t vfs_active;
};
ZELT_WIRE_SIZE(NicInfoPayload, 36);
ZELT_WIRE_FIELD(NicInfoPayload, subsys_id, 6);
ZELT_WIRE_FIELD(NicInfoPayload, bus, 8);
ZELT_WIRE_FIELD(NicInfoPayload, device, 9);
ZELT_WIRE_FIELD(NicInfoPayload, domain, 10);
ZELT_WIRE_FIELD(NicInfoPayload, function, 12);
ZELT_WIRE_FIELD(NicInfoPayload, flags, 14);
ZELT_WIRE_FIELD(NicInfoPayload, mac, 20);
ZELT_WIRE_FIELD(NicInfoPayload, permanent_mac, 26);
ZELT_WIRE_FIELD(NicInfoPayload, vfs_total, 32);

// Callback 23: the directory's shape.
struct DirInfoPayload {
    uint32_t entries;
    uint32_t entry_length;
};
ZELT_WIRE_SIZE(DirInfoPayload, 8);

// Callback 24: the directory entries. The caller sets `length` to entries x entry
// length; the driver fills `entries`.
struct DirEntriesPayload {
    uint32_t length;
    uint8_t entries[kDirectoryBytes];
};
ZELT_WIRE_SIZE(DirEntriesPayload, 4 + kDirectoryBytes);
ZELT_WIRE_FIELD(DirEntriesPayload, entries, 4);

#pragma pack(push, 1)
// Callback 25: a piece of an item.
struct ItemReadPayload {
    uint16_t index;
    uint32_t offset;
    uint32_t length;
    uint8_t data[kItemPiece];
};
#pragma pack(pop)
ZELT_WIRE_SIZE(ItemReadPayload, 10 + kItemPiece);
ZELT_WIRE_FIELD(ItemReadPayload, offset, 2);
ZELT_WIRE_FIELD(ItemReadPayload, length, 6);
ZELT_WIRE_FIELD(ItemReadPayload, data, 10);

// Callback 27: the directory entry to erase.
struct ItemErasePayload {
    uint16_t index;
};
ZELT_WIRE_SIZE(ItemErasePayload, 2);

// Callback 28: a new, empty item. The driver answers the new entry's index as a u32 at
// byte 32776, over `index` and `type`.
#pragma pack(push, 1)
struct ItemCreatePayload {
    uint8_t unused_0[kItemPiece + 4];
    uint32_t item_length;
    uint16_t index;
    uint16_t type;
    uint16_t ordinal;
    uint16_t ext;
    uint16_t attr;
};
#pragma pack(pop)
ZELT_WIRE_SIZE(ItemCreatePayload, 32786);
ZELT_WIRE_FIELD(ItemCreatePayload, item_length, 32772);
ZELT_WIRE_FIELD(ItemCreatePayload, index, 32776);
ZELT_WIRE_FIELD(ItemCreatePayload, type, 32778);
ZELT_WIRE_FIELD(ItemCreatePayload, ordinal, 32780);
ZELT_WIRE_FIELD(ItemCreatePayload, ext, 32782);
ZELT_WIRE_FIELD(ItemCreatePayload, attr, 32784);

// The created entry's index as the driver writes it.
inline uint32_t created_index(const ItemCreatePayload& p) {
    uint32_t index;
    std::memcpy(&index, reinterpret_cast<const uint8_t*>(&p) + offsetof(ItemCreatePayload, index), sizeof index);
    return index;
}
inline void set_created_index(ItemCreatePayload& p, uint32_t index) {
    std::memcpy(reinterpret_cast<uint8_t*>(&p) + offsetof(ItemCreatePayload, index), &index, sizeof index);
}

// Callback 29: a piece of an item's data.
struct ItemWritePayload {
    uint8_t data[kItemPiece];
    uint32_t length;
    uint32_t offset;
    uint32_t index;
};
ZELT_WIRE_SIZE(ItemWritePayload, 32780);
ZELT_WIRE_FIELD(ItemWritePayload, length, 32768);
ZELT_WIRE_FIELD(ItemWritePayload, offset, 32772);
ZELT_WIRE_FIELD(ItemWritePayload, index, 32776);

// Callback 37: install the staged package.
inline constexpr uint8_t kInstallAllowDefrag = 4;
struct InstallPayload {
    uint32_t install_type;
    uint8_t unused_0[9];
    uint8_t result;  // answer
    uint16_t error_code;
    uint8_t cmd_err;
    uint8_t reboot_needed;
    uint8_t flags;
    uint8_t unused_1;
};
ZELT_WIRE_SIZE(InstallPayload, 20);
ZELT_WIRE_FIELD(InstallPayload, result, 13);
ZELT_WIRE_FIELD(InstallPayload, error_code, 14);
ZELT_WIRE_FIELD(InstallPayload, cmd_err, 16);
ZELT_WIRE_FIELD(InstallPayload, reboot_needed, 17);
ZELT_WIRE_FIELD(InstallPayload, flags, 18);

// Callback 39: the firmware's clock, in UTC.
struct SetTimePayload {
    uint8_t unused_0[2];
    uint16_t year;
    uint8_t unused_1[2];
    uint8_t second;
    uint8_t minute;
    uint8_t hour;
    uint8_t day;
    uint8_t month;  // 1..12
    uint8_t unused_2;
};
ZELT_WIRE_SIZE(SetTimePayload, 12);
ZELT_WIRE_FIELD(SetTimePayload, year, 2);
ZELT_WIRE_FIELD(SetTimePayload, second, 6);
ZELT_WIRE_FIELD(SetTimePayload, month, 10);

// Callback 50: the firmware's counters.
struct FwCountersPayload {
    uint32_t reset_counter;
    uint32_t err_recovery_counter;
};
ZELT_WIRE_SIZE(FwCountersPayload, 8);

// Callbacks 53 and 46: a firmware message with an optional data buffer.
inline constexpr uint32_t kHwrmRequestBytes = 128;
inline constexpr uint32_t kHwrmResponseBytes = 512;
inline constexpr uint8_t kDirectionDeviceToHost = 1;
template <uint32_t DataBytes, uint32_t RecordBytes>
struct HwrmPassthroughRecord {
    uint8_t request[kHwrmRequestBytes];
    uint8_t response[kHwrmResponseBytes];
    uint32_t request_size;
    uint32_t response_size;  // the driver may lower it
    uint32_t timeout_ms;
    uint32_t req_type;
    uint32_t num_indications;
    uint8_t one;  // always 1
    uint8_t unused_0[3];
    uint8_t data[DataBytes];
    uint32_t data_length;
    uint16_t dma_offset;  // where in the request the driver writes the buffer's bus address
    uint8_t direction;    // kDirectionDeviceToHost, or 0
    uint8_t unused_1[RecordBytes - 664 - DataBytes - 7];

    static constexpr uint32_t kDataBytes = DataBytes;
};
using HwrmPayload = HwrmPassthroughRecord<65536, 197296>;
using HwrmV0Payload = HwrmPassthroughRecord<32768, 98992>;
ZELT_WIRE_SIZE(HwrmPayload, 197296);
ZELT_WIRE_FIELD(HwrmPayload, response, 128);
ZELT_WIRE_FIELD(HwrmPayload, request_size, 640);
ZELT_WIRE_FIELD(HwrmPayload, response_size, 644);
ZELT_WIRE_FIELD(HwrmPayload, timeout_ms, 648);
ZELT_WIRE_FIELD(HwrmPayload, req_type, 652);
ZELT_WIRE_FIELD(HwrmPayload, num_indications, 656);
ZELT_WIRE_FIELD(HwrmPayload, one, 660);
ZELT_WIRE_FIELD(HwrmPayload, data, 664);
ZELT_WIRE_FIELD(HwrmPayload, data_length, 66200);
ZELT_WIRE_FIELD(HwrmPayload, dma_offset, 66204);
ZELT_WIRE_FIELD(HwrmPayload, direction, 66206);
ZELT_WIRE_SIZE(HwrmV0Payload, 98992);
ZELT_WIRE_FIELD(HwrmV0Payload, data, 664);
ZELT_WIRE_FIELD(HwrmV0Payload, data_length, 33432);
ZELT_WIRE_FIELD(HwrmV0Payload, dma_offset, 33436);
ZELT_WIRE_FIELD(HwrmV0Payload, direction, 33438);

// Message time-outs through each callback.
inline constexpr uint32_t kTimeoutDefaultMs = 50000;
inline constexpr uint32_t kTimeoutDscDumpMs = 180000;
inline constexpr uint32_t kTimeoutDefragMs = 100000;
inline constexpr uint16_t kReqPortDscDump = 0x00D9;
inline constexpr uint16_t kReqNvmDefrag = 0xFFEC;
inline uint32_t hwrm_timeout_ms(uint16_t req_type) {
    if (req_type == kReqPortDscDump) return kTimeoutDscDumpMs;
    if (req_type == kReqNvmDefrag) return kTimeoutDefragMs;
    return kTimeoutDefaultMs;
}
inline uint32_t hwrm_v0_timeout_ms(uint16_t req_type) {
    return req_type == kReqPortDscDump ? kTimeoutDscDumpMs : kTimeoutDefaultMs;
}

}  // namespace zelt::wire::mgmt
