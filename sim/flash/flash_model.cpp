#include "sim/flash/flash_model.h"

#include <algorithm>
#include <cstring>

#include "formats/crypto/crc32.h"
#include "sim/flash/populate.h"

namespace zelt::sim {

namespace {

uint32_t get32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// Fills flash bytes with one value. A single memset: flash images run to tens of
// megabytes, and an element loop over them is slow in instrumented builds.
void fill_bytes(uint8_t* p, uint64_t n, uint8_t value) { std::memset(p, value, static_cast<size_t>(n)); }

constexpr uint8_t kErased = 0xFF;

// Copies bytes that may come from the flash itself: memcpy when the ranges are apart
// (the sanitizer build copies that way many times faster than memmove), else memmove.
void copy_bytes(uint8_t* to, const uint8_t* from, size_t n) {
    if (n == 0) return;
    const auto t = reinterpret_cast<uintptr_t>(to), f = reinterpret_cast<uintptr_t>(from);
    if (t + n <= f || f + n <= t) {
        std::memcpy(to, from, n);
    } else {
        std::memmove(to, from, n);
    }
}

}  // namespace

FlashModel::FlashModel(FlashOverlay& overlay) : bytes_(overlay.bytes()), overlay_(&overlay) {
    // The directory is read at every step and may change at any: it is taken whole and
    // always written back (a commit leaves unchanged blocks alone).
    const uint64_t directory = std::min<uint64_t>(kDirectoryBytes, bytes_.size());
    overlay.prepare_read(0, directory);
    overlay.prepare_write(0, directory);
}

std::span<const uint8_t> FlashModel::bytes() const {
    readable(0, bytes_.size());
    return bytes_;
}

const uint8_t* FlashModel::readable(uint64_t offset, uint64_t length) const {
    if (overlay_) overlay_->prepare_read(offset, length);
    return bytes_.data() + offset;
}

uint8_t* FlashModel::writable(uint64_t offset, uint64_t length) {
    if (overlay_) overlay_->prepare_write(offset, length);
    return bytes_.data() + offset;
}

void FlashModel::put(uint64_t offset, std::span<const uint8_t> data) {
    if (data.empty()) return;
    const auto flash = reinterpret_cast<uintptr_t>(bytes_.data()), from = reinterpret_cast<uintptr_t>(data.data());
    const bool from_flash = from < flash + bytes_.size() && flash < from + data.size();
    if (!overlay_ && backing_ && !from_flash && data.size() >= kPopulateBytes && backing_->write(offset, data)) return;
    copy_bytes(writable(offset, data.size()), data.data(), data.size());
}

void FlashModel::fill(uint64_t offset, uint64_t length, uint8_t value) {
    if (!overlay_ && backing_ && length >= kPopulateBytes) {
        // Written from one buffer of the value, a piece at a time.
        const std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(length, kPopulateBytes)), value);
        uint64_t done = 0;
        while (done < length) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(length - done, piece.size()));
            if (!backing_->write(offset + done, {piece.data(), n})) break;
            done += n;
        }
        offset += done;
        length -= done;
    }
    if (length > 0) fill_bytes(writable(offset, length), length, value);
}

const char* flash_status_name(FlashStatus status) {
    switch (status) {
        case FlashStatus::ok: return "ok";
        case FlashStatus::no_space: return "no space";
        case FlashStatus::fragmented: return "fragmented";
        case FlashStatus::directory_full: return "directory full";
        case FlashStatus::bad_index: return "bad index";
        case FlashStatus::out_of_range: return "out of range";
        case FlashStatus::no_directory: return "no directory";
        case FlashStatus::source_unreadable: return "source unreadable";
    }
    return "?";
}

// A live entry whose allocation lies inside the item area. Raw writes can put anything
// into the directory area; entries that point outside the flash are never followed.
bool FlashModel::sane(const zelnvm_directory_entry_t& e) const {
    uint64_t end = uint64_t{e.item_location} + blocks_for(e.item_length);
    return e.type != 0 && e.item_location >= kDirectoryBytes && end <= size() && e.data_length <= e.item_length;
}

uint64_t FlashModel::blocks_for(uint32_t length) {
    uint64_t n = std::max<uint64_t>(length, 1);
    return (n + kBlock - 1) / kBlock * kBlock;
}

void FlashModel::format() {
    fill(0, bytes_.size(), kErased);
    format_erased();
}

void FlashModel::format_erased() {
    put32(bytes_.data(), kMagic);
    uint16_t version = 1, entry_length = kEntryLength;
    std::memcpy(bytes_.data() + 4, &version, 2);
    std::memcpy(bytes_.data() + 6, &entry_length, 2);
    set_count(0);
    put32(bytes_.data() + 12, 0);
}

bool FlashModel::has_directory() const {
    return bytes_.size() >= kDirectoryBytes + kBlock && get32(bytes_.data()) == kMagic &&
           get32(bytes_.data() + 8) <= kMaxEntries;
}

uint32_t FlashModel::entry_count() const { return has_directory() ? get32(bytes_.data() + 8) : 0; }

void FlashModel::set_count(uint32_t count) { put32(bytes_.data() + 8, count); }

uint8_t* FlashModel::entry_ptr(uint32_t index) { return bytes_.data() + kHeaderBytes + index * kEntryLength; }

const uint8_t* FlashModel::entry_ptr(uint32_t index) const {
    return bytes_.data() + kHeaderBytes + index * kEntryLength;
}

zelnvm_directory_entry_t FlashModel::entry(uint32_t index) const {
    zelnvm_directory_entry_t e{};
    if (index < entry_count()) std::memcpy(&e, entry_ptr(index), sizeof e);
    return e;
}

void FlashModel::put_entry(uint32_t index, const zelnvm_directory_entry_t& e) {
    uint8_t* p = entry_ptr(index);
    std::memcpy(p, &e, sizeof e);
    std::memset(p + sizeof e, 0, kEntryLength - sizeof e);
}

std::vector<uint8_t> restride_directory(std::span<const uint8_t> raw, uint32_t entries, uint32_t from, uint32_t to) {
    std::vector<uint8_t> out(static_cast<size_t>(entries) * to, 0);
    const size_t kept = std::min(from, to);
    for (size_t i = 0; i < entries && (i + 1) * from <= raw.size(); ++i)
        std::memcpy(out.data() + i * to, raw.data() + i * from, kept);
    return out;
}

std::vector<uint8_t> FlashModel::raw_directory() const {
    uint32_t n = entry_count();
    const uint8_t* p = entry_ptr(0);
    return std::vector<uint8_t>(p, p + n * kEntryLength);
}

int FlashModel::find(uint16_t type, uint16_t ordinal, uint16_t ext) const {
    if (type == 0) return -1;
    uint32_t n = entry_count();
    for (uint32_t i = 0; i < n; ++i) {
        zelnvm_directory_entry_t e = entry(i);
        if (e.type == type && e.ordinal == ordinal && e.ext == ext) return static_cast<int>(i);
    }
    return -1;
}

std::vector<FlashModel::Span> FlashModel::used_spans(int except_index) const {
    std::vector<Span> spans;
    uint32_t n = entry_count();
    for (uint32_t i = 0; i < n; ++i) {
        if (static_cast<int>(i) == except_index) continue;
        zelnvm_directory_entry_t e = entry(i);
        if (!sane(e)) continue;
        spans.push_back({e.item_location, static_cast<uint32_t>(e.item_location + blocks_for(e.item_length))});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    return spans;
}

FlashStatus FlashModel::allocate(uint64_t need, int except_index, uint32_t& location) const {
    uint64_t total_free = 0;
    uint64_t cursor = kDirectoryBytes;
    auto consider = [&](uint64_t gap_end) -> bool {
        if (gap_end > cursor) {
            total_free += gap_end - cursor;
            if (gap_end - cursor >= need) {
                location = static_cast<uint32_t>(cursor);
                return true;
            }
        }
        return false;
    };
    for (const Span& s : used_spans(except_index)) {
        if (consider(s.begin)) return FlashStatus::ok;
        cursor = std::max<uint64_t>(cursor, s.end);
    }
    if (consider(size() / kBlock * kBlock)) return FlashStatus::ok;
    return total_free >= need ? FlashStatus::fragmented : FlashStatus::no_space;
}

FlashStatus FlashModel::free_slot(uint32_t& index) const {
    uint32_t n = entry_count();
    for (uint32_t i = 0; i < n; ++i) {
        if (entry(i).type == 0) {
            index = i;
            return FlashStatus::ok;
        }
    }
    if (n >= kMaxEntries) return FlashStatus::directory_full;
    index = n;
    return FlashStatus::ok;
}

void FlashModel::update_checksum(zelnvm_directory_entry_t& e) const {
    e.data_chksum = crc32i(ZELT_CRC32_INIT, readable(e.item_location, e.data_length), e.data_length);
}

FlashStatus FlashModel::create(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr, uint32_t item_length,
                               uint32_t& index) {
    if (!has_directory()) return FlashStatus::no_directory;
    uint32_t slot;
    if (FlashStatus st = free_slot(slot); st != FlashStatus::ok) return st;
    uint32_t location;
    if (FlashStatus st = allocate(blocks_for(item_length), -1, location); st != FlashStatus::ok) return st;
    fill(location, blocks_for(item_length), kErased);
    zelnvm_directory_entry_t e{type, ordinal, ext, attr, location, item_length, 0, 0};
    update_checksum(e);
    put_entry(slot, e);
    if (slot == entry_count()) set_count(slot + 1);
    index = slot;
    return FlashStatus::ok;
}

FlashStatus FlashModel::place(uint16_t type, uint16_t ordinal, uint16_t ext, uint32_t data_length,
                              uint32_t& item_length, uint32_t& slot, uint32_t& location) const {
    if (!has_directory()) return FlashStatus::no_directory;
    item_length = std::max(item_length, data_length);
    const int existing = find(type, ordinal, ext);
    if (existing >= 0) {
        slot = static_cast<uint32_t>(existing);
    } else if (FlashStatus st = free_slot(slot); st != FlashStatus::ok) {
        return st;
    }
    if (existing >= 0 && sane(entry(slot)) && blocks_for(item_length) <= blocks_for(entry(slot).item_length)) {
        location = entry(slot).item_location;  // fits where it is
        item_length = std::max(item_length, entry(slot).item_length);
        return FlashStatus::ok;
    }
    return allocate(blocks_for(item_length), existing, location);
}

void FlashModel::finish_write(uint32_t slot, const zelnvm_directory_entry_t& e, uint32_t& index) {
    put_entry(slot, e);
    if (slot == entry_count()) set_count(slot + 1);
    index = slot;
}

FlashStatus FlashModel::write(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr, ItemSource& data,
                              uint32_t item_length, uint32_t& index) {
    if (data.size() > UINT32_MAX) return FlashStatus::no_space;
    const auto data_length = static_cast<uint32_t>(data.size());
    uint32_t slot, location;
    if (FlashStatus st = place(type, ordinal, ext, data_length, item_length, slot, location); st != FlashStatus::ok)
        return st;
    // A piece at a time through one buffer, taking the CRC on the way: the source is
    // read once, and no copy of the whole item is ever held.
    std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(data_length, kPopulateBytes)));
    uint32_t crc = crc32i(ZELT_CRC32_INIT, nullptr, 0);
    for (uint64_t done = 0; done < data_length;) {
        const std::span<uint8_t> part(piece.data(), static_cast<size_t>(std::min<uint64_t>(data_length - done, piece.size())));
        if (!data.read(done, part)) {
            // What was written of it is erased, and an entry it was to replace goes with it.
            fill(location, blocks_for(item_length), kErased);
            if (slot < entry_count() && entry(slot).type != 0) put_entry(slot, zelnvm_directory_entry_t{});
            return FlashStatus::source_unreadable;
        }
        crc = crc32i(~crc, part.data(), part.size());
        put(location + done, part);
        done += part.size();
    }
    fill(location + data_length, blocks_for(item_length) - data_length, kErased);
    finish_write(slot, zelnvm_directory_entry_t{type, ordinal, ext, attr, location, item_length, data_length, crc},
                 index);
    return FlashStatus::ok;
}

FlashStatus FlashModel::write(uint16_t type, uint16_t ordinal, uint16_t ext, uint16_t attr,
                              std::span<const uint8_t> data, uint32_t item_length, uint32_t& index,
                              std::optional<uint32_t> data_crc) {
    uint32_t data_length = static_cast<uint32_t>(data.size());
    uint32_t slot, location;
    if (FlashStatus st = place(type, ordinal, ext, data_length, item_length, slot, location); st != FlashStatus::ok)
        return st;
    // The data, then erased bytes to the end of the allocation (each byte written once).
    // Over an overlay, data that is the flash's own bytes (a package staged in it) is
    // written by reference rather than copied.
    if (overlay_ && overlay_->in_base(data)) {
        overlay_->write_from_base(location, data);
        fill_bytes(writable(location + data.size(), blocks_for(item_length) - data.size()),
                   blocks_for(item_length) - data.size(), kErased);
    } else {
        // The CRC of the bytes before they are written, as they may lie in the flash.
        if (!data_crc) data_crc = crc32i(ZELT_CRC32_INIT, data.data(), data.size());
        put(location, data);
        fill(location + data.size(), blocks_for(item_length) - data.size(), kErased);
    }
    zelnvm_directory_entry_t e{type, ordinal, ext, attr, location, item_length, data_length, 0};
    if (data_crc) {
        e.data_chksum = *data_crc;
    } else {
        update_checksum(e);
    }
    finish_write(slot, e, index);
    return FlashStatus::ok;
}

std::span<const uint8_t> FlashModel::view(uint32_t index, uint32_t offset, uint32_t length) const {
    if (index >= entry_count() || entry(index).type == 0) return {};
    zelnvm_directory_entry_t e = entry(index);
    if (!sane(e) || offset > e.item_length || length > e.item_length - offset) return {};
    readable(uint64_t{e.item_location} + offset, length);
    return bytes_.subspan(uint64_t{e.item_location} + offset, length);
}

FlashStatus FlashModel::read(uint32_t index, uint32_t offset, std::span<uint8_t> out) const {
    if (index >= entry_count() || entry(index).type == 0) return FlashStatus::bad_index;
    zelnvm_directory_entry_t e = entry(index);
    if (!sane(e)) return FlashStatus::out_of_range;
    if (offset > e.item_length || out.size() > e.item_length - offset) return FlashStatus::out_of_range;
    copy_bytes(out.data(), readable(uint64_t{e.item_location} + offset, out.size()), out.size());
    return FlashStatus::ok;
}

FlashStatus FlashModel::modify(uint32_t index, uint32_t offset, std::span<const uint8_t> data) {
    if (index >= entry_count() || entry(index).type == 0) return FlashStatus::bad_index;
    zelnvm_directory_entry_t e = entry(index);
    if (!sane(e)) return FlashStatus::out_of_range;
    if (offset > e.item_length || data.size() > e.item_length - offset) return FlashStatus::out_of_range;
    put(uint64_t{e.item_location} + offset, data);
    e.data_length = std::max<uint32_t>(e.data_length, offset + static_cast<uint32_t>(data.size()));
    update_checksum(e);
    put_entry(index, e);
    return FlashStatus::ok;
}

FlashStatus FlashModel::erase_entry(uint32_t index) {
    if (index >= entry_count() || entry(index).type == 0) return FlashStatus::bad_index;
    zelnvm_directory_entry_t e = entry(index);
    if (sane(e)) fill(e.item_location, blocks_for(e.item_length), kErased);
    put_entry(index, zelnvm_directory_entry_t{});
    return FlashStatus::ok;
}

FlashStatus FlashModel::raw_write(uint32_t offset, std::span<const uint8_t> data) {
    if (offset > size() || data.size() > size() - offset) return FlashStatus::out_of_range;
    if (overlay_) {
        // The overlay keeps what is written apart from the flash already.
        copy_bytes(writable(offset, data.size()), data.data(), data.size());
        return FlashStatus::ok;
    }
    // Block by block, leaving alone the blocks that already hold the bytes: the flash is
    // a mapped file, and a whole image written back after an update would otherwise
    // dirty every page of it for the few blocks the update changed.
    uint8_t* to = bytes_.data() + offset;
    const auto t = reinterpret_cast<uintptr_t>(to), f = reinterpret_cast<uintptr_t>(data.data());
    if (!(t + data.size() <= f || f + data.size() <= t)) {
        std::memmove(to, data.data(), data.size());  // bytes of the flash itself, moved
        return FlashStatus::ok;
    }
    // Runs of blocks that differ are written together.
    size_t run = 0;  // where the run of differing blocks before `done` starts
    for (size_t done = 0; done < data.size();) {
        const size_t n = std::min<size_t>(kBlock, data.size() - done);
        if (std::memcmp(to + done, data.data() + done, n) == 0) {
            put(offset + run, data.subspan(run, done - run));
            run = done + n;
        }
        done += n;
    }
    put(offset + run, data.subspan(run));
    return FlashStatus::ok;
}

FlashStatus FlashModel::raw_fill(uint32_t offset, uint32_t length, uint8_t pattern) {
    if (offset > size() || length > size() - offset) return FlashStatus::out_of_range;
    fill(offset, length, pattern);
    return FlashStatus::ok;
}

FlashStatus FlashModel::defragment() {
    if (!has_directory()) return FlashStatus::no_directory;
    uint32_t n = entry_count();
    std::vector<uint32_t> order;
    for (uint32_t i = 0; i < n; ++i)
        if (sane(entry(i))) order.push_back(i);
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return entry(a).item_location < entry(b).item_location; });
    // Items that share blocks mean a damaged directory: moving them would copy one over
    // the other, so the firmware refuses.
    for (size_t k = 1; k < order.size(); ++k) {
        zelnvm_directory_entry_t prev = entry(order[k - 1]);
        if (prev.item_location + blocks_for(prev.item_length) > entry(order[k]).item_location)
            return FlashStatus::out_of_range;
    }
    uint32_t cursor = kDirectoryBytes;
    for (uint32_t i : order) {
        zelnvm_directory_entry_t e = entry(i);
        uint64_t span = blocks_for(e.item_length);
        if (e.item_location != cursor) {
            // Items only ever move towards the start, so an overlapping move is safe.
            readable(e.item_location, span);
            std::memmove(writable(cursor, span), bytes_.data() + e.item_location, span);
            e.item_location = cursor;
            put_entry(i, e);
        }
        cursor += span;
    }
    fill_bytes(writable(cursor, bytes_.size() - cursor), bytes_.size() - cursor, kErased);
    return FlashStatus::ok;
}

uint32_t FlashModel::free_bytes() const {
    uint64_t used = 0;
    for (const Span& s : used_spans(-1)) used += s.end - s.begin;
    uint64_t area = size() / kBlock * kBlock - kDirectoryBytes;
    return used >= area ? 0 : static_cast<uint32_t>(area - used);
}

uint32_t FlashModel::largest_free_run() const {
    uint64_t best = 0, cursor = kDirectoryBytes;
    for (const Span& s : used_spans(-1)) {
        if (s.begin > cursor) best = std::max<uint64_t>(best, s.begin - cursor);
        cursor = std::max<uint64_t>(cursor, s.end);
    }
    uint64_t end = size() / kBlock * kBlock;
    if (end > cursor) best = std::max<uint64_t>(best, end - cursor);
    return static_cast<uint32_t>(best);
}

}  // namespace zelt::sim
