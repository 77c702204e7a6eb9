#include "cli/saveoptions/save_options.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "cli/option_commands.h"
#include "cli/option_commands_internal.h"
#include "cli/report/command_report.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "host/output_file.h"
#include "log/print.h"
#include "options/catalogue.h"
#include "options/option_messages.h"
#include "options/option_parse.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;

// Rows with any of these visibility flags are never saved: internal, not-saved and
// read-only options.
constexpr uint8_t kNotSavedVisibility = ZELTNVM_VIS_INTERNAL | ZELTNVM_VIS_NOT_SAVED | ZELTNVM_VIS_READ_ONLY;
// Instances of a port or function option when the count cannot be had.
constexpr int kDefaultInstances = 15;

constexpr const char* kScriptHead =
    "if [ ! \"$1\" ]\nthen\necho \"Usage: filename <interface_name>\"\nexit\nfi\n\n"
    "if [ ! -e \"/usr/bin/zeltnvm\" ]\nthen\necho \"FILE DOES NOT EXIST: /usr/bin/zeltnvm\"\nexit\nfi\n\n"
    "INTERFACE=$1\n\n";

// A get request for `row` at `index` (-1: no index), checked as getoption checks it.
// False when a check refuses it.
bool prepare_get(const device::InventoryFunction* device, const nvm_mapping_table_row_t& row, int index,
                 zeltnvm_option* opt) {
    std::memset(opt, 0, sizeof *opt);
    opt->command = ZELTNVM_OPTION_GET;
    opt->max_instance = ZELTNVM_MAX_PHYS_INSTANCE;
    zeltnvm_set_option_device(device, opt);
    const std::string text = index < 0 ? std::string(row.name) : zeltnvm_format("%s:%d", row.name, index);
    if (zeltnvm_fill_option_Info(opt, text.c_str()) != 0 || zeltnvm_verify_option_Info(opt) != 0 ||
        zelt_verify_nvm_value(device, opt) != 0) {
        if (index < 0)
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Retrieving opt %d(%s)\n", row.option, row.name);
        else
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Retrieving opt %d(%s):%d\n", row.option, row.name, index);
        return false;
    }
    return true;
}

// The value of an element-list option as setoption takes it ("a:b:c:d", the highest
// element index first); false when any element cannot be read.
bool read_elements(const device::InventoryFunction* device, zeltnvm_option* opt, std::string* text) {
    const int count = zeltnvm_is_four_element_option(opt->option) ? 4 : 2;
    text->clear();
    for (int i = 0; i < count; ++i) {
        opt->dimensions = 1;
        opt->index_0 = static_cast<uint16_t>(count - 1 - i);
        std::memset(opt->value, 0, sizeof opt->value);
        if (zeltnvmOptionGet(device, opt) != 0) return false;
        if (i) *text += ':';
        *text += std::to_string(zeltnvm_option_value_number(opt));
    }
    return true;
}

// The value read into `opt` as setoption takes it back.
std::string value_text(const zeltnvm_option* opt) {
    const uint8_t* b = opt->value;
    if (opt->option == ZELTNVM_OPT_MAC_ADDRESS)
        return zeltnvm_format("%02x-%02x-%02x-%02x-%02x-%02x", b[1], b[0], b[7], b[6], b[5], b[4]);
    const uint64_t v = zeltnvm_option_value_number(opt);
    if (opt->option == ZELTNVM_OPT_COS_PRECEDENCE_ORDER)
        return zeltnvm_format("%d:%d:%d:%d", static_cast<int>(v >> 6 & 3), static_cast<int>(v >> 4 & 3),
                              static_cast<int>(v >> 2 & 3), static_cast<int>(v & 3));
    // A min:max pair is only accepted back in that form.
    if (uint32_t pair = 0; zeltnvm_get_afm_option_value(opt, &pair))
        return zeltnvm_format("%d:%d", static_cast<int>(pair >> 16), static_cast<int>(pair & 0xFFFF));
    std::string text = "0x";
    for (int i = opt->num_bytes - 1; i >= 0; --i) text += zeltnvm_format("%02x", b[i]);
    return text;
}

struct SavedOption {
    std::string name;
    int index;  // -1 for a device option
    std::string value;
};

// Reads every savable option instance of the adapter.
std::vector<SavedOption> read_savable_options(const device::InventoryFunction* device) {
    zeltnvm_option tmpl{};
    zeltnvm_set_option_device(device, &tmpl);
    int ports = 0;
    if (zeltnvm_option_port_count(device, &tmpl, &ports) != 0 || ports <= 0) ports = kDefaultInstances;
    int functions = adapter_function_count(device, false);
    if (functions <= 0) functions = kDefaultInstances;

    std::vector<SavedOption> saved;
    zeltnvm_option opt{};
    for (const nvm_mapping_table_row_t* row = arr; row->option != 0; ++row) {
        if (row->visibility & kNotSavedVisibility) continue;
        int instances;
        switch (row->dir_type) {
            case ZEL_DIR_TYPE_SHARED_CFG: instances = 0; break;
            case ZEL_DIR_TYPE_PORT_CFG: instances = ports; break;
            case ZEL_DIR_TYPE_FUNC_CFG: instances = functions; break;
            default: continue;  // out-of-band and resource-manager blocks are not options of the adapter's host
        }
        for (int i = instances == 0 ? -1 : 0; i < instances; ++i) {
            if (!prepare_get(device, *row, i, &opt)) continue;
            std::string value;
            if (zeltnvm_is_four_element_option(opt.option) || zeltnvm_is_two_element_option(opt.option)) {
                if (!read_elements(device, &opt, &value)) continue;
            } else {
                if (zeltnvmOptionGet(device, &opt) != 0) continue;
                value = value_text(&opt);
            }
            saved.push_back({row->name, i, std::move(value)});
        }
    }
    return saved;
}

int run_saveoptions(ParsedCommand& parsed, const SaveOptionsArgs& args, Report& r) {
    if (args.file.empty()) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Filename required for saveoptions.\n");
        return HVXRETVAL_FAILURE;
    }
    r.data()["file"] = args.file;
    const std::vector<SavedOption> saved = read_savable_options(parsed.device);

    std::string script = kScriptHead;
    Json& list = r.data()["options"] = Json::array();
    for (const SavedOption& s : saved) {
        if (s.index < 0)
            script += zeltnvm_format("zeltnvm -dev=$INTERFACE setoption=%s#%s\n", s.name.c_str(), s.value.c_str());
        else
            script += zeltnvm_format("zeltnvm -dev=$INTERFACE setoption=%s:%d#%s\n", s.name.c_str(), s.index,
                                     s.value.c_str());
        list.push_back({{"name", s.name}, {"index", s.index < 0 ? Json(nullptr) : Json(s.index)}, {"value", s.value}});
    }

    // Written beside its final name and renamed into place: a planted link is replaced,
    // never written through, and a failure leaves no partial script.
    host::OutputFile out;
    if (!out.open(parsed.context->host, args.file, 0755) || !out.write(std::string_view(script)) || !out.commit()) {
        const int err = errno;
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Can't open profile file %s\n", args.file.c_str());
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s: %s\n", args.file.c_str(), std::strerror(err));
        return HVXRETVAL_FAILURE;
    }
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "All NVM options are saved to %s\n\n", args.file.c_str());
    return 0;
}

}  // namespace

SaveOptionsArgs SaveOptionsArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    SaveOptionsArgs args;
    for (const std::string& word : parsed.args) {
        if (!word.empty() && word[0] != '-') {
            args.file = word;
            break;
        }
    }
    return args;
}

report::Report saveoptions_command(ParsedCommand& parsed, const SaveOptionsArgs& args) {
    Report r = report::open_report(parsed);
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Can't set device properties on option\n");
        return r.ends(HVXRETVAL_FAILURE);
    }
    r.data()["device"] = report::function_object(*parsed.device);
    return r.ends(run_saveoptions(parsed, args, r));
}

}  // namespace zelt::cli
