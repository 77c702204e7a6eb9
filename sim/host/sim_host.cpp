#include "sim/host/sim_host.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <pthread.h>

#include <csignal>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "host/interrupt.h"
#include "sim/driver/sim_devices.h"
#include "sim/state/sim_files.h"
#include "sim/state/sim_store.h"
#include "sim/tree/config_space.h"
#include "sim/tree/host_tree.h"
#include "sim/host/sim_window.h"
#include "wire/pci_mailbox_registers.h"
#include "wire/fw_register_address.h"
#include "wire/lfc.h"

namespace zelt::sim {

namespace {

// A driver call runs to its end like a system call into a kernel driver: an interrupt
// or termination signal that arrives meanwhile is delivered when it returns, so the
// simulated firmware never stops half-way through changing the flash or its state.
// The caller's interruption point follows the call.
class UninterruptedCall {
public:
    UninterruptedCall() {
        sigset_t held;
        sigemptyset(&held);
        for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&held, sig);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~UninterruptedCall() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    UninterruptedCall(const UninterruptedCall&) = delete;
    UninterruptedCall& operator=(const UninterruptedCall&) = delete;

private:
    sigset_t previous_;
};

}  // namespace

namespace {

// The user a host described as not run by root simulates.
constexpr unsigned kSimulatedUserId = 1000;

}  // namespace

SimHost::SimHost(std::string root) : tree_(std::move(root)) {}

std::string SimHost::map_path(std::string_view path) const { return tree_.map_path(path); }

const HostDesc& SimHost::description() {
    if (!description_) {
        std::string error;
        description_ = read_description_file(root(), error);
        if (!description_) description_ = std::make_shared<const HostDesc>();
    }
    return *description_;
}

FILE* SimHost::open_file(std::string_view path, const char* mode) {
    const std::string mapped = map_path(path);
    // Files of the host's own trees are the simulated host's: never opened through a link.
    if (mapped.size() != path.size()) return open_sim_stream(mapped, mode);
    return host::Host::open_file(path, mode);
}

bool SimHost::read_file(std::string_view path, std::string& data) {
    const std::string mapped = map_path(path);
    if (mapped.size() != path.size()) return read_sim_file(mapped, data);
    return host::Host::read_file(path, data);
}

int SimHost::device_open(std::string_view path, int flags) {
    if (path != ZELT_LFC_DEVICE_PATH) {
        const std::string mapped = map_path(path);
        if (mapped.size() != path.size()) flags |= O_NOFOLLOW;
        return ::open(mapped.c_str(), flags);
    }
    if (!exists(path)) {
        errno = ENOENT;
        return -1;
    }
    if (!description().root_user) {
        errno = EACCES;
        return -1;
    }
    int fd = next_fd_++;
    open_channels_[fd] = 0;
    return fd;
}

long SimHost::device_write(int fd, const void* data, size_t size) {
    auto it = open_channels_.find(fd);
    if (it == open_channels_.end()) return ::write(fd, data, size);
    zelt_lfc_generic_msg msg;
    if (size != sizeof msg || !data) {
        errno = EINVAL;
        return -1;
    }
    std::memcpy(&msg, data, sizeof msg);
    if (msg.key != ZELT_LFC_SELECT_DOMAIN_KEY) {
        errno = EINVAL;
        return -1;
    }
    it->second = msg.value;
    return static_cast<long>(size);
}

int SimHost::device_ioctl(int fd, unsigned long request, void* arg) {
    auto it = open_channels_.find(fd);
    if (it == open_channels_.end()) return ::ioctl(fd, request, arg);
    int err = 0;
    int rc;
    {
        UninterruptedCall call;
        rc = lfc_device_ioctl(root(), it->second, request, arg, err);
    }
    clock_loaded_ = false;  // the driver may have waited on the virtual clock
    host::interruption_point();
    if (rc != 0) errno = err;
    return rc;
}

void SimHost::device_close(int fd) {
    if (open_channels_.erase(fd)) return;
    if (fd >= 0) ::close(fd);
}

int SimHost::interface_ioctl(unsigned long request, struct ifreq* ifr) {
    int err = 0;
    int rc;
    if (request == SIOCGIFHWADDR || request == SIOCGIFMTU) {
        // Only looks at the description: nothing to leave half done.
        rc = interface_device_ioctl(root(), request, ifr, err);
    } else {
        UninterruptedCall call;
        rc = interface_device_ioctl(root(), request, ifr, err);
    }
    host::interruption_point();
    if (rc != 0) errno = err;
    return rc;
}

std::unique_ptr<host::RegisterWindow> SimHost::map_registers(std::string_view resource_path, size_t size) {
    return map_sim_registers(*this, resource_path, size);
}

namespace {

// Lays `value` over the bytes [offset, offset + size) read from configuration space
// where they overlap the `width` bytes at `at`.
void overlay(void* out, unsigned offset, size_t size, unsigned at, uint32_t value, unsigned width) {
    for (unsigned i = 0; i < width; ++i) {
        if (at + i >= offset && at + i < offset + size)
            static_cast<uint8_t*>(out)[at + i - offset] = static_cast<uint8_t>(value >> (8 * i));
    }
}

bool overlaps(unsigned offset, size_t size, unsigned at, unsigned width) {
    return offset < at + width && offset + size > at;
}

}  // namespace

bool SimHost::read_pci_config(const host::PciFunction& fn, unsigned offset, void* out, size_t size) {
    if (!tree_.read_pci_config(fn, offset, out, size)) return false;
    // A function that does not answer reads all ones in its subsystem id.
    if (overlaps(offset, size, wire::bar::kConfigSubsystemId, 2) && sim_function_silent(*this, fn))
        overlay(out, offset, size, wire::bar::kConfigSubsystemId, 0xFFFF, 2);
    if (!config_window_data(offset, size)) return true;
    uint8_t select_bytes[2];
    if (!tree_.read_pci_config(fn, ZELT_PCI_CFG_WINDOW_SELECT, select_bytes, sizeof select_bytes)) return true;
    const auto select = static_cast<uint16_t>(select_bytes[0] | select_bytes[1] << 8);
    uint32_t value = 0;
    if (!config_bar_window_read(*this, fn, select, value) && !config_window_read(root(), fn, select, value))
        return true;
    overlay(out, offset, size, ZELT_PCI_CFG_WINDOW_DATA, value, 4);
    return true;
}

bool SimHost::write_pci_config(const host::PciFunction& fn, unsigned offset, const void* data, size_t size) {
    // The data dword reaches BAR0 when the select word names it; the direct window's
    // registers are read only, so any other write of the data dword is dropped.
    if (offset == ZELT_PCI_CFG_WINDOW_DATA && size == 4) {
        uint8_t select_bytes[2];
        if (tree_.read_pci_config(fn, ZELT_PCI_CFG_WINDOW_SELECT, select_bytes, sizeof select_bytes)) {
            uint32_t value;
            std::memcpy(&value, data, 4);
            config_bar_window_write(*this, fn, static_cast<uint16_t>(select_bytes[0] | select_bytes[1] << 8), value);
        }
        return true;
    }
    if (offset >= ZELT_PCI_CFG_WINDOW_DATA && offset + size <= ZELT_PCI_CFG_WINDOW_DATA + 4) return true;
    return tree_.write_pci_config(fn, offset, data, size);
}

void SimHost::syslog_info(std::string_view message) {
    // The simulated host keeps its system log as a file so tests can read it.
    make_directories("/var/log");
    std::string line(message);
    line += '\n';
    append_sim_file(map_path("/var/log/syslog"), line);
}

host::HostFacts SimHost::facts() {
    const HostDesc& d = description();
    return host::HostFacts{d.kernel_release, d.machine, d.hostname};
}

// The description can only take the administrator's rights away: a process that is not
// root never passes for root, whatever the (user-writable) description says.
unsigned SimHost::real_user_id() {
    const unsigned uid = ::getuid();
    if (description().root_user || uid != 0) return uid;
    return kSimulatedUserId;
}

namespace {

// Changes the description under the lock and rebuilds the file tree.
template <class Change>
int change_host(const std::string& root, Change change) {
    std::string error;
    auto session = SimSession::open(root, error);
    if (!session) return 1;
    if (!change(session->host())) return 1;
    session->description_changed();
    if (!session->save(error)) return 1;
    return render_host_tree(root, session->host(), error) ? 0 : 1;
}

}  // namespace

int SimHost::unbind_driver(std::string_view pci_address, std::string_view driver) {
    return change_host(root(), [&](HostDesc& host) {
        FunctionRef ref = find_function(host, std::string(pci_address));
        if (!ref || ref.function->driver != driver) return false;
        ref.function->driver.clear();
        return true;
    });
}

int SimHost::set_vf_count(std::string_view pci_address, unsigned count) {
    return change_host(root(), [&](HostDesc& host) {
        FunctionRef ref = find_function(host, std::string(pci_address));
        if (!ref || ref.function->is_vf || count > ref.function->total_vfs) return false;
        if (count == ref.function->num_vfs) return true;
        // As on a real host, only the PF's own driver can change its VF count.
        if (ref.function->driver != kEthernetDriver) return false;
        return set_active_vfs(*ref.adapter, ref.function->pf_index, count);
    });
}

host::DownloadOutcome SimHost::download(std::string_view url, int fd, const host::DownloadLimits& limits) {
    const char* library = std::getenv("ZELTNVM_SIM_URL_LIBRARY");
    return host::download_url(library && *library ? library : host::kUrlLibrary, url, fd, limits);
}

bool SimHost::module_loaded(std::string_view module) {
    return is_directory("/sys/module/" + std::string(module));
}

struct timeval SimHost::now() {
    if (!clock_loaded_) {
        clock_offset_us_ = read_clock_offset(root());
        clock_loaded_ = true;
    }
    uint64_t us = static_cast<uint64_t>(static_cast<int64_t>(wall_clock_us()) + clock_offset_us_);
    struct timeval tv;
    tv.tv_sec = static_cast<time_t>(us / 1000000u);
    tv.tv_usec = static_cast<suseconds_t>(us % 1000000u);
    return tv;
}

void SimHost::sleep_ms(unsigned milliseconds) {
    std::string error;
    int64_t offset = 0;
    if (advance_clock(root(), int64_t{milliseconds} * 1000, offset, error)) {
        clock_offset_us_ = offset;
        clock_loaded_ = true;
    }
    host::interruption_point();
}

}  // namespace zelt::sim
