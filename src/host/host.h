// The host layer: the only code that talks to the operating system.
//
// Everything the utility asks of the system goes through `Host`: files under
// absolute host paths, the firmware-channel device, socket ioctls on network
// interfaces, the BAR0 register window, the PCI function scan, the
// system log, host facts, the host actions done with shell commands on Linux, and
// the clock.
//
// `LinuxHost` does the real thing. The simulated adapter host (sim/) implements the
// same interface and shares the rooted-path helper (host/rooted_tree.h) with it:
// every path of the host's own trees (/etc, /var, /sys, /proc, /dev, /lib, /run) is
// mapped under the simulated root, the devices behind the
// ioctls and the register window are the simulated adapter's, and the clock is
// virtual. Relative paths (dump files, eye-scope files, saved option scripts,
// backups) stay relative to the working directory in both hosts.
#pragma once

#include <net/if.h>
#include <sys/time.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_buffer.h"
#include "host/file_snapshot.h"
#include "host/url_download.h"

namespace zelt::host {

// One PCI function as the PCI scan reports it.
struct PciFunction {
    uint16_t domain = 0;
    uint8_t bus = 0;
    uint8_t dev = 0;
    uint8_t func = 0;
    uint16_t vendor_id = 0;
    uint16_t device_id = 0;
    uint16_t subsys_vendor_id = 0;
    uint16_t subsys_id = 0;
    uint32_t class_code = 0;  // base class, subclass, programming interface
    uint8_t revision = 0;
};

// Host facts that commands print or store.
struct HostFacts {
    std::string kernel_release;  // uname(2) release
    std::string machine;         // uname(2) machine (processor)
    std::string hostname;
};

// A mapped register window (BAR0). Offsets are byte offsets into the window.
class RegisterWindow {
public:
    virtual ~RegisterWindow() = default;
    virtual size_t size() const = 0;
    virtual uint32_t read32(size_t offset) = 0;
    virtual void write32(size_t offset, uint32_t value) = 0;
    // The registers as mapped memory, for code that may only use plain volatile
    // accesses (a signal handler); nullptr when the window is not mapped memory.
    virtual volatile uint32_t* mapped_registers() { return nullptr; }
};

// How a read of a regular file ended.
enum class FileRead { kOk, kOpenFailed, kNotRegular, kTooLarge, kNoMemory, kReadFailed };

class Host {
public:
    virtual ~Host() = default;

    // ---- Paths and files ---------------------------------------------------------
    // Where an absolute host path lives (under the simulated root for the simulated
    // host). Relative paths are returned unchanged.
    virtual std::string map_path(std::string_view path) const = 0;
    // The directory a simulated host keeps its files under; empty for the real host.
    virtual std::string simulated_root() const { return {}; }

    // fopen(3) of a host path. Returns nullptr with errno set on failure.
    virtual FILE* open_file(std::string_view path, const char* mode);
    virtual bool exists(std::string_view path);
    virtual bool is_directory(std::string_view path);
    // Names in a directory (without "." and ".."), sorted. False when it cannot be read.
    virtual bool list_directory(std::string_view path, std::vector<std::string>& names);
    // Reads a whole file. False when it cannot be opened or read.
    virtual bool read_file(std::string_view path, std::string& data);
    // Reads a whole regular file of at most `max_size` bytes straight into `data`.
    // The file is opened without blocking and checked on the opened descriptor, so a
    // pipe without a writer, a device, a socket or a directory is refused without
    // waiting on it, and an oversized file without reading any of it. On failure
    // `data` is empty and errno tells why (EISDIR, ENODEV or EFBIG for the refusals).
    // The buffer is not cleared before the read, and a large file is read by two
    // threads, each into its half.
    virtual FileRead read_regular_file(std::string_view path, uint64_t max_size, ByteBuffer& data);
    // The same into a plain vector (cleared before the read: for small files).
    FileRead read_regular_file(std::string_view path, uint64_t max_size, std::vector<uint8_t>& data);
    // The regular file at `path` copied into a private unnamed file of the host
    // directory `directory` and mapped read-only (host/file_snapshot.h), under the input
    // rules of read_regular_file. kNoPlace when the directory cannot hold such a file:
    // the caller reads the file instead.
    virtual SnapshotMade snapshot_regular_file(std::string_view path, uint64_t max_size, std::string_view directory,
                                               FileSnapshot& snapshot);
    // Writes a whole file (created or truncated). False on failure.
    virtual bool write_file(std::string_view path, std::string_view data);
    // Target of a symbolic link. False when the path is not a readable link.
    virtual bool read_link(std::string_view path, std::string& target);
    virtual bool remove_file(std::string_view path);
    // Creates the directory and its missing parents.
    virtual bool make_directories(std::string_view path);
    // Shell-style globbing of a pattern, results sorted. Returns glob(3)'s result
    // (0 on success; GLOB_NOMATCH when nothing matches).
    virtual int glob_paths(std::string_view pattern, std::vector<std::string>& matches);
    // Sends a standard stream (stdout, stderr) to the null device. False on failure.
    virtual bool discard_stream(FILE* stream);

    // ---- Firmware-channel device and network interfaces ---------------------------
    // open(2) of a device path. Returns a descriptor, or -1 with errno set.
    virtual int device_open(std::string_view path, int flags) = 0;
    virtual long device_write(int fd, const void* data, size_t size) = 0;
    // ioctl(2) on a device descriptor. Returns 0, or -1 with errno set.
    virtual int device_ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void device_close(int fd) = 0;
    // ioctl(2) of a socket request (SIOCETHTOOL, SIOCGIFHWADDR, SIOCGIFMTU) on a
    // network interface named in `ifr`. Returns 0, or -1 with errno set.
    virtual int interface_ioctl(unsigned long request, struct ifreq* ifr) = 0;

    // ---- Downloads ---------------------------------------------------------------
    // Downloads `url` into the file open for writing on `fd` with the URL transfer
    // library (host/url_download.h), loaded by its name when a download is asked for.
    virtual DownloadOutcome download(std::string_view url, int fd, const DownloadLimits& limits);

    // ---- Register window, PCI ---------------------------------------------
    // Maps `size` bytes of a resource file (sysfs resource0). nullptr with errno set on failure.
    virtual std::unique_ptr<RegisterWindow> map_registers(std::string_view resource_path, size_t size) = 0;
    // The PCI functions of the host, as libpci reports them.
    virtual bool scan_pci(std::vector<PciFunction>& functions) = 0;
    // Reads `size` bytes of a function's configuration space from `offset`.
    virtual bool read_pci_config(const PciFunction& fn, unsigned offset, void* out, size_t size) = 0;
    // Writes `size` bytes of a function's configuration space at `offset`.
    virtual bool write_pci_config(const PciFunction& fn, unsigned offset, const void* data, size_t size) = 0;

    // ---- System log, facts, host actions -----------------------------------------
    // One message to the system log at information priority.
    virtual void syslog_info(std::string_view message) = 0;
    virtual HostFacts facts() = 0;
    virtual unsigned real_user_id() = 0;
    // Host actions that the Linux build performs with shell commands.
    // Each returns 0 on success or a non-zero status.
    virtual int unbind_driver(std::string_view pci_address, std::string_view driver) = 0;
    virtual int set_vf_count(std::string_view pci_address, unsigned count) = 0;
    virtual bool module_loaded(std::string_view module) = 0;

    // ---- Clock -------------------------------------------------------------------
    // Wall-clock time (virtual for the simulated host).
    virtual struct timeval now() = 0;
    virtual void sleep_ms(unsigned milliseconds) = 0;
    // Local broken-down time of `t` (time zone of the host).
    virtual struct tm local_time(time_t t);

    // ---- Locks between processes of this tool ------------------------------------
    // How long a command waits for a lock another process of this tool holds (see
    // run_lock.h), in real milliseconds.
    unsigned lock_wait_ms() const { return lock_wait_ms_; }
    void set_lock_wait_ms(unsigned milliseconds) { lock_wait_ms_ = milliseconds; }

private:
    unsigned lock_wait_ms_ = 60'000;
};

}  // namespace zelt::host
