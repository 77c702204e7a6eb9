// The install log item (directory type 1): ASCII text, one installation per line,
// fields separated by tabs. Reads a field of the last entry that is not a live-patch
// entry; the device-side log handling builds on this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelt {

// Field positions of a log entry.
enum zelnvm_pkglog_field_index : int {
    ZEL_PKG_LOG_FIELD_IDX_INSTALLED_TIMESTAMP = 0,
    ZEL_PKG_LOG_FIELD_IDX_PKG_DESCRIPTION = 1,
    ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION = 2,
    ZEL_PKG_LOG_FIELD_IDX_PKG_TIMESTAMP = 3,
    ZEL_PKG_LOG_FIELD_IDX_PKG_STATUS = 4,
    ZEL_PKG_LOG_FIELD_IDX_PKG_CHECKSUM = 5,
    ZEL_PKG_LOG_FIELD_IDX_INSTALLED_ITEMS = 6,
    ZEL_PKG_LOG_FIELD_IDX_INSTALLED_MASK = 7,
    ZEL_PKG_LOG_FIELD_IDX_INSTALL_TYPE = 8,
    ZEL_PKG_LOG_FIELD_IDX_INSTALLATION_ENTITY = 9,
    ZEL_PKG_LOG_FIELD_IDX_REPORT_FLAG = 10,
};

// Version selectors of the log item and the fields they read.
enum zelt_nvm_pkg_log_field : int {
    ZELT_NVM_PKG_LOG_VERSION = 0,      // field 2
    ZELT_NVM_PKG_LOG_TIMESTAMP = 1,    // field 3
    ZELT_NVM_PKG_LOG_CHECKSUM = 2,     // field 5
    ZELT_NVM_PKG_LOG_DESCRIPTION = 3,  // field 1
};

// Longest field text returned.
inline constexpr size_t ZELT_PKG_LOG_FIELD_MAX = 255;

// Field position read by a version selector; -1 for a selector the log does not have.
int zeltnvmPackageLogSelectorField(int selector);

// Field `position` of one log entry (its text up to the next tab); false when the entry
// has fewer fields.
bool zeltnvmPackageLogEntryField(std::string_view entry, int position, std::string_view* field);

// Sets `out` to field `position` of the last entry whose description (field 1) does not
// contain "Patch" and that has that field, cut to ZELT_PKG_LOG_FIELD_MAX characters.
// Trailing 0xFF and 0x00 bytes of the item are not part of the log. False (and `out`
// cleared) when no entry has the field.
bool zeltnvmPackageLogField(int position, const uint8_t* data, size_t length, std::string* out);

}  // namespace zelt
