// The simulated adapter host, chosen when ZELTNVM_SIM names a directory.
//
// Every absolute host path is taken under the simulated root. The firmware-channel
// device and the network interfaces are the simulated drivers of sim/driver; the
// clock is virtual: a sleep advances it at once (persisted in the host's state, so
// waits span processes), so resets, polls and time-outs run in milliseconds.
#pragma once

#include <map>
#include <memory>

#include "host/host.h"
#include "host/rooted_tree.h"
#include "sim/state/description.h"

namespace zelt::sim {

class SimHost : public host::Host {
public:
    explicit SimHost(std::string root);

    const std::string& root() const { return tree_.root(); }
    std::string map_path(std::string_view path) const override;
    std::string simulated_root() const override { return root(); }

    FILE* open_file(std::string_view path, const char* mode) override;
    bool read_file(std::string_view path, std::string& data) override;
    int device_open(std::string_view path, int flags) override;
    long device_write(int fd, const void* data, size_t size) override;
    int device_ioctl(int fd, unsigned long request, void* arg) override;
    void device_close(int fd) override;
    int interface_ioctl(unsigned long request, struct ifreq* ifr) override;
    std::unique_ptr<host::RegisterWindow> map_registers(std::string_view resource_path, size_t size) override;
    // Configuration space as the files hold it, with the direct window of the newest
    // chips answered from the firmware's state.
    bool read_pci_config(const host::PciFunction& fn, unsigned offset, void* out, size_t size) override;
    bool write_pci_config(const host::PciFunction& fn, unsigned offset, const void* data, size_t size) override;
    bool scan_pci(std::vector<host::PciFunction>& functions) override { return tree_.scan_pci(functions); }

    void syslog_info(std::string_view message) override;
    host::HostFacts facts() override;
    unsigned real_user_id() override;
    int unbind_driver(std::string_view pci_address, std::string_view driver) override;
    int set_vf_count(std::string_view pci_address, unsigned count) override;
    bool module_loaded(std::string_view module) override;

    struct timeval now() override;
    void sleep_ms(unsigned milliseconds) override;
    // A driver outside this host's own calls may have moved the virtual clock.
    void clock_changed() { clock_loaded_ = false; }

    // A real download (tests serve it on the loopback address). The library is the
    // system's, unless ZELTNVM_SIM_URL_LIBRARY names another file to load in its place,
    // so that a test can run on a host where the library cannot be loaded; the real
    // host never reads that variable.
    host::DownloadOutcome download(std::string_view url, int fd, const host::DownloadLimits& limits) override;

private:
    host::RootedTree tree_;
    // The description as this process first read it (host facts, rights).
    const HostDesc& description();

    std::map<int, uint32_t> open_channels_;  // descriptor -> selected PCI domain
    int next_fd_ = 0x5a00;
    std::shared_ptr<const HostDesc> description_;  // null until first read
    bool clock_loaded_ = false;
    int64_t clock_offset_us_ = 0;
};

}  // namespace zelt::sim
