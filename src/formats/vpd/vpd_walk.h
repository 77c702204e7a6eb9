// Bounds-checked cursors over the resource list and over the fields of a resource,
// shared by the VPD readers, writers, checks and reports.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt::formats::vpd {

// One resource as read from its tag.
struct Resource {
    size_t offset = 0;       // of the tag byte
    size_t data_offset = 0;  // of the first data byte
    size_t length = 0;       // data length as declared by the tag
    uint8_t tag = 0;
    uint8_t name = 0;
    bool large = false;
    bool complete = false;  // header and data lie inside the buffer

    size_t end() const { return data_offset + length; }
};

// Reads the resource whose tag is at `offset` (which must be below `len`).
Resource read_resource(const uint8_t* buf, size_t len, size_t offset);

// Where the used data ends.
struct DataEnd {
    size_t end = 0;        // just after the End tag, or the first free zero byte
    size_t end_tag = 0;    // offset of the End tag; equals `end` when there is none
    bool has_end_tag = false;
};

// Finds the end of the used data; false when there is none.
bool locate_end(const uint8_t* buf, size_t len, DataEnd& result);

// Finds the first complete resource named `name` before the End tag.
bool find_resource(const uint8_t* buf, size_t len, uint8_t name, Resource& result);

// One field of a resource.
struct Field {
    size_t offset = 0;       // of the header
    size_t data_offset = 0;  // of the first data byte
    char keyword[2] = {0, 0};
    uint8_t length = 0;
    bool complete = false;  // the data lies inside the resource

    size_t end() const { return data_offset + length; }
    bool zero_header() const { return keyword[0] == 0 && keyword[1] == 0 && length == 0; }
};

// Reads the field header at `offset`; false when no whole header fits before `len`.
bool read_field(const uint8_t* data, size_t len, size_t offset, Field& field);

// How a walk over the fields of a resource ended.
enum class FieldWalkEnd {
    terminator,  // VPD-R/VPD-W terminator met (not visited)
    boundary,    // end of the resource, a header of three zero bytes (unused space), a
                 // zero byte (resources other than VPD-R/W) or a partial header
    overrun,     // a field whose data would pass the end of the resource (not visited)
};

// Visits every field up to the terminator (VPD-R, VPD-W) or up to a zero byte (other
// resources), and never past a header of three zero bytes, which marks unused space
// for every reader; `visit(const Field&)` returns false to stop early.
template <typename Visit>
FieldWalkEnd walk_fields(const uint8_t* data, size_t len, uint8_t name, Visit&& visit);

bool is_terminator(uint8_t name, const char* keyword);
bool has_terminator(uint8_t name);

template <typename Visit>
FieldWalkEnd walk_fields(const uint8_t* data, size_t len, uint8_t name, Visit&& visit) {
    const bool terminated = has_terminator(name);
    Field field;
    for (size_t offset = 0; read_field(data, len, offset, field); offset = field.end()) {
        if (field.zero_header()) return FieldWalkEnd::boundary;
        if (terminated) {
            if (is_terminator(name, field.keyword)) return FieldWalkEnd::terminator;
        } else if (field.keyword[0] == 0) {
            return FieldWalkEnd::boundary;
        }
        if (!field.complete) return FieldWalkEnd::overrun;
        if (!visit(field)) break;
    }
    return FieldWalkEnd::boundary;
}

// 16-bit little-endian access.
inline uint16_t load_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void store_le16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace zelt::formats::vpd
