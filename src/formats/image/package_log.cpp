#include "formats/image/package_log.h"

#include <string_view>

namespace zelt {

int zeltnvmPackageLogSelectorField(int selector) {
    switch (selector) {
        case ZELT_NVM_PKG_LOG_VERSION: return ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION;
        case ZELT_NVM_PKG_LOG_TIMESTAMP: return ZEL_PKG_LOG_FIELD_IDX_PKG_TIMESTAMP;
        case ZELT_NVM_PKG_LOG_CHECKSUM: return ZEL_PKG_LOG_FIELD_IDX_PKG_CHECKSUM;
        case ZELT_NVM_PKG_LOG_DESCRIPTION: return ZEL_PKG_LOG_FIELD_IDX_PKG_DESCRIPTION;
        default: return -1;
    }
}

bool zeltnvmPackageLogEntryField(std::string_view entry, int position, std::string_view* field) {
    for (int i = 0;; ++i) {
        const size_t tab = entry.find('\t');
        if (i == position) {
            *field = entry.substr(0, tab);
            return true;
        }
        if (tab == std::string_view::npos) return false;
        entry.remove_prefix(tab + 1);
    }
}

bool zeltnvmPackageLogField(int position, const uint8_t* data, size_t length, std::string* out) {
    out->clear();
    if (data == nullptr || position < 0) return false;
    while (length > 0 && (data[length - 1] == 0xFF || data[length - 1] == 0x00)) --length;
    std::string_view log(reinterpret_cast<const char*>(data), length);

    bool found = false;
    while (!log.empty()) {
        const size_t eol = log.find('\n');
        std::string_view entry = log.substr(0, eol);
        log.remove_prefix(eol == std::string_view::npos ? log.size() : eol + 1);
        if (!entry.empty() && entry.back() == '\r') entry.remove_suffix(1);
        if (entry.empty()) continue;

        std::string_view description;
        if (zeltnvmPackageLogEntryField(entry, ZEL_PKG_LOG_FIELD_IDX_PKG_DESCRIPTION, &description) &&
            description.find("Patch") != std::string_view::npos) {
            continue;  // live-patch entries do not change the package version
        }
        std::string_view field;
        if (zeltnvmPackageLogEntryField(entry, position, &field)) {
            out->assign(field.substr(0, ZELT_PKG_LOG_FIELD_MAX));
            found = true;
        }
    }
    return found;
}

}  // namespace zelt
