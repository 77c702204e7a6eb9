#include "cli/nvm_listing/nvm_listing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "cli/command_table.h"
#include "cli/report/command_report.h"
#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_item_version.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/verify_item.h"
#include "formats/vpd/vpd.h"
#include "log/print.h"
#include "package/item_check.h"
#include "package/package_text.h"

namespace zelt::cli {

namespace {

using report::Json;
using report::Report;
using transport::Function;

// Types whose contents verify does not check: they change while the adapter runs or
// hold no image (staging, configuration journals and tables, crash-dump data).
constexpr uint16_t kUncheckedTypes[] = {ZEL_DIR_TYPE_UPDATE,      45, ZEL_DIR_TYPE_SYSTEM_CFG,
                                        ZEL_DIR_TYPE_FACTORY_CFG, 60, ZEL_DIR_TYPE_CRASH_DUMP_DATA,
                                        82};
constexpr uint8_t kErasedByte = 0xFF;

std::string hex8(uint32_t v) {
    char b[12];
    std::snprintf(b, sizeof b, "%08X", v);
    return b;
}

// True when the entry passes the -type= filter; deleted entries (type 0) only with -all.
bool passes(const zelnvm_directory_entry_t& e, int32_t type) {
    if (e.type == 0) return type == -1;
    return type == 0 || type == -1 || e.type == static_cast<uint32_t>(type);
}

// The item's versions read from the NVM: the primary one, then one secondary selector
// per verbosity level, stopping at the first that does not exist.
std::string nvm_versions(const Function& fn, const zelnvm_directory_entry_t& e, uint32_t verbosity) {
    std::string joined;
    char text[256];
    for (uint32_t selector = 0; selector <= verbosity; ++selector) {
        if (!device::zeltnvmGetItemVersionString(fn, e.type, e.ordinal, e.ext, static_cast<int>(selector), text,
                                                 sizeof text)
                 .ok())
            break;
        if (selector > 0) joined += ", ";
        joined += text;
    }
    return joined;
}

class Table {
public:
    Table(const NvmListArgs& args, bool numbered)
        : a_(args), numbered_(numbered), type_width_(args.numeric ? 4 : 12),
          version_width_(args.verbosity >= 1 ? 40 : 16) {}

    std::string heading(int version_width = 0) const {
        if (a_.tab) return {};
        const int vw = version_width ? version_width : version_width_;
        std::string h = numbered_ ? "item " : "";
        char buf[160];
        std::snprintf(buf, sizeof buf, "%-*s ord.ext    data/length  attr %-*s", type_width_, "type", vw, "version");
        h += buf;
        if (a_.verbosity >= 3) h += "  chksum   offset ";
        if (a_.verbosity >= 2) h += " description";
        return h + "\n";
    }

    // One entry's row and its JSON object.
    std::string row(uint32_t index, const zelnvm_directory_entry_t& e, const std::string& versions, Json& object,
                    int version_width = 0) const {
        const int vw = version_width ? version_width : version_width_;
        std::string line;
        char buf[512];
        if (numbered_) {
            std::snprintf(buf, sizeof buf, "%4d ", static_cast<int>(index + 1));
            line += buf;
        }
        const char* name = zeltnvmDirectoryTypeName(e.type);
        std::string type_text;
        if (a_.numeric) {
            type_text = std::to_string(e.type);
        } else if (name) {
            type_text = name;
        } else {
            std::snprintf(buf, sizeof buf, "Unknown[%u]", e.type);
            type_text = buf;
        }
        // Laid out as the package file listing lays out its rows: a name is padded and
        // followed by a blank (with -tab too), a number (-num) is not.
        if (a_.tab && a_.numeric) {
            line += type_text;
        } else {
            std::snprintf(buf, sizeof buf, a_.numeric ? "%-*.*s" : "%-*.*s ", type_width_, type_width_,
                          type_text.c_str());
            line += buf;
        }
        std::snprintf(buf, sizeof buf, a_.tab ? "\t%d\t%hX\t%u\t%u\t%hX" : " %3d.%-4hX%7u/%-7u %04hX", e.ordinal,
                      e.ext, e.data_length, e.item_length, e.attr);
        line += buf;
        if (a_.tab)
            std::snprintf(buf, sizeof buf, "\t%s", versions.c_str());
        else
            std::snprintf(buf, sizeof buf, " %-*.*s", vw, vw, versions.c_str());
        line += buf;
        if (a_.verbosity >= 3) {
            std::snprintf(buf, sizeof buf, a_.tab ? "\t%08X\t%08X" : " %08X %08X", e.data_chksum, e.item_location);
            line += buf;
        }
        const std::string description = zeltnvmDirectoryTypeDesc(e.type);
        if (a_.verbosity >= 2) line += (a_.tab ? "\t" : " ") + description;
        line += '\n';

        object = Json::object();
        object["item"] = index + 1;
        object["type"] = e.type;
        object["type_name"] = name ? Json(name) : Json(nullptr);
        object["ordinal"] = e.ordinal;
        object["ext"] = e.ext;
        object["data_length"] = e.data_length;
        object["item_length"] = e.item_length;
        object["attr"] = e.attr;
        object["versions"] = versions;
        object["checksum"] = hex8(e.data_chksum);
        object["location"] = e.item_location;
        object["description"] = description;
        return line;
    }

    // The totals lines: a dash rule under the length columns, then the sums.
    std::string totals(unsigned long data, unsigned long item) const {
        char buf[96];
        std::string text;
        std::snprintf(buf, sizeof buf, "%26s%.15s\n", "", "---------------");
        text += buf;
        std::snprintf(buf, sizeof buf, a_.tab ? "%lu\t%lu\n" : "%33lu/%lu\n", data, item);
        return text + buf;
    }

private:
    const NvmListArgs& a_;
    bool numbered_;
    int type_width_;
    int version_width_;
};

Json totals_object(unsigned long data, unsigned long item) {
    return Json{{"data_length", data}, {"item_length", item}};
}

// Reads `length` bytes of the item at `index`. 0, MALLOC_FAILURE or the read's result.
int read_item(const Function& fn, uint32_t index, uint32_t length, std::vector<uint8_t>& data) {
    try {
        data.assign(length, 0);
    } catch (const std::bad_alloc&) {
        return HVXRETVAL_MALLOC_FAILURE;
    }
    if (length == 0) return 0;
    return device::zeltnvm_linux_GetItem(fn, index, 0, data.data(), length).code();
}

// The contents view shows after an item's row.
int item_contents(const Function& fn, uint32_t index, const zelnvm_directory_entry_t& e, const NvmListArgs& a,
                  Report& r) {
    const bool log = e.type == ZEL_DIR_TYPE_PKG_LOG;
    const bool firmware = is_signed_firmware_type(e.type);
    const bool vpd = e.type == ZEL_DIR_TYPE_VPD;
    if (e.data_length == 0 || (!log && !firmware && !vpd)) return 0;
    std::vector<uint8_t> data;
    const uint32_t length = firmware ? e.item_length : e.data_length;
    const int rc = read_item(fn, index, length, data);
    if (rc != 0) {
        if (a.debug) {
            if (vpd)
                zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "zeltnvmGetItem(%u, %u) returned %d\n", index, length,
                              rc);
            else
                zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "zeltnvmGetItem(%u, %p, %u) returned %d\n", index,
                              static_cast<void*>(data.data()), length, rc);
        }
        return rc;
    }
    std::string text;
    if (log) {
        const auto end = std::find(data.begin(), data.end(), uint8_t{0});
        text.assign(data.begin(), end);
        if (!text.empty() && text.back() != '\n') text += '\n';
    } else if (firmware) {
        const int32_t report_rc = pkg::firmware_header_report(data.data(), std::min<size_t>(e.data_length, length), text);
        if (report_rc != 0) {
            r.text_raw(ZELT_LOC_CONSOLE, text);
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "!ERROR: %s\n", zelpkgResultDesc(report_rc).c_str());
            return report_rc;
        }
    } else if (data.size() >= VPD_IMAGE_HEADER_SIZE) {
        if (a.verbosity >= 2) {
            uint32_t word;
            std::memcpy(&word, data.data(), sizeof word);
            char buf[48];
            std::snprintf(buf, sizeof buf, "VPD Image Version: %x\n", word);
            text += buf;
        }
        vpd_print(data.data() + VPD_IMAGE_HEADER_SIZE, data.size() - VPD_IMAGE_HEADER_SIZE,
                                static_cast<int>(a.verbosity), text);
    }
    r.text_raw(ZELT_LOC_CONSOLE, text);
    return 0;
}

// The contents check of one entry. 0 or the failure.
int check_contents(const Function& fn, const std::vector<zelnvm_directory_entry_t>& directory, uint32_t index) {
    const zelnvm_directory_entry_t& e = directory[index];
    if (std::find(std::begin(kUncheckedTypes), std::end(kUncheckedTypes), e.type) != std::end(kUncheckedTypes))
        return 0;
    auto found = device::zeltnvmFindDirEntry(directory, e.type, e.ordinal, e.ext, nullptr);
    if (!found.ok()) return found.result().code();
    if (found.value() != index) return HVXRETVAL_DUPLICATE_ITEM;
    if (e.item_length == 0) return HVXRETVAL_ZERO_LENGTH_ITEM;
    std::vector<uint8_t> data;
    if (int rc = read_item(fn, index, e.item_length, data); rc != 0) return rc;
    if (int rc = zeltnvmVerifyItem(data.data(), data.size(), e); rc != 0) return rc;
    for (uint32_t at = e.data_length; at < e.item_length; ++at) {
        if (data[at] != kErasedByte) {
            zeltnvm_print(ZELT_LOC_BOTH, ZELT_LVL_ERROR, "Unused byte at offset %08X contains value: 0x%02X (should be 0x%02X)\n",
                          at, data[at], kErasedByte);
            return HVXRETVAL_UNEXPECTED_DATA;
        }
    }
    return 0;
}

int run_list_or_view(const device::InventoryFunction& target, const NvmListArgs& a, bool view, Report& r) {
    const Function& fn = target.function;
    auto listed = device::zeltnvmListDirectory(fn);
    if (!listed.ok()) {
        if (a.debug)
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "zeltnvmGetDir(%s) returned %d\n", target.name(),
                          listed.result().code());
        return listed.result().code();
    }
    const std::vector<zelnvm_directory_entry_t>& directory = listed.value();
    std::vector<IndexedEntry> entries;
    for (uint32_t i = 0; i < directory.size(); ++i) entries.push_back({i, directory[i]});
    if (!view && !a.sort.empty()) sort_nvm_entries(entries, a.sort);

    const Table table(a, directory.size() > 1);
    if (!view) r.text_raw(ZELT_LOC_CONSOLE, table.heading());
    Json& items = r.data()["items"] = Json::array();
    unsigned long data_total = 0, item_total = 0;
    bool any = false;
    for (const IndexedEntry& ie : entries) {
        const zelnvm_directory_entry_t& e = ie.entry;
        if (!passes(e, a.type)) continue;
        any = true;
        if (view) r.text_raw(ZELT_LOC_CONSOLE, table.heading());
        Json object;
        r.text_raw(ZELT_LOC_CONSOLE, table.row(ie.index, e, nvm_versions(fn, e, a.verbosity), object));
        items.push_back(std::move(object));
        data_total += e.data_length;
        item_total += e.item_length;
        if (view) {
            if (int rc = item_contents(fn, ie.index, e, a, r); rc != 0) return rc;
            if (a.totals) r.text_raw(ZELT_LOC_CONSOLE, table.totals(e.data_length, e.item_length));
        }
    }
    if (!view && a.totals) {
        r.text_raw(ZELT_LOC_CONSOLE, table.totals(data_total, item_total));
        r.data()["totals"] = totals_object(data_total, item_total);
    }
    return any ? 0 : HVXRETVAL_ITEM_NOT_FOUND;
}

int run_verify(const device::InventoryFunction& target, const NvmListArgs& a, Report& r) {
    const Function& fn = target.function;
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "Verifying the NVM components\n");
    auto listed = device::zeltnvmListDirectory(fn);
    if (!listed.ok()) {
        if (a.debug)
            zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "zeltnvmGetDir(%s) returned %d\n", target.name(),
                          listed.result().code());
        return listed.result().code();
    }
    const std::vector<zelnvm_directory_entry_t>& directory = listed.value();
    const Table table(a, directory.size() > 1);
    constexpr int kVerifyVersionWidth = 40;
    if (a.verbosity >= 1) r.text_raw(ZELT_LOC_CONSOLE, table.heading(kVerifyVersionWidth));
    r.data()["verified"] = false;
    r.data()["failing_item"] = nullptr;

    bool any = false;
    for (uint32_t i = 0; i < directory.size(); ++i) {
        const zelnvm_directory_entry_t& e = directory[i];
        if (!passes(e, a.type)) continue;
        any = true;
        if (a.verbosity >= 1) {
            Json object;
            r.text_raw(ZELT_LOC_CONSOLE,
                       table.row(i, e, nvm_versions(fn, e, a.verbosity), object, kVerifyVersionWidth));
            if (a.totals) r.text_raw(ZELT_LOC_CONSOLE, table.totals(e.data_length, e.item_length));
        }
        int rc = check_contents(fn, directory, i);
        if (rc == 0 && overlapping_entry(directory, i) >= 0) rc = HVXRETVAL_OVERLAPPING_ITEM;
        if (rc != 0) {
            r.data()["failing_item"] = i + 1;
            return rc;
        }
    }
    if (!any) return HVXRETVAL_ITEM_NOT_FOUND;
    zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_INFO, "All the NVM components are verified successfully\n");
    r.data()["verified"] = true;
    return 0;
}

}  // namespace

NvmListArgs NvmListArgs::from(const ScanOptions& scan, const ParsedCommand&) {
    NvmListArgs a;
    a.verbosity = scan.verbosity;
    a.tab = scan.tab;
    a.numeric = scan.numeric;
    a.type = scan.type;
    a.totals = scan.totals;
    if (scan.sort) a.sort = scan.sort;
    a.debug = scan.debug;
    return a;
}

void sort_nvm_entries(std::vector<IndexedEntry>& entries, const std::string& pattern) {
    auto key = [](const zelnvm_directory_entry_t& e, char letter) -> uint64_t {
        switch (letter) {
            case 't': return e.type;
            case 'o': return e.ordinal;
            case 'e': return e.ext;
            case 'l': return e.item_location;
            case 'i': return e.item_length;
            case 'd': return e.data_length;
            default: return 0;
        }
    };
    std::stable_sort(entries.begin(), entries.end(), [&](const IndexedEntry& x, const IndexedEntry& y) {
        for (char c : pattern) {
            const bool descending = c >= 'A' && c <= 'Z';
            const char letter = descending ? static_cast<char>(c - 'A' + 'a') : c;
            const uint64_t kx = key(x.entry, letter), ky = key(y.entry, letter);
            if (kx != ky) return descending ? kx > ky : kx < ky;
        }
        return false;
    });
}

int overlapping_entry(const std::vector<zelnvm_directory_entry_t>& entries, size_t index) {
    const zelnvm_directory_entry_t& a = entries[index];
    if (a.type == 0 || a.item_length == 0) return -1;
    const uint64_t a_first = a.item_location, a_last = a_first + a.item_length - 1;
    for (size_t j = 0; j < entries.size(); ++j) {
        const zelnvm_directory_entry_t& b = entries[j];
        if (j == index || b.type == 0 || b.item_length == 0) continue;
        const uint64_t b_first = b.item_location, b_last = b_first + b.item_length - 1;
        if (a_first <= b_last && b_first <= a_last) return static_cast<int>(j);
    }
    return -1;
}

report::Report nvm_device_command(ParsedCommand& parsed, const NvmListArgs& args) {
    Report r = report::open_report(parsed);
    if (!parsed.device) {
        zeltnvm_print(ZELT_LOC_CONSOLE, ZELT_LVL_ERROR, "Can't set device properties on option\n");
        return r.ends(HVXRETVAL_FAILURE);
    }
    r.data()["device"] = report::function_object(*parsed.device);
    if (parsed.command == CMD_VERIFY) return r.ends(run_verify(*parsed.device, args, r));
    return r.ends(run_list_or_view(*parsed.device, args, parsed.command == CMD_VIEW, r));
}

}  // namespace zelt::cli
