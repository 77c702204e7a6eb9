// The firmware's install log: one tab-separated line per installation.
#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "sim/firmware/install_staged.h"

namespace zelt::sim {

namespace {

std::string field_text(const std::string& text) {
    if (text.empty()) return "N/A";
    std::string out = text.substr(0, 127);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

std::string time_text(uint64_t when_us) {
    time_t t = static_cast<time_t>(when_us / 1000000u);
    struct tm tm {};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

}  // namespace

std::string install_log_line(const InstallLogFields& f) {
    char checksum[16] = "N/A";
    if (f.has_checksum) std::snprintf(checksum, sizeof checksum, "%08X", f.checksum);
    char mask[24];
    std::snprintf(mask, sizeof mask, "0x%" PRIx64, f.installed_mask);
    return time_text(f.when_us) + "\t" + field_text(f.description) + "\t" + field_text(f.version) + "\t" +
           field_text(f.pkg_timestamp) + "\t" + field_text(f.status) + "\t" + checksum + "\t" +
           std::to_string(f.installed_items) + "\t" + mask + "\t" + std::to_string(f.install_type) + "\t" +
           "zelt_fw" + "\tF\n";
}

std::string append_install_log(const std::vector<uint8_t>& old_log, const std::string& line) {
    size_t n = old_log.size();
    while (n > 0 && (old_log[n - 1] == 0xFF || old_log[n - 1] == 0x00)) --n;
    std::string text(old_log.begin(), old_log.begin() + static_cast<long>(n));
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += line;
    while (text.size() > kInstallLogLimit) {
        size_t eol = text.find('\n');
        if (eol == std::string::npos || eol + 1 >= text.size()) break;  // keep the newest entry whole
        text.erase(0, eol + 1);
    }
    return text;
}

}  // namespace zelt::sim
