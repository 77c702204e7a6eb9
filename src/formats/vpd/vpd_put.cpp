// Changing the resource list: adding resources, setting keyword fields, and the
// VPD-R checksum.
#include <cstring>
#include <vector>

#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_walk.h"

namespace zelt {

using namespace zelt::formats::vpd;

namespace {

constexpr char kReadOnlyTerminator[2] = {'R', 'V'};
constexpr char kReadWriteTerminator[2] = {'R', 'W'};

// Writes the terminator of a VPD-R or VPD-W at `at`, taking the `room` bytes up to the
// end of the resource (its length byte saturates at 255).
void write_terminator(uint8_t* at, uint8_t name, size_t room) {
    const char* keyword = name == VPD_RESOURCE_TAG_READ_ONLY ? kReadOnlyTerminator : kReadWriteTerminator;
    at[0] = static_cast<uint8_t>(keyword[0]);
    at[1] = static_cast<uint8_t>(keyword[1]);
    size_t data = room - VPD_FIELD_HEADER_SIZE;
    at[2] = static_cast<uint8_t>(data > VPD_FIELD_MAX_LENGTH ? VPD_FIELD_MAX_LENGTH : data);
}

}  // namespace

int32_t vpd_put_resource(uint8_t* buf, size_t len, uint8_t name, bool large, uint8_t** out_data,
                         const uint8_t* data, size_t data_len) {
    if (buf == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    if (data_len > (large ? VPD_LARGE_RESOURCE_MAX_LENGTH : VPD_SMALL_RESOURCE_MAX_LENGTH))
        return HVXRETVAL_INVALID_DATA_LENGTH;
    if (name > (large ? 0x7F : 0x0F)) return HVXRETVAL_INVALID_TAG;

    Resource existing;
    if (find_resource(buf, len, name, existing))
        return existing.length < data_len ? HVXRETVAL_INSUFFICIENT_SPACE : HVXRETVAL_UNSUPPORTED_OPERATION;

    DataEnd end;
    if (!locate_end(buf, len, end)) return HVXRETVAL_ZERO_LENGTH_ITEM;
    const size_t header = large ? VPD_LARGE_RESOURCE_HEADER_SIZE : 1;
    if (len - end.end < header) return HVXRETVAL_INSUFFICIENT_SPACE;
    const size_t room = len - end.end - header;
    if (data_len > room) {
        if (room == 0) return HVXRETVAL_INSUFFICIENT_SPACE;
        data_len = room;
    }

    // The new resource takes the place of the End tag (when there is one), which moves
    // behind it, so that walks still reach the new resource.
    const size_t at = end.end_tag;
    const size_t tail = end.end - end.end_tag;
    std::memmove(buf + at + header + data_len, buf + at, tail);

    if (large) {
        buf[at] = static_cast<uint8_t>(VPD_LARGE_TAG_FLAG | name);
        store_le16(buf + at + 1, static_cast<uint16_t>(data_len));
    } else {
        buf[at] = static_cast<uint8_t>((name << 3) | data_len);
    }
    uint8_t* resource_data = buf + at + header;
    if (data != nullptr) {
        std::memmove(resource_data, data, data_len);
    } else {
        std::memset(resource_data, 0, data_len);
        if (has_terminator(name) && data_len >= VPD_FIELD_HEADER_SIZE)
            write_terminator(resource_data, name, data_len);
    }
    if (out_data != nullptr) *out_data = resource_data;
    return static_cast<int32_t>(data_len);
}

int32_t vpd_put_field(uint8_t* buf, size_t len, uint8_t name, const char* keyword,
                      const uint8_t* data, size_t data_len) {
    if (buf == nullptr || keyword == nullptr || (data == nullptr && data_len != 0))
        return HVXRETVAL_INVALID_POINTER_PARAMETER;
    if (data_len > VPD_FIELD_MAX_LENGTH) return HVXRETVAL_INVALID_DATA_LENGTH;
    const size_t terminator = vpd_terminator_length(name);
    const size_t field_size = VPD_FIELD_HEADER_SIZE + data_len;

    Resource res;
    if (!find_resource(buf, len, name, res)) {
        DataEnd end;
        if (!locate_end(buf, len, end)) return HVXRETVAL_ZERO_LENGTH_ITEM;
        const size_t reserve = VPD_IMAGE_HEADER_SIZE + end.end;
        if (len < reserve || len - reserve < terminator + field_size) return HVXRETVAL_INSUFFICIENT_SPACE;
        size_t size = len - reserve;
        // Take the space left, but no more than a full-length terminator can fill.
        if (size - field_size > VPD_FIELD_MAX_LENGTH) size = terminator + VPD_FIELD_HEADER_SIZE + VPD_FIELD_MAX_LENGTH;
        int32_t rc = vpd_put_resource(buf, len, name, true, nullptr, nullptr, size);
        if (rc < 0) return rc;
        if (!find_resource(buf, len, name, res)) return HVXRETVAL_RESOURCE_NOT_FOUND;
    }

    // The new content: every field before the terminator, with the first field of
    // that keyword replaced, or the new field appended.
    const uint8_t* res_data = buf + res.data_offset;
    std::vector<uint8_t> content;
    content.reserve(res.length + field_size);
    bool replaced = false;
    auto append_new = [&] {
        content.push_back(static_cast<uint8_t>(keyword[0]));
        content.push_back(static_cast<uint8_t>(keyword[1]));
        content.push_back(static_cast<uint8_t>(data_len));
        if (data_len != 0) content.insert(content.end(), data, data + data_len);
    };
    FieldWalkEnd how = walk_fields(res_data, res.length, name, [&](const Field& f) {
        if (!replaced && f.keyword[0] == keyword[0] && f.keyword[1] == keyword[1]) {
            append_new();
            replaced = true;
        } else {
            content.insert(content.end(), res_data + f.offset, res_data + f.end());
        }
        return true;
    });
    // A field running past its resource means the lengths are corrupt; rewriting
    // would drop data, so the buffer is left as it is.
    if (how == FieldWalkEnd::overrun) return HVXRETVAL_INVALID_DATA_LENGTH;
    if (!replaced) append_new();

    size_t new_length = res.length;
    const size_t needed = content.size() + terminator;
    if (needed > res.length) {
        // Growing: only the last resource before the end of data (or before the End
        // tag, which moves) can grow, and only into free buffer space.
        DataEnd end;
        if (!res.large || needed > VPD_LARGE_RESOURCE_MAX_LENGTH || !locate_end(buf, len, end) ||
            res.end() != end.end_tag)
            return HVXRETVAL_INSUFFICIENT_SPACE;
        const size_t grow = needed - res.length;
        if (len - end.end < grow) return HVXRETVAL_INSUFFICIENT_SPACE;
        std::memmove(buf + end.end_tag + grow, buf + end.end_tag, end.end - end.end_tag);
        store_le16(buf + res.offset + 1, static_cast<uint16_t>(needed));
        new_length = needed;
    }

    uint8_t* out = buf + res.data_offset;
    std::memset(out, 0, new_length);
    std::memcpy(out, content.data(), content.size());
    if (terminator != 0) {
        const size_t room = new_length - content.size();
        if (room < terminator) return HVXRETVAL_INSUFFICIENT_SPACE;
        write_terminator(out + content.size(), name, room);
    }
    return HVXRETVAL_SUCCESS;
}

int32_t vpd_put_checksum(uint8_t* buf, size_t len) {
    uint8_t* read_only = nullptr;
    int32_t rc = vpd_get_resource(buf, len, VPD_RESOURCE_TAG_READ_ONLY, &read_only);
    if (rc < 0) return rc;
    vpd_field_header hdr;
    const uint8_t* rv = vpd_get_field_hdr(read_only, static_cast<size_t>(rc), kReadOnlyTerminator, &hdr);
    if (rv == nullptr) return HVXRETVAL_CHECKSUM_NOT_FOUND;
    if (hdr.length == 0) return HVXRETVAL_INVALID_LENGTH;
    const size_t at = static_cast<size_t>(rv - buf);
    uint8_t sum = 0;
    for (size_t i = 0; i < at; ++i) sum = static_cast<uint8_t>(sum + buf[i]);
    buf[at] = static_cast<uint8_t>(-sum);
    return HVXRETVAL_SUCCESS;
}

}  // namespace zelt
