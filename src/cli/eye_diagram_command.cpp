// The older eye plot and its projection to BER 1e-12.
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/eye_commands.h"
#include "cli/eye_lane.h"
#include "cli/report/command_report.h"
#include "common/hvxretval.h"
#include "formats/eye/eye_scope.h"
#include "formats/eye/link_rating.h"
#include "formats/eye/projection.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "transport/serdes_data.h"
#include "wire/hwrm_query.h"
#include "wire/hwrm_selftest.h"

namespace zelt::cli {

namespace eye = zelt::formats::eye;
using report::Json;
using report::Report;

namespace {

enum class Kind { Ethernet, Pcie };

struct Direction {
    const char* name;
    uint8_t bits;
    eye::ScanAxis axis;
    int sign;
};
constexpr Direction kDirections[] = {
    {"right", HWRM_SERDES_DIRECTION_RIGHT, eye::ScanAxis::Horizontal, 1},
    {"left", HWRM_SERDES_DIRECTION_LEFT, eye::ScanAxis::Horizontal, -1},
    {"top", HWRM_SERDES_DIRECTION_UP, eye::ScanAxis::Vertical, 1},
    {"bottom", HWRM_SERDES_DIRECTION_DOWN, eye::ScanAxis::Vertical, -1},
};

// The plot: header, then the eye retrieved from the firmware row by row.
Result plot_eye(const transport::Function& fn, Kind kind, uint8_t lane, Report& r) {
    std::vector<uint8_t> buffer(HWRM_SERDES_EYE_DATA_LEN);
    transport::SerdesAnswer answer;
    const uint8_t flags = kind == Kind::Pcie ? HWRM_SERDES_FLAGS_PCIE : HWRM_SERDES_FLAGS_ETHERNET;
    Result rc = transport::zelt_retrieve_serdes_data(fn, {flags, lane, 0, HWRM_SERDES_ACTION_NONE}, buffer, &answer);
    if (!rc.ok()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to retrieve eye data to display eye diagram!\n");
        return rc;
    }
    const size_t count = std::min<size_t>(answer.copied_len, buffer.size()) / 4;
    std::vector<uint32_t> counts(count);
    for (size_t i = 0; i < count; ++i) counts[i] = read_le32(buffer, i * 4);
    const auto lines = eye::legacy_plot(counts, kind == Kind::Pcie ? eye::LegacyKind::Pcie : eye::LegacyKind::Ethernet);
    show_lines(r, lines);
    r.data()["plot"] = lines;
    return rc;
}

int run_eye_diagram(ParsedCommand& parsed, const EyeDiagramArgs& args, Kind kind, Report& r) {
    const device::InventoryFunction& dev = *parsed.device;
    const transport::Function& fn = dev.function;
    const int device_type = lane_device_type(dev);
    const LinkFacts link = pcie_link_of(parsed);
    int lane = -1;
    const int lanes = kind == Kind::Pcie ? link.width : kEthernetLanes;
    if (args.words.empty() || !parse_lane(args.words[0], lanes, lane)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid %s lane provided. Valid range is from 0 to %d\n",
                      kind == Kind::Pcie ? "PCIe" : "SerDes", lanes - 1);
        return HVXRETVAL_INVALID_PARAMETER;
    }
    if (const Result refused = transport::platform_offers(fn, transport::PlatformOperation::kEyeDiagram);
        !refused.ok()) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Eye diagrams are not supported on this operating system.\n");
        return refused.code();
    }
    bool margin = false;
    for (size_t i = 1; i < args.words.size(); ++i)
        if (args.words[i].rfind("-margin", 0) == 0) margin = true;
    r.data()["device"] = report::function_object(dev);
    r.data()["lane"] = lane;
    r.data()["kind"] = kind == Kind::Pcie ? "pci" : "ethernet";

    if (args.plot) {
        const Result rc = plot_eye(fn, kind, static_cast<uint8_t>(lane), r);
        if (!rc.ok()) return rc.code();
    }

    // The lane's rate and signalling.
    double rate = 0;
    bool pam4 = false;
    if (kind == Kind::Pcie) {
        rate = pcie_lane_rate(link.generation);
    } else {
        uint16_t speed = 0;
        Result rc = transport::zelt_get_link_speed(fn, &rate, &speed);
        if (!rc.ok()) return rc.code();
        uint8_t mode = 0;
        rc = transport::zeltnvm_get_active_fec_signal_mode(fn, &mode);
        if (!rc.ok()) return rc.code();
        pam4 = (mode & HWRM_PORT_PHY_QCFG_SIGNAL_MODE_MASK) == HWRM_PORT_PHY_QCFG_SIGNAL_MODE_PAM4;
    }
    if (pam4) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "\nExtrapolation is not supported for PAM4 device.\n");
        r.data()["projection"] = nullptr;
        return 0;
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "\nTrying to extrapolate for BER at 1e-12.This may take several minutes...\n");

    const eye::ProjectionForm form = device_type >= 8 ? eye::ProjectionForm::Brume : eye::ProjectionForm::Quill;
    const uint8_t kind_flag = kind == Kind::Pcie ? HWRM_SERDES_FLAGS_PCIE : HWRM_SERDES_FLAGS_ETHERNET;
    Json margins = Json::object();
    int sums[2] = {0, 0};  // horizontal (mUI), vertical (mV)
    for (const Direction& d : kDirections) {
        std::vector<uint8_t> data(HWRM_SERDES_PROJECTION_LEN);
        transport::SerdesAnswer answer;
        const uint8_t flags = HWRM_SERDES_FLAGS_PROJECTION | kind_flag | d.bits;
        Result rc = transport::zelt_retrieve_serdes_data(fn, {flags, static_cast<uint8_t>(lane), 0, 0}, data, &answer);
        if (!rc.ok()) {
            const int code = rc.code();
            if (code == 3 || code == 9 || code == -1)
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Extrapolation is not supported for this device.\n");
            else
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Failed to get time and error values for projection\n");
            return code;
        }
        const auto p = eye::project_direction(
            data, {form, d.axis, kind == Kind::Pcie ? eye::ScanKind::Pcie : eye::ScanKind::Ethernet, d.sign, rate});
        if (!p.good) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "BER *worse* than 1e%0.2f\n", p.worst_exponent);
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "No margin @ 1e-12, 1e-15 & 1e-18\n\n");
        }
        margins[d.name] = p.margin;
        sums[d.axis == eye::ScanAxis::Horizontal ? 0 : 1] += p.margin;
    }
    const double width = sums[0] / 1000.0;
    const double height = sums[1];
    const bool width_ok = width > 0, height_ok = height > 0;
    const char* verdict = width_ok && height_ok ? " Both Eye Width and Height margins are greater than 0%, test PASSED"
                          : width_ok            ? " Eye Height margin is not greater than 0%, test FAILED"
                          : height_ok           ? " Eye Width margin is not greater than 0%, test FAILED"
                                      : " Both Eye Width and Height margins are not greater than 0%, test FAILED";
    r.text(ZELT_LOC_BOTH, "%s\n", kRule);
    r.text(ZELT_LOC_BOTH, "Rate = %.f bps\n", rate);
    r.text(ZELT_LOC_BOTH, "Extrapolation for BER at 1e-12 is completed\n");
    r.text(ZELT_LOC_BOTH, "<Test Result>:%s\n\n", verdict);
    if (margin || args.plot) {
        r.text(ZELT_LOC_BOTH, "<Margins>:\n");
        r.text(ZELT_LOC_BOTH, "Eye Width margin at le-12 is %0.3f UI\n", width);
        r.text(ZELT_LOC_BOTH, "Eye Height margin at le-12 is %0.2f mV\n", height);
    }
    r.data()["rate_bps"] = rate;
    r.data()["margins"] = margins;
    r.data()["eye_width_ui"] = width;
    r.data()["eye_height_mv"] = height;
    r.data()["passed"] = width_ok && height_ok;
    Json rating = nullptr;
    if (width_ok && height_ok) {
        const bool gen3 = kind == Kind::Pcie && link.generation == 3;
        const bool nrz = kind == Kind::Ethernet && rate == 25781250000.0;
        if (gen3 || nrz) {
            const auto table = gen3 ? eye::RatingTable::PciGen3 : eye::RatingTable::SerdesNrz;
            const int product = eye::rating_product(width, height);
            for (const auto& line : eye::legacy_rating_lines(table, product)) r.text_raw(ZELT_LOC_BOTH, line);
            rating = rating_object(table, product);
        }
    }
    r.data()["rating"] = rating;
    r.text(ZELT_LOC_BOTH, "%s\n", kRule);
    // The analysis ran: the verdict is in the report, the command itself succeeded.
    return 0;
}

Report eye_diagram(ParsedCommand& parsed, const EyeDiagramArgs& args, Kind kind) {
    Report r = report::open_report(parsed);
    if (!parsed.device) return r.ends(HVXRETVAL_INVALID_PARAMETER);
    if (kind == Kind::Pcie && lane_device_type(*parsed.device) > 7) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "This command is not supported on HVX9Kxxxx devices\n");
        return r.ends(HVXRETVAL_UNSUPPORTED_OPERATION);
    }
    return r.ends(run_eye_diagram(parsed, args, kind, r));
}

}  // namespace

EyeDiagramArgs EyeDiagramArgs::from(const ScanOptions& scan, const ParsedCommand& parsed) {
    return {.words = parsed.args, .plot = scan.verbosity != 0};
}

Report ether_serdes_eye_diagram_command(ParsedCommand& parsed, const EyeDiagramArgs& args) {
    return eye_diagram(parsed, args, Kind::Ethernet);
}

Report pci_eye_diagram_command(ParsedCommand& parsed, const EyeDiagramArgs& args) {
    return eye_diagram(parsed, args, Kind::Pcie);
}

}  // namespace zelt::cli
