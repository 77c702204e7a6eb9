// Running the command once the scan has ended.
#include <vector>

#include "cli/adapter_lock.h"
#include "cli/command_registry.h"
#include "cli/display_error.h"
#include "cli/package_commands.h"
#include "cli/report/command_report.h"
#include "cli/scan_state.h"
#include "log/print.h"

namespace zelt::cli {
namespace {

// -debug: what the scan made of the command line.
void trace_scan(const ParsedCommand& p, const ScanOptions& o) {
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "command = '%s', device = '%s', files = %zu\n",
                  command_word(p.command), p.device ? p.device_name.c_str() : "", p.files.size());
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO,
                  "options: verbosity=%u type=%d ext=%u ord=%u attr=%u tab=%d num=%d force=%d continue=%d "
                  "verify=%d noidcheck=%d totals=%d dec=%d prompt=%d online=%d recovery=%d sort='%s'\n",
                  o.verbosity, o.type, o.ext, o.ordinal, o.attr, o.tab, o.numeric, o.force, o.cont, o.verify,
                  o.noidcheck, o.totals, o.dec, o.prompt, o.online, o.recovery, o.sort ? o.sort : "");
}

}  // namespace

void take_run_flags(ScanState& s) {
    s.parsed.context->verbosity = s.opts.verbosity;
    s.parsed.context->debug = s.opts.debug;
}

int dispatch_command(ScanState& s) {
    ParsedCommand& p = s.parsed;
    take_run_flags(s);
    if (s.opts.debug) trace_scan(p, s.opts);

    const CommandRow& row = command_row(p.command);
    p.run->set_command(row.word);
    if (!row.available) return answer_unavailable(row);
    if (row.package_files && !p.files.empty()) {
        const int rc = report::hand_in(p, typed<package_files_command>(s.opts, p));
        if (rc != 0 || !p.device) return rc;
    }
    if (!row.after_scan) return answer_unavailable(row);
    AdapterLocks locks(p.context->host, p.context->lock_wait_ms);
    if (row.writes_adapter && p.device) {
        const int rc = locks.take(*p.device);
        if (rc != 0) return zeltnvm_display_error_msg(p.command, rc);
    }
    return report::hand_in(p, row.after_scan(s.opts, p));
}

int end_run(report::Output& output, report::Report& run, int result) {
    // A handler's result keeps its origin; a result made by the front end itself (a
    // refused option, a missing command) is the tool's.
    if (run.result().code() != result) run.set_result(Result::from_code(result));
    output.render(run);
    return run.status();
}

}  // namespace zelt::cli
