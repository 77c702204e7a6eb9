#include "cli/entry.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "cli/cli_helper.h"
#include "cli/exit_cleanup.h"
#include "cli/report/output.h"
#include "cli/run_notes.h"
#include "device/discovery.h"
#include "cli/version.h"
#include "host/host.h"
#include "host/interrupt.h"
#include "log/monitor.h"
#include "log/print.h"

namespace zelt::cli {

namespace {

constexpr int kNotRootStatus = 40;

// Commands that run without adapter discovery.
bool skips_discovery(const char* first) { return std::strcmp(first, "-h") == 0 || std::strcmp(first, "version") == 0; }

// A crash may have left the mailbox flags set; clearing them through the window that is
// already mapped is all the handler does besides ending the process, since nothing
// else is safe inside it.
extern "C" void exit_on_fault(int) {
    zeltnvm_release_pci_mailbox();
    ::_exit(1);
}

void install_signal_handlers() {
    zelt::host::catch_interrupts(zeltnvmExit);
    struct sigaction action{};
    action.sa_handler = exit_on_fault;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGSEGV, &action, nullptr);
}

// The normal end of a run: a signal recorded since the last interruption point still
// ends it with status 1; one that comes during the cleanup no longer does.
// The log's end line is written once no signal can end the run any more.
int finish_run(int rc, const RunContext& context, const zelt::device::Inventory& inventory, RunNotes& notes) {
    zelt::host::interruption_point();
    zelt::host::stop_acting_on_interrupts();
    notes.found_functions = !inventory.functions.empty() && !context.platform->discover;
    log_run_end(report::Report::status_of(rc));
    zeltnvmExit(0);
    return rc;
}

int run_command(int argc, char** argv, zelt::cli::RunContext& context, zelt::cli::report::Report& run,
                RunNotes& notes) {
    const Platform& platform = *context.platform;
    if (platform.root_check && context.host.real_user_id() != 0) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                      "Error: Operation not permitted. This operation requires root privileges\n");
        return kNotRootStatus;
    }
    if (platform.signal_handlers) install_signal_handlers();

    zeltnvm_open_log_file(context.host, platform.log_path);
    log_run_start(context.host, platform.log_path, argc, argv, notes);
    // The configuration file read with the log settings may set the lock wait.
    context.lock_wait_ms = context.host.lock_wait_ms();
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Halvex Management Utility Version v%u.%u.%u.%u\n", ZELT_VERSION_MAJOR,
                  ZELT_VERSION_MINOR, ZELT_VERSION_BUILD, ZELT_VERSION_FOURTH);

    // The run's adapters: found once here and handed to the command.
    zelt::device::Inventory inventory;
    // -json may come first: the first other word decides.
    int first = 1;
    while (first < argc && zelt::cli::report::is_json_option(argv[first])) ++first;
    if (first < argc && !skips_discovery(argv[first])) {
        int rc = (platform.discover ? platform.discover(context.host, inventory)
                                    : zelt::device::zelt_nvm_init(context.host, inventory))
                     .code();
        if (rc != 0) {
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                          "No supported devices found. Please make sure all the required drivers are loaded "
                          "properly\n");
            // Only the Linux roads are found through the host's drivers and devices.
            if (!platform.discover) hint_no_devices(context.host);
            return finish_run(rc, context, inventory, notes);
        }
    }

    int rc = cliHelper(argc, argv, context, inventory, run);
    return finish_run(rc, context, inventory, notes);
}

}  // namespace

void zeltnvmExit(int signal) {
    // No dot may follow the last message, nor the thread outlive the log it writes beside.
    zelt::log::stop_running_monitor();
    if (signal != 0) log_run_interrupted(signal);
    // A signal that came once the firmware had the package waited for the install log
    // and the adapter's identity: the update is in place, though the run was stopped.
    if (signal != 0 && zelt::host::signal_carried_through())
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "\nThe run was interrupted after the firmware update had completed; the install log and the "
                      "adapter's identity were written back before it stopped.\n");
    zeltnvm_close_log_file();
    zeltnvm_stop_running_eye_scope();
    zeltnvm_release_pci_mailbox();
    if (signal != 0) {
        std::fflush(stdout);
        ::_exit(1);
    }
}

Platform linux_platform() { return Platform{}; }

bool offers_recovery(const RunContext& context) { return !context.platform || context.platform->recovery; }
bool offers_downloads(const RunContext& context) { return !context.platform || context.platform->downloads; }

int zeltnvm_main(int argc, char** argv, zelt::host::Host& host) {
    return zeltnvm_main(argc, argv, host, linux_platform());
}

int zeltnvm_main(int argc, char** argv, zelt::host::Host& host, const Platform& platform) {
    namespace report = zelt::cli::report;
    // Every run ends in one report: printed as it goes in the text form, written as
    // one document at the end in the JSON form.
    report::Output output(report::wants_json(argc, argv) ? report::Format::kJson : report::Format::kText);
    report::Report run = output.report(report::command_word_of(argc, argv));
    zelt::cli::RunContext context{.host = host,
                                  .output = output,
                                  .lock_wait_ms = host.lock_wait_ms(),
                                  .verbosity = 0,
                                  .debug = false,
                                  .tool_identification = zeltnvm_tool_identification(platform.name),
                                  .platform = &platform};
    // What the user must not overlook comes before everything else.
    show_run_modes(host, report::command_word_of(argc, argv));
    RunNotes notes;
    const int result = run_command(argc, argv, context, run, notes);
    const int status = zelt::cli::end_run(output, run, result);
    show_next_steps(host, output, notes, status);
    return status;
}

}  // namespace zelt::cli
