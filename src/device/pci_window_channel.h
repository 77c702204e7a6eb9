// The road through a function's PCI memory window, for functions no driver holds:
// firmware messages through the PCI mailbox, and NVM items read, written and
// installed by firmware message. There is no driver to give texts or dumps.
#pragma once

#include <memory>

#include "transport/channel.h"
#include "transport/mailbox_road.h"

namespace zelt::device {

class PciWindowChannel final : public transport::Channel {
public:
    // `mailbox` is the run's mailbox road (a road of its own when none is given).
    explicit PciWindowChannel(host::Host& host, std::shared_ptr<const transport::MailboxRoad> mailbox = {})
        : Channel(host), mailbox_(mailbox ? std::move(mailbox) : std::make_shared<const transport::MailboxRoad>(host)) {}

    Result send(const transport::Function& fn, const transport::Message& msg) const override;
    // The mailbox's small pieces.
    uint32_t message_piece_size() const override;
    Result read_item(const transport::Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                     uint32_t length) const override;
    // Modifies the item from offset 0 (created when absent). A modify keeps the old data
    // length, so the data is padded with zeros over the whole old data.
    Result write_item(const transport::Function& fn, transport::ItemId id, uint16_t attr,
                      std::span<const uint8_t> data) const override;
    // Not carried by message: HVXRETVAL_UNSUPPORTED_OPERATION.
    Result erase_item(const transport::Function& fn, uint32_t index) const override;
    // Stages the package in the update item and installs it, all by message.
    Result install_package(const transport::Function& fn, std::span<const uint8_t> package,
                           uint32_t install_type) const override;
    // The function's own address; no driver texts.
    ResultOr<transport::DriverInfo> driver_info(const transport::Function& fn) const override;
    // No driver to ask: HVXRETVAL_FAILURE.
    ResultOr<std::string> firmware_version(const transport::Function& fn) const override;
    // The package version the firmware reports.
    ResultOr<std::string> package_version(const transport::Function& fn) const override;
    // No driver to ask: HVXRETVAL_FAILURE.
    ResultOr<transport::ModuleInfo> module_info(const transport::Function& fn) const override;
    // The firmware reset message.
    Result reset(const transport::Function& fn, const transport::ResetRequest& request) const override;
    bool crashdump_available(const transport::Function& fn) const override;
    Result coredump(const transport::Function& fn, FILE* fp, int type) const override;

private:
    std::shared_ptr<const transport::MailboxRoad> mailbox_;
};

}  // namespace zelt::device
