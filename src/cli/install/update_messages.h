// What the console and the log show while one adapter is updated: the progress dots
// around the installation and the messages of the steps that went wrong.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/installer/adapter_update.h"
#include "log/monitor.h"

namespace zelt::cli {

class UpdateMessages final : public zelt::device::installer::UpdateObserver {
public:
    // `recovery`: a -recovery installation, whose restore failures go to the console.
    explicit UpdateMessages(bool recovery) : recovery_(recovery) {}

    void install_starting() override;
    void install_ended() override;
    void access_denied() override;
    void nvm_not_healthy() override;
    void recovery_failed() override;
    void restore_failed(zelt::device::installer::Piece piece) override;
    void bar2_size_changed(uint32_t before, uint32_t after) override;
    void vpd_advice(const std::string& text) override;
    void checking_recovery() override;
    void recovered(const zelt::PciAddress& at) override;
    void not_recovered(bool force) override;

    // The PCI BAR2 size changed: the new firmware waits for a cold boot.
    bool cold_boot_needed() const { return cold_boot_needed_; }

private:
    bool recovery_;
    bool cold_boot_needed_ = false;
    std::optional<zelt::log::Monitor> dots_;  // the progress while the package installs
};

}  // namespace zelt::cli
