// Reading the resource list and the fields of a resource.
#include <cstring>

#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_walk.h"

namespace zelt {

using namespace zelt::formats::vpd;

int32_t vpd_get_resource(const uint8_t* buf, size_t len, uint8_t name, const uint8_t** data) {
    Resource r;
    if (buf == nullptr || !find_resource(buf, len, name, r)) return HVXRETVAL_RESOURCE_NOT_FOUND;
    if (data != nullptr) *data = buf + r.data_offset;
    return static_cast<int32_t>(r.length);
}

int32_t vpd_get_resource(uint8_t* buf, size_t len, uint8_t name, uint8_t** data) {
    const uint8_t* found = nullptr;
    int32_t rc = vpd_get_resource(static_cast<const uint8_t*>(buf), len, name, &found);
    if (rc >= 0 && data != nullptr) *data = buf + (found - buf);
    return rc;
}

const uint8_t* vpd_find_end(const uint8_t* buf, size_t len) {
    DataEnd end;
    if (buf == nullptr || !locate_end(buf, len, end)) return nullptr;
    return buf + end.end;
}

int32_t vpd_get_length(const uint8_t* buf, size_t len) {
    DataEnd end;
    if (buf == nullptr || len == 0 || !locate_end(buf, len, end)) return HVXRETVAL_END_TAG_NOT_FOUND;
    return static_cast<int32_t>(end.end);
}

size_t vpd_terminator_length(uint8_t name) {
    switch (name) {
    case VPD_RESOURCE_TAG_READ_ONLY: return VPD_READ_ONLY_TERMINATOR_LENGTH;
    case VPD_RESOURCE_TAG_READ_WRITE: return VPD_READ_WRITE_TERMINATOR_LENGTH;
    default: return 0;
    }
}

bool vpd_field_is_terminator(uint8_t name, const char* keyword) {
    return keyword != nullptr && is_terminator(name, keyword);
}

const uint8_t* vpd_get_field_hdr(const uint8_t* data, size_t len, const char* keyword,
                                 vpd_field_header* hdr) {
    if (data == nullptr || keyword == nullptr) return nullptr;
    Field field;
    for (size_t offset = 0; read_field(data, len, offset, field); offset = field.end()) {
        if (field.zero_header() || !field.complete) return nullptr;
        if (field.keyword[0] == keyword[0] && field.keyword[1] == keyword[1]) {
            if (hdr != nullptr) std::memcpy(hdr, data + field.offset, sizeof *hdr);
            return data + field.data_offset;
        }
    }
    return nullptr;
}

int32_t vpd_get_field(const uint8_t* data, size_t len, const char* keyword, vpd_field* field) {
    vpd_field_header hdr;
    const uint8_t* found = vpd_get_field_hdr(data, len, keyword, &hdr);
    if (found == nullptr) return HVXRETVAL_ITEM_NOT_FOUND;
    if (field != nullptr) {
        std::memset(field, 0, sizeof *field);
        field->hdr = hdr;
        std::memcpy(field->data, found, hdr.length);
    }
    return HVXRETVAL_SUCCESS;
}

int32_t vpd_count_fields(const uint8_t* data, size_t len, uint8_t name) {
    if (data == nullptr) return 0;
    int32_t count = 0;
    walk_fields(data, len, name, [&](const Field&) {
        ++count;
        return true;
    });
    return count;
}

int32_t vpd_get_fields(const uint8_t* data, size_t len, uint8_t name, vpd_field* fields,
                       size_t max) {
    if (data == nullptr || fields == nullptr) return 0;
    size_t count = 0;
    walk_fields(data, len, name, [&](const Field& f) {
        if (count >= max) return false;
        vpd_field& out = fields[count++];
        std::memset(&out, 0, sizeof out);
        std::memcpy(&out.hdr, data + f.offset, VPD_FIELD_HEADER_SIZE);
        std::memcpy(out.data, data + f.data_offset, f.length);
        return true;
    });
    return static_cast<int32_t>(count);
}

const char* vpd_tag_description(uint8_t name) {
    switch (name) {
    case VPD_RESOURCE_TAG_IDENTIFER_STRING: return "ID";
    case VPD_RESOURCE_TAG_END: return "END";
    case VPD_RESOURCE_TAG_READ_ONLY: return "VPD-R";
    case VPD_RESOURCE_TAG_READ_WRITE: return "VPD-W";
    default: return "???";
    }
}

}  // namespace zelt
