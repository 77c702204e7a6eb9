// Keyword and resource writes into arbitrary VPD bytes: no access outside the buffer,
// and a keyword that was written can be read back.
//
// Input: name selector, two keyword characters, value length, free bytes after the
// image, operation; then the value; then the image.
#include <cstdint>
#include <cstring>
#include <memory>

#include "formats/vpd/vpd.h"

using namespace zelt;

namespace {

constexpr uint8_t kNames[] = {VPD_RESOURCE_TAG_READ_ONLY, VPD_RESOURCE_TAG_READ_WRITE,
                              VPD_RESOURCE_TAG_IDENTIFER_STRING, 3};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const uint8_t name = kNames[data[0] % 4];
    const char keyword[2] = {static_cast<char>(data[1]), static_cast<char>(data[2])};
    size_t value_len = data[3];
    const size_t extra = data[4] % 64;
    const uint8_t operation = data[5] % 3;
    const bool large = (data[0] & 0x80) != 0;
    const bool with_data = (data[0] & 0x40) != 0;
    data += 6;
    size -= 6;
    if (value_len > size) value_len = size;
    const uint8_t* value = data;
    const size_t image_len = size - value_len;
    const size_t len = image_len + extra;

    std::unique_ptr<uint8_t[]> buf(new uint8_t[len + 1]());
    if (image_len != 0) std::memcpy(buf.get(), data + value_len, image_len);

    if (operation == 2) {
        uint8_t* out = nullptr;
        const int32_t rc = vpd_put_resource(buf.get(), len, name, large, &out, with_data ? value : nullptr,
                                            value_len);
        if (rc >= 0 && (out < buf.get() || out + rc > buf.get() + len)) __builtin_trap();
        return 0;
    }

    const int32_t rc = vpd_put_field(buf.get(), len, name, keyword, value, value_len);
    if (rc == HVXRETVAL_SUCCESS && keyword[0] != 0 && !vpd_field_is_terminator(name, keyword)) {
        const uint8_t* res = nullptr;
        const int32_t res_len = vpd_get_resource(static_cast<const uint8_t*>(buf.get()), len, name, &res);
        if (res_len < 0) __builtin_trap();
        vpd_field_header hdr;
        const uint8_t* got = vpd_get_field_hdr(res, static_cast<size_t>(res_len), keyword, &hdr);
        if (got == nullptr || hdr.length != value_len || std::memcmp(got, value, value_len) != 0) __builtin_trap();
    }
    if (operation == 1) vpd_put_checksum(buf.get(), len);
    return 0;
}
