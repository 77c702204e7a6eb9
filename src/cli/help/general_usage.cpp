#include "cli/help/general_usage.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

#include "cli/command_registry.h"
#include "cli/help/help_texts.h"

namespace zelt::cli {

namespace {

struct Group {
    CommandGroup group;
    const char* title;
};

constexpr std::array<Group, 4> kGroups{{
    {CommandGroup::firmware_update, "Firmware update commands"},
    {CommandGroup::query, "Query commands"},
    {CommandGroup::configure, "Configure commands"},
    {CommandGroup::debug, "Debug commands"},
}};

// The order the list shows the commands in, inside their groups. A command that is not
// named here still shows: after these, in table order.
constexpr std::array<std::string_view, 47> kListed{
    "install", "verify", "fw_sync", "livepatch",
    // query
    "version", "list", "view", "listdev", "saveoptions", "devid", "device_info", "getoption", "pkgver",
    "device_temperature", "moduleinfo", "ether_serdes_eye_diagram", "pci_eye_diagram", "pcie_counters",
    "get_ptp_extended", "get_sync_ethernet", "get_txfir", "optionhelp", "pci_eye_scope", "cert_provision_state",
    "nvm_measurement",
    // configure
    "setoption", "resmgmt", "cfgtunnel", "vf", "prbs_test", "add_ntuple_filter", "free_ntuple_filter",
    "msix_max_vectors", "tsio_function_pin", "duty_cycle", "dll_source", "set_ptp_extended", "set_sync_ethernet",
    "set_txfir", "reset", "restore_factory_defaults", "mh_pf_alloc", "loopback",
    // debug
    "coredump", "backup", "device_health_check", "dscdump"};

size_t listed_position(std::string_view word) {
    return static_cast<size_t>(std::find(kListed.begin(), kListed.end(), word) - kListed.begin());
}

// One command line: the word in a 25-column field after 16 blanks, ": ", the summary;
// further summary lines aligned under its first.
void append_command(std::string& out, const CommandRow& row) {
    char field[64];
    std::snprintf(field, sizeof field, "%16s%-25s: ", "", row.word);
    out += field;
    const std::string indent(16 + 25 + 2, ' ');
    std::string_view summary = row.summary;
    for (size_t nl; (nl = summary.find('\n')) != std::string_view::npos; summary.remove_prefix(nl + 1)) {
        out.append(summary.substr(0, nl));
        out += '\n';
        out += indent;
    }
    out.append(summary);
    out += '\n';
}

}  // namespace

std::string general_usage() {
    std::string out = help_text::kHelpUsage;
    out += "COMMANDS\n";
    for (const Group& g : kGroups) {
        std::vector<const CommandRow*> rows;
        for (const CommandRow& row : command_rows())
            if (row.group == g.group) rows.push_back(&row);
        std::stable_sort(rows.begin(), rows.end(), [](const CommandRow* a, const CommandRow* b) {
            return listed_position(a->word) < listed_position(b->word);
        });
        out += "        ";
        out += g.title;
        out += '\n';
        for (const CommandRow* row : rows) append_command(out, *row);
        out += '\n';
    }
    out += help_text::kHelpUsageExamples;
    return out;
}

}  // namespace zelt::cli
