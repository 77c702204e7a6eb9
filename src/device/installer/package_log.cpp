#include <algorithm>
#include <cstring>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/installer/installer.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "host/host.h"
#include "transport/ethtool_channel.h"

using namespace zelt;

namespace {

// Field `position` of an entry (tab separated), empty when the entry has fewer fields.
std::string entryField(const std::string& entry, int position) {
    size_t start = 0;
    for (int i = 0; i < position; ++i) {
        size_t tab = entry.find('\t', start);
        if (tab == std::string::npos) return {};
        start = tab + 1;
    }
    return entry.substr(start, entry.find('\t', start) - start);
}

// The log item's text: its data without the erased or zero bytes at its end. Empty
// when the item is absent or cannot be read.
std::string readLogData(const char* dev, zelnvm_directory_entry_t& entry, int32_t& index) {
    index = zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_PKG_LOG, 0, 0, &entry);
    if (index < 0 || entry.data_length == 0) return {};
    // Room for the data even when a damaged entry claims more data than it has room for.
    std::vector<uint8_t> buf(std::max(entry.item_length, entry.data_length) + ZELTNVM_PKG_LOG_SLACK, 0);
    const int32_t rc = zeltnvmItemGoesByMessage(dev)
                           ? zeltnvm_linux_GetItem(dev, static_cast<uint32_t>(index), 0, buf.data(), entry.data_length)
                           : zeltnvmGetItem(dev, static_cast<uint32_t>(index), 0, buf.data(), entry.data_length);
    if (rc != 0) return {};
    return std::string(buf.begin(), buf.begin() + entry.data_length);
}

}  // namespace

std::string zeltnvmUpdatePackageLogText(const char* dev, const uint8_t* data, size_t length, size_t limit,
                                        std::vector<std::string>& reports) {
    while (length > 0 && (data[length - 1] == 0xFF || data[length - 1] == 0x00)) --length;
    std::string text(reinterpret_cast<const char*>(data), length);
    for (size_t start = 0; start < text.size();) {
        const size_t eol = text.find('\n', start);
        if (eol == std::string::npos) break;
        if (eol > start && text[eol - 1] == 'F') {
            std::string entry = text.substr(start, std::min(eol - start, ZELTNVM_PKG_LOG_ENTRY_MAX));
            std::string line;
            Format_Log_string(dev, entry.c_str(), line);
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

std::string zeltnvmReadPackageLog(const char* dev) {
    zelnvm_directory_entry_t entry{};
    int32_t index = -1;
    return readLogData(dev, entry, index);
}

int32_t zeltnvmWritePackageLog(const char* dev, const std::string& text) {
    // Nothing to write back: leave the item as it is.
    if (text.empty()) return HVXRETVAL_INVALID_LENGTH_PARAMETER;
    const bool by_message = zeltnvmItemGoesByMessage(dev);
    size_t size = (text.size() + 3) / 4 * 4;
    // A message write overwrites from the start and keeps the old data length, so the
    // text is padded with zeros over the whole old data: no stale entry survives it.
    if (by_message) {
        zelnvm_directory_entry_t entry{};
        if (zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_PKG_LOG, 0, 0, &entry) >= 0)
            size = std::max<size_t>(size, (entry.data_length + 3u) / 4u * 4u);
    }
    std::vector<uint8_t> out(size, 0);
    std::memcpy(out.data(), text.data(), text.size());
    const uint32_t n = static_cast<uint32_t>(out.size());
    return by_message ? zeltnvm_linux_WriteItem(dev, ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, out.data(), n)
                      : zeltnvmWriteItem(dev, ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, out.data(), n);
}

int32_t zeltnvmReadAndUpdatePackageLog(const char* dev, const uint8_t*, uint32_t) {
    const std::string old = zeltnvmReadPackageLog(dev);
    std::vector<std::string> reports;
    std::string text = zeltnvmUpdatePackageLogText(dev, reinterpret_cast<const uint8_t*>(old.data()), old.size(),
                                                   ZELTNVM_PKG_LOG_LIMIT, reports);
    for (const std::string& line : reports) {
        std::string message = line;
        while (!message.empty() && message.back() == '\n') message.pop_back();
        zelt::host::current().syslog_info(message);
    }
    return zeltnvmWritePackageLog(dev, text);
}

int Format_Log_string(const char* dev, const char* entry, std::string& out) {
    std::string head(entry ? entry : "", entry ? strnlen(entry, ZELTNVM_PKG_LOG_FORMAT_MAX) : 0);
    const std::string installed = entryField(head, ZEL_PKG_LOG_FIELD_IDX_INSTALLED_TIMESTAMP);
    const std::string description = entryField(head, ZEL_PKG_LOG_FIELD_IDX_PKG_DESCRIPTION);
    const std::string version = entryField(head, ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION);
    const std::string status = entryField(head, ZEL_PKG_LOG_FIELD_IDX_PKG_STATUS);
    const std::string device = dev ? dev : "";
    if (status == "Success") {
        out = "Device - " + device + " : " + description + " :Successfully installed firmware package " + version +
              " : Date and Time of installation - " + installed + " \n";
    } else {
        out = "Device - " + device + " : " + description + " :Failed to install the firmware package " + version +
              " : Date and Time of installation attempt - " + installed + " \n";
    }
    return static_cast<int>(out.size());
}

const char* zeltnvmParsePackageLog(int position, const uint8_t* data, size_t length) {
    // One buffer for the module: each call overwrites the previous answer.
    static char field[ZELT_PKG_LOG_FIELD_MAX + 1];
    std::string text;
    if (!zeltnvmPackageLogField(position, data, length, &text)) return nullptr;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return field;
}
