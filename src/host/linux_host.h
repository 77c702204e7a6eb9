// The real host: system calls, libpci, syslog and the wall clock.
//
// A non-empty root prefixes every path of the host's own trees (host/rooted_tree.h);
// with an empty root paths are used as they are.
#pragma once

#include "host/host.h"
#include "host/rooted_tree.h"

namespace zelt::host {

class LinuxHost : public Host {
public:
    explicit LinuxHost(std::string root = {});

    const std::string& root() const { return tree_.root(); }
    std::string map_path(std::string_view path) const override;

    int device_open(std::string_view path, int flags) override;
    long device_write(int fd, const void* data, size_t size) override;
    int device_ioctl(int fd, unsigned long request, void* arg) override;
    void device_close(int fd) override;
    int interface_ioctl(unsigned long request, struct ifreq* ifr) override;

    std::unique_ptr<RegisterWindow> map_registers(std::string_view resource_path, size_t size) override;
    bool scan_pci(std::vector<PciFunction>& functions) override;
    bool read_pci_config(const PciFunction& fn, unsigned offset, void* out, size_t size) override;
    bool write_pci_config(const PciFunction& fn, unsigned offset, const void* data, size_t size) override;

    void syslog_info(std::string_view message) override;
    HostFacts facts() override;
    unsigned real_user_id() override;
    int unbind_driver(std::string_view pci_address, std::string_view driver) override;
    int set_vf_count(std::string_view pci_address, unsigned count) override;
    bool module_loaded(std::string_view module) override;

    struct timeval now() override;
    void sleep_ms(unsigned milliseconds) override;

private:
    RootedTree tree_;
};

}  // namespace zelt::host
