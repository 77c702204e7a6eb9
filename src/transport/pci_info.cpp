#include "transport/pci_info.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "common/hvxretval.h"
#include "host/host.h"
#include "log/print.h"
#include "transport/answer_text.h"
#include "transport/ethtool_socket.h"
#include "transport/function.h"
#include "wire/ethtool_nvm.h"

using namespace zelt;

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The uevent file of an interface, taken line by line as 256-byte lines (a longer line
// comes in pieces of 255 bytes, the last with its newline).
// 1 found, 0 no such line, -1 unparsable, -2 the file cannot be read.
int slotFromUevent(zelt::host::Host& host, const std::string& dev, zelt::PciAddress& slot) {
    std::string text;
    if (!host.read_file("/sys/class/net/" + dev + "/device/uevent", text)) return -2;
    std::string_view rest = text;
    while (!rest.empty()) {
        size_t n = std::min<size_t>(rest.size(), 255);
        if (const size_t newline = rest.substr(0, n).find('\n'); newline != std::string_view::npos) n = newline + 1;
        // Up to a NUL byte, as the line read into a C string would be.
        std::string_view line = rest.substr(0, n);
        line = line.substr(0, line.find('\0'));
        rest.remove_prefix(n);
        switch (zelt::transport::zeltUeventPciSlot(line, slot)) {
            case zelt::transport::SlotLine::kFound: return 1;
            case zelt::transport::SlotLine::kMalformed: return -1;
            case zelt::transport::SlotLine::kAbsent: break;
        }
    }
    return 0;
}

std::string cutText(std::string_view text) { return std::string(text.substr(0, std::min(text.size(), zelt::transport::ZELT_DRV_TEXT_LEN - 1))); }

}  // namespace

namespace zelt::transport {

ResultOr<DriverInfo> zeltDrvInfo(const Function& fn, bool want_driver) {
    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_POINTER_PARAMETER);
    const std::string& dev = fn.name;
    // An interface name never holds a path separator; refusing one keeps the name
    // from reaching outside the interface's own sysfs directory.
    if (dev.find('/') != std::string::npos) return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);

    DriverInfo out;
    int from_uevent = slotFromUevent(fn.channel->host(), dev, out.address);
    if (from_uevent == -1) return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    if (from_uevent == 1 && !want_driver) return out;
    if (from_uevent == 0) {
        // The uevent file exists but names no slot: nothing else to ask.
        return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    }

    ethtool_drvinfo info;
    std::memset(&info, 0, sizeof info);
    if (!send_ethtool_cmd(fn, ETHTOOL_GDRVINFO, &info).ok())
        return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    if (from_uevent != 1 && !zeltParsePciSlot(zeltFieldText(info.bus_info, sizeof info.bus_info), out.address))
        return Result::tool(HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
    if (want_driver) {
        out.driver_version = cutText(zeltFieldText(info.version, sizeof info.version));
        out.driver_name = cutText(zeltFieldText(info.driver, sizeof info.driver));
    }
    return out;
}

Result zeltnvm_get_pci_cfg_data(host::Host& host, const PciAddress& address, uint8_t* cfg) {
    const uint32_t domain = address.domain, bus = address.bus, device = address.device, function = address.function;
    char path[256];
    std::snprintf(path, sizeof path, "%s/%04x:%02x:%02x.%d/config", "/sys/bus/pci/devices", domain, bus, device,
                  static_cast<int>(function));
    File f(host.open_file(path, "rb"));
    if (!f) {
        std::snprintf(path, sizeof path, "%s/%02x/%02x.%d", "/proc/bus/pci", bus, device, static_cast<int>(function));
        f.reset(host.open_file(path, "rb"));
    }
    if (!f) {
        int err = errno;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to open %s : %d(%s)\n", path, err, std::strerror(err));
        return Result::tool(4);
    }
    size_t cnt = std::fread(cfg, 1, ZELT_PCI_CFG_LEN, f.get());
    if (cnt < ZELT_PCI_CFG_LEN) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to read config data from %s : cnt(%d) cfg_data_len(%d)\n",
                      path, static_cast<int>(cnt), static_cast<int>(ZELT_PCI_CFG_LEN));
        return Result::tool(4);
    }
    return Result();
}

}  // namespace zelt::transport

