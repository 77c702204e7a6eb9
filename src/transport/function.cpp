#include "transport/function.h"

#include <cstdio>

#include "common/hvxretval.h"
#include "transport/answer_text.h"

namespace zelt::transport {
namespace {

constexpr std::string_view kPciWindowMarker = "zelt_pci_dev";

}  // namespace

std::string pci_window_name(const PciAddress& a) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*s:%x:%x:%x.%x", static_cast<int>(kPciWindowMarker.size()),
                  kPciWindowMarker.data(), a.domain, a.bus, a.device, a.function);
    return text;
}

bool is_pci_window_name(std::string_view name) { return name.find(kPciWindowMarker) != std::string_view::npos; }

std::optional<PciAddress> parse_pci_window_name(std::string_view name) {
    const size_t at = name.find(kPciWindowMarker);
    if (at == std::string_view::npos) return std::nullopt;
    std::string_view rest = name.substr(at + kPciWindowMarker.size());
    if (rest.empty() || rest.front() != ':') return std::nullopt;
    PciAddress address;
    if (!zeltParsePciSlot(rest.substr(1), address)) return std::nullopt;
    return address;
}

}  // namespace zelt::transport

namespace zelt::transport {

Result platform_offers(const Function& fn, PlatformOperation operation) {
    if (fn.channel && !fn.channel->offers(operation)) return Result::tool(HVXRETVAL_UNSUPPORTED_PLATFORM);
    return Result();
}

}  // namespace zelt::transport
