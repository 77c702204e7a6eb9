// Small packages made byte by byte for the package library tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "package/package_records.h"

namespace zelt::test {

using Bytes = std::vector<uint8_t>;

struct Prop {
    uint8_t id;
    Bytes value;
};

inline Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes u16s(std::initializer_list<uint16_t> values) {
    Bytes b;
    for (uint16_t v : values) {
        b.push_back(static_cast<uint8_t>(v));
        b.push_back(static_cast<uint8_t>(v >> 8));
    }
    return b;
}

// A property stream of the given properties followed by a 0 id and its length bytes.
inline Bytes stream_of(const std::vector<Prop>& props, size_t pad_to = 0) {
    Bytes s;
    for (const Prop& p : props) {
        s.push_back(p.id);
        s.push_back(static_cast<uint8_t>(p.value.size()));
        s.push_back(static_cast<uint8_t>(p.value.size() >> 8));
        s.insert(s.end(), p.value.begin(), p.value.end());
    }
    s.insert(s.end(), 3, 0);
    if (s.size() < pad_to) s.resize(pad_to, 0);
    return s;
}

// An item of a test package; item_length defaults to the data size rounded up to 4 KiB.
struct Item {
    static constexpr uint32_t kAutoLength = 0xFFFFFFFF;
    uint16_t type = 40;
    uint16_t ordinal = 0;
    uint16_t ext = 0;
    uint8_t directive = ZELPKG_ITEM_ALWAYS_INSTALL;
    Bytes data;
    uint32_t item_length = kAutoLength;
    uint16_t attr = 0;
    std::string description;

    Item with_ordinal(uint16_t v) const { Item i = *this; i.ordinal = v; return i; }
    Item with_ext(uint16_t v) const { Item i = *this; i.ext = v; return i; }
    Item with_directive(uint8_t v) const { Item i = *this; i.directive = v; return i; }
    Item with_item_length(uint32_t v) const { Item i = *this; i.item_length = v; return i; }
    Item with_attr(uint16_t v) const { Item i = *this; i.attr = v; return i; }
    Item with_description(std::string v) const { Item i = *this; i.description = std::move(v); return i; }
};

inline Item item(uint16_t type, Bytes data) {
    Item i;
    i.type = type;
    i.data = std::move(data);
    return i;
}

inline zelpkg_manifest_item_t record_of(const Item& it) {
    zelpkg_manifest_item_t r{};
    r.metadata.directive = it.directive;
    std::strncpy(r.metadata.description, it.description.c_str(), sizeof(r.metadata.description) - 1);
    r.direntry.type = it.type;
    r.direntry.ordinal = it.ordinal;
    r.direntry.ext = it.ext;
    r.direntry.attr = it.attr;
    r.direntry.item_length = it.item_length != Item::kAutoLength
                                 ? it.item_length
                                 : static_cast<uint32_t>((it.data.size() / 4096 + 1) * 4096);
    r.direntry.data_length = static_cast<uint32_t>(it.data.size());
    return r;
}

// Lays out a package the way the writer does, without any of its checks.
Bytes build_package(const std::vector<Prop>& props, const std::vector<Item>& items);

// Same with a property stream given as bytes.
Bytes build_package_with_stream(const Bytes& stream, const std::vector<Item>& items);

// Little-endian field access for corrupting packages.
inline uint32_t get_u32(const Bytes& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
inline void set_u32(Bytes& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
inline void set_u16(Bytes& b, size_t at, uint16_t v) { std::memcpy(b.data() + at, &v, 2); }

// Recomputes the package checksum after a change.
void fix_checksum(Bytes& pkg);

// Offset of record i of a package written with the standard record sizes.
inline size_t record_offset(const Bytes& pkg, size_t i) { return get_u32(pkg, 8) + 20 + i * 88; }

}  // namespace zelt::test
