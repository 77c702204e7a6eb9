#include "sim/tree/host_tree.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "common/supported_devices.h"
#include "sim/tree/config_space.h"

namespace zelt::sim {

namespace fs = std::filesystem;

namespace {

struct Writer {
    std::string root;
    std::string error;

    bool ok() const { return error.empty(); }

    void dir(const std::string& rel) {
        std::error_code ec;
        fs::create_directories(root + rel, ec);
        if (ec && error.empty()) error = root + rel + ": " + ec.message();
    }
    void file(const std::string& rel, const std::string& data) {
        std::ofstream out(root + rel, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out && error.empty()) error = root + rel + ": cannot be written";
    }
    void link(const std::string& rel, const std::string& target) {
        std::error_code ec;
        fs::remove(root + rel, ec);
        fs::create_symlink(target, root + rel, ec);
        if (ec && error.empty()) error = root + rel + ": " + ec.message();
    }
    void sparse(const std::string& rel, uint64_t size) {
        int fd = ::open((root + rel).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) {
            if (error.empty()) error = root + rel + ": cannot be created";
        }
        if (fd >= 0) ::close(fd);
    }
    void remove_all(const std::string& rel) {
        std::error_code ec;
        fs::remove_all(root + rel, ec);
    }
};

std::string hex_line(unsigned value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*x\n", digits, value);
    return buf;
}

std::string resource_text(const AdapterDesc& a, const FunctionDesc& f) {
    std::string text;
    char line[80];
    auto add = [&](uint64_t start, uint64_t size, uint64_t flags) {
        uint64_t end = size ? start + size - 1 : 0;
        std::snprintf(line, sizeof line, "0x%016llx 0x%016llx 0x%016llx\n", static_cast<unsigned long long>(start),
                      static_cast<unsigned long long>(end), static_cast<unsigned long long>(flags));
        text += line;
    };
    bool bars = !f.is_vf;
    uint64_t bar0 = bar0_address(f);
    add(bars ? bar0 : 0, bars ? bar0_size(a) : 0, bars ? 0x14220c : 0);
    add(0, 0, 0);
    add(bars ? bar0 + bar0_size(a) : 0, bars ? kBar2Size : 0, bars ? 0x14220c : 0);
    for (int k = 0; k < 4; ++k) add(0, 0, 0);  // BAR3..BAR5 and the expansion ROM
    return text;
}

std::string uevent_text(const AdapterDesc& a, const FunctionDesc& f) {
    char buf[256];
    std::string text;
    if (!f.driver.empty()) text += "DRIVER=" + f.driver + "\n";
    std::snprintf(buf, sizeof buf,
                  "PCI_CLASS=20000\nPCI_ID=%04X:%04X\nPCI_SUBSYS_ID=%04X:%04X\nPCI_SLOT_NAME=%s\n"
                  "MODALIAS=pci:v%08Xd%08Xsv%08Xsd%08Xbc02sc00i00\n",
                  ZELT_PCI_VENDOR_ID, f.device_id, ZELT_PCI_VENDOR_ID, a.subsys_device_id, f.address().c_str(),
                  ZELT_PCI_VENDOR_ID, f.device_id, ZELT_PCI_VENDOR_ID, a.subsys_device_id);
    return text + buf;
}

std::string proc_net_dev(const HostDesc& host) {
    std::string text =
        "Inter-|   Receive                                                |  Transmit\n"
        " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets errs drop fifo colls "
        "carrier compressed\n"
        "    lo:       0       0    0    0    0     0          0         0        0       0    0    0    0     0  "
        "     0          0\n";
    char line[256];
    for (const auto& a : host.adapters) {
        for (const auto& f : a.functions) {
            if (f.ifname.empty() || f.driver != kEthernetDriver) continue;
            std::snprintf(line, sizeof line,
                          "%6s: %7u %7u    0    0    0     0          0         0  %7u %7u    0    0    0     0       "
                          "0          0\n",
                          f.ifname.c_str(), 1000u + f.func, 10u + f.func, 2000u + f.func, 20u + f.func);
            text += line;
        }
    }
    return text;
}

}  // namespace

bool render_host_tree(const std::string& root, const HostDesc& host, std::string& error) {
    Writer w{root, {}};
    w.remove_all("/sys");
    w.remove_all("/proc");
    w.remove_all("/dev/zelt_lfc");
    for (const char* d : {"/sys/bus/pci/devices", "/sys/bus/pci/drivers", "/sys/class/net", "/sys/module", "/proc/net",
                          "/proc/bus/pci", "/dev", "/lib/firmware", "/etc", "/var/log", "/tmp"})
        w.dir(d);
    w.dir("/lib/modules/" + host.kernel_release);
    if (!fs::exists(root + "/lib/modules/" + host.kernel_release + "/modules.builtin"))
        w.file("/lib/modules/" + host.kernel_release + "/modules.builtin", "kernel/drivers/net/loopback.ko\n");

    std::set<std::string> drivers;
    for (const auto& a : host.adapters) {
        for (const auto& f : a.functions) {
            const std::string dev = "/sys/bus/pci/devices/" + f.address();
            w.dir(dev);
            std::vector<uint8_t> cfg = build_config_space(a, f);
            w.file(dev + "/config", std::string(cfg.begin(), cfg.end()));
            w.file(dev + "/vendor", hex_line(ZELT_PCI_VENDOR_ID, 4));
            w.file(dev + "/device", hex_line(f.device_id, 4));
            w.file(dev + "/subsystem_vendor", hex_line(ZELT_PCI_VENDOR_ID, 4));
            w.file(dev + "/subsystem_device", hex_line(a.subsys_device_id, 4));
            w.file(dev + "/class", hex_line(0x020000, 6));
            w.file(dev + "/revision", hex_line(a.revision, 2));
            w.file(dev + "/irq", "0\n");
            w.file(dev + "/numa_node", "-1\n");
            w.file(dev + "/resource", resource_text(a, f));
            w.file(dev + "/uevent", uevent_text(a, f));
            if (!f.is_vf) {
                w.sparse(dev + "/resource0", bar0_size(a));
                w.file(dev + "/sriov_totalvfs", std::to_string(f.total_vfs) + "\n");
                w.file(dev + "/sriov_numvfs", std::to_string(f.num_vfs) + "\n");
            }
            if (!f.driver.empty()) {
                drivers.insert(f.driver);
                w.link(dev + "/driver", "../../drivers/" + f.driver);
            }
            // Virtual functions and their parents point at each other.
            if (f.is_vf) {
                for (const auto& p : a.functions) {
                    if (p.is_vf || p.pf_index != f.pf_index) continue;
                    w.link(dev + "/physfn", "../" + p.address());
                    unsigned n = 0;
                    for (const auto& v : a.functions) {
                        if (!v.is_vf || v.pf_index != p.pf_index) continue;
                        if (&v == &f) w.link("/sys/bus/pci/devices/" + p.address() + "/virtfn" + std::to_string(n), "../" + f.address());
                        ++n;
                    }
                }
            }
            if (!f.ifname.empty() && f.driver == kEthernetDriver) {
                const std::string net = dev + "/net/" + f.ifname;
                w.dir(net);
                w.file(net + "/address", format_mac(f.mac) + "\n");
                w.file(net + "/mtu", std::to_string(f.mtu) + "\n");
                w.file(net + "/operstate", f.link_up ? "up\n" : "down\n");
                w.file(net + "/carrier", f.link_up ? "1\n" : "0\n");
                w.link(net + "/device", "../..");
                w.link("/sys/class/net/" + f.ifname, "../../bus/pci/devices/" + f.address() + "/net/" + f.ifname);
            }
            char proc[64];
            std::snprintf(proc, sizeof proc, "/proc/bus/pci/%02x", f.bus);
            w.dir(proc);
            std::snprintf(proc, sizeof proc, "/proc/bus/pci/%02x/%02x.%x", f.bus, f.dev, f.func);
            w.file(proc, std::string(cfg.begin(), cfg.begin() + 256));
        }
    }
    // Drivers bound to some function, and the modules behind them.
    if (host.lfc_device) drivers.insert(kChannelDriver);
    for (const auto& d : drivers) {
        const std::string drv = "/sys/bus/pci/drivers/" + d;
        std::string module = d == kPassThroughDriver ? "vfio_pci" : d;
        w.dir(drv);
        w.file(drv + "/bind", "");
        w.file(drv + "/unbind", "");
        w.dir("/sys/module/" + module + "/drivers");
        w.link(drv + "/module", "../../../../module/" + module);
        w.link("/sys/module/" + module + "/drivers/pci:" + d, "../../../bus/pci/drivers/" + d);
        for (const auto& a : host.adapters)
            for (const auto& f : a.functions)
                if (f.driver == d) w.link(drv + "/" + f.address(), "../../devices/" + f.address());
    }
    w.dir("/sys/class/net/lo");
    w.file("/sys/class/net/lo/address", "00:00:00:00:00:00\n");
    w.file("/sys/class/net/lo/mtu", "65536\n");
    w.file("/proc/net/dev", proc_net_dev(host));
    if (host.lfc_device) w.file("/dev/zelt_lfc", "");
    error = w.error;
    return w.ok();
}

}  // namespace zelt::sim
