// The live adapter queries. Device-name resolution and the serial number are read from
// the host here; the firmware, option and NVM item queries are answered by the
// transport and device code, and report "unsupported operation" until that code is
// linked in.
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "common/hvxretval.h"
#include "device/adapter_queries.h"
#include "device/discovery_lookup.h"
#include "host/host.h"

namespace zelt::device {
namespace {

bool parse_bdf(const std::string& text, PciAddress& addr) {
    unsigned d, b, dv, f;
    char tail;
    if (std::sscanf(text.c_str(), "%x:%x:%x.%x%c", &d, &b, &dv, &f, &tail) != 4) return false;
    addr = {d, b, dv, f};
    return true;
}

class LiveAdapterQueries final : public AdapterQueries {
public:
    int drv_info(const std::string& name, PciAddress& addr, std::string& version, std::string& driver) override {
        if (zeltnvm_is_pci_dev_name(name.c_str())) {
            size_t at = name.find("zelt_pci_dev");
            if (name.size() < at + ZELT_PCI_DEV_PREFIX_LEN ||
                !parse_bdf(name.substr(at + ZELT_PCI_DEV_PREFIX_LEN), addr)) {
                return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
            }
            return 0;
        }
        host::Host& host = host::current();
        struct ethtool_drvinfo info{};
        info.cmd = ETHTOOL_GDRVINFO;
        struct ifreq ifr{};
        std::snprintf(ifr.ifr_name, IFNAMSIZ, "%.*s", IFNAMSIZ - 1, name.c_str());
        ifr.ifr_data = reinterpret_cast<char*>(&info);
        const bool have_info = host.interface_ioctl(SIOCETHTOOL, &ifr) == 0;

        std::string uevent;
        if (host.read_file("/sys/class/net/" + name + "/device/uevent", uevent)) {
            std::istringstream lines(uevent);
            std::string line;
            bool found = false;
            while (std::getline(lines, line)) {
                if (line.find("PCI_SLOT_NAME") == std::string::npos) continue;
                size_t eq = line.find('=');
                if (eq == std::string::npos || !parse_bdf(line.substr(eq + 1), addr)) {
                    return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
                }
                found = true;
                break;
            }
            if (!found) return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
        } else {
            if (!have_info || !parse_bdf(info.bus_info, addr)) return HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE;
        }
        if (have_info) {
            version.assign(info.version, strnlen(info.version, sizeof info.version));
            driver.assign(info.driver, strnlen(info.driver, sizeof info.driver));
        }
        return 0;
    }

    int serial_number(const std::string&, const PciAddress& addr, std::string& serial) override {
        // The device serial number capability's two dwords, least significant byte first.
        host::PciFunction fn;
        fn.domain = static_cast<uint16_t>(addr.domain);
        fn.bus = static_cast<uint8_t>(addr.bus);
        fn.dev = static_cast<uint8_t>(addr.device);
        fn.func = static_cast<uint8_t>(addr.function);
        uint8_t bytes[8];
        if (!host::current().read_pci_config(fn, 0x140, bytes, sizeof bytes)) return HVXRETVAL_FAILURE;
        char text[17];
        std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3],
                      bytes[4], bytes[5], bytes[6], bytes[7]);
        serial.assign(text, 15);
        return 0;
    }

    int base_mac(const std::string&, const PciAddress&, std::string&) override { return unsupported(); }
    int permanent_mac(const std::string&, const PciAddress&, uint8_t*) override { return unsupported(); }
    int link_speed(const std::string&, const PciAddress&, double&, uint16_t&) override { return unsupported(); }
    int find_item(const std::string&, uint16_t, uint16_t, uint16_t, uint32_t&) override { return unsupported(); }
    int read_item(const std::string&, uint16_t, uint16_t, uint16_t, std::vector<uint8_t>&) override {
        return unsupported();
    }
    int item_version(const std::string&, uint16_t, uint16_t, uint16_t, int, std::string&) override {
        return unsupported();
    }
    int option_get(const std::string&, const PciAddress&, uint16_t, uint16_t, std::vector<uint8_t>&, size_t) override {
        return unsupported();
    }
    int port_count_of_mode(uint8_t, int&) override { return unsupported(); }
    int active_package_version(const std::string&, std::string&) override { return unsupported(); }
    int firmware_version(const std::string&, std::string&) override { return unsupported(); }
    int active_cfg_version(const std::string&, uint8_t*) override { return unsupported(); }
    int fw_reset_counter(const std::string&, const PciAddress&, int, uint32_t&) override { return unsupported(); }
    int error_recovery_counter(const std::string&, const PciAddress&, int, uint32_t&) override {
        return unsupported();
    }
    int crashdump_timestamp(const std::string&, uint64_t&) override { return unsupported(); }
    int secure_boot_status(const std::string&, bool&, bool&) override { return unsupported(); }
    int fw_image_status(const std::string&, uint32_t&) override { return unsupported(); }
    int crashdump_in_ddr(const std::string&, bool&) override { return unsupported(); }
    int device_secure_mode(const std::string&, bool&) override { return unsupported(); }
    int admin_pf_status(const std::string&, const PciAddress&, bool&) override { return unsupported(); }

private:
    static int unsupported() { return HVXRETVAL_UNSUPPORTED_OPERATION; }
};

LiveAdapterQueries g_live;
AdapterQueries* g_installed = nullptr;

}  // namespace

AdapterQueries& adapter_queries() { return g_installed ? *g_installed : g_live; }

void set_adapter_queries(AdapterQueries* queries) { g_installed = queries; }

}  // namespace zelt::device
