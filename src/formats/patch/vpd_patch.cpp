// Applying VPD patch lines: each sets one keyword of a VPD resource.
#include <cstring>

#include "formats/patch/patch.h"
#include "formats/patch/patch_line.h"
#include "formats/vpd/vpd.h"

namespace zelt {

using namespace zelt::formats::patch;

namespace {

struct VpdLine {
    char prefix = 'R';
    char keyword[2] = {0, 0};
    char value[VPD_FIELD_MAX_LENGTH + 1] = {0};
};

// Tries the line forms from the most to the least specific; false when none matches.
bool parse_vpd_line(const char* line, VpdLine& out) {
    for (int form = 0; form < 4; ++form) {
        const bool prefixed = form < 2;
        const char* opening = (form % 2 == 0) ? " = Text,\"" : " = \"";
        LineScanner s(line);
        char prefix = 'R';
        if (prefixed && !(s.character(prefix) && s.literal("."))) continue;
        if (s.character(out.keyword[0]) && s.character(out.keyword[1]) && s.literal(opening) &&
            s.text_until_quote(out.value, VPD_FIELD_MAX_LENGTH)) {
            out.prefix = prefix;
            return true;
        }
    }
    return false;
}

}  // namespace

int32_t zeltnvmPatchVPD(uint8_t* vpd, size_t len, const char* text, size_t text_len) {
    if (vpd == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    if (text != nullptr) {
        int32_t rc = for_each_line(text, text_len, [&](const char* line) -> int32_t {
            VpdLine parsed;
            if (!parse_vpd_line(line, parsed)) return 0;  // a comment
            uint8_t name;
            if (parsed.prefix == 'R')
                name = VPD_RESOURCE_TAG_READ_ONLY;
            else if (parsed.prefix == 'W')
                name = VPD_RESOURCE_TAG_READ_WRITE;
            else
                return HVXRETVAL_INVALID_TAG;
            return vpd_put_field(vpd, len, name, parsed.keyword, reinterpret_cast<const uint8_t*>(parsed.value),
                                 std::strlen(parsed.value));
        });
        if (rc != 0) return rc;
    }
    int32_t rc = vpd_put_checksum(vpd, len);
    if (rc < 0) return rc;
    return vpd_get_length(vpd, len);
}

}  // namespace zelt
