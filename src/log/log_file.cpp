#include "log/print.h"

#include <sys/types.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <span>
#include <string_view>

#include "host/host.h"
#include "host/output_file.h"
#include "host/owned_file.h"
#include "log/log_config.h"
#include "log/log_state.h"

namespace zelt {

const char* const ZELT_DEFAULT_CONFIG =
    "#zeltnvm configuration file v1.0\n"
    "\n"
    "#Supported values for zeltnvm log level\n"
    "#0 - Disabled\n"
    "#1 - Error\n"
    "#2 - Debug\n"
    "#3 - Error | Debug\n"
    "#4 - Information\n"
    "#5 - Error | Information\n"
    "#6 - Debug | Information\n"
    "#7 - Error | Debug | Information\n"
    "ZELT_NVM_LOG_LEVEL=7\n";

namespace log {

namespace {

// Owner read and write, group read: the log names devices and what was done to them.
constexpr mode_t kLogFileMode = 0640;

}  // namespace

LogState& state() {
    static LogState s;
    return s;
}

ConsoleSink* set_console_sink(ConsoleSink* sink) {
    ConsoleSink* previous = state().sink;
    state().sink = sink;
    return previous;
}

namespace {

// Parent directory of an absolute path ("/var/log" for "/var/log/zeltnvm.log").
std::string parent_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (!slash || slash == path) return "/";
    return std::string(path, static_cast<size_t>(slash - path));
}

// Writes the default configuration. Under a simulated root the directory may not
// exist yet; on a real host it always does.
void create_default_config(host::Host& h) {
    h.make_directories(parent_of(ZELT_CONFIG_PATH));
    // Renamed into place whole: a run starting beside this one reads the whole default.
    const std::string_view text(ZELT_DEFAULT_CONFIG);
    host::write_file_replacing(h, ZELT_CONFIG_PATH,
                               std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace
}  // namespace log

unsigned zeltnvm_parse_log_level(FILE* config) {
    char line[256];
    while (std::fgets(line, sizeof line, config)) {
        size_t len = std::strlen(line);
        // Only a line feed is dropped, so a last line without one keeps its value.
        if (len > 0 && line[len - 1] == '\n') line[--len] = '\0';
        if (!std::strstr(line, "ZELT_NVM_LOG_LEVEL")) continue;
        const char* eq = std::strchr(line, '=');
        if (!eq) return 0;
        ++eq;
        std::string value(eq, std::strcspn(eq, " \t"));
        return static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 16));
    }
    return 0;
}

namespace log {

std::optional<unsigned> parse_lock_wait_seconds(FILE* config) {
    constexpr std::string_view kKey = "lock_wait_seconds=";
    constexpr unsigned long kMostSeconds = 86'400;
    char line[256];
    while (std::fgets(line, sizeof line, config)) {
        const std::string_view text(line, std::strcspn(line, "\r\n"));
        if (text.substr(0, kKey.size()) != kKey) continue;
        const std::string_view digits = text.substr(kKey.size());
        if (digits.empty() || digits.size() > 5 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        const unsigned long seconds = std::strtoul(std::string(digits).c_str(), nullptr, 10);
        if (seconds > kMostSeconds) return std::nullopt;
        return static_cast<unsigned>(seconds);
    }
    return std::nullopt;
}

}  // namespace log

void zeltnvm_open_log_file(host::Host& h, const char* log_path) {
    zelt::log::LogState& s = zelt::log::state();
    if (s.log) return;  // opened once per run

    FILE* conf = h.open_file(ZELT_CONFIG_PATH, "r");
    if (!conf) {
        // Only a missing file is created; an unreadable one is left alone.
        if (!h.exists(ZELT_CONFIG_PATH)) zelt::log::create_default_config(h);
        return;
    }
    s.level_mask = zeltnvm_parse_log_level(conf);
    std::rewind(conf);
    if (const auto wait = zelt::log::parse_lock_wait_seconds(conf)) h.set_lock_wait_ms(*wait * 1000);
    std::fclose(conf);
    if (s.level_mask == 0) return;

    if (std::strchr(log_path, '/')) h.make_directories(zelt::log::parent_of(log_path));
    const host::OwnedFile opened = host::open_owned_append(h, log_path, zelt::log::kLogFileMode);
    s.log = opened.file;
    if (s.log) {
        s.host = &h;
    } else if (opened.outcome == host::OwnedOpen::kRefused) {
        // Someone else's file, or a link, where the log should be: the run goes on without
        // a log rather than write where that file leads. The log only records; no command
        // depends on it, and stopping would let whoever planted the file stop every update.
        std::fprintf(stderr,
                     "WARNING: %s is not a regular file of this user; running without the log file.\n",
                     log_path);
    } else {
        // On standard output like any console message, so a sink sees it too.
        constexpr const char* kText = "ERROR: Log file creation failed\n";
        if (!s.sink || s.sink->console_message(ZELT_LVL_INFO, kText)) std::fputs(kText, stdout);
        std::fflush(stdout);
    }
}

void zeltnvm_close_log_file() {
    auto& s = zelt::log::state();
    if (!s.log) return;
    std::fclose(s.log);
    s.log = nullptr;
    s.host = nullptr;
}

unsigned zeltnvm_log_level_mask() { return zelt::log::state().level_mask; }

FILE* zeltnvm_log_stream() { return zelt::log::state().log; }

}  // namespace zelt
