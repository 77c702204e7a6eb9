// The PCIe eye scope: the firmware's summary of a lane, or its full eye measured to a
// target BER (plotted, written to an eye-scope file and projected to BER 1e-12), and
// the stop of a running test.
#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "cli/eye_commands.h"
#include "cli/eye_lane.h"
#include "cli/report/command_report.h"
#include "common/hvxretval.h"
#include "formats/eye/eye_scope.h"
#include "formats/eye/eye_text.h"
#include "formats/eye/link_rating.h"
#include "host/interrupt.h"
#include "host/output_file.h"
#include "log/print.h"
#include "transport/serdes_data.h"
#include "wire/hwrm_selftest.h"

namespace zelt::cli {

namespace eye = zelt::formats::eye;
using report::Json;
using report::Report;

namespace {

constexpr unsigned kPollMs = 2000;
constexpr unsigned kSettleMs = 1000;

struct Setting {
    const char* name;
    int32_t serdes_rx_settings::*field;
};

// As the summary lists them.
constexpr Setting kSummarySettings[] = {
    {"iskew_signed", &serdes_rx_settings::iskew_signed}, {"qskew_signed", &serdes_rx_settings::qskew_signed},
    {"dlev00_signed", &serdes_rx_settings::dlev00_signed}, {"dlev01_signed", &serdes_rx_settings::dlev01_signed},
    {"dlev10_signed", &serdes_rx_settings::dlev10_signed}, {"dlev11_signed", &serdes_rx_settings::dlev11_signed},
    {"h1p", &serdes_rx_settings::h1p}, {"h1n", &serdes_rx_settings::h1n}, {"h2", &serdes_rx_settings::h2},
    {"h3", &serdes_rx_settings::h3}, {"h4", &serdes_rx_settings::h4}, {"h5", &serdes_rx_settings::h5},
    {"h6", &serdes_rx_settings::h6}, {"h7", &serdes_rx_settings::h7}, {"h8", &serdes_rx_settings::h8},
    {"h9", &serdes_rx_settings::h9}, {"aeq", &serdes_rx_settings::aeq}, {"vga", &serdes_rx_settings::vga},
    {"appmd", &serdes_rx_settings::appmd}, {"rxrt", &serdes_rx_settings::rxrt}, {"shd", &serdes_rx_settings::shd},
    {"proc", &serdes_rx_settings::proc}, {"step", &serdes_rx_settings::step}, {"wm", &serdes_rx_settings::wm},
};

// As the eye-scope file's header lists them, under its own names.
constexpr Setting kFileSettings[] = {
    {"h8", &serdes_rx_settings::h8},       {"h9", &serdes_rx_settings::h9},
    {"h2", &serdes_rx_settings::h2},       {"h3", &serdes_rx_settings::h3},
    {"h6", &serdes_rx_settings::h6},       {"h7", &serdes_rx_settings::h7},
    {"h4", &serdes_rx_settings::h4},       {"h5", &serdes_rx_settings::h5},
    {"dlv2", &serdes_rx_settings::dlev10_signed}, {"dlv3", &serdes_rx_settings::dlev11_signed},
    {"dlv0", &serdes_rx_settings::dlev00_signed}, {"dlv1", &serdes_rx_settings::dlev01_signed},
    {"rxrt", &serdes_rx_settings::rxrt},   {"*aeq", &serdes_rx_settings::aeq},
    {"h1p", &serdes_rx_settings::h1p},     {"h1n", &serdes_rx_settings::h1n},
    {"appmd", &serdes_rx_settings::appmd}, {"wm", &serdes_rx_settings::wm},
    {"qskw", &serdes_rx_settings::qskew_signed}, {"*vga", &serdes_rx_settings::vga},
    {"iskw", &serdes_rx_settings::iskew_signed},
};

transport::SerdesRequest request(uint8_t flags, int lane, int target, uint8_t action) {
    return {flags, static_cast<uint8_t>(lane), static_cast<uint8_t>(target), action};
}

// Progress of the lane's test in tenths of a percent.
Result query_progress(const transport::Function& fn, int lane, int target, uint16_t& progress) {
    transport::SerdesAnswer answer;
    Result rc = transport::zelt_retrieve_serdes_data(
        fn, request(HWRM_SERDES_FLAGS_EYESCOPE_FULL, lane, target, HWRM_SERDES_ACTION_PROGRESS), {}, &answer);
    if (rc.ok()) progress = answer.progress;
    return rc;
}

int failed(const Result& rc) {
    if (rc.code() == HVXRETVAL_UNSUPPORTED_PLATFORM)
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "PCI Eye scope test does not support on this operating system.\n");
    else
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "PCI Eye scope test failed with return value %d\n", rc.code());
    return rc.code();
}

// ---- Summary ---------------------------------------------------------------------------

int summary(const transport::Function& fn, int lane, int target, Report& r) {
    serdes_eyescope_summary s{};
    transport::SerdesAnswer answer;
    Result rc = transport::zelt_retrieve_serdes_data(
        fn, request(HWRM_SERDES_FLAGS_EYESCOPE_SUMMARY, lane, target, HWRM_SERDES_ACTION_RETRIEVE),
        {reinterpret_cast<uint8_t*>(&s), sizeof s}, &answer);
    if (!rc.ok()) return failed(rc);
    const auto& res = s.results;
    const bool passed = res.test_passed != 0;
    r.text(ZELT_LOC_BOTH, "Result for PCI Lane %d    : %s\n", lane, passed ? "Passed" : "Failed");
    r.text(ZELT_LOC_BOTH, "%-24s : %d/32 UI\n", "  Horizontal Eye Left", res.left);
    r.text(ZELT_LOC_BOTH, "%-24s : %d/32 UI\n", "  Horizontal Eye Right", res.right);
    r.text(ZELT_LOC_BOTH, "%-24s : %d (%d mV)\n", "  Vertical Eye Top", res.top, static_cast<int>(res.top * 3.52));
    r.text(ZELT_LOC_BOTH, "%-24s : %d (%d mV)\n", "  Vertical Eye Bottom", res.bottom,
           static_cast<int>(res.bottom * 3.52));
    r.text(ZELT_LOC_BOTH, "Rx Settings:\n");
    Json settings = Json::object();
    for (const auto& st : kSummarySettings) {
        const int value = s.rx_settings.*st.field;
        const std::string label = std::string("  ") + st.name;
        r.text(ZELT_LOC_BOTH, std::strcmp(st.name, "shd") == 0 ? "%-24s : g%d\n" : "%-24s : %d\n", label.c_str(), value);
        settings[st.name] = value;
    }
    r.data()["passed"] = passed;
    r.data()["left"] = res.left;
    r.data()["right"] = res.right;
    r.data()["top"] = res.top;
    r.data()["bottom"] = res.bottom;
    r.data()["rx_settings"] = settings;
    return 0;
}

// ---- The eye-scope file ----------------------------------------------------------------

std::string measured_text(const struct tm& t) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return eye::text_of("%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", kDays[(t.tm_wday % 7 + 7) % 7],
                        kMonths[(t.tm_mon % 12 + 12) % 12], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                        1900 + t.tm_year);
}

std::string file_contents(const serdes_rx_settings& settings, const eye::ScopeGrid& grid, int lane,
                          const char* target_text, const struct tm& t) {
    std::string s = "latch_selection : merged\nplotting_style  : Multiplot\n";
    s += eye::text_of("contour_depth   : %s\n", target_text);
    s += eye::text_of(
        "min_pos_ui      : -0.625\nmax_pos_ui      : 0.625\nmin_mv          : -233.7890625\nmax_mv          : "
        "233.7890625\nphase_error     : 0.1015625\nvoffset_error   : 9\ncomment         : \"Measured: %ssubch    "
        "       : \"d60.ch%d.\"\neyemask         : \"{}\"\nwaveform_style  : statistical\n",
        measured_text(t).c_str(), lane);
    s += "rx_settings: ";
    for (const auto& st : kFileSettings) s += eye::text_of("%s=%d,", st.name, settings.*st.field);
    s += "shd=g4\n\n";
    for (int row = 0; row < eye::kScopeRows; ++row) {
        for (int col = 0; col < eye::kScopeColumns; ++col) s += eye::text_of("%e ", grid.at(row, col));
        s += "\n";
    }
    return s;
}

// Writes the file in the working directory without following a link planted under its
// name. Returns the name, or "" after reporting the failure.
std::string write_scope_file(host::Host& host, const std::string& contents, int lane) {
    const time_t now = host.now().tv_sec;
    const struct tm t = host.local_time(now);
    const std::string name = eye::text_of("eyescope_lane%d_%s_%02u%02u%02u_%02u%02u%02u.dat", lane,
                                          host.facts().hostname.c_str(), unsigned(t.tm_year % 100),
                                          unsigned(t.tm_mon + 1), unsigned(t.tm_mday), unsigned(t.tm_hour),
                                          unsigned(t.tm_min), unsigned(t.tm_sec));
    // Written under a temporary name and renamed into place: a link planted under the
    // name is replaced, never followed. (A second run within the same second replaces
    // the first one's file rather than appending to it: appending would mean opening an
    // existing name, which is what must not be followed.)
    const std::string& data = contents;
    if (!host::write_file_replacing(host, name, {reinterpret_cast<const uint8_t*>(data.data()), data.size()})) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to open the eye scope file %s: %s\n", name.c_str(),
                      std::strerror(errno));
        return "";
    }
    return name;
}

// ---- Full eye --------------------------------------------------------------------------

struct FullEye {
    std::unique_ptr<serdes_eyescope_full> raw = std::make_unique<serdes_eyescope_full>();
    eye::ScopeGrid grid;
};

Result retrieve_full(const transport::Function& fn, int lane, int target, FullEye& eye_data) {
    transport::SerdesAnswer answer;
    Result rc = transport::zelt_retrieve_serdes_data(
        fn, request(HWRM_SERDES_FLAGS_EYESCOPE_FULL, lane, target, HWRM_SERDES_ACTION_RETRIEVE),
        {reinterpret_cast<uint8_t*>(eye_data.raw.get()), sizeof *eye_data.raw}, &answer);
    if (!rc.ok()) return rc;
    const auto& raw = *eye_data.raw;
    eye_data.grid = eye::scope_grid({&raw.bit_count[0][0], eye::kScopeCells},
                                    {&raw.error_count[0][0], eye::kScopeCells},
                                    (answer.flags & HWRM_SERDES_RESP_FLAGS_BITS_POW2) != 0);
    return rc;
}

void project(const eye::ScopeGrid& grid, int generation, Report& r) {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nExtrapolating for BER at 1e-12...\n");
    const auto m = eye::scope_margins(grid);
    r.text(ZELT_LOC_BOTH, "%s\n", kRule);
    r.text(ZELT_LOC_BOTH, "Extrapolation for BER at 1e-12 is completed\n");
    Json rating = nullptr;
    if (m.passed) {
        r.text(ZELT_LOC_BOTH,
               "<Test Result>: Eye Height and Eye Width margins are > 0.2UI and 18mV, test PASSED.\n");
        r.text(ZELT_LOC_BOTH, "<Margins>:\n");
        r.text(ZELT_LOC_BOTH, "Eye Width margin at le-12 is %f UI\n", m.width_ui);
        r.text(ZELT_LOC_BOTH, "Eye Height margin at le-12 is %f mV\n", m.height_mv);
        const auto table = generation == 4 ? eye::RatingTable::PciGen4 : eye::RatingTable::PciGen3;
        const int product = eye::rating_product(m.width_ui, m.height_mv);
        for (const auto& line : eye::scope_rating_lines(table, product)) r.text_raw(ZELT_LOC_BOTH, line);
        rating = rating_object(table, product);
    } else {
        r.text(ZELT_LOC_BOTH, "<Test Result>: Eye Height margin is not greater than 0.2UI and 18mV, test FAILED\n");
    }
    r.data()["margins"] = Json{{"left", m.left.offset}, {"right", m.right.offset}, {"top", m.top.offset},
                               {"bottom", m.bottom.offset}};
    r.data()["eye_width_ui"] = m.width_ui;
    r.data()["eye_height_mv"] = m.height_mv;
    r.data()["passed"] = m.passed;
    r.data()["rating"] = rating;
}

// Retrieves, plots and (unless stopping) writes and projects the full eye.
// `target` is the one requested; the plot shows BERs down to `plot_target`.
int plot_full_eye(ParsedCommand& parsed, int lane, int target, int plot_target, bool stopping, Report& r) {
    host::Host& host = parsed.context->host;
    const transport::Function& fn = parsed.device->function;
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Plotting PCI eye diagram...\n");
    host.sleep_ms(kSettleMs);
    FullEye data;
    Result rc = retrieve_full(fn, lane, target, data);
    if (!rc.ok()) return failed(rc);
    if (!stopping) {
        const struct tm t = host.local_time(host.now().tv_sec);
        const std::string name = write_scope_file(
            host, file_contents(data.raw->rx_settings, data.grid, lane, eye::kTargetBerTexts[target], t), lane);
        if (name.empty()) return HVXRETVAL_FILE_OPEN_FAILURE;
        r.data()["file"] = name;
    }
    const auto lines = eye::scope_plot(data.grid, plot_target);
    show_lines(r, lines);
    r.data()["plot"] = lines;
    if (!stopping) project(data.grid, pcie_link_of(parsed).generation, r);
    return 0;
}

// Stops the lane's test on the adapter: a retrieve ends it.
void stop_on_adapter(const transport::Function& fn, int lane) {
    FullEye discard;
    (void)retrieve_full(fn, lane, 0, discard);
}

int full_eye(ParsedCommand& parsed, int lane, int target, Report& r) {
    const transport::Function& fn = parsed.device->function;
    host::Host& host = parsed.context->host;
    uint16_t progress = 0;
    Result rc = query_progress(fn, lane, target, progress);
    if (!rc.ok()) {
        // Older firmware has no test to start: the full eye is measured as it is retrieved.
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "Failed to start eye scope for Target BER 1e-8. So fallback to legacy method.\n");
        return plot_full_eye(parsed, lane, target, target, false, r);
    }
    if (progress >= 1 && progress <= 999) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                      "PCI Eye Scope test already is in progress. Please wait for completion.\n\n");
    } else {
        transport::SerdesAnswer answer;
        rc = transport::zelt_retrieve_serdes_data(
            fn, request(HWRM_SERDES_FLAGS_EYESCOPE_FULL, lane, target, HWRM_SERDES_ACTION_START), {}, &answer);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to start PCI Eye Scope. And return value is %d\n",
                          rc.code());
            return rc.code();
        }
        progress = 0;
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Retrieving Eye Scope data from hardware. Please wait ...\n\n");
    }
    // From here a test runs on the adapter. An interrupted run must not leave it running,
    // and only this wait knows which test that is: it acts on the signal itself, stops
    // the test and ends the run.
    host::stop_acting_on_interrupts();
    uint16_t last = progress;
    while (true) {
        host.sleep_ms(kPollMs);
        if (host::pending_interrupt() != 0) {
            stop_on_adapter(fn, lane);
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nInterrupted: PCI Eye Scope test stopped.\n");
            return 1;
        }
        rc = query_progress(fn, lane, target, progress);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to get Eye scope percentage. And return value is %d\n",
                          rc.code());
            return rc.code();
        }
        if (progress < last) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nAs requested PCI Eye Scope test stopped.\n");
            r.data()["stopped"] = true;
            return 0;
        }
        last = progress;
        r.text(ZELT_LOC_CONSOLE, "\r%d%% completed", progress / 10);
        if (progress > 999) break;
    }
    r.text(ZELT_LOC_CONSOLE, "\n");
    return plot_full_eye(parsed, lane, target, target, false, r);
}

int stop(ParsedCommand& parsed, int lanes, Report& r) {
    const transport::Function& fn = parsed.device->function;
    for (int lane = 0; lane < lanes; ++lane) {
        uint16_t progress = 0;
        Result rc = query_progress(fn, lane, 0, progress);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to get Eye scope percentage. And return value is %d\n",
                          rc.code());
            return rc.code();
        }
        if (progress >= 1 && progress <= 999) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Stopping PCI Eye Scope test\n");
            r.data()["stopped_lane"] = lane;
            // The test keeps its own depth; the plot shows every depth the firmware supports.
            uint8_t support = 0;
            if (!transport::zelt_query_target_ber_support(fn, &support).ok()) support = 0;
            return plot_full_eye(parsed, lane, 0, std::min<int>(support, eye::kTargetBerCount - 1), true, r);
        }
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "PCI Eye Scope test not running\n");
    r.data()["stopped_lane"] = nullptr;
    return 0;
}

int run_eye_scope(ParsedCommand& parsed, const EyeScopeArgs& args, Report& r) {
    const device::InventoryFunction& dev = *parsed.device;
    r.data()["device"] = report::function_object(dev);
    if (lane_device_type(dev) <= 7) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "This command is supported only on HVX9Kxxxx devices\n");
        return HVXRETVAL_UNSUPPORTED_OPERATION;
    }
    const LinkFacts link = pcie_link_of(parsed);
    const std::vector<std::string>& w = args.words;
    const std::string first = w.empty() ? "" : w[0];
    if (first == "stop") {
        r.data()["mode"] = "stop";
        return stop(parsed, link.width, r);
    }
    const bool full = first == "full_eye";
    const std::string lane_text = full ? (w.size() > 1 ? w[1] : "") : first;
    int lane = -1;
    if (!parse_lane(lane_text, link.width, lane)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid PCIe lane provided. Valid range is from 0 to %d\n",
                      link.width - 1);
        return HVXRETVAL_INVALID_PARAMETER;
    }
    const std::string target_text = full && w.size() > 2 ? w[2] : "1e-8";
    const int target = eye::target_ber_index(target_text);
    if (target < 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR,
                      "Invalid Target BER value provided. Valid values are \"1e-8\", \"1e-9\", \"1e-10\", \"1e-11\", "
                      "\"1e-12\"\n");
        return HVXRETVAL_INVALID_PARAMETER;
    }
    uint8_t support = 0;
    Result rc = transport::zelt_query_target_ber_support(dev.function, &support);
    if (!rc.ok()) return failed(rc);
    if (target > support) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Provided Target BER is not supported by Hardware.\n");
        return HVXRETVAL_INVALID_PARAMETER;
    }
    r.data()["mode"] = full ? "full_eye" : "summary";
    r.data()["lane"] = lane;
    r.data()["target_ber"] = target_text;
    return full ? full_eye(parsed, lane, target, r) : summary(dev.function, lane, target, r);
}

}  // namespace

EyeScopeArgs EyeScopeArgs::from(const ScanOptions&, const ParsedCommand& parsed) { return {.words = parsed.args}; }

Report pci_eye_scope_command(ParsedCommand& parsed, const EyeScopeArgs& args) {
    Report r = report::open_report(parsed);
    if (!parsed.device) return r.ends(HVXRETVAL_INVALID_PARAMETER);
    return r.ends(run_eye_scope(parsed, args, r));
}

}  // namespace zelt::cli
