// Reading the level mask out of the configuration file's text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace zelt {

// The mask of the first line that names ZELT_NVM_LOG_LEVEL: the text after '=' up to
// the next blank, read as a hexadecimal number. 0 when no line names it. Lines are
// read in pieces of at most 255 characters.
unsigned zeltnvm_parse_log_level(FILE* config);

// The wait for a lock held by another process of the tool, in seconds, from the first
// line "lock_wait_seconds=<n>" (n decimal, at most 86400). No value when no line sets a
// valid one: the built-in wait applies.
namespace log {
std::optional<unsigned> parse_lock_wait_seconds(FILE* config);

// Configuration keys of the online update.
inline constexpr const char* kOnlineUrlKey = "ZELT_NVM_ONLINE_URL";
inline constexpr const char* kOnlineMaxBytesKey = "ZELT_NVM_ONLINE_MAX_BYTES";
inline constexpr const char* kOnlineTimeoutKey = "ZELT_NVM_ONLINE_TIMEOUT";
inline constexpr uint64_t kOnlineDefaultMaxBytes = 64ull << 20;
inline constexpr uint64_t kOnlineLargestMaxBytes = UINT32_MAX;  // the largest package file read
inline constexpr unsigned kOnlineDefaultTimeoutSeconds = 300;
inline constexpr unsigned kOnlineLargestTimeoutSeconds = 86'400;

// The online update's settings: the first line "<key>=<value>" of each key, wherever
// it stands in the file (the line naming the log level ends only the search for the log
// level). Lines are read whole, so a long address is never cut. Blanks around the value
// are dropped.
struct OnlineSettings {
    std::string base_url;  // the document-search service; empty when not configured
    uint64_t max_bytes = kOnlineDefaultMaxBytes;             // largest download, in bytes
    unsigned timeout_seconds = kOnlineDefaultTimeoutSeconds;  // longest download
    // The first key whose value is not a number in its range ("" when none): a wrong
    // limit is refused, not replaced by the default.
    std::string invalid_key;
};
OnlineSettings parse_online_settings(FILE* config);
}  // namespace log

}  // namespace zelt
