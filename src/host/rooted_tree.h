// The host's own trees (/etc, /var, /sys, /proc, /dev, /lib, /run) under a root, and
// what both hosts read from them the same way: the PCI function scan (libpci pointed at
// the tree's sysfs) and the configuration space files. An empty root is the real
// system; the simulated host keeps its trees under its directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"

namespace zelt::host {

class RootedTree {
public:
    explicit RootedTree(std::string root = {});

    const std::string& root() const { return root_; }
    // `path` under the root when it is in one of the host's trees; other paths (packages,
    // scripts an administrator names) and every path of an empty root stay as they are.
    std::string map_path(std::string_view path) const;

    bool scan_pci(std::vector<PciFunction>& functions) const;
    bool read_pci_config(const PciFunction& fn, unsigned offset, void* out, size_t size) const;
    bool write_pci_config(const PciFunction& fn, unsigned offset, const void* data, size_t size) const;

private:
    std::string root_;
};

}  // namespace zelt::host
