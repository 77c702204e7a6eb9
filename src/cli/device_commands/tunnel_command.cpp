#include "cli/device_commands/tunnel_command.h"

#include <optional>

#include "cli/command_registry.h"
#include "cli/device_commands/device_command_common.h"
#include "cli/device_commands/feature_report.h"
#include "cli/device_commands/number_args.h"
#include "common/hvxretval.h"
#include "device/features/tunnel.h"

namespace zelt::cli {

namespace {

using device::RssMode;
using device::TunnelType;
using report::Report;

constexpr uint64_t kMaxTunnelPort = 65534;
constexpr int kTunnelStateConflict = 1;

// What the words ask for.
struct TunnelRequest {
    enum class Kind { port_query, port_set, port_free, rss_query, rss_set } kind;
    TunnelType type = TunnelType::vxlan_ipv4;
    uint16_t port = 0;
    RssMode rss = RssMode::outer;
};

const char* type_word(TunnelType type) { return type == TunnelType::vxlan_ipv6 ? "vxlan_ipv6" : "vxlan_ipv4"; }
const char* rss_word(RssMode mode) { return mode == RssMode::inner ? "inner" : "outer"; }

// The request the words make; nullopt for a syntax error. A port out of range is
// reported here and ends the command with `*status`.
std::optional<TunnelRequest> parse(const std::vector<std::string>& w, int* status) {
    TunnelRequest req{};
    *status = 0;
    if (w.empty()) return std::nullopt;
    if (w[0] == "rss_mode") {
        if (w.size() == 1) return TunnelRequest{.kind = TunnelRequest::Kind::rss_query};
        if (w.size() != 2 || (w[1] != "inner" && w[1] != "outer")) return std::nullopt;
        req.kind = TunnelRequest::Kind::rss_set;
        req.rss = w[1] == "inner" ? RssMode::inner : RssMode::outer;
        return req;
    }
    if (w[0] != "vxlan_ipv4" && w[0] != "vxlan_ipv6") return std::nullopt;
    req.type = w[0] == "vxlan_ipv6" ? TunnelType::vxlan_ipv6 : TunnelType::vxlan_ipv4;
    if (w.size() > 3 || (w.size() >= 2 && w[1] != "dst_port")) return std::nullopt;
    if (w.size() < 3) {
        req.kind = TunnelRequest::Kind::port_query;
        return req;
    }
    const auto port = decimal_arg(w[2], kMaxTunnelPort);
    if (!port) {
        *status = argument_error("Error: Invalid destination port. Valid range is from 0 to 65534.\n");
        return std::nullopt;
    }
    req.port = static_cast<uint16_t>(*port);
    req.kind = req.port == 0 ? TunnelRequest::Kind::port_free : TunnelRequest::Kind::port_set;
    return req;
}

int run(ParsedCommand& parsed, const TunnelRequest& req, Report& r) {
    const device::InventoryFunction* dev = feature::open_on_device(parsed, r);
    if (!dev) return -1;
    const transport::Function& fn = dev->function;
    using Kind = TunnelRequest::Kind;

    if (req.kind == Kind::rss_query || req.kind == Kind::rss_set) {
        if (req.kind == Kind::rss_set) {
            r.data()["rss_mode"] = rss_word(req.rss);
            const Result rc = device::zeltnvm_config_rss_mode(fn, req.rss);
            if (!rc.ok()) return zeltnvm_display_error_msg(parsed.command, rc.code());
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Command executed successfully.\n");
            return 0;
        }
        std::optional<RssMode> mode;
        const Result rc = device::zeltnvm_query_rss_mode(fn, &mode);
        if (!rc.ok()) return zeltnvm_display_error_msg(parsed.command, rc.code());
        r.data()["rss_mode"] = mode ? report::Json(rss_word(*mode)) : report::Json(nullptr);
        r.text(ZELT_LOC_BOTH, "RSS Mode : %s\n", mode ? rss_word(*mode) : "N/A");
        return 0;
    }

    r.data()["tunnel_type"] = type_word(req.type);
    device::TunnelPort current;
    Result rc = device::zeltnvm_query_tunnel_port(fn, req.type, &current);
    if (!rc.ok()) return zeltnvm_display_error_msg(parsed.command, rc.code());
    switch (req.kind) {
        case Kind::port_query:
            r.data()["port"] = current.port == 0 ? report::Json(nullptr) : report::Json(current.port);
            r.text(ZELT_LOC_BOTH, "Custom Tunnel Destination Port :%d\n", current.port);
            return 0;
        case Kind::port_set:
            r.data()["port"] = current.port == 0 ? report::Json(nullptr) : report::Json(current.port);
            if (current.port != 0) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Tunnel destination port already configured.\n");
                return kTunnelStateConflict;
            }
            rc = device::zeltnvm_alloc_tunnel_port(fn, req.type, req.port);
            break;
        case Kind::port_free:
            r.data()["port"] = current.port == 0 ? report::Json(nullptr) : report::Json(current.port);
            if (current.port == 0) {
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Tunnel destination port not configured.\n");
                return kTunnelStateConflict;
            }
            rc = device::zeltnvm_free_tunnel_port(fn, req.type, current);
            break;
        default: return -1;
    }
    if (!rc.ok()) return zeltnvm_display_error_msg(parsed.command, rc.code());
    r.data()["port"] = req.port == 0 ? report::Json(nullptr) : report::Json(req.port);
    // The IPv4 port is kept in the NVM configuration too, so it survives a reboot.
    if (req.type == TunnelType::vxlan_ipv4) {
        rc = device::zeltnvm_store_vxlan_port_option(fn, req.port);
        if (!rc.ok()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Storing ipv4ovxlan_udp_port failed with status %d\n",
                          rc.code());
            if (rc.code() == ZELT_RC_NOT_PERMITTED)
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                              "This operation does not have administrative privileges for given interface\n");
            return zeltnvm_display_error_msg(parsed.command, rc.code());
        }
    }
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO, "Command executed successfully.\n");
    return 0;
}

}  // namespace

TunnelArgs TunnelArgs::from(const ScanOptions&, const ParsedCommand& parsed) {
    const ArgumentLine line(parsed);
    TunnelArgs args;
    for (int i = 0; i < line.count_after_word(); ++i) args.words.emplace_back(line.after_word(i));
    return args;
}

Report cfgtunnel_command(ParsedCommand& parsed, const TunnelArgs& args) {
    Report r = report::open_report(parsed);
    // Every word is checked before anything is sent.
    int status = 0;
    const auto req = parse(args.words, &status);
    if (!req) {
        if (status != 0) return r.ends(status);
        zeltnvm_print_syntax_error(parsed.command);
        return r.ends(-1);
    }
    return r.ends(run(parsed, *req, r));
}

}  // namespace zelt::cli
