#include "host/rooted_tree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

extern "C" {
#include <pci/pci.h>
}

namespace zelt::host {

RootedTree::RootedTree(std::string root) : root_(std::move(root)) {
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

std::string RootedTree::map_path(std::string_view path) const {
    if (root_.empty() || !is_host_tree_path(path)) return std::string(path);
    return root_ + std::string(path);
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

bool RootedTree::scan_pci(std::vector<PciFunction>& functions) const {
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
        // The header's first 48 bytes in one read rather than a read for each field;
        // field by field where the block cannot be read whole.
        u8 header[48] = {};
        if (pci_read_block(d, 0, header, sizeof header)) {
            const auto word = [&](int at) { return static_cast<uint16_t>(header[at] | header[at + 1] << 8); };
            fn.subsys_vendor_id = word(PCI_SUBSYSTEM_VENDOR_ID);
            fn.subsys_id = word(PCI_SUBSYSTEM_ID);
            fn.class_code = (static_cast<uint32_t>(d->device_class) << 8) | header[PCI_CLASS_PROG];
            fn.revision = header[PCI_REVISION_ID];
        } else {
            fn.subsys_vendor_id = pci_read_word(d, PCI_SUBSYSTEM_VENDOR_ID);
            fn.subsys_id = pci_read_word(d, PCI_SUBSYSTEM_ID);
            fn.class_code = (static_cast<uint32_t>(d->device_class) << 8) | pci_read_byte(d, PCI_CLASS_PROG);
            fn.revision = pci_read_byte(d, PCI_REVISION_ID);
        }
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

bool RootedTree::read_pci_config(const PciFunction& fn, unsigned offset, void* out, size_t size) const {
    int fd = ::open(map_path(config_path(fn)).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    ssize_t n = ::pread(fd, out, size, offset);
    ::close(fd);
    return n == static_cast<ssize_t>(size);
}

// The kernel passes a write of 1, 2 or 4 aligned bytes to the device as one access.
bool RootedTree::write_pci_config(const PciFunction& fn, unsigned offset, const void* data, size_t size) const {
    int fd = ::open(map_path(config_path(fn)).c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    ssize_t n = ::pwrite(fd, data, size, offset);
    ::close(fd);
    return n == static_cast<ssize_t>(size);
}

}  // namespace zelt::host
