#include "transport/driver_channel.h"

#include <fcntl.h>

#include "host/host.h"
#include "transport/ethtool_channel.h"
#include "transport/hwrm_channel.h"
#include "transport/pci_info.h"
#include "wire/lfc.h"

namespace zelt::transport {

// Piece sizes of message reads and modifies: large pieces through the firmware-channel
// device, small ones through the PCI mailbox.
inline constexpr uint32_t kPieceChannel = 65536;
inline constexpr uint32_t kPieceMailbox = 4096;

namespace {

// Whether /dev/zelt_lfc can be opened on `host` (opened only to learn that).
bool firmware_channel_present(host::Host& host) {
    const int fd = host.device_open(ZELT_LFC_DEVICE_PATH, O_RDWR);
    if (fd < 0) return false;
    host.device_close(fd);
    return true;
}

}  // namespace

DriverChannel::DriverChannel(host::Host& host, std::shared_ptr<const MailboxRoad> mailbox)
    : Channel(host),
      mailbox_(mailbox ? std::move(mailbox) : std::make_shared<const MailboxRoad>(host)),
      by_mailbox_(!firmware_channel_present(host)) {}

Result DriverChannel::send(const Function& fn, const Message& msg) const {
    if (by_mailbox_) return mailbox_->send(fn, msg);
    return send_by_firmware_channel(host(), *mailbox_, fn, msg);
}

uint32_t DriverChannel::message_piece_size() const { return by_mailbox_ ? kPieceMailbox : kPieceChannel; }

Result DriverChannel::read_item(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                                uint32_t length) const {
    return zeltnvmGetItem(fn, index, offset, data, length);
}

Result DriverChannel::write_item(const Function& fn, ItemId id, uint16_t attr, std::span<const uint8_t> data) const {
    return zeltnvmWriteItem(fn, id, attr, data);
}

Result DriverChannel::erase_item(const Function& fn, uint32_t index) const { return zeltnvmEraseItem(fn, index); }

Result DriverChannel::install_package(const Function& fn, std::span<const uint8_t> package,
                                      uint32_t install_type) const {
    return zeltnvmSecureUpdate(fn, package, install_type);
}

Result DriverChannel::install_snapshot(const Function& fn, const host::FileSnapshot& snapshot,
                                       uint32_t install_type) const {
    return zeltnvmSecureUpdate(fn, snapshot.bytes(), install_type, &snapshot);
}

ResultOr<DriverInfo> DriverChannel::driver_info(const Function& fn) const { return zeltDrvInfo(fn, true); }

ResultOr<std::string> DriverChannel::firmware_version(const Function& fn) const {
    return zeltnvmGetInstalledfwVersion(fn);
}

ResultOr<std::string> DriverChannel::package_version(const Function& fn) const {
    return zeltnvmGetInstalledPackageVersion(fn);
}

ResultOr<ModuleInfo> DriverChannel::module_info(const Function& fn) const { return zeltnvmGetModuleInfo(fn); }

Result DriverChannel::reset(const Function& fn, const ResetRequest& request) const { return send_fw_reset(fn, request); }

bool DriverChannel::crashdump_available(const Function& fn) const { return zeltnvm_is_ethtool_crashdump_available(fn); }

Result DriverChannel::coredump(const Function& fn, FILE* fp, int type) const {
    return zeltnvmEthtoolCoredump(fn, fp, type);
}

}  // namespace zelt::transport
