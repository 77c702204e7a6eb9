// Reading the identity table of a VPD item and building a new item from it.
#include "formats/vpd/vpd_rebuild.h"

#include <cstring>

#include "common/hvxretval.h"
#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_walk.h"

namespace zelt {

namespace vpd = zelt::formats::vpd;

int32_t vpd_read_identity(const uint8_t* item, size_t item_len, vpd_identity_table& table, uint8_t* expected,
                          uint8_t* found) {
    table = {};
    auto tag_error = [&](uint8_t want, uint8_t got) {
        if (expected) *expected = want;
        if (found) *found = got;
        return HVXRETVAL_INVALID_TAG;
    };
    if (item == nullptr || item_len <= VPD_IMAGE_HEADER_SIZE) return HVXRETVAL_INVALID_DATA_LENGTH;
    const uint8_t* list = item + VPD_IMAGE_HEADER_SIZE;
    const size_t len = item_len - VPD_IMAGE_HEADER_SIZE;

    if (list[0] != VPD_TAG_IDENTIFIER_STRING) return tag_error(VPD_TAG_IDENTIFIER_STRING, list[0]);
    const vpd::Resource id = vpd::read_resource(list, len, 0);
    if (!id.complete) return HVXRETVAL_INVALID_DATA_LENGTH;
    table.product_name.assign(reinterpret_cast<const char*>(list + id.data_offset), id.length);

    if (id.end() >= len) return HVXRETVAL_INVALID_DATA_LENGTH;
    if (list[id.end()] != VPD_TAG_READ_ONLY) return tag_error(VPD_TAG_READ_ONLY, list[id.end()]);
    const vpd::Resource ro = vpd::read_resource(list, len, id.end());
    if (!ro.complete) return HVXRETVAL_INVALID_DATA_LENGTH;

    const uint8_t* data = list + ro.data_offset;
    const vpd::FieldWalkEnd end =
        vpd::walk_fields(data, ro.length, VPD_RESOURCE_TAG_READ_ONLY, [&](const vpd::Field& f) {
            vpd_identity_field field{};
            field.keyword[0] = f.keyword[0];
            field.keyword[1] = f.keyword[1];
            field.value.assign(reinterpret_cast<const char*>(data + f.data_offset), f.length);
            table.fields.push_back(std::move(field));
            return true;
        });
    if (end == vpd::FieldWalkEnd::overrun) return HVXRETVAL_INVALID_DATA_LENGTH;
    return HVXRETVAL_SUCCESS;
}

int32_t vpd_identity_set(vpd_identity_table& table, const char* field, const std::string& value, bool* appended) {
    if (appended) *appended = false;
    if (field == nullptr) return HVXRETVAL_INVALID_PARAMETER;
    if (std::strcmp(field, VPD_FIELD_PRODUCT_NAME) == 0) {
        if (value.empty()) return HVXRETVAL_INVALID_LENGTH;
        if (value.size() > VPD_PRODUCT_NAME_MAX) return HVXRETVAL_INVALID_DATA_LENGTH;
        table.product_name = value;
        return HVXRETVAL_SUCCESS;
    }
    if (std::strlen(field) != 2 || vpd_field_is_terminator(VPD_RESOURCE_TAG_READ_ONLY, field))
        return HVXRETVAL_INVALID_PARAMETER;
    if (value.empty()) return HVXRETVAL_INVALID_LENGTH;
    if (value.size() > VPD_KEYWORD_VALUE_MAX) return HVXRETVAL_INVALID_DATA_LENGTH;
    for (vpd_identity_field& f : table.fields) {
        if (std::memcmp(f.keyword, field, 2) == 0) {
            f.value = value;
            return HVXRETVAL_SUCCESS;
        }
    }
    vpd_identity_field f{};
    std::memcpy(f.keyword, field, 2);
    f.value = value;
    table.fields.push_back(std::move(f));
    if (appended) *appended = true;
    return HVXRETVAL_SUCCESS;
}

int32_t vpd_rebuild_image(const vpd_identity_table& table, size_t current_item_len, std::vector<uint8_t>& image) {
    const size_t name_len = table.product_name.size();
    size_t fields_len = 0;
    for (const vpd_identity_field& f : table.fields) {
        if (f.value.size() > VPD_FIELD_MAX_LENGTH) return HVXRETVAL_INVALID_LENGTH;
        fields_len += VPD_FIELD_HEADER_SIZE + f.value.size();
    }
    const size_t fixed = VPD_LARGE_RESOURCE_HEADER_SIZE + name_len + VPD_LARGE_RESOURCE_HEADER_SIZE + 1;  // + End tag
    const size_t needed = fixed + fields_len + VPD_READ_ONLY_TERMINATOR_LENGTH;
    size_t list_len = current_item_len > VPD_IMAGE_HEADER_SIZE ? current_item_len - VPD_IMAGE_HEADER_SIZE : 0;
    if (needed > list_len) list_len = needed / 4 * 4 + 4;

    const size_t ro_len = list_len - fixed;
    const size_t rv_len = ro_len - fields_len - VPD_FIELD_HEADER_SIZE;
    if (rv_len > VPD_FIELD_MAX_LENGTH || ro_len > VPD_LARGE_RESOURCE_MAX_LENGTH ||
        name_len > VPD_LARGE_RESOURCE_MAX_LENGTH)
        return HVXRETVAL_INVALID_LENGTH;

    std::vector<uint8_t> out(VPD_IMAGE_HEADER_SIZE + list_len, 0);
    out[0] = 1;  // format revision, little-endian
    size_t at = VPD_IMAGE_HEADER_SIZE;
    out[at] = VPD_TAG_IDENTIFIER_STRING;
    vpd::store_le16(&out[at + 1], static_cast<uint16_t>(name_len));
    at += VPD_LARGE_RESOURCE_HEADER_SIZE;
    std::memcpy(&out[at], table.product_name.data(), name_len);
    at += name_len;
    out[at] = VPD_TAG_READ_ONLY;
    vpd::store_le16(&out[at + 1], static_cast<uint16_t>(ro_len));
    at += VPD_LARGE_RESOURCE_HEADER_SIZE;
    for (const vpd_identity_field& f : table.fields) {
        out[at] = static_cast<uint8_t>(f.keyword[0]);
        out[at + 1] = static_cast<uint8_t>(f.keyword[1]);
        out[at + 2] = static_cast<uint8_t>(f.value.size());
        std::memcpy(&out[at + VPD_FIELD_HEADER_SIZE], f.value.data(), f.value.size());
        at += VPD_FIELD_HEADER_SIZE + f.value.size();
    }
    out[at] = 'R';
    out[at + 1] = 'V';
    out[at + 2] = static_cast<uint8_t>(rv_len);
    const size_t checksum_at = at + VPD_FIELD_HEADER_SIZE;
    uint8_t sum = 0;
    for (size_t i = VPD_IMAGE_HEADER_SIZE; i < checksum_at; ++i) sum = static_cast<uint8_t>(sum + out[i]);
    out[checksum_at] = static_cast<uint8_t>(0x100 - sum);
    out[out.size() - 1] = VPD_TAG_END;
    image = std::move(out);
    return HVXRETVAL_SUCCESS;
}

}  // namespace zelt
