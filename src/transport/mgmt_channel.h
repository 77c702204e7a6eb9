// The road through the adapter driver's management interface, on the platform that has
// neither the firmware-channel device nor ethtool: firmware messages by the message
// passthrough callback (falling back once to its first revision when the driver does
// not take the request), the NVM directory and items, package installation and the
// driver's facts by their own callbacks. Each operation opens its own management handle
// and closes it before it returns.
#pragma once

#include "host/mgmt_library.h"
#include "transport/channel.h"

namespace zelt::transport {

class MgmtChannel final : public Channel {
public:
    MgmtChannel(host::Host& host, host::MgmtLibrary& library);

    host::MgmtLibrary& library() const { return library_; }

    // The directory messages are answered from the directory callbacks; every other
    // message goes through the passthrough.
    Result send(const Function& fn, const Message& msg) const override;
    uint32_t message_piece_size() const override;
    Result read_item(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                     uint32_t length) const override;
    // Looks the entry up, creates it when absent and writes the data in pieces from
    // offset 0. Length 0 writes nothing and succeeds.
    Result write_item(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data) const override;
    // Indexes above 254 are refused with HVXRETVAL_INVALID_INDEX_PARAMETER before the call.
    Result erase_item(const Function& fn, uint32_t index) const override;
    Result install_package(const Function& fn, std::span<const uint8_t> package,
                           uint32_t install_type) const override;
    ResultOr<DriverInfo> driver_info(const Function& fn) const override;
    ResultOr<std::string> firmware_version(const Function& fn) const override;
    ResultOr<std::string> package_version(const Function& fn) const override;
    // Not offered on this platform.
    ResultOr<ModuleInfo> module_info(const Function& fn) const override;
    Result reset(const Function& fn, const ResetRequest& request) const override;
    // The driver keeps no crash dump for the tool on this platform.
    bool crashdump_available(const Function& fn) const override;
    Result coredump(const Function& fn, FILE* fp, int type) const override;
    bool offers(PlatformOperation operation) const override;
    // The firmware's counters from the driver's counter callback.
    ResultOr<FwCounters> fw_counters(const Function& fn) const override;

private:
    host::MgmtLibrary& library_;
};

// The PCI address of interface `ifname` as the driver reports it.
Result zeltnvm_get_device_pci_ids(host::MgmtLibrary& library, const std::string& ifname, PciAddress& address);

}  // namespace zelt::transport
