// Reading the level mask out of the configuration file's text.
#pragma once

#include <cstdio>
#include <optional>

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
}  // namespace log

}  // namespace zelt
