// The road through a function's network driver: firmware messages through the
// firmware-channel device /dev/zelt_lfc (the PCI mailbox when the device cannot be
// opened), NVM items, package flashing, driver texts and dumps through ethtool.
#pragma once

#include "transport/channel.h"

namespace zelt::transport {

class DriverChannel final : public Channel {
public:
    explicit DriverChannel(host::Host& host) : Channel(host) {}

    Result send(const Function& fn, const Message& msg) const override;
    // Large pieces when /dev/zelt_lfc can be opened, else the mailbox's small ones.
    uint32_t message_piece_size() const override;
    Result read_item(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                     uint32_t length) const override;
    Result write_item(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data) const override;
    Result erase_item(const Function& fn, uint32_t index) const override;
    Result install_package(const Function& fn, std::span<const uint8_t> package,
                           uint32_t install_type) const override;
    ResultOr<DriverInfo> driver_info(const Function& fn) const override;
    ResultOr<std::string> firmware_version(const Function& fn) const override;
    ResultOr<std::string> package_version(const Function& fn) const override;
    ResultOr<ModuleInfo> module_info(const Function& fn) const override;
    // The firmware reset message.
    Result reset(const Function& fn, const ResetRequest& request) const override;
    bool crashdump_available(const Function& fn) const override;
    Result coredump(const Function& fn, FILE* fp, int type) const override;
};

}  // namespace zelt::transport
