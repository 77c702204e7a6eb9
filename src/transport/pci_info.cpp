#include "transport/pci_info.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

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

// The uevent file of an interface, read line by line as 256-byte lines.
// 1 found, 0 no such line, -1 unparsable, -2 the file cannot be opened.
int slotFromUevent(const char* dev, zelt::PciAddress& slot) {
    std::string path = std::string("/sys/class/net/") + dev + "/device/uevent";
    File f(zelt::host::current().open_file(path, "r"));
    if (!f) return -2;
    char line[256];
    while (std::fgets(line, sizeof line, f.get())) {
        int rc = zeltUeventPciSlot(line, slot);
        if (rc != 0) return rc;
    }
    return 0;
}

void copyText(char* out, std::string_view text) {
    size_t n = std::min(text.size(), ZELT_DRV_TEXT_LEN - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
}

}  // namespace

int32_t zeltDrvInfo(const char* dev, zelt::PciAddress& address, char* version, char* name) {
    if (!dev) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    zelt::PciAddress slot;
    if (zelt::transport::is_pci_window_name(dev)) {
        const auto window = zelt::transport::parse_pci_window_name(dev);
        if (!window) return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
        address = *window;
        return 0;
    }
    // An interface name never holds a path separator; refusing one keeps the name
    // from reaching outside the interface's own sysfs directory.
    if (std::strchr(dev, '/')) return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;

    const bool want_driver = version && name;
    int from_uevent = slotFromUevent(dev, slot);
    if (from_uevent == -1) return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
    if (from_uevent == 1 && !want_driver) {
        address = slot;
        return 0;
    }
    if (from_uevent == 0) {
        // The uevent file exists but names no slot: nothing else to ask.
        return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
    }

    ethtool_drvinfo info;
    std::memset(&info, 0, sizeof info);
    if (send_ethtool_cmd(dev, ETHTOOL_GDRVINFO, &info) != 0) return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
    if (from_uevent != 1 && !zeltParsePciSlot(zeltFieldText(info.bus_info, sizeof info.bus_info), slot))
        return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
    address = slot;
    if (want_driver) {
        copyText(version, zeltFieldText(info.version, sizeof info.version));
        copyText(name, zeltFieldText(info.driver, sizeof info.driver));
    }
    return 0;
}

int32_t zeltnvm_get_pci_cfg_data(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function, uint8_t* cfg) {
    auto& host = zelt::host::current();
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
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to open %s : %d(%s)\n", path, err, std::strerror(err));
        return 4;
    }
    size_t cnt = std::fread(cfg, 1, ZELT_PCI_CFG_LEN, f.get());
    if (cnt < ZELT_PCI_CFG_LEN) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to read config data from %s : cnt(%d) cfg_data_len(%d)\n",
                      path, static_cast<int>(cnt), static_cast<int>(ZELT_PCI_CFG_LEN));
        return 4;
    }
    return 0;
}
