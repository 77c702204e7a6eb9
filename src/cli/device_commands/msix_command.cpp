#include "cli/device_commands/msix_command.h"

#include "cli/command_registry.h"
#include "cli/device_commands/device_command_common.h"
#include "cli/device_commands/feature_report.h"
#include "cli/device_commands/number_args.h"
#include "device/features/msix_table.h"
#include "wire/hwrm_structured_data.h"

namespace zelt::cli {

namespace {

using device::MsixRefusal;
using device::MsixTable;
using report::Json;
using report::Report;

constexpr int kPfOutOfRange = 45;
constexpr int kPfAbsent = 48;
constexpr int kFailed = 1;
constexpr std::size_t kSetWords = 1 + 2 * HWRM_MSIX_VECTOR_TABLE_ROWS;

// The message of a refused table, by its reason.
void print_refusal(const MsixRefusal& f) {
    const int row = f.row, vf = f.vf_value, other = f.other_value;
    switch (f.reason) {
        case HWRM_MSIX_REFUSED_PF_OUT_OF_RANGE:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid PF Id. PF number is out-of-range for this chip.\n");
            break;
        case HWRM_MSIX_REFUSED_NO_VFS:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Failed to configure MSI-X Vector table. PF does not have any VFs.\n");
            break;
        case HWRM_MSIX_REFUSED_FIRST_ROW_ZERO:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Failed to configure MSI-X Vector table. MSI-X field is zero for the first row.\n");
            break;
        case HWRM_MSIX_REFUSED_FIRST_ROW_START:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Row 0 start_vf is not equal to the starting VF for the PF. Expected Start VF is %d\n", vf);
            break;
        case HWRM_MSIX_REFUSED_START_OUT_OF_RANGE:
            zeltnvm_print(
                ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                "Invalid entry for row %d.\nstart_vf less than valid end_vf or start_vf greater than valid begin VF.\n"
                "The valid end_vf should be %d or valid begin vf should be %d\n",
                row, vf, other);
            break;
        case HWRM_MSIX_REFUSED_START_ALIGNMENT:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid entry for row %d.\nstart_vf is not multiple of %d.\n",
                          row, other);
            break;
        case HWRM_MSIX_REFUSED_START_NOT_ASCENDING:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid entry for row %d.\nstart_vf less than or equal to previous rows start_vf.\n", row);
            break;
        case HWRM_MSIX_REFUSED_SMALL_VF:
            zeltnvm_print(
                ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                "Invalid entry for row %d.\nVF range contains small VF (%d) and MSI-X greater than Max MSI-X (%d)\n",
                row, vf, other);
            break;
        case HWRM_MSIX_REFUSED_ABOVE_CONFIG_SIZE:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid MSI-X value for row %d.\n MSI-X value greater than PCIE config size (%d).\n", row,
                          other);
            break;
        case HWRM_MSIX_REFUSED_SUM_ABOVE_PF_MAX:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Sum of all msix vectors (%d) > max msix vectors for PF (%d).\n", vf, other);
            break;
        case HWRM_MSIX_REFUSED_ROW_COUNT:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Failed to configure MSI-X vector table. Invalid number of rows provided.\n");
            break;
        default:
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Failed to configure MSI-X vector table. Please check the zeltnvm.log for more details.\n");
    }
}

Json rows_json(const MsixTable& t) {
    Json rows = Json::array();
    for (const device::MsixRow& row : t.rows) rows.push_back({{"start_vf", row.start_vf}, {"msix", row.msix}});
    return rows;
}

int query(const device::InventoryFunction& dev, uint16_t pf, Report& r) {
    std::vector<MsixTable> tables;
    bool matches = false;
    const Result rc = device::zeltnvm_get_msix_tables(dev.function, &tables, &matches);
    if (!rc.ok() || !matches) {
        if (!rc.ok())
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "MSI-X table query failed with status %d\n", rc.code());
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to Query MSI-X Vector Table.\n");
        return rc.ok() ? kFailed : rc.code();
    }
    for (const MsixTable& t : tables) {
        if (t.pf != pf) continue;
        r.data()["rows"] = rows_json(t);
        r.text(ZELT_LOC_BOTH, "------------------------\nRow    Start VF    MSI-X\n------------------------\n");
        for (std::size_t i = 0; i < t.rows.size(); ++i)
            r.text(ZELT_LOC_BOTH, "%d\t %d\t   %d\n", static_cast<int>(i), t.rows[i].start_vf, t.rows[i].msix);
        return 0;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to Query MSI-X Vector Table.\n");
    return kPfAbsent;
}

int msix_max_vectors(ParsedCommand& parsed, const MsixArgs& args, Report& r) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return -1;
    if (!feature::on_newest_family(*dev)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "msix_max_vectors command does not support on this hardware.\n");
        return feature::kNotOnThisHardware;
    }
    if (args.words.size() != 1 && args.words.size() != kSetWords) {
        zeltnvm_print_syntax_error(parsed.command);
        return -1;
    }
    const auto pf = decimal_arg(args.words[0], UINT16_MAX);
    if (!pf) return argument_error("Invalid pf_id value. Value should be an integer.\n");
    const int pf_count = dev->adapter_pf_count;
    if (static_cast<int>(*pf) >= pf_count) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid pf_id value. Valid range is from 0 to %d.\n",
                      pf_count - 1);
        return kPfOutOfRange;
    }
    MsixTable table;
    table.pf = static_cast<uint16_t>(*pf);
    for (std::size_t i = 1; i < args.words.size(); ++i) {
        const auto v = decimal_arg(args.words[i], UINT16_MAX);
        if (!v) return argument_error("Invalid value. Value must be an integer from 0 to 65535.\n");
        device::MsixRow& row = table.rows[(i - 1) / 2];
        ((i - 1) % 2 == 0 ? row.start_vf : row.msix) = static_cast<uint16_t>(*v);
    }
    r.data()["pf"] = table.pf;
    if (args.words.size() == 1) return query(*dev, table.pf, r);

    r.data()["rows"] = rows_json(table);
    MsixRefusal refusal;
    const Result rc = device::zeltnvm_set_msix_table(dev->function, table, &refusal);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "MSI-X table set failed with status %d, reason %d\n", rc.code(),
                      refusal.reason);
        r.data()["refusal_reason"] = refusal.reason;
        print_refusal(refusal);
        return rc.code();
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "MSI-X vector table applied successfully.\n"
                  "A system reboot is required for new configuration to take effect.\n");
    return 0;
}

}  // namespace

MsixArgs MsixArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    const ArgumentLine line(parsed);
    MsixArgs args;
    for (int i = 0; i < line.count_after_word(); ++i) args.words.emplace_back(line.after_word(i));
    return args;
}

Report msix_max_vectors_command(ParsedCommand& parsed, const MsixArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(msix_max_vectors(parsed, args, r));
}

}  // namespace zelt::cli
