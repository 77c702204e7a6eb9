// Checking a resource list before it is trusted or stored.
#include <bitset>

#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_walk.h"

namespace zelt {

using namespace zelt::formats::vpd;

namespace {

bool is_text_byte(uint8_t c) {
    // Letters, digits, punctuation (0x21..0x7E with the space) and the white-space
    // controls tab, line feed, vertical tab, form feed and carriage return.
    return (c >= 0x20 && c <= 0x7E) || (c >= 0x09 && c <= 0x0D);
}

int32_t verify_read_only(const uint8_t* buf, const Resource& r) {
    const uint8_t* data = buf + r.data_offset;
    vpd_field_header hdr;
    const uint8_t* rv = vpd_get_field_hdr(data, r.length, "RV", &hdr);
    if (rv == nullptr) return HVXRETVAL_CHECKSUM_NOT_FOUND;
    if (hdr.length == 0) return HVXRETVAL_INVALID_LENGTH;
    uint8_t sum = 0;
    for (const uint8_t* p = buf; p <= rv; ++p) sum = static_cast<uint8_t>(sum + *p);
    if (sum != 0) return HVXRETVAL_INVALID_CHECKSUM;
    return vpd_verify_fields(data, r.length, r.name);
}

}  // namespace

int32_t vpd_verify_string(const uint8_t* text, size_t len) {
    for (size_t i = 0; i < len; ++i)
        if (!is_text_byte(text[i])) return HVXRETVAL_INVALID_STRING;
    return HVXRETVAL_SUCCESS;
}

int32_t vpd_verify_fields(const uint8_t* data, size_t len, uint8_t name) {
    if (data == nullptr) return HVXRETVAL_SUCCESS;
    std::bitset<65536> seen;
    int32_t rc = HVXRETVAL_SUCCESS;
    FieldWalkEnd how = walk_fields(data, len, name, [&](const Field& f) {
        if (f.length == 0) {
            rc = HVXRETVAL_ZERO_LENGTH_ITEM;
            return false;
        }
        const size_t key = static_cast<uint8_t>(f.keyword[0]) << 8 | static_cast<uint8_t>(f.keyword[1]);
        if (seen.test(key)) {
            rc = HVXRETVAL_DUPLICATE_ITEM;
            return false;
        }
        seen.set(key);
        return true;
    });
    if (rc == HVXRETVAL_SUCCESS && how == FieldWalkEnd::overrun) rc = HVXRETVAL_INVALID_DATA_LENGTH;
    return rc;
}

int32_t vpd_verify(const uint8_t* buf, size_t len, size_t* position) {
    if (buf == nullptr) return HVXRETVAL_END_TAG_NOT_FOUND;
    size_t offset = 0;
    while (offset < len) {
        if (position != nullptr) *position = offset;
        Resource r = read_resource(buf, len, offset);
        if (!r.complete) return HVXRETVAL_INVALID_DATA_LENGTH;
        int32_t rc = HVXRETVAL_SUCCESS;
        switch (r.name) {
        case VPD_RESOURCE_TAG_END:
            return r.end() == len ? HVXRETVAL_SUCCESS : HVXRETVAL_INVALID_END_TAG;
        case VPD_RESOURCE_TAG_IDENTIFER_STRING:
            rc = vpd_verify_string(buf + r.data_offset, r.length);
            break;
        case VPD_RESOURCE_TAG_READ_ONLY:
            rc = verify_read_only(buf, r);
            break;
        case VPD_RESOURCE_TAG_READ_WRITE:
            rc = vpd_verify_fields(buf + r.data_offset, r.length, r.name);
            break;
        default:
            break;
        }
        if (rc != HVXRETVAL_SUCCESS) return rc;
        offset = r.end();
    }
    return HVXRETVAL_END_TAG_NOT_FOUND;
}

int32_t vpd_verify_image(const uint8_t* item, size_t item_len) {
    if (item == nullptr || item_len <= VPD_IMAGE_HEADER_SIZE) return HVXRETVAL_INVALID_DATA_LENGTH;
    return vpd_verify(item + VPD_IMAGE_HEADER_SIZE, item_len - VPD_IMAGE_HEADER_SIZE, nullptr);
}

}  // namespace zelt
