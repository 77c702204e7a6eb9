// What the console shows while the host actions change an adapter's VFs.
#pragma once

#include "device/host_actions.h"

namespace zelt::cli {

class HostActionMessages final : public device::HostActionObserver {
public:
    void turning_off_vfs(const PciAddress& pf) override;
};

}  // namespace zelt::cli
