// An adapter's VPD item read as an identity table, one field set, and the item rebuilt:
// no access outside the item, and a rebuilt item always carries the field that was set,
// a checksum that makes the byte sum 0 and the End tag as its last byte.
//
// Input: field selector, value length, extra current length; then the value; then the
// VPD item (format revision included).
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_rebuild.h"

using namespace zelt;

namespace {

const char* const kFields[] = {"SN", "PN", "MN", "PRODUCT_NAME", "V1", "RV", "X"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const char* field = kFields[data[0] % (sizeof kFields / sizeof kFields[0])];
    size_t value_len = data[1];
    const size_t extra = data[2];
    data += 3;
    size -= 3;
    if (value_len > size) value_len = size;
    const std::string value(reinterpret_cast<const char*>(data), value_len);
    // The item in its own allocation, so that any read past it is caught.
    const size_t item_len = size - value_len;
    std::unique_ptr<uint8_t[]> item(new uint8_t[item_len == 0 ? 1 : item_len]);
    if (item_len != 0) std::memcpy(item.get(), data + value_len, item_len);

    vpd_identity_table table;
    if (vpd_read_identity(item.get(), item_len, table, nullptr, nullptr) != 0) return 0;
    if (vpd_identity_set(table, field, value, nullptr) != 0) return 0;
    std::vector<uint8_t> out;
    if (vpd_rebuild_image(table, item_len + extra, out) != 0) return 0;

    if (out.size() < VPD_IMAGE_HEADER_SIZE + 1 || out.back() != VPD_TAG_END) std::abort();
    // The checksum covers the resource list up to the "RV" data byte; the bytes after it
    // up to the End tag are zero, so the whole list but the End tag sums to zero.
    uint8_t sum = 0;
    for (size_t i = VPD_IMAGE_HEADER_SIZE; i + 1 < out.size(); ++i) sum = static_cast<uint8_t>(sum + out[i]);
    if (sum != 0) std::abort();
    vpd_identity_table again;
    if (vpd_read_identity(out.data(), out.size(), again, nullptr, nullptr) != 0) std::abort();
    if (std::strcmp(field, VPD_FIELD_PRODUCT_NAME) == 0) {
        if (again.product_name != value) std::abort();
    } else {
        bool found = false;
        for (const vpd_identity_field& f : again.fields) found |= std::strcmp(f.keyword, field) == 0 && f.value == value;
        if (!found) std::abort();
    }
    return 0;
}
