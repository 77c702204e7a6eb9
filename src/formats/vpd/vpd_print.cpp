// Text reports of a resource list, its fields, and the hex dump they use.
#include "formats/vpd/append_format.h"
#include "formats/vpd/vpd.h"
#include "formats/vpd/vpd_walk.h"

namespace zelt {

using namespace zelt::formats::vpd;
using zelt::formats::append_format;

namespace {

constexpr size_t kDumpLineBytes = 16;

bool all_printable(const uint8_t* data, size_t len) {
    for (size_t i = 0; i < len; ++i)
        if (data[i] < 0x20) return false;
    return true;
}

// The data as a quoted text when no byte is a control character, otherwise as hex
// bytes separated by two spaces.
void append_value(std::string& out, const uint8_t* data, size_t len) {
    if (all_printable(data, len)) {
        append_format(out, "\"%.*s\"", static_cast<int>(len), reinterpret_cast<const char*>(data));
        return;
    }
    for (size_t i = 0; i < len; ++i) append_format(out, i == 0 ? "%02X" : "  %02X", data[i]);
}

// Appends up to two keyword characters, stopping at a zero as "%.2s" does.
void append_keyword(std::string& out, const char* keyword) {
    append_format(out, "%.2s", keyword);
}

}  // namespace

void vpd_hex_dump(const uint8_t* data, size_t len, std::string& out) {
    for (size_t line = 0; line < len; line += kDumpLineBytes) {
        const size_t count = len - line < kDumpLineBytes ? len - line : kDumpLineBytes;
        append_format(out, "%05lx: ", static_cast<unsigned long>(line));
        for (size_t i = 0; i < kDumpLineBytes; ++i) {
            if (i < count)
                append_format(out, "%02X ", data[line + i]);
            else
                out.append("   ");
            if (i == 7) out.append(i < count ? "- " : "  ");
        }
        out.append("  : ");
        for (size_t i = 0; i < count; ++i) {
            const uint8_t c = data[line + i];
            out.push_back(c >= 0x20 && c <= 0x7E ? static_cast<char>(c) : '.');
        }
        out.push_back('\n');
    }
}

int32_t vpd_print_fields(const uint8_t* data, size_t len, uint8_t name, int verbosity,
                         std::string& out) {
    if (data == nullptr) return 0;
    int32_t printed = 0;
    Field field;
    for (size_t offset = 0; read_field(data, len, offset, field); offset = field.end()) {
        if (field.zero_header()) break;
        if (verbosity <= 0 && is_terminator(name, field.keyword)) break;
        ++printed;
        if (verbosity >= 2) {
            out.append("    ");
            out.append(vpd_tag_description(name));
            append_format(out, " Field %-2u '", static_cast<unsigned>(printed));
            append_keyword(out, field.keyword);
            append_format(out, "' (%-3u bytes): ", static_cast<unsigned>(field.length));
        } else {
            out.append("    ");
            append_keyword(out, field.keyword);
            out.append(": ");
        }
        if (!field.complete) {
            append_format(out, "Invalid length (%u)\n", static_cast<unsigned>(field.length));
            break;
        }
        if (verbosity >= 2) {
            out.push_back('\n');
            vpd_hex_dump(data + field.data_offset, field.length, out);
        } else {
            append_value(out, data + field.data_offset, field.length);
            out.push_back('\n');
        }
    }
    return printed;
}

void vpd_print(const uint8_t* buf, size_t len, int verbosity, std::string& out) {
    if (buf == nullptr) return;
    size_t offset = 0;
    while (offset < len) {
        Resource r = read_resource(buf, len, offset);
        out.append("VPD Resource Tag ");
        if (verbosity >= 1) append_format(out, "(%02X) ", r.tag);
        out.append(vpd_tag_description(r.name));
        out.push_back(' ');
        if (!r.complete) {
            // The declared length runs past the buffer: nothing after it can be read.
            append_format(out, "Invalid length (%u)\n", static_cast<unsigned>(r.length));
            return;
        }
        const uint8_t* data = buf + r.data_offset;
        switch (r.name) {
        case VPD_RESOURCE_TAG_IDENTIFER_STRING:
            append_value(out, data, r.length);
            out.push_back('\n');
            break;
        case VPD_RESOURCE_TAG_END:
            out.push_back('\n');
            return;
        case VPD_RESOURCE_TAG_READ_ONLY:
        case VPD_RESOURCE_TAG_READ_WRITE:
            if (verbosity >= 1) append_format(out, "(%u bytes)", static_cast<unsigned>(r.length));
            out.push_back('\n');
            vpd_print_fields(data, r.length, r.name, verbosity, out);
            break;
        default:
            append_format(out, "Unknown: 0x%02X\n", r.name);
            if (verbosity >= 2) vpd_hex_dump(data, r.length, out);
            break;
        }
        offset = r.end();
    }
}

}  // namespace zelt
