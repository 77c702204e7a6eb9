// Reading the level mask out of the configuration file's text.
#pragma once

#include <cstdio>

// The mask of the first line that names ZELT_NVM_LOG_LEVEL: the text after '=' up to
// the next blank, read as a hexadecimal number. 0 when no line names it. Lines are
// read in pieces of at most 255 characters.
unsigned zeltnvm_parse_log_level(FILE* config);
