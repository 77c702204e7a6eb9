#include "formats/vpd/vpd_walk.h"

#include "formats/vpd/vpd.h"

namespace zelt::formats::vpd {

Resource read_resource(const uint8_t* buf, size_t len, size_t offset) {
    Resource r;
    r.offset = offset;
    r.tag = buf[offset];
    r.large = (r.tag & VPD_LARGE_TAG_FLAG) != 0;
    if (r.large) {
        r.name = r.tag & 0x7F;
        r.data_offset = offset + VPD_LARGE_RESOURCE_HEADER_SIZE;
        if (len - offset < VPD_LARGE_RESOURCE_HEADER_SIZE) {
            r.data_offset = len;
            return r;  // the length bytes are missing
        }
        r.length = load_le16(buf + offset + 1);
    } else {
        r.name = (r.tag >> 3) & 0x0F;
        r.length = r.tag & 0x07;
        r.data_offset = offset + 1;
    }
    r.complete = r.length <= len - r.data_offset;
    return r;
}

bool locate_end(const uint8_t* buf, size_t len, DataEnd& result) {
    bool have_zero = false;
    size_t first_zero = 0;
    size_t offset = 0;
    while (offset < len) {
        if (buf[offset] == 0 && !have_zero) {
            have_zero = true;
            first_zero = offset;
        }
        Resource r = read_resource(buf, len, offset);
        if (!r.complete) break;
        if (r.name == VPD_RESOURCE_TAG_END) {
            result.end = r.end();
            result.end_tag = offset;
            result.has_end_tag = true;
            return true;
        }
        offset = r.end();
    }
    if (!have_zero) return false;
    result.end = first_zero;
    result.end_tag = first_zero;
    result.has_end_tag = false;
    return true;
}

bool find_resource(const uint8_t* buf, size_t len, uint8_t name, Resource& result) {
    size_t offset = 0;
    while (offset < len) {
        Resource r = read_resource(buf, len, offset);
        if (!r.complete) return false;
        if (r.name == name) {
            result = r;
            return true;
        }
        if (r.name == VPD_RESOURCE_TAG_END) return false;
        offset = r.end();
    }
    return false;
}

bool read_field(const uint8_t* data, size_t len, size_t offset, Field& field) {
    if (offset > len || len - offset < VPD_FIELD_HEADER_SIZE) return false;
    field.offset = offset;
    field.keyword[0] = static_cast<char>(data[offset]);
    field.keyword[1] = static_cast<char>(data[offset + 1]);
    field.length = data[offset + 2];
    field.data_offset = offset + VPD_FIELD_HEADER_SIZE;
    field.complete = field.length <= len - field.data_offset;
    return true;
}

bool has_terminator(uint8_t name) {
    return name == VPD_RESOURCE_TAG_READ_ONLY || name == VPD_RESOURCE_TAG_READ_WRITE;
}

bool is_terminator(uint8_t name, const char* keyword) {
    if (name == VPD_RESOURCE_TAG_READ_ONLY) return keyword[0] == 'R' && keyword[1] == 'V';
    if (name == VPD_RESOURCE_TAG_READ_WRITE) return keyword[0] == 'R' && keyword[1] == 'W';
    return false;
}

}  // namespace zelt::formats::vpd
