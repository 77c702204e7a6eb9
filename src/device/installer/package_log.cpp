#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/printable_text.h"
#include "device/installer/installer.h"
#include "device/nvm/item_bounds.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "host/host.h"

using namespace zelt;

namespace {

// Field `position` of an entry, empty when the entry has fewer fields.
std::string entryField(const std::string& entry, int position) {
    std::string_view field;
    return zeltnvmPackageLogEntryField(entry, position, &field) ? std::string(field) : std::string();
}

// The log item's data. Empty when the item is absent or holds no data; the failure
// when it cannot be read or claims more than an install log can hold, so that a
// damaged entry is never answered with a buffer of its size.
ResultOr<std::string> readLogData(const zelt::transport::Function& fn) {
    zelnvm_directory_entry_t entry{};
    const auto index = zelt::device::zeltnvmGetDirEntry(fn, ZEL_DIR_TYPE_PKG_LOG, 0, 0, &entry);
    if (!index.ok()) return index.result().is(HVXRETVAL_ITEM_NOT_FOUND) ? ResultOr<std::string>(std::string())
                                                                         : ResultOr<std::string>(index.result());
    if (entry.data_length == 0) return std::string();
    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    // Room for the data even when a damaged entry claims more data than it has room for.
    const uint32_t room = std::max(entry.item_length, entry.data_length);
    if (const Result bounded = zelt::device::check_item_length(ZEL_DIR_TYPE_PKG_LOG, room); !bounded.ok())
        return bounded;
    auto buf = zelt::device::zeroed_buffer(size_t{room} + zelt::device::ZELTNVM_PKG_LOG_SLACK);
    if (!buf.ok()) return buf.result();
    const Result read = fn.channel->read_item(fn, *index, 0, buf->data(), entry.data_length);
    if (!read.ok()) return read;
    try {
        return std::string(buf->begin(), buf->begin() + entry.data_length);
    } catch (const std::bad_alloc&) {
        return Result::tool(HVXRETVAL_MALLOC_FAILURE);
    }
}

}  // namespace

namespace zelt::device {

std::string zeltnvmUpdatePackageLogText(std::string_view label, const uint8_t* data, size_t length, size_t limit,
                                        std::vector<std::string>& reports) {
    while (length > 0 && (data[length - 1] == 0xFF || data[length - 1] == 0x00)) --length;
    std::string text(reinterpret_cast<const char*>(data), length);
    for (size_t start = 0; start < text.size();) {
        const size_t eol = text.find('\n', start);
        if (eol == std::string::npos) break;
        if (eol > start && text[eol - 1] == 'F') {
            std::string entry = text.substr(start, std::min(eol - start, ZELTNVM_PKG_LOG_ENTRY_MAX));
            std::string line;
            Format_Log_string(label, entry.c_str(), line);
            reports.push_back(std::move(line));
            text[eol - 1] = '0';
        }
        start = eol + 1;
    }
    // Whole entries leave from the front, oldest first.
    while (text.size() > limit) {
        const size_t eol = text.find('\n');
        if (eol == std::string::npos) {
            text.clear();
            break;
        }
        text.erase(0, eol + 1);
    }
    return text;
}

std::string zeltnvmReadPackageLog(const transport::Function& fn) {
    ResultOr<std::string> text = readLogData(fn);
    return text.ok() ? std::move(*text) : std::string();
}

Result zeltnvmWritePackageLog(const transport::Function& fn, const std::string& text) {
    // Nothing to write back: leave the item as it is.
    if (text.empty()) return Result::tool(HVXRETVAL_INVALID_LENGTH_PARAMETER);
    if (!fn.channel) return Result::tool(HVXRETVAL_INVALID_PARAMETER);
    auto out = zeroed_buffer((text.size() + 3) / 4 * 4);
    if (!out.ok()) return out.result();
    std::memcpy(out->data(), text.data(), text.size());
    return fn.channel->write_item(fn, transport::ItemId{ZEL_DIR_TYPE_PKG_LOG, 0, 0}, 0, *out);
}

Result zeltnvmReadAndUpdatePackageLog(const transport::Function& fn) {
    // A log that cannot be read is left as it is: writing back what could be read would
    // lose its entries.
    const ResultOr<std::string> old = readLogData(fn);
    if (!old.ok()) return old.result();
    std::vector<std::string> reports;
    std::string text = zeltnvmUpdatePackageLogText(fn.name, reinterpret_cast<const uint8_t*>(old->data()),
                                                   old->size(), ZELTNVM_PKG_LOG_LIMIT, reports);
    if (fn.channel) {
        for (const std::string& line : reports) {
            std::string message = line;
            while (!message.empty() && message.back() == '\n') message.pop_back();
            // The entry's fields come from the package and the firmware.
            fn.channel->host().syslog_info(printable_text(message));
        }
    }
    return zeltnvmWritePackageLog(fn, text);
}

int Format_Log_string(std::string_view label, const char* entry, std::string& out) {
    std::string head(entry ? entry : "", entry ? strnlen(entry, ZELTNVM_PKG_LOG_FORMAT_MAX) : 0);
    const std::string installed = entryField(head, ZEL_PKG_LOG_FIELD_IDX_INSTALLED_TIMESTAMP);
    const std::string description = entryField(head, ZEL_PKG_LOG_FIELD_IDX_PKG_DESCRIPTION);
    const std::string version = entryField(head, ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION);
    const std::string status = entryField(head, ZEL_PKG_LOG_FIELD_IDX_PKG_STATUS);
    const std::string device(label);
    if (status == "Success") {
        out = "Device - " + device + " : " + description + " :Successfully installed firmware package " + version +
              " : Date and Time of installation - " + installed + " \n";
    } else {
        out = "Device - " + device + " : " + description + " :Failed to install the firmware package " + version +
              " : Date and Time of installation attempt - " + installed + " \n";
    }
    return static_cast<int>(out.size());
}

}  // namespace zelt::device
