// The firmware's reader of a package staged in the update item. It knows the container
// layout itself: a 12-byte file header ("PKG0", trailer length, manifest offset), the
// property stream up to the manifest, the manifest header ("Man0", header length,
// record count, metadata and directory-entry part lengths), the item records, the item
// data, and a trailer whose last 4 bytes are the CRC-32 of everything before the
// trailer. Every length is checked before the bytes it covers are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/directory_entry.h"

namespace zelt::sim {

// Item directives the firmware acts on.
inline constexpr uint8_t kDirectiveAlways = 0;
inline constexpr uint8_t kDirectiveReplaceIfPresent = 1;
inline constexpr uint8_t kDirectiveCreateIfAbsent = 2;
inline constexpr uint8_t kDirectiveRemoveIfPresent = 3;
inline constexpr uint8_t kDirectivePatchIfPresent = 4;

// Property ids the firmware reads.
inline constexpr uint8_t kPropDescription = 1;
inline constexpr uint8_t kPropCreatedOn = 6;
inline constexpr uint8_t kPropUpdatedOn = 8;
inline constexpr uint8_t kPropVersion = 9;
inline constexpr uint8_t kPropRequiredVersion = 20;
inline constexpr uint8_t kPropSupportedRegulators = 22;
inline constexpr uint8_t kPropLivePatch = 23;

struct StagedRecord {
    uint8_t directive = 0;
    zelnvm_directory_entry_t entry{};
    // CRC-32 of the record's data, taken in the check's pass over the package (0 for
    // a record without data).
    uint32_t data_crc = 0;
};

// A package read by check_staged_package; `bytes` must outlive it. After a failed
// check only `bytes` and `checksum` are meaningful.
struct StagedPackage {
    std::span<const uint8_t> bytes;
    std::vector<StagedRecord> records;
    std::optional<uint32_t> checksum;  // when the trailer holds one

    // The value of the first property with `id` in the stream; nothing when absent or
    // when it does not fit in the stream.
    std::optional<std::span<const uint8_t>> property(uint8_t id) const;
    // The value up to its first NUL; empty when absent.
    std::string property_text(uint8_t id) const;
    // The data bytes of a record (its data_length bytes at item_location).
    std::span<const uint8_t> data(const StagedRecord& r) const;
};

// The package's own length inside the staged bytes, which may end in stale bytes of
// an earlier, longer package: the records, or the last item data (padded to 4)
// beyond them, followed by the trailer. 0 when the layout does not fit.
size_t staged_package_length(std::span<const uint8_t> staged);

// Checks the whole package (header, property stream and prerequisite version,
// manifest, every record and its item data, duplicate records, the CRC-32 in the
// trailer) and fills `out`; false when any check fails. `bad_record` is the index of the record that failed, or
// -1 when the failure is not one record's.
// The item checks a package check runs: all of them, or all but the signatures (for a
// copy of items whose signatures are judged where the copy is installed or booted).
enum class ItemChecks { full, without_signatures };

bool check_staged_package(std::span<const uint8_t> pkg, StagedPackage& out, int& bad_record,
                          ItemChecks checks = ItemChecks::full);

}  // namespace zelt::sim
