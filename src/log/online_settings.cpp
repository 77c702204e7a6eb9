#include <sys/types.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "log/log_config.h"

namespace zelt::log {

namespace {

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A decimal number from 1 to `largest`; 0 when the text is not one.
uint64_t number_in_range(std::string_view text, uint64_t largest) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    errno = 0;
    const unsigned long long value = std::strtoull(std::string(text).c_str(), nullptr, 10);
    if (errno != 0 || value > largest) return 0;
    return value;
}

}  // namespace

OnlineSettings parse_online_settings(FILE* config) {
    OnlineSettings settings;
    bool url_seen = false, size_seen = false, timeout_seen = false;
    char* line = nullptr;
    size_t capacity = 0;
    ssize_t length;
    while ((length = ::getline(&line, &capacity, config)) >= 0) {
        const std::string_view text(line, static_cast<size_t>(length));
        const size_t eq = text.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = trimmed(text.substr(0, eq));
        const std::string_view value = trimmed(text.substr(eq + 1));
        if (key == kOnlineUrlKey && !url_seen) {
            url_seen = true;
            settings.base_url = value;
        } else if (key == kOnlineMaxBytesKey && !size_seen) {
            size_seen = true;
            const uint64_t n = number_in_range(value, kOnlineLargestMaxBytes);
            if (n != 0) settings.max_bytes = n;
            else if (settings.invalid_key.empty()) settings.invalid_key = kOnlineMaxBytesKey;
        } else if (key == kOnlineTimeoutKey && !timeout_seen) {
            timeout_seen = true;
            const uint64_t n = number_in_range(value, kOnlineLargestTimeoutSeconds);
            if (n != 0) settings.timeout_seconds = static_cast<unsigned>(n);
            else if (settings.invalid_key.empty()) settings.invalid_key = kOnlineTimeoutKey;
        }
    }
    std::free(line);
    return settings;
}

}  // namespace zelt::log
