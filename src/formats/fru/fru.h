// The adapter's FRU item (directory type 81): a 256-byte record whose board area
// holds the product name, serial number, part number and revision as fixed-width
// text fields padded with blanks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelt::formats::fru {

// Where a text field sits in the item.
struct FieldPlace {
    size_t offset;
    size_t width;
};

inline constexpr size_t kItemSize = 256;
inline constexpr size_t kFormatVersionOffset = 0;  // common header: format version 1
inline constexpr size_t kBoardAreaOffset = 3;      // common header: board area start, in 8-byte units
inline constexpr FieldPlace kProductName{19, 32};
inline constexpr FieldPlace kSerialNumber{52, 14};
inline constexpr FieldPlace kPartNumber{67, 6};
inline constexpr FieldPlace kRevision{73, 3};
// The shortest item that holds every field.
inline constexpr size_t kFieldsEnd = kRevision.offset + kRevision.width;

struct BoardFields {
    std::string product_name;
    std::string serial_number;
    std::string part_number;
    std::string revision;
};

// The board fields of an item, each without its blank padding and ending at a zero
// byte; nothing when the item is too short to hold them all.
std::optional<BoardFields> parse(std::span<const uint8_t> item);

// A whole item holding `fields`; a text longer than its field is cut to the field.
std::vector<uint8_t> build(const BoardFields& fields);

}  // namespace zelt::formats::fru
