// Vital Product Data: the adapter's product name, part number, serial number and other
// keyword fields, kept as an NVM item of directory type 5.
//
// The item starts with a 32-bit little-endian format revision; the resource list
// follows at byte 4. Every function below except zelt_vpd_get_field and
// vpd_verify_image works on the resource list only: the caller passes the item from
// byte 4 and its length minus 4.
//
// The resource list is a sequence of tagged resources:
//   small tag: bit 7 clear, name in bits 6..3, 0..7 data bytes given by bits 2..0;
//   large tag: bit 7 set, name in bits 6..0, then a 16-bit little-endian length.
// A zero byte where a resource would begin is a small resource of name 0 and length 0
// and marks unused space. The read-only (VPD-R) and read-write (VPD-W) resources hold
// keyword fields (two keyword characters, a length byte, the data); the field "RV"
// ends VPD-R and carries the checksum byte, "RW" ends VPD-W. A terminator always
// fills the rest of its resource.
//
// Results are 0 or a non-negative count/length on success and negative hvxretval
// codes on failure. No function reads or writes outside the buffer it is given; a
// resource or field whose length runs past the end of its buffer is never read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/hvxretval.h"

namespace zelt {

// Resource names (the name bits of a tag, not the tag byte).
enum vpd_resource_tag_name : uint8_t {
    VPD_RESOURCE_TAG_NONE = 0,
    VPD_RESOURCE_TAG_IDENTIFER_STRING = 2,
    VPD_RESOURCE_TAG_END = 15,
    VPD_RESOURCE_TAG_READ_ONLY = 16,
    VPD_RESOURCE_TAG_READ_WRITE = 17,
};

constexpr uint8_t VPD_LARGE_TAG_FLAG = 0x80;         // bit 7 of a tag byte
constexpr size_t VPD_IMAGE_HEADER_SIZE = 4;           // format revision word of the item
constexpr size_t VPD_SMALL_RESOURCE_MAX_LENGTH = 7;
constexpr size_t VPD_LARGE_RESOURCE_MAX_LENGTH = 65535;
constexpr size_t VPD_LARGE_RESOURCE_HEADER_SIZE = 3;  // tag and 16-bit length
constexpr size_t VPD_FIELD_HEADER_SIZE = 3;           // keyword and length byte
constexpr size_t VPD_FIELD_MAX_LENGTH = 255;
constexpr size_t VPD_READ_ONLY_TERMINATOR_LENGTH = 4;   // "RV" header and checksum byte
constexpr size_t VPD_READ_WRITE_TERMINATOR_LENGTH = 3;  // "RW" header

// Tag bytes of the usual resources.
constexpr uint8_t VPD_TAG_IDENTIFIER_STRING = VPD_LARGE_TAG_FLAG | VPD_RESOURCE_TAG_IDENTIFER_STRING;  // 0x82
constexpr uint8_t VPD_TAG_READ_ONLY = VPD_LARGE_TAG_FLAG | VPD_RESOURCE_TAG_READ_ONLY;                  // 0x90
constexpr uint8_t VPD_TAG_READ_WRITE = VPD_LARGE_TAG_FLAG | VPD_RESOURCE_TAG_READ_WRITE;                // 0x91
constexpr uint8_t VPD_TAG_END = VPD_RESOURCE_TAG_END << 3;                                              // 0x78

#pragma pack(push, 1)
// The NVM item's header; the resource list follows it.
struct vpd_image_t {
    uint32_t format_revision;  // little-endian
};

// Header of a large resource.
struct vpd_large_resource_data_tag {
    uint8_t tag;      // VPD_LARGE_TAG_FLAG | name
    uint16_t length;  // little-endian data length
};

// Header of a keyword field inside VPD-R or VPD-W.
struct vpd_field_header {
    char keyword[2];
    uint8_t length;
};

// A keyword field held in memory: its header and room for the longest data.
struct vpd_field {
    vpd_field_header hdr;
    uint8_t data[VPD_FIELD_MAX_LENGTH];
};
#pragma pack(pop)

static_assert(sizeof(vpd_image_t) == 4);
static_assert(offsetof(vpd_image_t, format_revision) == 0);
static_assert(sizeof(vpd_large_resource_data_tag) == VPD_LARGE_RESOURCE_HEADER_SIZE);
static_assert(offsetof(vpd_large_resource_data_tag, tag) == 0);
static_assert(offsetof(vpd_large_resource_data_tag, length) == 1);
static_assert(sizeof(vpd_field_header) == VPD_FIELD_HEADER_SIZE);
static_assert(offsetof(vpd_field_header, keyword) == 0);
static_assert(offsetof(vpd_field_header, length) == 2);
static_assert(sizeof(vpd_field) == VPD_FIELD_HEADER_SIZE + VPD_FIELD_MAX_LENGTH);
static_assert(offsetof(vpd_field, data) == 3);

// ---- Walking and reading -------------------------------------------------------

// Data length of the first resource named `name`, with *data (when not null) set to
// its data. HVXRETVAL_RESOURCE_NOT_FOUND when the walk reaches the End tag, the end of
// the buffer, or a resource that runs past the end of the buffer first.
int32_t vpd_get_resource(const uint8_t* buf, size_t len, uint8_t name, const uint8_t** data);
int32_t vpd_get_resource(uint8_t* buf, size_t len, uint8_t name, uint8_t** data);

// End of the used data: just after the End tag, or, when no End tag is met, the first
// zero byte that stands where a resource would begin. nullptr when there is neither.
const uint8_t* vpd_find_end(const uint8_t* buf, size_t len);

// Used length (the offset of vpd_find_end); HVXRETVAL_END_TAG_NOT_FOUND for an empty
// buffer or when there is no end of data.
int32_t vpd_get_length(const uint8_t* buf, size_t len);

// Terminator length of a resource: 4 for VPD-R, 3 for VPD-W, 0 for any other name.
size_t vpd_terminator_length(uint8_t name);

// True for "RV" in VPD-R and "RW" in VPD-W. `keyword` points at two characters.
bool vpd_field_is_terminator(uint8_t name, const char* keyword);

// First field with `keyword` (two characters) in a resource's data: returns a pointer
// to the field's data and copies its header to *hdr (when not null); nullptr when
// there is no such field. The walk stops at a header of three zero bytes and at a
// field whose data would run past `len`.
const uint8_t* vpd_get_field_hdr(const uint8_t* data, size_t len, const char* keyword,
                                 vpd_field_header* hdr);

// Copies the field with `keyword` into *field: 0, or HVXRETVAL_ITEM_NOT_FOUND.
int32_t vpd_get_field(const uint8_t* data, size_t len, const char* keyword, vpd_field* field);

// Number of fields of a resource: for VPD-R and VPD-W those before the terminator,
// for other resources those up to a zero byte or the end of the data. A header of
// three zero bytes (unused space) ends every field walk.
int32_t vpd_count_fields(const uint8_t* data, size_t len, uint8_t name);

// Copies up to `max` fields (counted as vpd_count_fields does) to `fields`; returns
// the number copied.
int32_t vpd_get_fields(const uint8_t* data, size_t len, uint8_t name, vpd_field* fields,
                       size_t max);

// "ID", "END", "VPD-R", "VPD-W", or "???" for any other resource name.
const char* vpd_tag_description(uint8_t name);

// ---- Changing --------------------------------------------------------------------

// Adds a resource named `name` (large or small form) holding `data_len` bytes of
// `data`, or zeros when `data` is null; an empty VPD-R or VPD-W of 3 bytes or more gets
// its terminator field. The resource goes at the end of data; when the data ends with
// an End tag it is placed before that tag, which moves behind it. The data length is
// cut to the space left in the buffer.
// Returns the (possibly cut) data length with *out_data (when not null) set to the new
// resource's data, or: HVXRETVAL_INVALID_DATA_LENGTH (longer than 7 bytes small or
// 65535 large), HVXRETVAL_INSUFFICIENT_SPACE (a shorter resource of that name exists,
// or no space), HVXRETVAL_UNSUPPORTED_OPERATION (a resource of that name exists),
// HVXRETVAL_ZERO_LENGTH_ITEM (no end of data).
int32_t vpd_put_resource(uint8_t* buf, size_t len, uint8_t name, bool large, uint8_t** out_data,
                         const uint8_t* data, size_t data_len);

// Sets the field `keyword` (two characters) of resource `name` to `data_len` bytes of
// `data`, adding the resource when it is missing. The first field with that keyword
// is replaced, otherwise the field is appended; the fields are rewritten in order and
// the terminator takes the remaining bytes. A resource that needs more room grows when
// it is the last one before the end of data (or before the End tag) and the buffer has
// room. The VPD-R checksum byte is left 0: run vpd_put_checksum afterwards.
// Returns 0, or HVXRETVAL_INVALID_DATA_LENGTH (data over 255 bytes),
// HVXRETVAL_INSUFFICIENT_SPACE, or a failure of vpd_put_resource. After a failure the
// buffer may be partly rewritten and must not be stored.
int32_t vpd_put_field(uint8_t* buf, size_t len, uint8_t name, const char* keyword,
                      const uint8_t* data, size_t data_len);

// Stores in the first data byte of "RV" the value that makes the 8-bit sum of every
// byte from the start of `buf` through that byte zero. Fails with the failure of
// vpd_get_resource for VPD-R, HVXRETVAL_CHECKSUM_NOT_FOUND without "RV", or
// HVXRETVAL_INVALID_LENGTH when "RV" has no data byte.
int32_t vpd_put_checksum(uint8_t* buf, size_t len);

// ---- Checking ----------------------------------------------------------------------

// Checks the resource list resource by resource; stores the offset of the resource
// being checked in *position (when not null) at each step. Returns 0 when the End tag
// is the last byte of the buffer, or:
//   HVXRETVAL_INVALID_END_TAG      bytes follow the End tag;
//   HVXRETVAL_INVALID_STRING       the identifier string has a byte that is not a
//                                  letter, digit, punctuation character or white space;
//   HVXRETVAL_CHECKSUM_NOT_FOUND   VPD-R without "RV";
//   HVXRETVAL_INVALID_LENGTH       "RV" without a checksum byte;
//   HVXRETVAL_INVALID_CHECKSUM     the byte sum through the checksum byte is not 0;
//   a failure of vpd_verify_fields for VPD-R and VPD-W;
//   HVXRETVAL_INVALID_DATA_LENGTH  a resource runs past the end of the buffer;
//   HVXRETVAL_END_TAG_NOT_FOUND    the buffer ends without an End tag.
int32_t vpd_verify(const uint8_t* buf, size_t len, size_t* position);

// Checks the fields of a resource before its terminator: 0, HVXRETVAL_ZERO_LENGTH_ITEM
// for a field of length 0, HVXRETVAL_DUPLICATE_ITEM for a keyword seen twice, or
// HVXRETVAL_INVALID_DATA_LENGTH for a field that runs past the end of the resource.
int32_t vpd_verify_fields(const uint8_t* data, size_t len, uint8_t name);

// 0 when every byte is a letter, digit, punctuation character or white space, else
// HVXRETVAL_INVALID_STRING.
int32_t vpd_verify_string(const uint8_t* text, size_t len);

// Checks a whole NVM item: HVXRETVAL_INVALID_DATA_LENGTH when it is shorter than 5
// bytes, else vpd_verify of the resource list after the 4-byte format revision.
int32_t vpd_verify_image(const uint8_t* item, size_t item_len);

// ---- Printing ----------------------------------------------------------------------

// Appends the report of every resource up to the End tag or the end of the buffer.
// Verbosity 1 adds the tag bytes and resource sizes, 2 and above every field as a hex
// dump.
void vpd_print(const uint8_t* buf, size_t len, int verbosity, std::string& out);

// Appends the fields of one resource; returns the number of fields printed.
int32_t vpd_print_fields(const uint8_t* data, size_t len, uint8_t name, int verbosity,
                         std::string& out);

// Appends a hex dump: lines of 16 bytes, each "%05lx: " with the offset, the bytes as
// "%02X " with "- " after the eighth, "  : " and the bytes as characters (0x20..0x7E as
// themselves, others as '.'). The last line is padded so its characters line up.
void vpd_hex_dump(const uint8_t* data, size_t len, std::string& out);

// ---- Lookup in a whole item ---------------------------------------------------------

// Copies the text of the VPD-R field `keyword` (two characters) of a whole NVM item
// (format revision word included) into `out` (at most 255 characters and a zero,
// cut to out_size - 1). Returns 0, or HVXRETVAL_ITEM_NOT_FOUND when the item has no
// such field, in which case `out` holds "N/A".
int32_t zelt_vpd_get_field(const uint8_t* item, size_t item_len, const char* keyword, char* out,
                           size_t out_size);

namespace formats::vpd {

// The text of the VPD-R field `keyword` (two characters) of a whole NVM item (format
// revision word included), up to its first zero byte. Nothing when the item has no
// such field, or when the walk to it meets a resource or field that runs past the end.
std::optional<std::string> read_only_field(std::span<const uint8_t> item, const char* keyword);

}  // namespace formats::vpd

}  // namespace zelt
