#include "cli/install/update_messages.h"

#include "log/print.h"

namespace zelt::cli {

namespace {

void console_error(const char* text) { zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", text); }

}  // namespace

using zelt::device::installer::Piece;

void UpdateMessages::install_starting() { dots_.emplace("Flashing"); }

void UpdateMessages::install_ended() {
    dots_.reset();
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "\n");
}

void UpdateMessages::access_denied() {
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Access Denied. Please retry later.");
}

void UpdateMessages::nvm_not_healthy() {
    console_error("\nNVM not in health state. Please use recovery with -force option.\n");
}

void UpdateMessages::recovery_failed() { console_error("\nDevice recovery process failed.\n"); }

void UpdateMessages::restore_failed(Piece piece) {
    switch (piece) {
        case Piece::kMacAddresses:
            if (recovery_)
                console_error("Failed to restore mac address. Please reconfigure mac address manually.\n");
            else
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                              "Failed to restore mac address. Please reconfigure mac address manually.\n");
            return;
        case Piece::kOnboardCfg:
            console_error("Failed to restore \"OnboardCfg\" directory. Please update \"OnboardCfg\" directory on the "
                          "device manually.\n");
            return;
        case Piece::kCertAlias:
            console_error("Failed to restore the certificate alias. Please import the certificate alias manually.\n");
            return;
        case Piece::kFru:
            console_error("Failed to restore the FRU directory. Please reconfigure FRU directory manually.\n");
            return;
        case Piece::kCertChain:
            console_error("Failed to restore the certificate chain. Please import the certificate manually.\n");
            return;
        case Piece::kVpd:
            console_error("Failed to restore the VPD directory. Please program the device VPD manually.\n");
            return;
    }
}

void UpdateMessages::bar2_size_changed(uint32_t before, uint32_t after) {
    cold_boot_needed_ = true;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "\nPCI BAR2 size changed from %u to %u. A system cold boot is needed for firmware update to take "
                  "effect.\n",
                  before, after);
}

void UpdateMessages::vpd_advice(const std::string& text) { console_error(text.c_str()); }

void UpdateMessages::checking_recovery() {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nChecking the recovery status. Please wait a minute...\n");
}

void UpdateMessages::recovered(const zelt::PciAddress& at) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nPCI Device %04x:%02x:%x recovered successfully.\n", at.domain, at.bus,
                  at.device);
}

void UpdateMessages::not_recovered(bool force) {
    if (force) {
        console_error("\nDevice recovery failed. Please check zeltnvm.log file for more details.\n");
    } else {
        console_error("\nDevice recovery process failed. Please perform the device recovery with \"-force\" options.\n");
        console_error("Syntax: zeltnvm -dev=<device name> -recovery install <pkg file> -force.\n");
    }
}

}  // namespace zelt::cli
