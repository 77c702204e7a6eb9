#include "host/linux_host.h"

#include <fcntl.h>
#include <net/if.h>
#include <semaphore.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern "C" {
#include <pci/pci.h>
}

#include "host/interrupt.h"

namespace zelt::host {

LinuxHost::LinuxHost(std::string root) : root_(std::move(root)) {
    while (!root_.empty() && root_.back() == '/') root_.pop_back();
}

namespace {

// The host's own trees: configuration, logs, sysfs, procfs, device nodes, firmware and
// module directories. Under a simulated root only these are taken from the root;
// files an administrator names elsewhere (packages, scripts) stay where they are.
constexpr std::string_view kHostTrees[] = {"/etc", "/var", "/sys", "/proc", "/dev", "/lib", "/run"};

bool is_host_tree_path(std::string_view path) {
    for (std::string_view tree : kHostTrees) {
        if (path.substr(0, tree.size()) == tree && (path.size() == tree.size() || path[tree.size()] == '/')) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string LinuxHost::map_path(std::string_view path) const {
    if (root_.empty() || !is_host_tree_path(path)) return std::string(path);
    return root_ + std::string(path);
}

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

class SemaphoreLock : public NamedLock {
public:
    explicit SemaphoreLock(sem_t* sem) : sem_(sem) {}
    ~SemaphoreLock() override {
        ::sem_post(sem_);
        ::sem_close(sem_);
    }

private:
    sem_t* sem_;
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

std::unique_ptr<NamedLock> LinuxHost::acquire_named_lock(std::string_view name, unsigned timeout_ms) {
    std::string sem_name = "/" + std::string(name);
    sem_t* sem = ::sem_open(sem_name.c_str(), O_CREAT, 0600, 1);
    if (sem == SEM_FAILED) return nullptr;
    struct timespec deadline;
    ::clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += timeout_ms / 1000;
    deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (::sem_timedwait(sem, &deadline) != 0) {
        if (errno == EINTR) continue;
        ::sem_close(sem);
        return nullptr;
    }
    return std::make_unique<SemaphoreLock>(sem);
}

namespace {

void pci_quiet(char*, ...) {}

// libpci reports failures it cannot go on from through its error handler and expects
// the handler not to return. The scan in progress is abandoned instead of the process.
thread_local std::jmp_buf* t_pci_escape = nullptr;

__attribute__((noreturn)) void pci_fatal(char*, ...) {
    if (t_pci_escape) std::longjmp(*t_pci_escape, 1);
    std::abort();
}

// Points libpci's fatal errors at `escape` while alive.
struct PciEscape {
    explicit PciEscape(std::jmp_buf* escape) { t_pci_escape = escape; }
    ~PciEscape() { t_pci_escape = nullptr; }
};

// libpci access pointed at this host's sysfs tree (initialised by the caller, under
// its escape).
struct PciAccess {
    pci_access* pacc = nullptr;
    std::string sysfs;
    explicit PciAccess(const std::string& root) {
        pacc = pci_alloc();
        if (!pacc) return;
        if (!root.empty()) {
            pacc->method = PCI_ACCESS_SYS_BUS_PCI;
            sysfs = root + "/sys/bus/pci";
            pci_set_param(pacc, const_cast<char*>("sysfs.path"), sysfs.data());
        }
        pacc->error = pci_fatal;
        pacc->warning = pci_quiet;
    }
    ~PciAccess() {
        if (pacc) pci_cleanup(pacc);
    }
};

}  // namespace

bool LinuxHost::scan_pci(std::vector<PciFunction>& functions) {
    functions.clear();
    std::string devices = map_path("/sys/bus/pci/devices");
    struct stat st;
    if (::stat(devices.c_str(), &st) != 0) return root_.empty() ? false : true;  // no PCI tree: no functions
    PciAccess access(root_);
    if (!access.pacc) return false;
    std::jmp_buf escape;
    PciEscape guard(&escape);
    // Only C code runs between here and a fatal libpci error, so nothing is skipped.
    if (setjmp(escape) != 0) {
        functions.clear();
        return false;
    }
    pci_init(access.pacc);
    pci_scan_bus(access.pacc);
    for (pci_dev* d = access.pacc->devices; d; d = d->next) {
        pci_fill_info(d, PCI_FILL_IDENT | PCI_FILL_CLASS);
        PciFunction fn;
        fn.domain = static_cast<uint16_t>(d->domain);
        fn.bus = d->bus;
        fn.dev = d->dev;
        fn.func = d->func;
        fn.vendor_id = d->vendor_id;
        fn.device_id = d->device_id;
        fn.subsys_vendor_id = pci_read_word(d, PCI_SUBSYSTEM_VENDOR_ID);
        fn.subsys_id = pci_read_word(d, PCI_SUBSYSTEM_ID);
        fn.class_code = (static_cast<uint32_t>(d->device_class) << 8) | pci_read_byte(d, PCI_CLASS_PROG);
        fn.revision = pci_read_byte(d, PCI_REVISION_ID);
        functions.push_back(fn);
    }
    return true;
}

namespace {

std::string config_path(const PciFunction& fn) {
    char path[128];
    std::snprintf(path, sizeof path, "/sys/bus/pci/devices/%04x:%02x:%02x.%x/config", fn.domain, fn.bus, fn.dev,
                  fn.func);
    return path;
}

}  // namespace

bool LinuxHost::read_pci_config(const PciFunction& fn, unsigned offset, void* out, size_t size) {
    int fd = ::open(map_path(config_path(fn)).c_str(), O_RDONLY);
    if (fd < 0) return false;
    ssize_t n = ::pread(fd, out, size, offset);
    ::close(fd);
    return n == static_cast<ssize_t>(size);
}

// The kernel passes a write of 1, 2 or 4 aligned bytes to the device as one access.
bool LinuxHost::write_pci_config(const PciFunction& fn, unsigned offset, const void* data, size_t size) {
    int fd = ::open(map_path(config_path(fn)).c_str(), O_WRONLY);
    if (fd < 0) return false;
    ssize_t n = ::pwrite(fd, data, size, offset);
    ::close(fd);
    return n == static_cast<ssize_t>(size);
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
