// The identity fields of a VPD item (product name and the read-only keywords) as a
// table, and a new item built from such a table. Used to write one field back into an
// adapter's VPD after its NVM was rewritten.
//
// The item is read as: 4-byte format revision, identifier string (tag 0x82), then
// directly the read-only resource (tag 0x90) whose keywords up to "RV" form the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelt {

// Longest product name and keyword value that can be set.
inline constexpr size_t VPD_PRODUCT_NAME_MAX = 81;
inline constexpr size_t VPD_KEYWORD_VALUE_MAX = 241;
// Field name that selects the identifier string instead of a keyword.
inline constexpr const char* VPD_FIELD_PRODUCT_NAME = "PRODUCT_NAME";

struct vpd_identity_field {
    char keyword[3];  // two characters and a zero
    std::string value;
};

struct vpd_identity_table {
    std::string product_name;
    std::vector<vpd_identity_field> fields;  // read-only keywords before "RV", in item order
};

// Reads the table from a whole VPD item (`item_len` bytes, format revision included).
// 0, or:
//   HVXRETVAL_INVALID_TAG          the list does not start with the identifier string,
//                                  or the read-only resource does not follow it
//                                  (*expected and *found, when given, name the tags);
//   HVXRETVAL_INVALID_DATA_LENGTH  the item is too short, or a resource or field runs
//                                  past its end.
int32_t vpd_read_identity(const uint8_t* item, size_t item_len, vpd_identity_table& table, uint8_t* expected,
                          uint8_t* found);

// Sets `field` ("PRODUCT_NAME" or a two-character keyword) to `value`. A keyword not in
// the table is appended (*appended set). 0, or:
//   HVXRETVAL_INVALID_LENGTH       empty value;
//   HVXRETVAL_INVALID_DATA_LENGTH  product name over VPD_PRODUCT_NAME_MAX or keyword
//                                  value over VPD_KEYWORD_VALUE_MAX characters;
//   HVXRETVAL_INVALID_PARAMETER    a field name that is neither (or "RV", which the
//                                  rebuild writes itself).
int32_t vpd_identity_set(vpd_identity_table& table, const char* field, const std::string& value, bool* appended);

// Builds a whole item from the table: format revision 1, the identifier string, the
// read-only resource with every keyword in table order and "RV" (checksum byte, then
// zeros to the end of the resource), and the End tag. The resource list keeps the
// length of the current item minus its format revision (`current_item_len` - 4) unless
// the fields need more; then it grows to the needed length rounded down to a multiple
// of 4, plus 4. 0, or HVXRETVAL_INVALID_LENGTH when "RV" would need 256 bytes or more
// (or a resource more than 65535).
int32_t vpd_rebuild_image(const vpd_identity_table& table, size_t current_item_len, std::vector<uint8_t>& image);

}  // namespace zelt
