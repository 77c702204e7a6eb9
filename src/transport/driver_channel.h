// The road through a function's network driver: firmware messages through the
// firmware-channel device /dev/zelt_lfc, or through the PCI mailbox when the host has
// no such device (decided when the channel is made); NVM items, package flashing,
// driver texts and dumps through ethtool.
#pragma once

#include <memory>

#include "transport/channel.h"
#include "transport/mailbox_road.h"

namespace zelt::transport {

class DriverChannel final : public Channel {
public:
    // Messages by mailbox when /dev/zelt_lfc cannot be opened now; `mailbox` is the run's
    // mailbox road (a road of its own when none is given).
    explicit DriverChannel(host::Host& host, std::shared_ptr<const MailboxRoad> mailbox = {});

    // Whether messages go through the PCI mailbox.
    bool messages_by_mailbox() const { return by_mailbox_; }

    Result send(const Function& fn, const Message& msg) const override;
    // Large pieces through /dev/zelt_lfc, the mailbox's small ones through the mailbox.
    uint32_t message_piece_size() const override;
    Result read_item(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                     uint32_t length) const override;
    Result write_item(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data) const override;
    Result erase_item(const Function& fn, uint32_t index) const override;
    Result install_package(const Function& fn, std::span<const uint8_t> package,
                           uint32_t install_type) const override;
    // Stages the snapshot by a link (see zeltnvmSecureUpdate).
    Result install_snapshot(const Function& fn, const host::FileSnapshot& snapshot,
                            uint32_t install_type) const override;
    ResultOr<DriverInfo> driver_info(const Function& fn) const override;
    ResultOr<std::string> firmware_version(const Function& fn) const override;
    ResultOr<std::string> package_version(const Function& fn) const override;
    ResultOr<ModuleInfo> module_info(const Function& fn) const override;
    // The firmware reset message.
    Result reset(const Function& fn, const ResetRequest& request) const override;
    bool crashdump_available(const Function& fn) const override;
    Result coredump(const Function& fn, FILE* fp, int type) const override;

private:
    std::shared_ptr<const MailboxRoad> mailbox_;
    bool by_mailbox_;
};

}  // namespace zelt::transport
