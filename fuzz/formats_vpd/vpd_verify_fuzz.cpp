// Checks and lookups over arbitrary VPD bytes: no access outside the buffer, and a
// list that passes the check is fully used and already carries its checksum.
#include <cstdint>
#include <cstring>
#include <memory>

#include "formats/vpd/vpd.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> buf(new uint8_t[size + 1]);
    if (size != 0) std::memcpy(buf.get(), data, size);
    uint8_t* vpd = size != 0 ? buf.get() : nullptr;

    size_t position = 0;
    const int32_t verdict = vpd_verify(vpd, size, &position);
    if (size != 0 && position >= size) __builtin_trap();
    vpd_verify_image(vpd, size);

    const int32_t used = vpd_get_length(vpd, size);
    if (used > static_cast<int32_t>(size)) __builtin_trap();
    if (verdict == HVXRETVAL_SUCCESS) {
        if (used != static_cast<int32_t>(size)) __builtin_trap();
        const uint8_t* ro = nullptr;
        if (vpd_get_resource(static_cast<const uint8_t*>(vpd), size, VPD_RESOURCE_TAG_READ_ONLY, &ro) >= 0) {
            std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
            std::memcpy(copy.get(), vpd, size);
            if (vpd_put_checksum(copy.get(), size) != HVXRETVAL_SUCCESS) __builtin_trap();
            if (std::memcmp(copy.get(), vpd, size) != 0) __builtin_trap();
        }
    }

    for (uint8_t name : {VPD_RESOURCE_TAG_IDENTIFER_STRING, VPD_RESOURCE_TAG_READ_ONLY, VPD_RESOURCE_TAG_READ_WRITE}) {
        const uint8_t* res = nullptr;
        const int32_t len = vpd_get_resource(static_cast<const uint8_t*>(vpd), size, name, &res);
        if (len < 0) continue;
        if (res < vpd || res + len > vpd + size) __builtin_trap();
        vpd_field fields[16];
        vpd_get_fields(res, static_cast<size_t>(len), name, fields, 16);
        vpd_count_fields(res, static_cast<size_t>(len), name);
        vpd_verify_fields(res, static_cast<size_t>(len), name);
        vpd_field one;
        vpd_get_field(res, static_cast<size_t>(len), "SN", &one);
    }
    char text[256];
    zelt_vpd_get_field(vpd, size, "PN", text, sizeof text);
    return 0;
}
