#include "package/package_properties.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/hvxretval.h"
#include "package/byte_access.h"
#include "package/package_reader.h"
#include "package/package_records.h"

namespace zelt {

using zelt::pkg::bytes;
using zelt::pkg::load_u16;

namespace {

// Where the properties of a buffer lie: the package's stream for a package with a
// valid header, the buffer itself otherwise.
struct StreamSpan {
    const uint8_t* start;
    size_t length;
};

StreamSpan stream_of(const void* buf, size_t offset, size_t length) {
    zelpkg_file_header_t h;
    const size_t total = offset + length;
    if (buf != nullptr && total >= sizeof(h) && zelpkgGetHeader(buf, total, &h) == HVXRETVAL_SUCCESS)
        return {bytes(buf) + sizeof(h), h.manifest_offset - sizeof(h)};
    return {bytes(buf) + offset, length};
}

// Walks a stream to the first property with `id`. Returns its offset in the stream, or
// -1 when absent. A property header that does not fit wholly in the stream ends the walk.
int64_t find(const uint8_t* s, size_t n, uint8_t id) {
    size_t pos = 0;
    while (pos < n) {
        if (s[pos] == 0 || n - pos < sizeof(uint8_t) + sizeof(uint16_t)) return -1;
        const uint16_t len = load_u16(s + pos + 1);
        if (s[pos] == id) return static_cast<int64_t>(pos);
        pos += 3 + static_cast<size_t>(len);
    }
    return -1;
}

int32_t get_value(StreamSpan span, uint8_t id, const uint8_t** value) {
    if (span.start == nullptr) return HVXRETVAL_ITEM_NOT_FOUND;
    const int64_t pos = find(span.start, span.length, id);
    if (pos < 0) return HVXRETVAL_ITEM_NOT_FOUND;
    const uint16_t len = load_u16(span.start + pos + 1);
    if (static_cast<size_t>(pos) + 3 + len > span.length) return HVXRETVAL_INVALID_PROP_LENGTH;
    *value = span.start + pos + 3;
    return len;
}

int32_t copy_value(StreamSpan span, uint8_t id, void* value, size_t capacity) {
    if (value != nullptr && capacity > 0) std::memset(value, 0, capacity);
    const uint8_t* v = nullptr;
    const int32_t len = get_value(span, id, &v);
    if (len < 0) return len;
    const size_t n = capacity < static_cast<size_t>(len) ? capacity : static_cast<size_t>(len);
    if (value != nullptr && n > 0) std::memcpy(value, v, n);
    return len;
}

// Offset of the terminator (or the stream length) and whether the last property runs
// past the stream.
struct Walk {
    size_t end;
    size_t count;
    bool overrun;
};

Walk walk(const uint8_t* s, size_t n) {
    Walk w{0, 0, false};
    size_t pos = 0;
    while (pos < n && s[pos] != 0) {
        if (n - pos < 3) {
            w.overrun = true;
            break;
        }
        const size_t next = pos + 3 + load_u16(s + pos + 1);
        ++w.count;
        if (next > n) {
            w.overrun = true;
            pos = n;
            break;
        }
        pos = next;
    }
    w.end = pos < n ? pos : n;
    return w;
}

}  // namespace

int32_t zelpkgGetPropertyPtr(const void* buf, size_t length, uint8_t id, const uint8_t** value) {
    const uint8_t* v = nullptr;
    const int32_t rc = get_value(stream_of(buf, 0, length), id, &v);
    if (rc >= 0 && value != nullptr) *value = v;
    return rc;
}

int32_t zelpkgGetProperty(const void* buf, size_t length, uint8_t id, void* value, size_t capacity) {
    return copy_value(stream_of(buf, 0, length), id, value, capacity);
}

int32_t zelpkgGetPropertyAtOffset(const void* buf, size_t offset, size_t stream_length, uint8_t id, void* value,
                                  size_t capacity) {
    return copy_value(stream_of(buf, offset, stream_length), id, value, capacity);
}

int32_t zelpkgGetPropertyIDs(const void* stream, size_t stream_length, uint8_t* ids, size_t capacity) {
    if (stream == nullptr) return 0;
    const uint8_t* s = bytes(stream);
    size_t count = 0;
    size_t pos = 0;
    while (pos < stream_length && s[pos] != 0) {
        if (ids != nullptr && count < capacity) ids[count] = s[pos];
        ++count;
        if (stream_length - pos < 3) break;
        pos += 3 + static_cast<size_t>(load_u16(s + pos + 1));
    }
    return static_cast<int32_t>(count);
}

int32_t zelpkgCalcPropertyStreamLength(const void* stream, size_t stream_length) {
    if (stream == nullptr) return 0;
    const Walk w = walk(bytes(stream), stream_length);
    if (w.overrun) return HVXRETVAL_INVALID_PROP_STREAM;
    return static_cast<int32_t>(w.end);
}

const uint8_t* zelpkgFindPropertyStreamTerminator(const void* stream, size_t stream_length) {
    if (stream == nullptr) return nullptr;
    return bytes(stream) + walk(bytes(stream), stream_length).end;
}

int32_t zelpkgPutProperty(void* stream, size_t capacity, uint8_t id, const void* value, size_t length) {
    if (length > ZELPKG_MAX_PROPERTY_LENGTH) return HVXRETVAL_INVALID_PROP_LENGTH;
    if (stream == nullptr) return HVXRETVAL_INVALID_POINTER_PARAMETER;
    uint8_t* s = static_cast<uint8_t*>(stream);
    const int64_t found = find(s, capacity, id);
    if (found >= 0) {
        const size_t pos = static_cast<size_t>(found);
        const size_t old_len = load_u16(s + pos + 1);
        if (pos + 3 + old_len > capacity) return HVXRETVAL_INVALID_PROP_STREAM;
        if (old_len >= length) {
            std::memset(s + pos + 3, 0, old_len);
            if (value != nullptr && length > 0) std::memcpy(s + pos + 3, value, length);
            return static_cast<int32_t>(old_len);
        }
        // Too short: take it out, close the gap, and append the new value below.
        const size_t removed = 3 + old_len;
        std::memmove(s + pos, s + pos + removed, capacity - pos - removed);
        std::memset(s + capacity - removed, 0, removed);
    }
    const size_t end = walk(s, capacity).end;
    if (end + 3 + length > capacity) return HVXRETVAL_INSUFFICIENT_SPACE;
    s[end] = id;
    zelt::pkg::store_u16(s + end + 1, static_cast<uint16_t>(length));
    std::memset(s + end + 3, 0, length);
    if (value != nullptr && length > 0) std::memcpy(s + end + 3, value, length);
    return static_cast<int32_t>(length);
}

int32_t zelpkgPutPropertyString(void* stream, size_t capacity, uint8_t id, const char* text, size_t length) {
    if (length > ZELPKG_MAX_PROPERTY_LENGTH) return HVXRETVAL_INVALID_PROP_LENGTH;
    std::unique_ptr<char[]> work(new (std::nothrow) char[length + 1]());
    if (!work) return HVXRETVAL_MALLOC_FAILURE;
    if (text != nullptr) std::strncpy(work.get(), text, length);
    return zelpkgPutProperty(stream, capacity, id, work.get(), length);
}

uint16_t zelpkgGetPropertyU16(const void* buf, size_t length, uint8_t id, uint16_t fallback) {
    const uint8_t* v = nullptr;
    const int32_t len = zelpkgGetPropertyPtr(buf, length, id, &v);
    if (len < 2) return fallback;
    return load_u16(v);
}

}  // namespace zelt
