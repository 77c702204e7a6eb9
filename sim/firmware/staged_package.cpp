#include "sim/firmware/staged_package.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <system_error>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "common/directory_types.h"
#include "sim/firmware/image_check.h"

namespace zelt::sim {

namespace {

constexpr uint32_t kFileSignature = 0x30474B50;      // "PKG0"
constexpr uint32_t kManifestSignature = 0x306E614D;  // "Man0"
constexpr size_t kFileHeaderSize = 12;
constexpr size_t kManifestHeaderSize = 20;
constexpr size_t kPropertyHeaderSize = 3;  // id, u16 length
constexpr size_t kChecksumSize = 4;

uint16_t u16_at(std::span<const uint8_t> b, uint64_t at) {
    uint16_t v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

uint32_t u32_at(std::span<const uint8_t> b, uint64_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

struct Layout {
    uint32_t trailer_length = 0;
    uint32_t manifest_offset = 0;
    uint64_t end = 0;  // where the trailer starts
    uint32_t manifest_length = 0;
    uint32_t records = 0;
    uint32_t metadata_length = 0;
    uint32_t direntry_length = 0;

    uint64_t stride() const { return uint64_t{metadata_length} + direntry_length; }
    uint64_t first_record() const { return uint64_t{manifest_offset} + manifest_length; }
};

// The file header and the manifest header, each checked to lie before the trailer.
bool read_layout(std::span<const uint8_t> b, Layout& l) {
    if (b.size() < kFileHeaderSize || u32_at(b, 0) != kFileSignature) return false;
    l.trailer_length = u32_at(b, 4);
    l.manifest_offset = u32_at(b, 8);
    if (l.manifest_offset < kFileHeaderSize || l.manifest_offset > b.size() ||
        l.trailer_length > b.size() - l.manifest_offset)
        return false;
    l.end = b.size() - l.trailer_length;
    if (l.end - l.manifest_offset < kManifestHeaderSize) return false;
    const uint64_t m = l.manifest_offset;
    if (u32_at(b, m) != kManifestSignature) return false;
    l.manifest_length = u32_at(b, m + 4);
    l.records = u32_at(b, m + 8);
    l.metadata_length = u32_at(b, m + 12);
    l.direntry_length = u32_at(b, m + 16);
    return l.manifest_length <= l.end - l.manifest_offset && l.metadata_length <= b.size() &&
           l.direntry_length <= b.size();
}

// Record `i`, when it ends at or before the trailer. Parts shorter than their full
// size read as zeros past their end.
std::optional<StagedRecord> read_record(std::span<const uint8_t> b, const Layout& l, uint64_t i) {
    const uint64_t at = l.first_record() + i * l.stride();
    if (at > l.end || l.end - at < l.stride()) return std::nullopt;
    StagedRecord r;
    if (l.metadata_length > 0) r.directive = b[at];
    std::memcpy(&r.entry, b.data() + at + l.metadata_length, std::min<size_t>(sizeof r.entry, l.direntry_length));
    return r;
}

// The stream from the file header to the manifest: every property must lie before the
// trailer, and the walk must stop at or before the manifest. The version and the
// required version, when present, must be of one length with the required one lower.
bool properties_valid(std::span<const uint8_t> b, const Layout& l) {
    std::optional<std::span<const uint8_t>> version, required;
    uint64_t pos = kFileHeaderSize;
    while (pos < l.manifest_offset) {
        if (pos + kPropertyHeaderSize > l.end) return false;
        const uint8_t id = b[pos];
        const uint16_t len = u16_at(b, pos + 1);
        pos += kPropertyHeaderSize;
        if (id == 0) break;
        if (pos + len > l.end) return false;
        if (id == kPropVersion && !version) version = b.subspan(pos, len);
        if (id == kPropRequiredVersion && !required) required = b.subspan(pos, len);
        pos += len;
    }
    if (pos > l.manifest_offset) return false;
    if (version && required &&
        (version->size() != required->size() || std::memcmp(required->data(), version->data(), version->size()) >= 0))
        return false;
    return true;
}

// The running CRC-32 of the package bytes before the trailer, noted at the offsets the
// item checks need (where each item's data starts, where its own CRC field starts, and
// where it ends), so that every checksum comes from one pass over the bytes.
class PackageCrcs {
public:
    PackageCrcs(std::span<const uint8_t> b, const Layout& l) {
        std::vector<uint64_t> marks{0, l.end};
        // Records of zero bytes all read alike: the first one stands for them all.
        for (uint32_t i = 0; i < l.records && (i == 0 || l.stride() > 0); ++i) {
            auto r = read_record(b, l, i);
            if (!r) break;
            const zelnvm_directory_entry_t& e = r->entry;
            if (e.data_length == 0 || e.item_location > l.end || l.end - e.item_location < e.data_length) continue;
            const uint64_t end = uint64_t{e.item_location} + e.data_length;
            marks.insert(marks.end(), {e.item_location, end - std::min<uint64_t>(4, e.data_length), end});
        }
        std::sort(marks.begin(), marks.end());
        marks.erase(std::unique(marks.begin(), marks.end()), marks.end());
        uint32_t crc = firmware_crc32({});
        uint64_t at = 0;
        for (uint64_t mark : marks) {
            crc = firmware_crc32_continue(crc, b.subspan(at, mark - at));
            at = mark;
            running_.emplace_back(mark, crc);
        }
        whole_ = crc;
    }

    // CRC-32 of all the bytes before the trailer.
    uint32_t whole() const { return whole_; }

    // The CRCs of the item at [location, location + length).
    ImageCrcs item(uint64_t location, uint64_t length) const {
        const uint64_t end = location + length, head_end = end - std::min<uint64_t>(4, length);
        const uint32_t start = at(location);
        return ImageCrcs{firmware_crc32_of_suffix(at(head_end), start, head_end - location),
                         firmware_crc32_of_suffix(at(end), start, length)};
    }

private:
    uint32_t at(uint64_t mark) const {
        auto it = std::lower_bound(running_.begin(), running_.end(), std::make_pair(mark, uint32_t{0}));
        return it->second;
    }

    std::vector<std::pair<uint64_t, uint32_t>> running_;
    uint32_t whole_ = 0;
};

// The checks of a record that need no pass over its data: its directive, its lengths
// and where its data lies.
bool record_fits(const Layout& l, const StagedRecord& r) {
    const zelnvm_directory_entry_t& e = r.entry;
    if (r.directive == kDirectivePatchIfPresent && zelt::is_patch_forbidden_type(e.type)) return false;
    if (r.directive != kDirectiveRemoveIfPresent && e.item_length == 0) return false;
    if (e.item_length < e.data_length) return false;
    if (e.data_length == 0) return true;
    return e.item_location <= l.end && l.end - e.item_location >= e.data_length;
}

// True when the record's data is judged by the item checks (signatures, checksums); a
// patch text is judged when it is applied.
bool needs_item_check(const StagedRecord& r) {
    return r.entry.data_length != 0 && r.directive != kDirectivePatchIfPresent;
}

bool item_valid(std::span<const uint8_t> b, const StagedRecord& r, const PackageCrcs& crcs, ItemChecks checks) {
    const zelnvm_directory_entry_t& e = r.entry;
    const std::span<const uint8_t> image = b.subspan(e.item_location, e.data_length);
    const ImageCrcs item_crcs = crcs.item(e.item_location, e.data_length);
    return checks == ItemChecks::full ? firmware_item_valid(image, e, item_crcs)
                                      : firmware_item_sound(image, e, item_crcs);
}

// Packages with less item data than this are checked on one thread: starting a second
// costs more than it saves.
constexpr uint64_t kTwoThreadItemBytes = 1u << 20;

// Index of the first record whose item checks fail, or records.size() when none does.
// The checks of independent items run on two threads (each signature is a SHA-256 over
// the item's data); the answer is the same as from checking them in order.
size_t first_invalid_item(std::span<const uint8_t> b, const std::vector<StagedRecord>& records,
                          const PackageCrcs& crcs, ItemChecks checks) {
    std::vector<size_t> checked;
    uint64_t bytes = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!needs_item_check(records[i])) continue;
        checked.push_back(i);
        bytes += records[i].entry.data_length;
    }
    std::atomic<size_t> next{0};
    std::atomic<size_t> first_bad{records.size()};
    auto work = [&] {
        for (size_t k; (k = next.fetch_add(1)) < checked.size();) {
            const size_t i = checked[k];
            // A later record need not be judged once an earlier one has failed.
            if (i > first_bad.load()) break;
            if (item_valid(b, records[i], crcs, checks)) continue;
            size_t seen = first_bad.load();
            while (i < seen && !first_bad.compare_exchange_weak(seen, i)) {
            }
        }
    };
    std::optional<std::thread> helper;
    if (checked.size() >= 2 && bytes >= kTwoThreadItemBytes && checks == ItemChecks::full) {
        try {
            helper.emplace(work);
        } catch (const std::system_error&) {
            // No second thread to be had: this one does all the work.
        }
    }
    work();
    if (helper) helper->join();
    return first_bad.load();
}

}  // namespace

std::optional<std::span<const uint8_t>> StagedPackage::property(uint8_t id) const {
    if (bytes.size() < kFileHeaderSize) return std::nullopt;
    const uint32_t manifest = u32_at(bytes, 8);
    if (manifest < kFileHeaderSize || manifest > bytes.size()) return std::nullopt;
    const std::span<const uint8_t> stream = bytes.subspan(kFileHeaderSize, manifest - kFileHeaderSize);
    size_t pos = 0;
    while (pos < stream.size() && stream[pos] != 0 && stream.size() - pos >= kPropertyHeaderSize) {
        const uint16_t len = u16_at(stream, pos + 1);
        if (stream[pos] == id) {
            if (stream.size() - pos - kPropertyHeaderSize < len) return std::nullopt;
            return stream.subspan(pos + kPropertyHeaderSize, len);
        }
        pos += kPropertyHeaderSize + len;
    }
    return std::nullopt;
}

std::string StagedPackage::property_text(uint8_t id) const {
    auto v = property(id);
    if (!v) return {};
    const char* text = reinterpret_cast<const char*>(v->data());
    return std::string(text, strnlen(text, v->size()));
}

std::span<const uint8_t> StagedPackage::data(const StagedRecord& r) const {
    if (r.entry.data_length == 0 || r.entry.item_location > bytes.size() ||
        bytes.size() - r.entry.item_location < r.entry.data_length)
        return {};
    return bytes.subspan(r.entry.item_location, r.entry.data_length);
}

size_t staged_package_length(std::span<const uint8_t> staged) {
    Layout l;
    if (!read_layout(staged, l)) return 0;
    uint64_t end = l.first_record() + uint64_t{l.records} * l.stride();
    if (end > staged.size()) return 0;
    // Records of zero bytes are all empty and hold no data, however many are claimed.
    for (uint32_t i = 0; i < l.records && l.stride() > 0; ++i) {
        auto r = read_record(staged, l, i);
        if (!r) return 0;
        if (r->entry.data_length > 0)
            end = std::max(end, (uint64_t{r->entry.item_location} + r->entry.data_length + 3) / 4 * 4);
    }
    end += l.trailer_length;
    return end <= staged.size() ? static_cast<size_t>(end) : 0;
}

bool check_staged_package(std::span<const uint8_t> pkg, StagedPackage& out, int& bad_record, ItemChecks checks) {
    bad_record = -1;
    out = StagedPackage{};
    Layout l;
    if (!read_layout(pkg, l)) return false;
    // The properties and the checksum are known from here, for the install log.
    out.bytes = pkg;
    if (l.trailer_length >= kChecksumSize) out.checksum = u32_at(pkg, pkg.size() - kChecksumSize);
    if (!properties_valid(pkg, l)) return false;

    // The records in order up to the first that is refused without looking at its
    // data. The first record of each identity; a later one with the same identity and
    // directive must be the same record.
    std::map<std::tuple<uint16_t, uint16_t, uint16_t>, StagedRecord> first_of;
    const PackageCrcs crcs(pkg, l);
    std::vector<StagedRecord> records;
    std::optional<uint32_t> refused;
    for (uint32_t i = 0; i < l.records; ++i) {
        auto r = read_record(pkg, l, i);
        if (!r || !record_fits(l, *r)) {
            refused = i;
            break;
        }
        const zelnvm_directory_entry_t& e = r->entry;
        if (e.data_length != 0) r->data_crc = crcs.item(e.item_location, e.data_length).whole;
        // Copies of the packed fields: a reference to one may be misaligned.
        const std::tuple<uint16_t, uint16_t, uint16_t> identity{uint16_t(e.type), uint16_t(e.ordinal),
                                                                uint16_t(e.ext)};
        auto [first, inserted] = first_of.try_emplace(identity, *r);
        if (!inserted && first->second.directive == r->directive &&
            std::memcmp(&first->second.entry, &e, sizeof e) != 0) {
            refused = i;
            break;
        }
        records.push_back(*r);
    }
    // Then the item checks of those records: the first record that fails either way is
    // the one reported.
    const size_t bad_item = first_invalid_item(pkg, records, crcs, checks);
    if (bad_item < records.size() || refused) {
        bad_record = static_cast<int>(std::min<size_t>(bad_item, refused.value_or(records.size())));
        records.resize(static_cast<size_t>(bad_record));
        out.records = std::move(records);
        return false;
    }
    out.records = std::move(records);

    return !out.checksum || crcs.whole() == *out.checksum;
}

}  // namespace zelt::sim
