// Options: every argument that begins with '-'. Leading dashes are stripped, so
// "--dev=x" and "-dev=x" are the same option; the first matching rule wins.
#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "cli/command_registry.h"
#include "cli/device_queries.h"
#include "cli/device_selection.h"
#include "cli/scan_state.h"
#include "common/directory_types.h"
#include "host/host.h"
#include "log/print.h"

namespace zelt::cli {
namespace {

constexpr int kBadSelectorResult = 8;
constexpr int kUsageResult = 30;
constexpr int kBadTypeResult = 13;
constexpr int kBadOptionResult = 16;
constexpr unsigned kMaxSelectableType = 65534;
constexpr unsigned kMaxNamedType = 65535;

bool starts_with(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A whole number in C form: decimal, hexadecimal after "0x", octal after a leading 0.
bool parse_number(const char* text, unsigned long max, unsigned long* value) {
    if (!text || !is_digit(*text)) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long v = std::strtoul(text, &end, 0);
    if (errno != 0 || *end != '\0' || v > max) return false;
    *value = v;
    return true;
}

StepResult type_used_twice() {
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "!Only one -type or -all option may be used at a time.\n");
    return kUsageResult;
}

StepResult type_option(ScanState& s, const char* value) {
    if (s.opts.type != 0) return type_used_twice();
    if (*value == '\0' || std::strcmp(value, "?") == 0) {
        print_directory_type_list();
        return 0;
    }
    unsigned long type = 0;
    if (is_digit(*value)) {
        if (!parse_number(value, ULONG_MAX, &type) || type == 0 || type > kMaxSelectableType) type = 0;
    } else if (strcasecmp(value, "all") == 0) {
        s.opts.type = -1;
        return std::nullopt;
    } else {
        type = zeltnvmDirectoryTypeByName(value, kMaxSelectableType);
    }
    if (type == 0) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "!unrecognized directory type: '%s'\n", value);
        return kBadTypeResult;
    }
    s.opts.type = static_cast<int32_t>(type);
    return std::nullopt;
}

StepResult number_option(const char* name, const char* value, uint16_t* field) {
    unsigned long v = 0;
    if (!parse_number(value, 0xFFFF, &v)) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid value of -%s: '%s', use -h for help.\n", name, value);
        return kBadOptionResult;
    }
    *field = static_cast<uint16_t>(v);
    return std::nullopt;
}

StepResult device_option(ScanState& s, const char* selector) {
    if (std::strcmp(selector, "?") == 0) {
        // The short listing is listdev's: its report says so.
        s.parsed.run->set_command("listdev");
        return list_devices(s.parsed.context->host, *s.parsed.inventory, ListingForm::kShort, *s.parsed.run);
    }
    std::string name;
    const device::InventoryFunction* found = select_device(*s.parsed.inventory, selector, name);
    if (!found) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Invalid or unsupported device selector: '%s'\n", selector);
        return kBadSelectorResult;
    }
    s.parsed.select(*found, std::move(name));
    return std::nullopt;
}

StepResult savemac_option(ScanState& s) {
    if (!s.parsed.device) {
        zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "device information missing \n");
        return kUsageResult;
    }
    // The words are no longer used by the install flow: only the note remains.
    zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_INFO,
                  "\nNote: savemac option is deprecated. By default package update will save and restore the "
                  "device macaddresses.\n");
    return std::nullopt;
}

// -<type name>[:<ordinal>]. Returns false when the text names no directory type.
bool type_name_option(ScanState& s, const char* text, StepResult* result) {
    const char* colon = std::strchr(text, ':');
    std::string name = colon ? std::string(text, static_cast<size_t>(colon - text)) : std::string(text);
    unsigned type = zeltnvmDirectoryTypeByName(name.c_str(), kMaxNamedType);
    if (type == 0) return false;
    if (s.opts.type != 0) {
        *result = type_used_twice();
        return true;
    }
    s.opts.type = static_cast<int32_t>(type);
    if (colon && is_digit(colon[1])) {
        s.opts.ordinal = static_cast<uint16_t>(std::strtoul(colon + 1, nullptr, 0));
    }
    return true;
}

// Single-letter flags, read left to right.
StepResult flag_letters(ScanState& s, const char* text) {
    if (starts_with(text, "margin")) return std::nullopt;  // read by position by the eye diagrams
    char previous = '\0';
    for (const char* p = text; *p; ++p) {
        switch (*p) {
            case 'h':
            case '?': return zeltnvm_display_help(0);
            case 'V': s.opts.verbosity = 0xFFFFFFFFu; break;
            case 'v': ++s.opts.verbosity; break;
            case 'q':
                s.parsed.context->host.discard_stream(previous == 'q' ? stderr : stdout);
                break;
            default:
                zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Option not supported: '%s', use -h for help.\n", p);
                return kBadOptionResult;
        }
        previous = *p;
    }
    return std::nullopt;
}

}  // namespace

StepResult scan_option(ScanState& s, std::size_t index) {
    const char* o = s.parsed.words[index].c_str();
    while (*o == '-') ++o;
    ScanOptions& opts = s.opts;

    if (starts_with(o, "dev=")) return device_option(s, o + 4);
    if (starts_with(o, "savemac")) return savemac_option(s);
    if (starts_with(o, "type=")) return type_option(s, o + 5);
    if (starts_with(o, "ext=")) return number_option("ext", o + 4, &opts.ext);
    if (starts_with(o, "ord=")) return number_option("ord", o + 4, &opts.ordinal);
    if (starts_with(o, "attr=")) return number_option("attr", o + 5, &opts.attr);
    if (std::strcmp(o, "json") == 0) {
        // Taken before the scan: the run's output is JSON.
    } else if (std::strcmp(o, "tab") == 0) {
        opts.tab = true;
    } else if (std::strcmp(o, "num") == 0) {
        opts.numeric = true;
    } else if (std::strcmp(o, "all") == 0) {
        if (opts.type != 0) return type_used_twice();
        opts.type = -1;
    } else if (std::strcmp(o, "debug") == 0) {
        opts.debug = true;
    } else if (starts_with(o, "tot")) {
        opts.totals = true;
    } else if (std::strcmp(o, "force") == 0) {
        opts.force = true;
    } else if (std::strcmp(o, "continue") == 0) {
        opts.cont = true;
    } else if (std::strcmp(o, "noverify") == 0) {
        opts.verify = false;
    } else if (std::strcmp(o, "noidcheck") == 0) {
        opts.noidcheck = true;
    } else if (std::strcmp(o, "sort") == 0) {
        opts.sort = "toe";
    } else if (starts_with(o, "sort=")) {
        opts.sort = o + 5;
    } else if (strcasecmp(o, "y") == 0 || strcasecmp(o, "yes") == 0) {
        opts.prompt = true;
    } else if (std::strcmp(o, "online") == 0) {
        opts.online = true;
    } else if (std::strcmp(o, "recovery") == 0) {
        opts.recovery = true;
    } else if (std::strcmp(o, "plan") == 0) {
        opts.plan = true;
    } else if (std::strcmp(o, "dec") == 0) {
        opts.dec = true;
    } else {
        StepResult r;
        if (type_name_option(s, o, &r)) return r;
        return flag_letters(s, o);
    }
    return std::nullopt;
}

void print_directory_type_list() {
    constexpr int kWidth = 12;
    static const char kDashes[] = "--------------------------------";
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "num   %-*s  description\n", kWidth, "name");
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "---   %-.*s  -----------\n", kWidth, kDashes);
    for (unsigned t = 1; t <= kMaxNamedType; ++t) {
        const char* name = zeltnvmDirectoryTypeName(t);
        if (!name) continue;
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "%-5u %-*s  %s\n", t, kWidth, name,
                      zeltnvmDirectoryTypeDesc(t).c_str());
    }
}

}  // namespace zelt::cli
