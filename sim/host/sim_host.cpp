#include "sim/host/sim_host.h"

#include <cerrno>
#include <ctime>

namespace zelt::sim {

SimHost::SimHost(std::string root) : host::LinuxHost(std::move(root)) {}

// Until the simulated devices exist, every device request fails as on a host
// without the drivers.
int SimHost::device_open(std::string_view, int) {
    errno = ENOENT;
    return -1;
}

long SimHost::device_write(int, const void*, size_t) {
    errno = EBADF;
    return -1;
}

int SimHost::device_ioctl(int, unsigned long, void*) {
    errno = EBADF;
    return -1;
}

void SimHost::device_close(int) {}

int SimHost::interface_ioctl(unsigned long, struct ifreq*) {
    errno = ENODEV;
    return -1;
}

std::unique_ptr<host::RegisterWindow> SimHost::map_registers(std::string_view, size_t) {
    errno = ENOENT;
    return nullptr;
}

std::unique_ptr<host::NamedLock> SimHost::acquire_named_lock(std::string_view, unsigned) {
    return std::make_unique<host::NamedLock>();
}

void SimHost::syslog_info(std::string_view message) {
    // The simulated host keeps its system log as a file so tests can read it.
    make_directories("/var/log");
    if (FILE* f = open_file("/var/log/syslog", "a")) {
        std::fprintf(f, "%.*s\n", static_cast<int>(message.size()), message.data());
        std::fclose(f);
    }
}

host::HostFacts SimHost::facts() {
    return host::HostFacts{"6.1.0-sim", "x86_64", "simhost"};
}

int SimHost::unbind_driver(std::string_view, std::string_view) { return 1; }

int SimHost::set_vf_count(std::string_view, unsigned) { return 1; }

bool SimHost::module_loaded(std::string_view module) {
    return is_directory("/sys/module/" + std::string(module));
}

struct timeval SimHost::now() {
    struct timeval tv = host::LinuxHost::now();
    uint64_t us = static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec) + virtual_offset_us_;
    tv.tv_sec = static_cast<time_t>(us / 1000000u);
    tv.tv_usec = static_cast<suseconds_t>(us % 1000000u);
    return tv;
}

void SimHost::sleep_ms(unsigned milliseconds) { virtual_offset_us_ += static_cast<uint64_t>(milliseconds) * 1000u; }

}  // namespace zelt::sim
