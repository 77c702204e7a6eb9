// The VPD identity fields: read from the adapter's VPD item before an installation
// that erases the NVM, and written back one field at a time afterwards.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/identity/identity.h"
#include "device/identity/identity_internal.h"
#include "device/nvm/item_bounds.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_items.h"
#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_rebuild.h"
#include "log/print.h"

using namespace zelt;

namespace {

constexpr int kNoVpd = 1;
constexpr int kNoMemory = 6;

// The whole VPD item (type 5, ordinal 0). Success, kNoVpd or kNoMemory.
Result read_vpd_item(const zelt::transport::Function& dev, std::vector<uint8_t>& item,
                  zelnvm_directory_entry_t* entry_out = nullptr) {
    zelnvm_directory_entry_t entry{};
    if (!zelt::device::zeltnvmGetDirEntry(dev, ZEL_DIR_TYPE_VPD, 0, 0, &entry).ok() || entry.data_length == 0)
        return Result::tool(kNoVpd);
    // A length past what the NVM can hold is a damaged entry, not a VPD to read.
    if (!zelt::device::check_item_length(ZEL_DIR_TYPE_VPD, entry.data_length).ok()) return Result::tool(kNoVpd);
    std::unique_ptr<uint8_t[]> buf(new (std::nothrow) uint8_t[entry.data_length]);
    if (!buf) return Result::tool(kNoMemory);
    const auto n =
        zelt::device::zeltnvmReadItem(dev, ZEL_DIR_TYPE_VPD, 0, 0, buf.get(), entry.data_length, 0, nullptr);
    if (!n.ok() || *n == 0) return Result::tool(kNoVpd);
    item.assign(buf.get(), buf.get() + *n);
    if (entry_out) *entry_out = entry;
    return Result();
}

// Reads the identity table of the current VPD item. 0 or 1 (with the reason logged).
int read_table(const std::vector<uint8_t>& item, vpd_identity_table& table) {
    uint8_t expected = 0;
    uint8_t found = 0;
    const int32_t rc = vpd_read_identity(item.data(), item.size(), table, &expected, &found);
    if (rc == HVXRETVAL_INVALID_TAG)
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG,
                      expected == VPD_TAG_IDENTIFIER_STRING ? "get_vpd_image ID tag failed. Expected 0x%x, read 0x%x\n"
                                                            : "get_vpd_image VPD-R tag failed. Expected 0x%x, read 0x%x\n",
                      expected, found);
    return rc == 0 ? 0 : 1;
}

// At most `cap` characters of `text`, as the saved fields keep them.
std::string clipped(const std::string& text, size_t cap) { return text.substr(0, std::min(cap, text.size())); }

}  // namespace

namespace zelt::device {

ResultOr<std::string> zeltnvm_get_vpd_each_field_data(const transport::Function& dev, const char* keyword) {
    if (keyword == nullptr) return Result::tool(kNoVpd);
    std::vector<uint8_t> item;
    if (Result rc = read_vpd_item(dev, item); !rc.ok()) return rc;
    char text[kVpdFieldMax + 1];
    zelt_vpd_get_field(item.data(), item.size(), keyword, text, sizeof text);  // "N/A" when missing
    return std::string(text);
}

Result zeltnvm_get_vpd_info_from_image(const transport::Function& dev, VpdFields& fields) {
    std::vector<uint8_t> item;
    if (Result rc = read_vpd_item(dev, item); !rc.ok()) return rc;
    vpd_identity_table parsed;
    if (read_table(item, parsed) != 0) return Result::tool(kNoVpd);
    fields.product_name = clipped(parsed.product_name, kVpdNameMax);
    for (const vpd_identity_field& f : parsed.fields) {
        if (std::strcmp(f.keyword, "SN") == 0) fields.serial_number = clipped(f.value, kVpdFieldMax);
        if (std::strcmp(f.keyword, "PN") == 0) fields.part_number = clipped(f.value, kVpdFieldMax);
        if (std::strcmp(f.keyword, "MN") == 0) fields.manuf_number = clipped(f.value, kVpdFieldMax);
    }
    return Result();
}

Result zelt_nvm_restore_device_vpd_info(const transport::Function& dev, const char* field, const char* value) {
    if (field == nullptr || field[0] == '\0' || value == nullptr) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Invalid tag_name or data.\n");
        return Result::tool(kNoVpd);
    }
    std::vector<uint8_t> item;
    zelnvm_directory_entry_t entry{};
    vpd_identity_table table;
    if (!read_vpd_item(dev, item, &entry).ok() || read_table(item, table) != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "get_vpd_info_from_image failed\n");
        return Result::tool(kNoVpd);
    }
    const bool name = std::strcmp(field, VPD_FIELD_PRODUCT_NAME) == 0;
    bool appended = false;
    const int32_t set = vpd_identity_set(table, field, value, &appended);
    if (set == HVXRETVAL_INVALID_PARAMETER) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Invalid tag_name or data.\n");
        return Result::tool(kNoVpd);
    }
    if (set != 0) {
        if (!name)
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Invalid %s length.\n", field);
        else if (set == HVXRETVAL_INVALID_LENGTH)
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Invalid PRODUCT_NAME length.\n");
        else
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Length of PRODUCT_NAME exceeded the array size.\n");
        return Result::tool(kNoVpd);
    }
    if (appended) zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD tag not found. Adding a new VDP tag ..\n");

    std::vector<uint8_t> image;
    if (vpd_rebuild_image(table, item.size(), image) != 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD file parsing error: remaining length at RV TAG exceeds 255\n");
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to create VPD image!\n");
        return Result::tool(kNoVpd);
    }
    const auto len = static_cast<uint32_t>(image.size());
    if (!zeltnvm_update_vpd_data(dev, ZEL_DIR_TYPE_VPD, 0, 0, entry.attr, 0, image.data(), len,
                                std::max(len, entry.item_length), 0)
             .ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Failed to program updated VPD image !!\n");
        return Result::tool(kNoVpd);
    }
    return Result();
}

namespace {

// The current text of `field` ("PRODUCT_NAME" or a keyword); empty when unreadable.
std::string current_field(const transport::Function& dev, const char* field) {
    if (std::strcmp(field, VPD_FIELD_PRODUCT_NAME) == 0) {
        VpdFields now;
        return zeltnvm_get_vpd_info_from_image(dev, now).ok() ? now.product_name : std::string();
    }
    ResultOr<std::string> now = zeltnvm_get_vpd_each_field_data(dev, field);
    return now.ok() ? std::move(now).value() : std::string();
}

// Writes one saved field back, or adds to `advice` when there is nothing sound to write
// or the write failed. A field that already reads the saved value is left as it is:
// rewriting it would rebuild the item and drop what lies outside the read-only fields.
void restore_field(const transport::Function& dev, const char* field, const std::string& text, const char* what,
                   std::vector<std::string>& advice) {
    const char* value = text.c_str();
    if (value[0] == '\0' || std::strcmp(value, "N/A") == 0) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Cannot configure device vpd %s because value is %s. \n", what,
                      value);
        advice.push_back(std::string("Please check with the manufacturer, to program the device vpd ") + what + ".\n");
        return;
    }
    if (current_field(dev, field) == text) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Device vpd %s already reads %s.\n", what, value);
        return;
    }
    if (!zelt_nvm_restore_device_vpd_info(dev, field, value).ok())
        advice.push_back(std::string("\nFailed to restore the device vpd ") + what + ".\n");
}

// The saved item's fields as a table; false when it cannot be read as one.
bool saved_table(const SavedIdentity& saved, vpd_identity_table& table) {
    return saved.vpd_item && !saved.vpd_item->value.data.empty() && read_table(saved.vpd_item->value.data, table) == 0;
}

// How a field is named to the administrator.
std::string field_name(const std::string& keyword) {
    if (keyword == "SN") return "serial number";
    if (keyword == "PN") return "part number";
    if (keyword == "MN") return "manufacturer number";
    if (keyword == "EC") return "engineering change level";
    return "field " + keyword;
}

}  // namespace

void zelt_nvm_save_vpd_item(const InventoryFunction& target, SavedIdentity& saved) {
    saved.vpd_item.reset();
    Saved<SavedItem> vpd{};
    if (!identity::location_of(target, vpd.from)) return;
    std::vector<uint8_t> item;
    zelnvm_directory_entry_t entry{};
    if (!read_vpd_item(target.function, item, &entry).ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD NVM Directory for ordinal 0 not saved.\n");
        return;
    }
    vpd.value.data = std::move(item);
    vpd.value.item_length = std::max<uint32_t>(entry.item_length, static_cast<uint32_t>(vpd.value.data.size()));
    vpd.value.attr = entry.attr;
    const int len = static_cast<int>(vpd.value.data.size());
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "vpd_ordinal_0_len = %d(0x%x)\n", len, len);
    saved.vpd_item = std::move(vpd);
}

Result zelt_nvm_apply_vpd_item(const InventoryFunction& target, const SavedIdentity& saved) {
    if (!saved.vpd_item || saved.vpd_item->value.data.empty()) return Result::tool(kNotRestored);
    if (!identity::at_location(target, saved.vpd_item->from)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saved VPD belongs to another adapter; not written.\n");
        return Result::tool(kNotRestored);
    }
    const transport::Function& dev = target.function;
    std::vector<uint8_t> present;
    if (read_vpd_item(dev, present).ok()) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "VPD NVM Directory present after the installation; kept.\n");
        return Result();
    }
    const SavedItem& item = saved.vpd_item->value;
    const auto len = static_cast<uint32_t>(item.data.size());
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Restoring the VPD NVM Directory from the saved copy, len = %d\n",
                  static_cast<int>(len));
    const Result rc =
        zeltnvm_update_vpd_data(dev, ZEL_DIR_TYPE_VPD, 0, 0, item.attr, 0, item.data.data(), len, item.item_length, 0);
    if (!rc.ok())
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to restore the VPD NVM Directory, status = %d\n",
                      rc.code());
    return rc;
}

std::vector<std::string> zelt_nvm_vpd_fields_lost(const InventoryFunction& target, const SavedIdentity& saved) {
    std::vector<std::string> lost;
    vpd_identity_table before;
    if (!saved_table(saved, before) || !identity::at_location(target, saved.vpd_item->from)) return lost;
    vpd_identity_table now;
    std::vector<uint8_t> item;
    const bool readable = read_vpd_item(target.function, item).ok() && read_table(item, now) == 0;
    auto note = [&lost, readable](const std::string& what, const std::string& was, const std::string* is) {
        if (is && *is == was) return;
        std::string text = "VPD " + what + " \"" + was + "\"";
        if (readable) text += is ? " (now \"" + *is + "\")" : " (now missing)";
        lost.push_back(std::move(text));
    };
    note("product name", before.product_name, readable ? &now.product_name : nullptr);
    for (const vpd_identity_field& f : before.fields) {
        const std::string* is = nullptr;
        for (const vpd_identity_field& g : now.fields)
            if (readable && std::strcmp(f.keyword, g.keyword) == 0) is = &g.value;
        note(field_name(f.keyword), f.value, is);
    }
    return lost;
}

std::vector<std::string> zelt_nvm_restore_saved_vpd(const InventoryFunction& target, const SavedIdentity& saved,
                                                     bool all_fields) {
    const transport::Function& dev = target.function;
    std::vector<std::string> advice;
    if (saved.vpd && !identity::at_location(target, saved.vpd->from)) {
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_DEBUG, "Saved VPD fields belong to another adapter; not written.\n");
        return advice;
    }
    const VpdFields vpd = saved.vpd ? saved.vpd->value : VpdFields{};
    restore_field(dev, "SN", vpd.serial_number, "serial number", advice);
    if (!all_fields) return advice;
    restore_field(dev, VPD_FIELD_PRODUCT_NAME, vpd.product_name, "product name", advice);
    restore_field(dev, "PN", vpd.part_number, "part number", advice);
    restore_field(dev, "MN", vpd.manuf_number, "manuf number", advice);
    return advice;
}

}  // namespace zelt::device
