#include "host/linux_host.h"

#include <fcntl.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "host/interrupt.h"

namespace zelt::host {

LinuxHost::LinuxHost(std::string root) : tree_(std::move(root)) {}

std::string LinuxHost::map_path(std::string_view path) const { return tree_.map_path(path); }

int LinuxHost::device_open(std::string_view path, int flags) {
    return ::open(map_path(path).c_str(), flags);
}

long LinuxHost::device_write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }

int LinuxHost::device_ioctl(int fd, unsigned long request, void* arg) {
    const int rc = ::ioctl(fd, request, arg);
    const int saved = errno;
    interruption_point();
    errno = saved;
    return rc;
}

void LinuxHost::device_close(int fd) {
    if (fd >= 0) ::close(fd);
}

int LinuxHost::interface_ioctl(unsigned long request, struct ifreq* ifr) {
    int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return -1;
    int rc = ::ioctl(s, request, ifr);
    int saved = errno;
    ::close(s);
    interruption_point();
    errno = saved;
    return rc;
}

namespace {

class MappedWindow : public RegisterWindow {
public:
    MappedWindow(void* base, size_t size) : base_(base), size_(size) {}
    ~MappedWindow() override { ::munmap(base_, size_); }
    size_t size() const override { return size_; }
    uint32_t read32(size_t offset) override {
        if (offset + 4 > size_) return 0xFFFFFFFFu;
        return *reinterpret_cast<volatile uint32_t*>(static_cast<char*>(base_) + offset);
    }
    void write32(size_t offset, uint32_t value) override {
        if (offset + 4 > size_) return;
        *reinterpret_cast<volatile uint32_t*>(static_cast<char*>(base_) + offset) = value;
    }

private:
    void* base_;
    size_t size_;
};

}  // namespace

std::unique_ptr<RegisterWindow> LinuxHost::map_registers(std::string_view resource_path, size_t size) {
    int fd = ::open(map_path(resource_path).c_str(), O_RDWR | O_SYNC);
    if (fd < 0) return nullptr;
    void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    int saved = errno;
    ::close(fd);
    if (base == MAP_FAILED) {
        errno = saved;
        return nullptr;
    }
    return std::make_unique<MappedWindow>(base, size);
}


bool LinuxHost::scan_pci(std::vector<PciFunction>& functions) { return tree_.scan_pci(functions); }

bool LinuxHost::read_pci_config(const PciFunction& fn, unsigned offset, void* out, size_t size) {
    return tree_.read_pci_config(fn, offset, out, size);
}

bool LinuxHost::write_pci_config(const PciFunction& fn, unsigned offset, const void* data, size_t size) {
    return tree_.write_pci_config(fn, offset, data, size);
}

void LinuxHost::syslog_info(std::string_view message) {
    ::syslog(LOG_INFO, "%.*s", static_cast<int>(message.size()), message.data());
}

HostFacts LinuxHost::facts() {
    HostFacts f;
    struct utsname u;
    if (::uname(&u) == 0) {
        f.kernel_release = u.release;
        f.machine = u.machine;
        f.hostname = u.nodename;
    }
    return f;
}

unsigned LinuxHost::real_user_id() { return ::getuid(); }

int LinuxHost::unbind_driver(std::string_view pci_address, std::string_view driver) {
    std::string path = "/sys/bus/pci/drivers/" + std::string(driver) + "/unbind";
    return write_file(path, pci_address) ? 0 : 1;
}

int LinuxHost::set_vf_count(std::string_view pci_address, unsigned count) {
    std::string path = "/sys/bus/pci/devices/" + std::string(pci_address) + "/sriov_numvfs";
    return write_file(path, std::to_string(count)) ? 0 : 1;
}

bool LinuxHost::module_loaded(std::string_view module) {
    std::string path = "/sys/module/" + std::string(module);
    return is_directory(path);
}

struct timeval LinuxHost::now() {
    struct timeval tv;
    ::gettimeofday(&tv, nullptr);
    return tv;
}

void LinuxHost::sleep_ms(unsigned milliseconds) {
    struct timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) interruption_point();
}

}  // namespace zelt::host
