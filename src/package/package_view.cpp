#include "package/package_view.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "formats/vpd/append_format.h"
#include "formats/vpd/vpd.h"
#include "package/byte_access.h"
#include "package/item_check.h"
#include "package/package_properties.h"
#include "package/package_reader.h"
#include "package/package_records.h"
#include "package/package_text.h"

namespace zelt {

using zelt::formats::append_format;
using zelt::pkg::load_u16;
using zelt::pkg::load_u32;

namespace {

constexpr uint32_t kMaxViewItems = 64;
constexpr unsigned kMaxViewProperties = 255;

struct Property {
    uint8_t id;
    uint16_t length;
    const uint8_t* value;
    bool in_stream;  // the value lies wholly within the stream
};

// The properties of a stream in order, at most `max` of them.
std::vector<Property> list_properties(const uint8_t* s, size_t n, unsigned max) {
    std::vector<Property> props;
    size_t pos = 0;
    while (pos < n && s[pos] != 0 && props.size() < max) {
        if (n - pos < sizeof(zelpkg_property_t)) break;
        const uint16_t len = load_u16(s + pos + 1);
        props.push_back({s[pos], len, s + pos + 3, pos + 3 + len <= n});
        pos += 3 + static_cast<size_t>(len);
    }
    return props;
}

void text_property(const void* pkg, size_t length, uint8_t id, const char* label, std::string& out) {
    const uint8_t* v = nullptr;
    const int32_t len = zelpkgGetPropertyPtr(pkg, length, id, &v);
    if (len >= 0) append_format(out, "%-22s : %.*s\n", label, static_cast<int>(len), reinterpret_cast<const char*>(v));
}

void u16_property(const void* pkg, size_t length, uint8_t id, const char* label, std::string& out) {
    const uint8_t* v = nullptr;
    if (zelpkgGetPropertyPtr(pkg, length, id, &v) != 2) return;
    const uint16_t value = load_u16(v);
    if (value != 0xFFFF) append_format(out, "%-22s : %04X\n", label, value);
}

void byte_property(const void* pkg, size_t length, uint8_t id, const char* label, const char* format,
                   bool nonzero_only, std::string& out) {
    const uint8_t* v = nullptr;
    if (zelpkgGetPropertyPtr(pkg, length, id, &v) < 1) return;
    if (nonzero_only && v[0] == 0) return;
    append_format(out, format, label, v[0]);
}

void report_properties(const void* pkg, size_t length, const zelpkg_file_header_t& h, unsigned verbosity,
                       std::string& out) {
    const uint8_t* stream = static_cast<const uint8_t*>(pkg) + sizeof(zelpkg_file_header_t);
    const size_t stream_length = h.manifest_offset - sizeof(zelpkg_file_header_t);
    const std::vector<Property> props = list_properties(stream, stream_length, kMaxViewProperties);
    if (verbosity >= 1) {
        const size_t data = static_cast<size_t>(zelpkgFindPropertyStreamTerminator(stream, stream_length) - stream);
        append_format(out, "%-22s : %u bytes\n", "Property Stream Data", static_cast<unsigned>(data));
        append_format(out, "%-22s : %u\n", "Properties", static_cast<unsigned>(props.size()));
    }
    if (verbosity >= 2) {
        unsigned number = 1;
        for (const Property& p : props) {
            append_format(out, "Property #%-3u %8s : %u\n", number++, "Type", p.id);
            append_format(out, "%22s : %u bytes\n", "Length", p.length);
            append_format(out, "%22s : ", "Value");
            if (p.in_stream && p.length < stream_length)
                for (uint16_t i = 0; i < p.length; ++i) append_format(out, "%02X ", p.value[i]);
            out += '\n';
        }
    }
    text_property(pkg, length, ZELPKG_PROP_PKG_DESCRIPTION, "Package Description", out);
    text_property(pkg, length, ZELPKG_PROP_PKG_VERSION, "Package Version", out);

    uint32_t chksum = 0;
    if (zelpkgGetChecksum(pkg, length, &chksum) == HVXRETVAL_SUCCESS)
        append_format(out, "%-22s : 0x%08X\n", "Package Checksum", chksum);

    const uint8_t* v = nullptr;
    if (zelpkgGetPropertyPtr(pkg, length, ZELPKG_PROP_ORIG_CHECKSUM, &v) == 4)
        append_format(out, "%-22s : 0x%08X\n", "Original Checksum", load_u32(v));
    static constexpr struct {
        uint8_t id;
        const char* label;
    } kTexts[] = {
        {ZELPKG_PROP_ORIG_DESCRIPTION, "Original Description"},
        {ZELPKG_PROP_ORIG_VERSION, "Original Version"},
        {ZELPKG_PROP_CREATED_BY, "Created By"},
        {ZELPKG_PROP_CREATED_ON, "Created On"},
        {ZELPKG_PROP_CREATED_WITH, "Created With"},
        {ZELPKG_PROP_UPDATED_BY, "Updated By"},
        {ZELPKG_PROP_UPDATED_ON, "Updated On"},
        {ZELPKG_PROP_UPDATED_WITH, "Updated With"},
        {ZELPKG_PROP_REQUIRED_PKG, "Requires Installed-Pkg"},
    };
    for (const auto& t : kTexts) text_property(pkg, length, t.id, t.label, out);

    const int32_t ids_len = zelpkgGetPropertyPtr(pkg, length, ZELPKG_PROP_DEVICE_IDS, &v);
    if (ids_len >= 0) {
        append_format(out, "%-22s : ", "Supported Device IDs");
        for (int32_t i = 0; i + 1 < ids_len; i += 2) append_format(out, "%04X ", load_u16(v + i));
        out += '\n';
    }
    u16_property(pkg, length, ZELPKG_PROP_SUBSYS_VENDOR, "Subsystem Vendor ID", out);
    u16_property(pkg, length, ZELPKG_PROP_SUBSYS_ID, "Subsystem ID", out);
    byte_property(pkg, length, ZELPKG_PROP_MIN_CHIP_REV, "Minimum Chip Revision", "%-22s : %02X\n", false, out);
    byte_property(pkg, length, ZELPKG_PROP_MAX_CHIP_REV, "Maximum Chip Revision", "%-22s : %02X\n", false, out);
    text_property(pkg, length, ZELPKG_PROP_SUPPORTED_VRS, "Supported VRs", out);
    byte_property(pkg, length, ZELPKG_PROP_REQUIRE_ONBOARD_CFG, "Require Onboard config", "%-22s : %u\n", true, out);
    byte_property(pkg, length, ZELPKG_PROP_LIVEPATCH_PKG, "LivePatch Pkg", "%-22s : %u\n", true, out);
}

// Appends the lines of one item record; returns INVALID_DATA_LENGTH when its data does
// not lie within the package, else the result of its content report.
int32_t report_item(const void* pkg, size_t length, unsigned number, const zelpkg_manifest_item_t& item,
                    unsigned verbosity, std::string& out) {
    const zelnvm_directory_entry_t& e = item.direntry;
    const char* name = zeltnvmDirectoryTypeName(e.type);
    append_format(out, "Item #%-3u %12s : %s (%u): %s\n", number, "Type", name ? name : "", e.type,
                  zeltnvmDirectoryTypeDesc(e.type).c_str());
    append_format(out, "%22s : %u\n", "Ordinal", e.ordinal);
    append_format(out, "%22s : 0x%04X %s\n", "Extension Flags", e.ext, zelt::pkg::extension_flag_names(e.ext).c_str());
    append_format(out, "%22s : 0x%04X %s\n", "Attribute Flags", e.attr,
                  zelt::pkg::attribute_flag_names(e.attr).c_str());
    append_format(out, "%22s : %u bytes\n", "Location", e.item_location);
    append_format(out, "%22s : %u bytes\n", "Length", e.item_length);
    append_format(out, "%22s : %u bytes\n", "Data Length", e.data_length);
    append_format(out, "%22s : 0x%08X\n", "Checksum", e.data_chksum);
    const char* directive = zelpkgDirectiveName(item.metadata.directive);
    append_format(out, "%22s : %s (%u): %s\n", "Directive", directive ? directive : "", item.metadata.directive,
                  zelpkgDirectiveDesc(item.metadata.directive));
    char description[sizeof(item.metadata.description) + 1] = {};
    std::memcpy(description, item.metadata.description, sizeof(item.metadata.description));
    if (description[0] != '\0' || verbosity >= 2) append_format(out, "%22s : %s\n", "Item Description", description);

    if (!zelpkgItemDataInBounds(pkg, length, e)) return HVXRETVAL_INVALID_DATA_LENGTH;
    const uint8_t* data = static_cast<const uint8_t*>(pkg) + e.item_location;
    std::string version;
    if (zelt::pkg::item_version_text(e.type, data, e.data_length, 0, e.attr, version) == HVXRETVAL_SUCCESS)
        append_format(out, "%22s : %s\n", "Version", version.c_str());
    if (zelt::pkg::item_version_text(e.type, data, e.data_length, 1, e.attr, version) == HVXRETVAL_SUCCESS)
        append_format(out, "%22s : %s\n", "Secondary Version", version.c_str());

    if (verbosity < 1) return HVXRETVAL_SUCCESS;
    if (item.metadata.directive == ZELPKG_ITEM_PATCH_IF_PRESENT) {
        append_format(out, "{text}\n%.*s\n{/text}\n", static_cast<int>(e.data_length),
                      reinterpret_cast<const char*>(data));
    } else if (zelt::is_signed_firmware_type(e.type)) {
        const int32_t rc = zelt::pkg::firmware_header_report(data, e.data_length, out);
        if (rc != HVXRETVAL_SUCCESS) {
            append_format(out, "!ERROR: %s\n", zelpkgResultDesc(rc).c_str());
            return rc;
        }
    } else if (e.type == ZEL_DIR_TYPE_VPD && e.data_length >= VPD_IMAGE_HEADER_SIZE) {
        append_format(out, "VPD Image Version: %x\n", load_u32(data));
        vpd_print(data + VPD_IMAGE_HEADER_SIZE, e.data_length - VPD_IMAGE_HEADER_SIZE, static_cast<int>(verbosity),
                  out);
    }
    return HVXRETVAL_SUCCESS;
}

}  // namespace

int32_t zelpkgView(const void* pkg, size_t length, int type_filter, unsigned verbosity, std::string& out) {
    zelpkg_file_header_t h;
    int32_t rc = zelpkgGetHeader(pkg, length, &h);
    if (rc != HVXRETVAL_SUCCESS) return rc;

    append_format(out, "%-22s : %u bytes\n", "Package File Length", static_cast<unsigned>(length));
    if (verbosity >= 1) {
        append_format(out, "%-22s : %u bytes\n", "Trailer Length", h.trailer_length);
        append_format(out, "%-22s : %u bytes\n", "Property Stream Length",
                      static_cast<unsigned>(h.manifest_offset - sizeof(h)));
    }
    if (h.manifest_offset > sizeof(h)) report_properties(pkg, length, h, verbosity, out);
    if (verbosity >= 1) append_format(out, "%-22s : %u bytes\n", "Manifest Offset", h.manifest_offset);

    uint32_t count = 0;
    rc = zelpkgGetItemCount(pkg, length, &count);
    if (rc != HVXRETVAL_SUCCESS) return rc;
    append_format(out, "%-22s : %u\n", "Manifest Items", count);
    if (count > kMaxViewItems) return HVXRETVAL_FAILURE;
    if (verbosity < 1 && type_filter == 0) return HVXRETVAL_SUCCESS;

    zelpkg_manifest_item_t items[kMaxViewItems];
    const int32_t n = zelpkgGetItems(pkg, length, count, items);
    if (n < 0) return n;
    int32_t result = HVXRETVAL_SUCCESS;
    for (int32_t i = 0; i < n; ++i) {
        if (type_filter > 0 && items[i].direntry.type != static_cast<unsigned>(type_filter)) continue;
        rc = report_item(pkg, length, static_cast<unsigned>(i + 1), items[i], verbosity, out);
        if (rc == HVXRETVAL_INVALID_DATA_LENGTH) return rc;
        if (rc != HVXRETVAL_SUCCESS) result = rc;
    }
    return result;
}

}  // namespace zelt
