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
#include "formats/crypto/crc32.h"
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

// Packages with less item data than this are checked on one thread: starting a second
// costs more than it saves.
constexpr uint64_t kTwoThreadItemBytes = 1u << 20;

// The item data ranges of the records in order of location, each once, when no two of
// them share a byte: the pieces the package CRC is joined from, with the bytes between
// them. Nothing when ranges overlap (only a crafted package has them).
struct Piece {
    uint64_t location;
    uint64_t length;
    size_t record;  // a record whose data this is
};
std::optional<std::vector<Piece>> disjoint_pieces(const std::vector<StagedRecord>& records) {
    std::vector<Piece> pieces;
    for (size_t i = 0; i < records.size(); ++i) {
        const zelnvm_directory_entry_t& e = records[i].entry;
        if (e.data_length != 0) pieces.push_back({e.item_location, e.data_length, i});
    }
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) {
        return std::tie(a.location, a.length, a.record) < std::tie(b.location, b.length, b.record);
    });
    // Records naming the same range have the same bytes: one piece stands for them.
    pieces.erase(std::unique(pieces.begin(), pieces.end(),
                             [](const Piece& a, const Piece& b) {
                                 return a.location == b.location && a.length == b.length;
                             }),
                 pieces.end());
    for (size_t k = 1; k < pieces.size(); ++k)
        if (pieces[k].location < pieces[k - 1].location + pieces[k - 1].length) return std::nullopt;
    return pieces;
}

// The CRC-32 of every item's data and the item checks, in one pass over the package's
// bytes. Each item's CRCs are taken by the thread that then checks the item, and the
// CRC of all the bytes before the trailer is joined from the items' CRCs and those of
// the bytes between them, which the calling thread takes.
class ItemPass {
public:
    ItemPass(std::span<const uint8_t> b, const Layout& l, std::vector<StagedRecord>& records, bool want_whole,
             ItemChecks checks)
        : b_(b), l_(l), records_(records), checks_(checks), crcs_(records.size()), first_bad_(records.size()) {
        uint64_t bytes = 0;
        for (size_t i = 0; i < records.size(); ++i) {
            if (records[i].entry.data_length == 0) continue;
            work_.push_back(i);
            bytes += records[i].entry.data_length;
        }
        if (want_whole) pieces_ = disjoint_pieces(records);
        std::optional<std::thread> helper;
        if (work_.size() >= 2 && bytes >= kTwoThreadItemBytes) {
            try {
                helper.emplace([this] { work(); });
            } catch (const std::system_error&) {
                // No second thread to be had: this one does all the work.
            }
        }
        if (want_whole) between_items();
        work();
        if (helper) helper->join();
        for (size_t i = 0; i < first_bad(); ++i)
            if (crcs_[i]) records_[i].data_crc = crcs_[i]->whole;
    }

    // Index of the first record whose item checks fail, or records.size() when none does.
    size_t first_bad() const { return first_bad_.load(); }

    // CRC-32 of all the bytes before the trailer; only meaningful when no item failed.
    uint32_t whole() const {
        if (!pieces_) return firmware_crc32(b_.first(l_.end));
        uint32_t crc = gaps_.empty() ? firmware_crc32({}) : gaps_[0];
        for (size_t k = 0; k < pieces_->size(); ++k) {
            const Piece& p = (*pieces_)[k];
            crc = crypto::crc32_combine(crc, crcs_[p.record]->whole, p.length);
            const uint64_t from = p.location + p.length;
            const uint64_t to = k + 1 < pieces_->size() ? (*pieces_)[k + 1].location : l_.end;
            crc = crypto::crc32_combine(crc, gaps_[k + 1], to - from);
        }
        return crc;
    }

private:
    // The CRC of the bytes before the first item, between each two, and after the last.
    void between_items() {
        if (!pieces_) return;
        uint64_t at = 0;
        for (const Piece& p : *pieces_) {
            gaps_.push_back(firmware_crc32(b_.subspan(at, p.location - at)));
            at = p.location + p.length;
        }
        gaps_.push_back(firmware_crc32(b_.subspan(at, l_.end - at)));
    }

    void work() {
        for (size_t k; (k = next_.fetch_add(1)) < work_.size();) {
            const size_t i = work_[k];
            // A later record need not be judged once an earlier one has failed.
            if (i > first_bad_.load()) break;
            const StagedRecord& r = records_[i];
            const std::span<const uint8_t> data = b_.subspan(r.entry.item_location, r.entry.data_length);
            crcs_[i] = firmware_image_crcs(data);
            if (!needs_item_check(r) || item_valid(data, r.entry, *crcs_[i])) continue;
            size_t seen = first_bad_.load();
            while (i < seen && !first_bad_.compare_exchange_weak(seen, i)) {
            }
        }
    }

    bool item_valid(std::span<const uint8_t> data, const zelnvm_directory_entry_t& e, const ImageCrcs& crcs) const {
        return checks_ == ItemChecks::full ? firmware_item_valid(data, e, crcs) : firmware_item_sound(data, e, crcs);
    }

    std::span<const uint8_t> b_;
    const Layout& l_;
    std::vector<StagedRecord>& records_;
    ItemChecks checks_;
    std::vector<size_t> work_;  // the records with data, in order
    std::vector<std::optional<ImageCrcs>> crcs_;  // per record, each written by one thread
    std::optional<std::vector<Piece>> pieces_;
    std::vector<uint32_t> gaps_;
    std::atomic<size_t> next_{0};
    std::atomic<size_t> first_bad_;
};

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
    std::vector<StagedRecord> records;
    std::optional<uint32_t> refused;
    for (uint32_t i = 0; i < l.records; ++i) {
        auto r = read_record(pkg, l, i);
        if (!r || !record_fits(l, *r)) {
            refused = i;
            break;
        }
        const zelnvm_directory_entry_t& e = r->entry;
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
    // the one reported. The package CRC is only wanted when every record is sound.
    const ItemPass pass(pkg, l, records, !refused && out.checksum, checks);
    const size_t bad_item = pass.first_bad();
    if (bad_item < records.size() || refused) {
        bad_record = static_cast<int>(std::min<size_t>(bad_item, refused.value_or(records.size())));
        records.resize(static_cast<size_t>(bad_record));
        out.records = std::move(records);
        return false;
    }
    out.records = std::move(records);

    return !out.checksum || pass.whole() == *out.checksum;
}

}  // namespace zelt::sim
