// Reading one read-only keyword of a whole VPD item, as shown and preserved for the
// adapter's identity.
#include <algorithm>
#include <cstring>

#include "formats/vpd/vpd.h"

namespace zelt {

namespace formats::vpd {

std::optional<std::string> read_only_field(std::span<const uint8_t> item, const char* keyword) {
    if (keyword == nullptr || std::strlen(keyword) != 2 || item.size() <= VPD_IMAGE_HEADER_SIZE) return std::nullopt;
    const uint8_t* read_only = nullptr;
    const int32_t len = vpd_get_resource(item.data() + VPD_IMAGE_HEADER_SIZE, item.size() - VPD_IMAGE_HEADER_SIZE,
                                         VPD_RESOURCE_TAG_READ_ONLY, &read_only);
    if (len < 0) return std::nullopt;
    vpd_field_header hdr{};
    const uint8_t* field = vpd_get_field_hdr(read_only, static_cast<size_t>(len), keyword, &hdr);
    if (field == nullptr) return std::nullopt;
    const size_t n = ::strnlen(reinterpret_cast<const char*>(field), hdr.length);
    return std::string(reinterpret_cast<const char*>(field), n);
}

}  // namespace formats::vpd

int32_t zelt_vpd_get_field(const uint8_t* item, size_t item_len, const char* keyword, char* out,
                           size_t out_size) {
    if (out == nullptr || out_size == 0) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    std::optional<std::string> text;
    if (item != nullptr) text = zelt::formats::vpd::read_only_field({item, item_len}, keyword);
    const std::string shown = text ? *text : std::string("N/A");
    const size_t n = std::min(shown.size(), out_size - 1);
    std::memcpy(out, shown.data(), n);
    out[n] = '\0';
    return text ? HVXRETVAL_SUCCESS : HVXRETVAL_ITEM_NOT_FOUND;
}

}  // namespace zelt
