// The one print routine of the utility, and the log file it writes to.
//
// Every message goes to the console, to the log file, or to both. The log receives a
// message only when its level is enabled by the level mask of the configuration file
// "/etc/zeltnvm.conf"; the log itself is "/var/log/zeltnvm.log". Both paths are host
// paths, so a simulated host keeps them under its root.
#pragma once

#include <cstdio>

namespace zelt::host {
class Host;
}  // namespace zelt::host

namespace zelt {

// Where a message goes.
constexpr int ZELT_LOC_CONSOLE = 1;
constexpr int ZELT_LOC_LOG = 2;
constexpr int ZELT_LOC_BOTH = 3;

// Message levels; also the bits of the configured level mask.
constexpr int ZELT_LVL_ERROR = 1;
constexpr int ZELT_LVL_DEBUG = 2;
constexpr int ZELT_LVL_INFO = 4;

// Configuration and log file paths on the host.
inline constexpr const char* ZELT_CONFIG_PATH = "/etc/zeltnvm.conf";
inline constexpr const char* ZELT_LOG_PATH = "/var/log/zeltnvm.log";

// Content written to the configuration file when it is missing.
extern const char* const ZELT_DEFAULT_CONFIG;

// Prints a formatted message. `location`: ZELT_LOC_*; `level`: ZELT_LVL_*.
// Console: information messages go to standard output, all others to standard error.
// Log: error and debug messages are preceded by the local time in ctime form, three
// blanks and "ERROR:" or "DEBUG:"; information messages are written as they are.
// Callers supply their own line feeds. Write errors are ignored.
void zeltnvm_print(int location, int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Reads the level mask from the configuration file (creating the file with the
// default content when it is missing, in which case no log is opened), then opens
// the log for appending when the mask is not 0. Called once at start-up with the
// run's host: its files hold the configuration and the log, its clock stamps the
// log's lines until the log is closed. The lock wait the configuration sets is set
// on that host. `log_path`: where the log is kept (a relative path is taken in the
// working directory).
void zeltnvm_open_log_file(host::Host& host, const char* log_path = ZELT_LOG_PATH);
// Closes the log; does nothing when none is open.
void zeltnvm_close_log_file();

// Level mask read from the configuration file (0 until it has been read).
unsigned zeltnvm_log_level_mask();
// The open log file, or nullptr.
FILE* zeltnvm_log_stream();

}  // namespace zelt
