#include "cli/install/update_messages.h"

#include "log/monitor.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

void console_error(const char* text) { zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "%s", text); }

}  // namespace

using zelt::device::installer::Piece;

void UpdateMessages::install_starting() { zeltnvm_start_monitor(); }

void UpdateMessages::install_ended() {
    zeltnvm_stop_monitor();
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "\n");
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
    }
}

void UpdateMessages::bar2_size_changed(uint32_t before, uint32_t after) {
    cold_boot_needed_ = true;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "\nPCI BAR2 size changed from %u to %u. A system cold boot is needed for firmware update to take "
                  "effect.\n",
                  before, after);
}

}  // namespace zelt::cli
