#include "cli/device_commands/mh_pf_alloc_command.h"

#include <array>

#include "cli/command_registry.h"
#include "cli/device_commands/device_command_common.h"
#include "cli/device_commands/feature_report.h"
#include "cli/device_commands/number_args.h"
#include "common/hvxretval.h"
#include "device/features/mh_pf_alloc.h"

namespace zelt::cli {

namespace {

using device::MhPfCounts;
using report::Report;

constexpr int kTwoOrFourEndpoints = 44;
constexpr int kSumTooLarge = 45;
constexpr int kEndpointZero = 46;
constexpr int kFailed = 1;
constexpr unsigned kMaxPfs = 16;

// The checks of a new allocation: the total first, then which endpoints may have
// functions. 0 when the counts are taken.
int check_counts(const std::array<uint64_t, 4>& c) {
    uint64_t sum = 0;
    int non_zero = 0;
    for (uint64_t n : c) {
        sum += n;
        non_zero += n != 0;
    }
    if (sum > kMaxPfs) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Invalid configuration. The sum of all the endpoints should be less than or equal to 16.\n");
        return kSumTooLarge;
    }
    if (c[0] != 0 && c[2] != 0) {
        if (non_zero != 2 && non_zero != 4) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                          "Invalid configuration. The number of non-zero values can be for 2 endpoints or 4 "
                          "endpoints.\n");
            return kTwoOrFourEndpoints;
        }
    } else if (non_zero != 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Invalid configuration. Endpoint 0 or Endpoint 2 cannot be zero's.\n");
        return kEndpointZero;
    }
    return 0;
}

int no_rights() {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "\n\nThis operation does not have administrative privileges for given interface\n");
    return ZELT_RC_NO_ADMIN;
}

report::Json counts_json(const MhPfCounts& c) {
    report::Json list = report::Json::array();
    for (uint8_t n : c) list.push_back(n);
    return list;
}

int mh_pf_alloc(ParsedCommand& parsed, const MhPfAllocArgs& args, Report& r) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return -1;
    if (!feature::on_newest_family(*dev)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Command doesn't support on this hardware.\n");
        return feature::kNotOnThisHardware;
    }
    if (!args.counts.empty() && args.counts.size() != 4) {
        zeltnvm_print_syntax_error(parsed.command);
        return -1;
    }
    if (args.counts.empty()) {
        MhPfCounts counts{};
        int index = 0;
        const Result rc = device::zeltnvm_get_mh_pf_alloc(dev->function, &counts, &index);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                          "NVM option 163(SHARED_MHB_PF_ALLOC_NUM) failed with status 0x%x for index = %d.\n",
                          static_cast<unsigned>(rc.code()), index);
            if (rc.code() == ZELT_RC_NOT_PERMITTED) return no_rights();
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to query mh_pf_alloc.\n");
            return kFailed;
        }
        r.data()["endpoints"] = counts_json(counts);
        for (std::size_t ep = 0; ep < counts.size(); ++ep)
            r.text(ZELT_LOC_BOTH, "EP %d = %d\n", static_cast<int>(ep), counts[ep]);
        return 0;
    }
    std::array<uint64_t, 4> given{};
    for (std::size_t ep = 0; ep < given.size(); ++ep) {
        const auto n = decimal_arg(args.counts[ep], UINT32_MAX);
        if (!n) return argument_error("Invalid parameter value. Value should be an integer.\n");
        given[ep] = *n;
    }
    if (const int status = check_counts(given)) return status;
    // The checks leave each count at most the total the adapter allows.
    MhPfCounts counts{};
    for (std::size_t ep = 0; ep < counts.size(); ++ep) counts[ep] = static_cast<uint8_t>(given[ep]);
    r.data()["endpoints"] = counts_json(counts);
    const Result rc = device::zeltnvm_set_mh_pf_alloc(dev->function, counts);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      "Setting NVM option 163(SHARED_MHB_PF_ALLOC_NUM) failed with status 0x%x.\n",
                      static_cast<unsigned>(rc.code()));
        if (rc.code() == ZELT_RC_NOT_PERMITTED) return no_rights();
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to configure mh_pf_alloc.\n");
        return kFailed;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "Multi-host PF allocation applied successfully.\n"
                  "A cold boot is required for new allocation to take effect.\n");
    return 0;
}

}  // namespace

MhPfAllocArgs MhPfAllocArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    const ArgumentLine line(parsed);
    MhPfAllocArgs args;
    for (int i = 0; i < line.count_after_word(); ++i) args.counts.emplace_back(line.after_word(i));
    return args;
}

Report mh_pf_alloc_command(ParsedCommand& parsed, const MhPfAllocArgs& args) {
    Report r = report::open_report(parsed);
    return r.ends(mh_pf_alloc(parsed, args, r));
}

}  // namespace zelt::cli
