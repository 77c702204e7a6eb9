#include "cli/run_notes.h"

#include <csignal>
#include <cstdio>
#include <string>

#include "cli/report/output.h"
#include "formats/crypto/rsa.h"
#include "host/process.h"
#include "host/run_facts.h"
#include "log/print.h"
#include "log/stamped_line.h"
#include "wire/ethtool_nvm.h"
#include "wire/lfc.h"

namespace zelt::cli {

namespace {

// The command line as one text: words with blanks (or none at all) are quoted.
std::string command_line(int argc, char** argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i] ? argv[i] : "";
        if (i) line += ' ';
        if (word.empty() || word.find_first_of(" \t'") != std::string::npos) {
            line += '\'';
            for (char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
            line += '\'';
        } else {
            line += word;
        }
    }
    return line;
}

bool is_hex(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// "3b:00.0": bus, device and function of a PCI address, without its domain.
bool is_pci_address_without_domain(std::string_view text) {
    const size_t colon = text.find(':');
    const size_t dot = text.find('.');
    if (colon == std::string_view::npos || dot == std::string_view::npos || dot < colon) return false;
    if (text.find(':', colon + 1) != std::string_view::npos) return false;
    return is_hex(text.substr(0, colon)) && is_hex(text.substr(colon + 1, dot - colon - 1)) &&
           is_hex(text.substr(dot + 1));
}

// Hints are advice for the person at the console: straight to standard error, never
// a message of the run's report (whose last error a JSON reader takes as the failure).
void hint(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "Hint: %s\n", text.c_str());
    std::fflush(stderr);
}

const char* signal_name(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return nullptr;
    }
}

}  // namespace

bool trusts_test_key() { return crypto::builtin_key_is_test_key(); }

void show_run_modes(const host::Host& host, std::string_view command) {
    const std::string root = host.simulated_root();
    if (!root.empty()) std::fprintf(stderr, "%s%s\n", kSimulatedHostLine, root.c_str());
    if (trusts_test_key() && (command == "install" || command == "version")) std::fputs(kTestKeyWarning, stderr);
    std::fflush(stderr);
}

void log_run_start(const host::Host& host, const char* log_path, int argc, char** argv, RunNotes& notes) {
    notes.log_path = zelt::host::absolute_path(host.map_path(log_path));
    notes.log_open = zeltnvm_log_stream() != nullptr;
    log::stamped_info_line("Run started: " + command_line(argc, argv) + "; user " + zelt::host::run_user_name() + "; pid " +
                            std::to_string(zelt::host::process_id()));
    const std::string root = host.simulated_root();
    if (!root.empty()) log::stamped_info_line(kSimulatedHostLine + root);
}

void log_run_end(int status) {
    log::stamped_info_line("Run ended: exit status " + std::to_string(status));
}

void log_run_interrupted(int signal) {
    const char* name = signal_name(signal);
    log::stamped_info_line(std::string("Run interrupted by ") + (name ? name : "signal " + std::to_string(signal)) +
                           ": exit status 1");
}

void hint_unknown_selector(std::string_view selector) {
    if (is_pci_address_without_domain(selector)) {
        hint("a PCI address needs its domain, as in -dev=0000:" + std::string(selector) + ".");
        return;
    }
    hint("the listdev command lists the adapters and the selectors they answer to.");
}

void hint_choose_selector() {
    hint("name the adapter with -dev=<interface, MAC or PCI address>; the listdev command lists them.");
}

void hint_no_devices(host::Host& host) {
    const std::string drivers = "/sys/bus/pci/drivers/";
    if (!host.is_directory(drivers + ZELT_EN_DRIVER_NAME)) {
        hint(std::string("the ") + ZELT_EN_DRIVER_NAME + " Ethernet driver is not loaded (modprobe " +
             ZELT_EN_DRIVER_NAME + ").");
    } else if (!host.exists(ZELT_LFC_DEVICE_PATH)) {
        hint(std::string(ZELT_LFC_DEVICE_PATH) + " is missing: load the zelt_lfc driver (modprobe zelt_lfc).");
    } else {
        hint(std::string("no adapter function is bound to the ") + ZELT_EN_DRIVER_NAME + " driver.");
    }
}

void show_next_steps(host::Host& host, const report::Output& output, const RunNotes& notes, int status) {
    const bool log_named = output.pointed_to_log() && !notes.log_path.empty();
    const bool lfc_missing = status != 0 && notes.found_functions && !host.exists(ZELT_LFC_DEVICE_PATH);
    if (!log_named && !lfc_missing) return;
    // Its own line on a terminal, even after a message that did not end one.
    std::fflush(stdout);
    if (!output.json() && !output.stdout_at_line_start() && zelt::host::stdout_is_terminal()) {
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    if (log_named) {
        if (notes.log_open)
            std::fprintf(stderr, "Log file: %s\n", notes.log_path.c_str());
        else
            std::fprintf(stderr, "Log file: %s (not written by this run: see ZELT_NVM_LOG_LEVEL in %s)\n",
                         notes.log_path.c_str(), zelt::host::absolute_path(host.map_path(ZELT_CONFIG_PATH)).c_str());
        std::fflush(stderr);
    }
    if (lfc_missing)
        hint(std::string(ZELT_LFC_DEVICE_PATH) +
             " is missing, so firmware messages went through the PCI mailbox: load the zelt_lfc driver "
             "(modprobe zelt_lfc) for the firmware channel.");
}

}  // namespace zelt::cli
