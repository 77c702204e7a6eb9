// What the argument scan reads from the options of the command line. The record is
// the scan's own: each command's row turns it into the handler's argument struct, and
// no handler sees the record itself.
#pragma once

#include <cstdint>

namespace zelt::cli {

struct ScanOptions {
    uint32_t verbosity = 0;      // -v adds 1 per v, -V sets all bits
    bool tab = false;            // -tab: listings separate columns by tabs
    bool numeric = false;        // -num: directory types by number
    int32_t type = 0;            // NVM directory type selected; -1 all types; 0 none
    uint16_t ext = 0;            // -ext=
    uint16_t ordinal = 0;        // -ord=, -<type name>:<n>
    uint16_t attr = 0;           // -attr=
    bool debug = false;          // -debug
    bool force = false;          // -force (and a -force word the option rule counts)
    bool cont = false;           // -continue
    bool verify = true;          // -noverify clears it
    bool noidcheck = false;      // -noidcheck
    bool totals = false;         // -tot...
    const char* sort = nullptr;  // -sort ("toe"), -sort=<pattern>
    const char* arg = nullptr;   // text after '=' in the command word
    bool dec = false;            // -dec
    bool prompt = false;         // -y, -yes
    bool online = false;         // -online
    bool recovery = false;       // -recovery
    bool plan = false;           // -plan: install shows what it would do, writing nothing
};

// Longest argument the front end accepts, plus one.
constexpr int ZELT_ARG_LEN = 256;
// Most arguments the front end accepts, the program name and a device selector taken
// for the command included.
constexpr int ZELT_MAX_ARGS = 256;
// Entries in the file list.
constexpr int ZELT_MAX_FILES = 1000;

}  // namespace zelt::cli
