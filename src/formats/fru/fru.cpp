#include "formats/fru/fru.h"

#include <algorithm>

namespace zelt::formats::fru {

namespace {

std::string field_text(std::span<const uint8_t> item, FieldPlace place) {
    const auto bytes = item.subspan(place.offset, place.width);
    size_t n = 0;
    while (n < bytes.size() && bytes[n] != 0) ++n;
    while (n > 0 && bytes[n - 1] == ' ') --n;
    return std::string(reinterpret_cast<const char*>(bytes.data()), n);
}

void put(std::vector<uint8_t>& item, FieldPlace place, const std::string& text) {
    const auto at = item.begin() + static_cast<std::ptrdiff_t>(place.offset);
    std::fill_n(at, place.width, static_cast<uint8_t>(' '));
    std::copy_n(text.begin(), std::min(place.width, text.size()), at);
}

}  // namespace

std::optional<BoardFields> parse(std::span<const uint8_t> item) {
    if (item.size() < kFieldsEnd) return std::nullopt;
    return BoardFields{field_text(item, kProductName), field_text(item, kSerialNumber), field_text(item, kPartNumber),
                       field_text(item, kRevision)};
}

std::vector<uint8_t> build(const BoardFields& fields) {
    std::vector<uint8_t> item(kItemSize, 0);
    item[kFormatVersionOffset] = 0x01;
    item[kBoardAreaOffset] = 0x01;  // board area at 8 bytes
    put(item, kProductName, fields.product_name);
    put(item, kSerialNumber, fields.serial_number);
    put(item, kPartNumber, fields.part_number);
    put(item, kRevision, fields.revision);
    return item;
}

}  // namespace zelt::formats::fru
