// Reading one read-only keyword of a whole VPD item, as shown and preserved for the
// adapter's identity.
#include <cstring>

#include "formats/vpd/vpd.h"

int32_t zelt_vpd_get_field(const uint8_t* item, size_t item_len, const char* keyword, char* out,
                           size_t out_size) {
    if (out == nullptr || out_size == 0) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    const uint8_t* field = nullptr;
    vpd_field_header hdr{};
    if (item != nullptr && keyword != nullptr && item_len > VPD_IMAGE_HEADER_SIZE) {
        const uint8_t* read_only = nullptr;
        int32_t len = vpd_get_resource(item + VPD_IMAGE_HEADER_SIZE, item_len - VPD_IMAGE_HEADER_SIZE,
                                       VPD_RESOURCE_TAG_READ_ONLY, &read_only);
        if (len >= 0) field = vpd_get_field_hdr(read_only, static_cast<size_t>(len), keyword, &hdr);
    }
    if (field == nullptr) {
        std::strncpy(out, "N/A", out_size - 1);
        out[out_size - 1] = '\0';
        return HVXRETVAL_ITEM_NOT_FOUND;
    }
    size_t n = hdr.length < out_size - 1 ? hdr.length : out_size - 1;
    std::memcpy(out, field, n);
    out[n] = '\0';
    return HVXRETVAL_SUCCESS;
}
