#include "device/pci_window_channel.h"

#include <algorithm>
#include <vector>

#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_install.h"
#include "device/nvm/nvm_items.h"
#include "transport/function.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_channel.h"

namespace zelt::device {

using transport::Function;

namespace {

// Room for the package version text the firmware reports.
constexpr uint32_t kVersionTextLen = 256;

}  // namespace

Result PciWindowChannel::send(const Function& fn, const transport::Message& msg) const {
    return mailbox_->send(fn, msg);
}

uint32_t PciWindowChannel::message_piece_size() const { return ZELTNVM_MSG_PIECE_SMALL; }

Result PciWindowChannel::read_item(const Function& fn, uint32_t index, uint32_t offset, uint8_t* data,
                                   uint32_t length) const {
    return zeltnvm_linux_GetItem(fn, index, offset, data, length);
}

Result PciWindowChannel::write_item(const Function& fn, transport::ItemId id, uint16_t attr,
                                    std::span<const uint8_t> data) const {
    size_t size = data.size();
    zelnvm_directory_entry_t entry{};
    if (zeltnvmGetDirEntry(fn, id.type, id.ordinal, id.ext, &entry).ok())
        size = std::max<size_t>(size, (entry.data_length + 3u) / 4u * 4u);
    std::vector<uint8_t> out(size, 0);
    std::copy(data.begin(), data.end(), out.begin());
    return zeltnvm_linux_WriteItem(fn, id.type, id.ordinal, id.ext, attr, out.data(), static_cast<uint32_t>(size));
}

Result PciWindowChannel::erase_item(const Function&, uint32_t) const {
    return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
}

Result PciWindowChannel::install_package(const Function& fn, std::span<const uint8_t> package,
                                         uint32_t install_type) const {
    return zeltnvm_linux_SecureUpdate(fn, package.data(), static_cast<uint32_t>(package.size()), install_type);
}

ResultOr<transport::DriverInfo> PciWindowChannel::driver_info(const Function& fn) const {
    transport::DriverInfo info;
    info.address = fn.address;
    return info;
}

ResultOr<std::string> PciWindowChannel::firmware_version(const Function&) const {
    return Result::tool(HVXRETVAL_FAILURE);
}

ResultOr<std::string> PciWindowChannel::package_version(const Function& fn) const {
    char text[kVersionTextLen] = {};
    const Result rc = zeltnvm_linux_GetInstalledPackageVersion(fn, text, sizeof text);
    if (!rc.ok()) return rc;
    return std::string(text);
}

ResultOr<transport::ModuleInfo> PciWindowChannel::module_info(const Function&) const {
    return Result::tool(HVXRETVAL_FAILURE);
}

Result PciWindowChannel::reset(const Function& fn, const transport::ResetRequest& request) const {
    return transport::send_fw_reset(fn, request);
}

bool PciWindowChannel::crashdump_available(const Function&) const { return false; }

Result PciWindowChannel::coredump(const Function&, FILE* fp, int) const {
    if (fp) std::fclose(fp);
    return Result::tool(HVXRETVAL_UNSUPPORTED_OPERATION);
}

}  // namespace zelt::device
