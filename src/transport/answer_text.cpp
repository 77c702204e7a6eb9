#include "transport/answer_text.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

// One hexadecimal number at the start of `text`, advancing past it.
bool takeHex(std::string_view& text, uint32_t& value) {
    // Leading blanks are accepted, as a scanf conversion would.
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (ec != std::errc() || end == text.data()) return false;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return true;
}

bool takeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

bool takeDecimal(std::string_view& text, uint32_t& value, size_t& digits) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    if (ec != std::errc() || end == text.data()) return false;
    digits = static_cast<size_t>(end - text.data());
    text.remove_prefix(digits);
    return true;
}

}  // namespace

namespace zelt::transport {

bool zeltParsePciSlot(std::string_view text, zelt::PciAddress& slot) {
    zelt::PciAddress s;
    if (!takeHex(text, s.domain) || !takeChar(text, ':') || !takeHex(text, s.bus) || !takeChar(text, ':') ||
        !takeHex(text, s.device) || !takeChar(text, '.') || !takeHex(text, s.function))
        return false;
    slot = s;
    return true;
}

SlotLine zeltUeventPciSlot(std::string_view uevent, zelt::PciAddress& slot) {
    constexpr size_t kLine = 255;
    while (!uevent.empty()) {
        size_t nl = uevent.find('\n');
        size_t take = std::min(nl == std::string_view::npos ? uevent.size() : nl + 1, kLine);
        std::string_view line = uevent.substr(0, take);
        uevent.remove_prefix(take);
        if (line.find("PCI_SLOT_NAME") == std::string_view::npos) continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) return SlotLine::kMalformed;
        return zeltParsePciSlot(line.substr(eq + 1), slot) ? SlotLine::kFound : SlotLine::kMalformed;
    }
    return SlotLine::kAbsent;
}

std::string_view zeltFieldText(const char* field, size_t size) {
    const void* nul = std::memchr(field, '\0', size);
    return {field, nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : size};
}

std::string zeltFirmwareVersionText(std::string_view fw_version) {
    fw_version = fw_version.substr(0, std::min<size_t>(fw_version.size(), 31));
    return std::string(fw_version.substr(0, fw_version.find('/')));
}

bool zeltPackageVersionText(std::string_view fw_version, std::string& version) {
    size_t at = fw_version.find("pkg ");
    if (at == std::string_view::npos) return false;
    version.assign(fw_version.substr(at + 4));
    return true;
}

bool zeltParseKernelRelease(std::string_view release, uint32_t& major, uint32_t& minor) {
    uint32_t a = 0, b = 0, c = 0;
    size_t a_digits = 0, b_digits = 0, c_digits = 0;
    if (!takeDecimal(release, a, a_digits) || !takeChar(release, '.') || !takeDecimal(release, b, b_digits))
        return false;
    if (takeChar(release, '.') && !takeDecimal(release, c, c_digits)) c = 0;
    // "5" and "15" written one after the other.
    uint64_t joined = a;
    for (size_t i = 0; i < b_digits; ++i) joined *= 10;
    joined += b;
    if (joined > UINT32_MAX) return false;
    major = static_cast<uint32_t>(joined);
    minor = c;
    return true;
}

bool zeltLineRateForSpeed(uint16_t link_speed, double& line_rate) {
    switch (link_speed) {
        case 100:
        case 400: line_rate = 10312500000.0; return true;
        case 200: line_rate = 20625000000.0; return true;
        case 250:
        case 500:
        case 1000: line_rate = 25781250000.0; return true;
        case 2000: line_rate = 212500000000.0; return true;
        default: return false;
    }
}

}  // namespace zelt::transport
