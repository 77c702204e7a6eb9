// The property stream of a package: lookups, enumeration and editing.
//
// A stream is a run of properties, each a 3-byte header (id, u16 length) and its
// value, ended by an id of 0 or by the end of the stream. Lookups accept either a
// bare stream or a whole package; for a buffer that is a package with a valid header
// they search the package's stream (offset 12 up to the manifest).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt {

// The value of the first property with this id: its length, with `value` pointing at
// it. ITEM_NOT_FOUND when absent; INVALID_PROP_LENGTH when its value runs past the end
// of the stream.
int32_t zelpkgGetPropertyPtr(const void* buf, size_t length, uint8_t id, const uint8_t** value);

// Zero-fills `capacity` bytes of `value`, then copies min(capacity, property length)
// bytes of the first property with this id. Returns the property's length;
// ITEM_NOT_FOUND when absent; INVALID_PROP_LENGTH when its value runs past the end.
int32_t zelpkgGetProperty(const void* buf, size_t length, uint8_t id, void* value, size_t capacity);

// The same for a stream of `stream_length` bytes at `offset` of `buf`.
int32_t zelpkgGetPropertyAtOffset(const void* buf, size_t offset, size_t stream_length, uint8_t id, void* value,
                                  size_t capacity);

// Number of properties before the terminator; the first `capacity` ids go to `ids`.
int32_t zelpkgGetPropertyIDs(const void* stream, size_t stream_length, uint8_t* ids, size_t capacity);

// Bytes before the terminating id (0 for an empty stream); INVALID_PROP_STREAM when
// the last property runs past the stream.
int32_t zelpkgCalcPropertyStreamLength(const void* stream, size_t stream_length);

// The terminating 0 id, or the end of the stream.
const uint8_t* zelpkgFindPropertyStreamTerminator(const void* stream, size_t stream_length);

// Stores a property in a stream buffer of `capacity` bytes. An existing property that
// is at least as long keeps its length and gets the value zero-padded (returns the old
// length); a shorter one is removed and the property appended at the terminator
// (returns the new length). INVALID_PROP_LENGTH above 65,535 bytes, INSUFFICIENT_SPACE
// when it does not fit, INVALID_PROP_STREAM when the existing value runs past the
// buffer. A null `value` stores zeros.
int32_t zelpkgPutProperty(void* stream, size_t capacity, uint8_t id, const void* value, size_t length);

// zelpkgPutProperty with a text value of exactly `length` bytes: the text up to its
// terminator, zero-padded (or cut) to `length`.
int32_t zelpkgPutPropertyString(void* stream, size_t capacity, uint8_t id, const char* text, size_t length);

// The u16 value of a property (first two bytes, little-endian), or `fallback` when the
// property is absent, shorter than 2 bytes or runs past the stream.
uint16_t zelpkgGetPropertyU16(const void* buf, size_t length, uint8_t id, uint16_t fallback);

}  // namespace zelt
