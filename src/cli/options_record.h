// The options of one run, filled by the argument scan and read by every handler.
#pragma once

#include <cstdint>

struct options {
    uint32_t verbosity;     // -v adds 1 per v, -V sets all bits
    bool tab;               // -tab: listings separate columns by tabs
    bool numeric;           // -num: directory types by number
    int32_t diff_size;      // word width in bits of difference output (not set by the scan)
    int32_t type;           // NVM directory type selected; -1 all types; 0 none
    uint16_t ext;           // -ext=
    uint16_t ordinal;       // -ord=, -<type name>:<n>
    uint16_t attr;          // -attr=
    bool debug;             // -debug
    bool force;             // -force (and a fourth argument of setoption/getoption/optionhelp)
    bool cont;              // -continue
    bool verify;            // starts true; -noverify clears it
    bool noidcheck;         // -noidcheck
    bool totals;            // -tot...
    const char* sort;       // -sort ("toe"), -sort=<pattern>
    const char* arg;        // text after '=' in the command word, or install's first file
    bool dec;               // -dec
    char save_opts[4][30];  // -savemac... words
    bool flag;              // listdev, -dev=?: short listing
    int32_t install_count;  // kept by the install flow
    bool prompt;            // -y, -yes
    bool full_eye_proj;     // full eye projection (not set by the scan)
    bool online;            // -online
    bool recovery;          // -recovery
};

// Longest argument the front end accepts, plus one.
constexpr int ZELT_ARG_LEN = 256;
// Most arguments the front end accepts, the program name and a device selector taken
// for the command included.
constexpr int ZELT_MAX_ARGS = 256;
// Entries in the file list.
constexpr int ZELT_MAX_FILES = 1000;
