#include "device/discovery.h"

#include <fcntl.h>
#include <linux/ethtool.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "device/discovery_lookup.h"
#include "device/function_queries.h"
#include "device/pci_window_channel.h"
#include "log/print.h"
#include "transport/bar_window.h"
#include "transport/driver_channel.h"
#include "transport/fw_queries.h"
#include "transport/function.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::device {

namespace {

using zelt::host::Host;

constexpr const char* kProcNetDev = "/proc/net/dev";
constexpr const char* kEthernetDriver = "zelt_en";
constexpr const char* kPassThroughDriver = "vfio-pci";

template <size_t N>
void copy_text(char (&dst)[N], const std::string& src) {
    std::snprintf(dst, N, "%s", src.c_str());
}

std::string pci_sysfs_dir(uint32_t domain, uint32_t bus, uint32_t device, uint32_t function) {
    char path[96];
    std::snprintf(path, sizeof path, "/sys/bus/pci/devices/%04x:%02x:%02x.%x", domain, bus, device, function);
    return path;
}

PciAddress address_of(const zelt_nvm_device_info_t& rec) {
    return {rec.pci_info.domain_no, rec.pci_info.bus_no, rec.pci_info.device_no, rec.pci_info.function_no};
}

// The driver bound to a PCI function, from the driver link in sysfs; "" when unbound.
std::string bound_driver(Host& host, const std::string& dir) {
    std::string target;
    if (!host.read_link(dir + "/driver", target)) return {};
    size_t slash = target.find_last_of('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

// Step 1: the supported PFs on the PCI bus, in scan order.
int enumerate_pci_devices(Host& host, std::vector<zelt_nvm_device_info_t>& records) {
    std::vector<zelt::host::PciFunction> functions;
    if (!host.scan_pci(functions)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "PCI bus scan failed\n");
        return 0;
    }
    for (const auto& fn : functions) {
        if (fn.vendor_id != ZELT_PCI_VENDOR_ID) continue;
        if (bound_driver(host, pci_sysfs_dir(fn.domain, fn.bus, fn.dev, fn.func)) == kPassThroughDriver) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Device %04x:%02x:%02x.%x is binded to vfio-pci driver\n",
                          fn.domain, fn.bus, fn.dev, fn.func);
            continue;
        }
        if (zeltnvm_get_func_type(fn.device_id) != ZELT_FUNCTION_PF) continue;
        if (records.size() >= static_cast<size_t>(ZELT_MAX_FUNCTIONS)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "More than %d supported functions; the rest are ignored\n",
                          ZELT_MAX_FUNCTIONS);
            break;
        }
        zelt_nvm_device_info_t& rec = records.emplace_back();
        rec.pci_info.domain_no = fn.domain;
        rec.pci_info.bus_no = fn.bus;
        rec.pci_info.device_no = fn.dev;
        rec.pci_info.function_no = fn.func;
        rec.pci_info.vendor_id = fn.vendor_id;
        rec.pci_info.device_id = fn.device_id;
        const std::string name = zelt::transport::pci_window_name(zelt::PciAddress{fn.domain, fn.bus, fn.dev, fn.func});
        std::snprintf(rec.nic_info.dev_name, sizeof rec.nic_info.dev_name, "%s", name.c_str());
    }
    return 0;
}

// Whether an interface belongs to a supported PF of the adapter driver (0 = accept).
// The PCI address and driver texts of an interface, asked of the driver channel.
zelt::ResultOr<zelt::transport::DriverInfo> interface_info(const Roads& roads, const std::string& ifname) {
    const zelt::transport::Function fn{ifname, {}, roads.driver};
    return roads.driver->driver_info(fn);
}

int validate_ifname(Host& host, const Roads& roads, const std::string& ifname) {
    const std::string dir = "/sys/class/net/" + ifname;
    std::vector<std::string> entries;
    if (host.list_directory(dir + "/device/driver/module/drivers", entries)) {
        bool found = false;
        for (const auto& e : entries) found = found || e == "pci:zelt_en";
        if (!found) return -1;
    } else {
        const auto info = interface_info(roads, ifname);
        if (!info.ok() || info->driver_name != kEthernetDriver) return -1;
    }
    std::string id_text;
    if (!host.read_file(dir + "/device/device", id_text)) return -1;
    char* end = nullptr;
    unsigned long id = std::strtoul(id_text.c_str(), &end, 16);
    if (end == id_text.c_str() || id > 0xFFFF) return -1;
    return zeltnvm_get_func_type(static_cast<uint16_t>(id)) == ZELT_FUNCTION_PF ? 0 : -1;
}

// Step 2: the interfaces of the adapter driver in the network stack.
int get_interface_names(Host& host, const Roads& roads, std::vector<zelt_nvm_drv_info_t>& interfaces) {
    FILE* f = host.open_file(kProcNetDev, "r");
    if (!f) {
        int err = errno;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "File %s open failed with status %d (%s)\n", kProcNetDev, err,
                      std::strerror(err));
        return ZELT_RC_DEVICE_NOT_FOUND;
    }
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        size_t len = std::strlen(line);
        if (len == sizeof line - 1 && line[len - 1] != '\n') {
            // Lines longer than 255 characters are read in pieces; skip the rest.
            int c;
            while ((c = std::fgetc(f)) != EOF && c != '\n') {
            }
        }
        char* colon = std::strchr(line, ':');
        if (!colon) continue;
        *colon = '\0';
        const char* name = line;
        while (*name == ' ' || *name == '\t') ++name;
        std::string ifname(name);
        if (ifname.empty() || validate_ifname(host, roads, ifname) != 0) continue;
        if (interfaces.size() >= static_cast<size_t>(ZELT_MAX_FUNCTIONS)) break;
        const auto info = interface_info(roads, ifname);
        if (!info.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to Get BDF for %s\n", ifname.c_str());
            continue;
        }
        zelt_nvm_drv_info_t& d = interfaces.emplace_back();
        d.pci_info.domain_no = info->address.domain;
        d.pci_info.bus_no = info->address.bus;
        d.pci_info.device_no = info->address.device;
        d.pci_info.function_no = info->address.function;
        copy_text(d.nic_info.driver_version, info->driver_version);
        copy_text(d.nic_info.driver_name, info->driver_name);
        copy_text(d.nic_info.dev_name, ifname);
    }
    std::fclose(f);
    return 0;
}

bool same_address(const ZELT_NVM_PCI_INFO& a, const ZELT_NVM_PCI_INFO& b) {
    return a.domain_no == b.domain_no && a.bus_no == b.bus_no && a.device_no == b.device_no &&
           a.function_no == b.function_no;
}

// Step 3: names and drivers of the interfaces over the PCI records. An interface whose
// function the PCI scan did not report becomes a record of its own, so that every
// counted function has a real record.
// Returns whether some PCI record has no interface.
bool join(std::vector<zelt_nvm_device_info_t>& records, const std::vector<zelt_nvm_drv_info_t>& interfaces) {
    const size_t pci_count = records.size();
    for (const zelt_nvm_drv_info_t& d : interfaces) {
        bool matched = false;
        for (size_t j = 0; j < pci_count; ++j) {
            zelt_nvm_device_info_t& rec = records[j];
            if (!same_address(rec.pci_info, d.pci_info)) continue;
            // The first interface of a function names it.
            if (zelt::transport::is_pci_window_name(rec.nic_info.dev_name)) {
                std::memcpy(rec.nic_info.driver_version, d.nic_info.driver_version, sizeof d.nic_info.driver_version);
                std::memcpy(rec.nic_info.driver_name, d.nic_info.driver_name, sizeof d.nic_info.driver_name);
                std::memcpy(rec.nic_info.dev_name, d.nic_info.dev_name, sizeof d.nic_info.dev_name);
            }
            matched = true;
            break;
        }
        if (!matched && records.size() < static_cast<size_t>(ZELT_MAX_FUNCTIONS)) {
            zelt_nvm_device_info_t& rec = records.emplace_back();
            rec.pci_info.domain_no = d.pci_info.domain_no;
            rec.pci_info.bus_no = d.pci_info.bus_no;
            rec.pci_info.device_no = d.pci_info.device_no;
            rec.pci_info.function_no = d.pci_info.function_no;
            std::memcpy(rec.nic_info.driver_version, d.nic_info.driver_version, sizeof d.nic_info.driver_version);
            std::memcpy(rec.nic_info.driver_name, d.nic_info.driver_name, sizeof d.nic_info.driver_name);
            std::memcpy(rec.nic_info.dev_name, d.nic_info.dev_name, sizeof d.nic_info.dev_name);
        }
    }
    return interfaces.size() < pci_count;
}

uint16_t le16_at(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The device serial number further on in the configuration space, read on from the
// bytes just read (the file is read once); left empty when the file ends before it, for
// the function's own query to find.
void read_serial_number(FILE* f, ZELT_NVM_NIC_INFO& nic) {
    uint8_t skipped[zelt::wire::bar::kConfigSerialLow - ZELT_PCI_CFG_DATA_LEN];
    uint8_t b[8];
    if (std::fread(skipped, 1, sizeof skipped, f) != sizeof skipped || std::fread(b, 1, sizeof b, f) != sizeof b)
        return;
    auto dword = [&](int at) {
        return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
               static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
    };
    copy_text(nic.serial_number, zelt::transport::serial_number_text(dword(0), dword(4)));
}

// Step 4: identity and link width/speed from the configuration space.
void get_pci_ids(Host& host, zelt_nvm_device_info_t& rec) {
    ZELT_NVM_PCI_INFO& pci = rec.pci_info;
    char sys_path[128], proc_path[64];
    std::snprintf(sys_path, sizeof sys_path, "%s/%04x:%02x:%02x.%d/config", "/sys/bus/pci/devices", pci.domain_no,
                  pci.bus_no, pci.device_no, pci.function_no);
    std::snprintf(proc_path, sizeof proc_path, "%s/%02x/%02x.%d", "/proc/bus/pci", pci.bus_no, pci.device_no,
                  pci.function_no);
    const char* path = sys_path;
    FILE* f = host.open_file(sys_path, "rb");
    if (!f) {
        path = proc_path;
        f = host.open_file(proc_path, "rb");
    }
    bool ok = false;
    if (!f) {
        int err = errno;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to open %s : %d(%s)\n", path, err, std::strerror(err));
    } else {
        size_t n = std::fread(pci.cfgData, 1, ZELT_PCI_CFG_DATA_LEN, f);
        if (n != static_cast<size_t>(ZELT_PCI_CFG_DATA_LEN)) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to read config data from %s : cnt(%d) cfg_data_len(%d)\n",
                          path, static_cast<int>(n), ZELT_PCI_CFG_DATA_LEN);
        } else {
            ok = true;
            read_serial_number(f, rec.nic_info);
        }
        std::fclose(f);
    }
    if (!ok) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s : Failed to Get PCI cfg data\n", rec.nic_info.dev_name);
        pci.valid = 1;
        return;
    }
    const uint8_t* cfg = pci.cfgData;
    pci.vendor_id = le16_at(cfg + 0x00);
    pci.device_id = le16_at(cfg + 0x02);
    pci.revision = cfg[0x08];
    pci.sub_system_vendor_id = le16_at(cfg + 0x2C);
    pci.sub_system_device_id = le16_at(cfg + 0x2E);
    pci.chip_rev_id = (static_cast<uint32_t>(pci.device_id) << 16) | pci.revision;
    uint16_t link = le16_at(cfg + 0xB8);
    pci.pcie_width = (link >> 4) & 0x3F;
    pci.pcie_speed = link & 0x0F;
}

// Step 5.1: how the adapter driver is present on this host.
uint8_t check_l2_driver_mode(Host& host) {
    std::string builtin;
    std::string path = "/lib/modules/" + host.facts().kernel_release + "/modules.builtin";
    if (host.read_file(path, builtin) && builtin.find(kEthernetDriver) != std::string::npos) return ZELT_DRIVER_BUILT_IN;
    int fd = host.device_open("/dev/zelt_lfc", O_RDWR);
    if (fd >= 0) {
        host.device_close(fd);
        return ZELT_DRIVER_MODULE_CHANNEL;
    }
    if (host.module_loaded(kEthernetDriver)) return ZELT_DRIVER_MODULE;
    return ZELT_DRIVER_NONE;
}

bool has_interface(const zelt_nvm_device_info_t& rec) {
    return !zelt::transport::is_pci_window_name(rec.nic_info.dev_name);
}

// The function of a record, with the channel of its road: the driver's when the
// function has an interface, its PCI window's otherwise. The one place the road is
// decided.
zelt::transport::Function function_of(const zelt_nvm_device_info_t& rec, const Roads& roads) {
    const char* name = rec.nic_info.dev_name;
    return zelt::transport::Function{std::string(name, strnlen(name, sizeof rec.nic_info.dev_name)), address_of(rec),
                                     has_interface(rec) ? roads.driver : roads.pci_window};
}

void fill_ifreq_name(struct ifreq& ifr, const char* name) {
    std::memset(&ifr, 0, sizeof ifr);
    // Interface names hold at most 15 characters; longer names are queried by their start.
    std::snprintf(ifr.ifr_name, IFNAMSIZ, "%.*s", IFNAMSIZ - 1, name);
}

// Step 5.2 to 5.5: MAC addresses, serial number, driver state.
void get_nic_info(Host& host, const Roads& roads, zelt_nvm_device_info_t& rec, uint8_t driver_type) {
    ZELT_NVM_NIC_INFO& nic = rec.nic_info;
    const ZELT_NVM_PCI_INFO& pci = rec.pci_info;
    const std::string name = nic.dev_name;
    const zelt::transport::Function fn = function_of(rec, roads);

    if (const auto base = zelt::device::base_mac_text(fn); base.ok()) {
        copy_text(nic.base_mac_addr, *base);
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x) : Failed to Get Base MAC\n", name.c_str(),
                      pci.domain_no, pci.bus_no, pci.device_no, pci.function_no);
        nic.valid = 1;
    }
    if (const auto permanent = zelt::device::permanent_mac(fn); permanent.ok()) {
        const auto& mac = *permanent;
        std::snprintf(nic.permanent_mac_addr, sizeof nic.permanent_mac_addr, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0],
                      mac[1], mac[2], mac[3], mac[4], mac[5]);
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x) : Failed to Get Permanent MAC\n",
                      name.c_str(), pci.domain_no, pci.bus_no, pci.device_no, pci.function_no);
        nic.valid = 1;
    }
    if (nic.serial_number[0] == '\0') {
        if (const auto serial = zelt::device::serial_number_text(fn); serial.ok()) copy_text(nic.serial_number, *serial);
    }
    if (nic.serial_number[0] == '\0') {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x) : Invalid Device Serial Number\n",
                      name.c_str(), pci.domain_no, pci.bus_no, pci.device_no, pci.function_no);
        nic.valid = 1;
    }
    if (!has_interface(rec)) {
        nic.driver_loaded = 0;
        nic.driver_type = ZELT_DRIVER_NONE;
        std::memcpy(nic.current_mac_addr, nic.permanent_mac_addr, sizeof nic.current_mac_addr);
        return;
    }
    nic.driver_loaded = 1;
    nic.driver_type = driver_type;
    struct ifreq ifr;
    fill_ifreq_name(ifr, nic.dev_name);
    if (host.interface_ioctl(SIOCGIFHWADDR, &ifr) != 0) {
        int err = errno;
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x): ioctl SIOCGIFHWADDR failed: %d(%s)\n",
                      name.c_str(), pci.domain_no, pci.bus_no, pci.device_no, pci.function_no, err, std::strerror(err));
        nic.valid = 1;
        return;
    }
    const auto* hw = reinterpret_cast<const uint8_t*>(ifr.ifr_hwaddr.sa_data);
    std::snprintf(nic.current_mac_addr, sizeof nic.current_mac_addr, "%02x:%02x:%02x:%02x:%02x:%02x", hw[0], hw[1],
                  hw[2], hw[3], hw[4], hw[5]);
}

// Step 6: MTU, link speed and link state.
void get_link_info(Host& host, const Roads& roads, zelt_nvm_device_info_t& rec) {
    ZELT_NVM_LINK_INFO& link = rec.link_info;
    const ZELT_NVM_PCI_INFO& pci = rec.pci_info;
    const char* name = rec.nic_info.dev_name;
    const bool iface = has_interface(rec);
    struct ifreq ifr;
    if (iface) {
        fill_ifreq_name(ifr, name);
        if (host.interface_ioctl(SIOCGIFMTU, &ifr) == 0) {
            link.mtu = static_cast<uint32_t>(ifr.ifr_mtu);
        } else {
            int err = errno;
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x): ioctl SIOCGIFMTU failed: %d(%s)\n",
                          name, pci.domain_no, pci.bus_no, pci.device_no, pci.function_no, err, std::strerror(err));
            link.valid = 1;
        }
    }
    double rate = link.link_rate;
    uint16_t speed = 0;
    const zelt::Result speed_rc = zelt_get_link_speed(function_of(rec, roads), &rate, &speed);
    const int rc = speed_rc.code();
    if (speed_rc.ok()) {
        link.link_speed = speed;
        link.link_rate = rate;
    } else {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s(0x%x:0x%x:0x%x.0x%x): Link Speed failed : %d\n", name,
                      pci.domain_no, pci.bus_no, pci.device_no, pci.function_no, rc);
        link.valid = 1;
    }
    if (iface) {
        struct ethtool_value value{};
        value.cmd = ETHTOOL_GLINK;
        fill_ifreq_name(ifr, name);
        ifr.ifr_data = reinterpret_cast<char*>(&value);
        if (host.interface_ioctl(SIOCETHTOOL, &ifr) == 0) {
            link.link_status = value.data ? 1 : 0;
        } else {
            int err = errno;
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                          "%s(0x%x:0x%x:0x%x.0x%x): ioctl ETHTOOL_GLINK failed: %d(%s)\n", name, pci.domain_no,
                          pci.bus_no, pci.device_no, pci.function_no, err, std::strerror(err));
            link.link_status = 0;
            link.valid = 1;
        }
    }
}

// A decimal count from a sysfs file; false when the file cannot be read.
bool read_count(Host& host, const std::string& path, uint16_t& value) {
    std::string text;
    if (!host.read_file(path, text)) return false;
    value = static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

// Step 7.
void get_sriov_info(Host& host, zelt_nvm_device_info_t& rec) {
    const ZELT_NVM_PCI_INFO& pci = rec.pci_info;
    const std::string dir = pci_sysfs_dir(pci.domain_no, pci.bus_no, pci.device_no, pci.function_no);
    read_count(host, dir + "/sriov_numvfs", rec.sriov.Active_VFs);
    read_count(host, dir + "/sriov_totalvfs", rec.sriov.Max_VFs);
}

}  // namespace


Roads live_roads(host::Host& host) {
    // One mailbox road for the run: both channels share what it learns about functions
    // that stopped answering.
    auto mailbox = std::make_shared<const transport::MailboxRoad>(host);
    return Roads{std::make_shared<transport::DriverChannel>(host, mailbox),
                 std::make_shared<PciWindowChannel>(host, mailbox)};
}

Result zelt_nvm_discover(Host& host, const Roads& roads, Inventory& inventory) {
    inventory = Inventory{};
    // The records are large: room for the most a run keeps, so they are never moved.
    std::vector<zelt_nvm_device_info_t> records;
    records.reserve(ZELT_MAX_FUNCTIONS);
    int rc = enumerate_pci_devices(host, records);
    if (rc != 0) return Result::tool(rc);
    std::vector<zelt_nvm_drv_info_t> interfaces;
    rc = get_interface_names(host, roads, interfaces);
    if (rc != 0) return Result::tool(rc);
    inventory.pci_window_functions = join(records, interfaces);

    for (auto& rec : records) get_pci_ids(host, rec);
    if (!records.empty()) {
        const uint8_t driver_type = check_l2_driver_mode(host);
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "driver_type = %d\n", driver_type);
        for (auto& rec : records) get_nic_info(host, roads, rec, driver_type);
    }
    for (auto& rec : records) get_link_info(host, roads, rec);
    for (auto& rec : records) get_sriov_info(host, rec);
    inventory.functions.reserve(records.size());
    for (const auto& rec : records) inventory.add(rec, function_of(rec, roads));
    // Step 8: adapters told apart by serial number and PCI domain and bus, and their PF counts.
    inventory.group_adapters();
    return Result();
}

Result zelt_nvm_init(host::Host& host, Inventory& inventory) {
    return zelt_nvm_discover(host, live_roads(host), inventory);
}

int zeltnvm_adapter_count(const Inventory& inventory) { return static_cast<int>(inventory.adapters.size()); }

const char* zeltnvm_first_device_name(const Inventory& inventory) {
    return inventory.functions.empty() ? nullptr : inventory.functions.front().name();
}

}  // namespace zelt::device
