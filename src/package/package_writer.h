// Writing a package file from a property stream and a set of items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "package/package_records.h"

namespace zelt {

// Where a package is written: a file (see the command layer) or memory.
class zelpkg_output {
public:
    virtual ~zelpkg_output() = default;
    // Empties the output and goes to position 0.
    virtual bool truncate() = 0;
    // Writes at the current position and moves past the bytes.
    virtual bool write(const void* data, size_t size) = 0;
    // Moves forward over `size` bytes; bytes never written read as zeros.
    virtual bool skip(size_t size) = 0;
    virtual uint64_t position() = 0;
};

// A package written to memory.
class zelpkg_memory_output : public zelpkg_output {
public:
    bool truncate() override;
    bool write(const void* data, size_t size) override;
    bool skip(size_t size) override;
    uint64_t position() override { return pos_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    std::vector<uint8_t> take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
};

// Writes a package: file header, the property stream (zeros when `stream` is null),
// manifest header, one 88-byte record per item whose type is not 0, the item data in
// record order (each padded with zeros to a multiple of 4) and the CRC-32 trailer.
//
// Records are updated in place: item_location and data_chksum of items with data,
// the Trailer attribute of items whose data ends in a component trailer. `data[i]`
// holds the data_length bytes of item i (may be null for items without data).
//
// Refusals: INVALID_PREREQUISITE when the stream's required version is not strictly
// below its package version (before anything is written); INVALID_DIRECTIVE for a
// Patch on a firmware or trailer type; with `verify`, the failures of the signed
// firmware check and the trailer check, and INVALID_TRAILER for a trailer type without
// one; TRAILER_NOT_FOUND for a record marked Trailer whose data has none;
// ZERO_LENGTH_ITEM, INVALID_DATA_LENGTH, INVALID_POINTER_PARAMETER; the output's
// FILE_TRUNCATE_FAILURE, FILE_SEEK_FAILURE, FILE_WRITE_FAILURE. `problem_index` (when
// given) names the item being processed at a failure, -1 otherwise.
int32_t zelpkgCreate(zelpkg_output& out, uint32_t stream_length, const void* stream, uint32_t count,
                     zelpkg_manifest_item_t* items, const void* const* data, int32_t* problem_index, bool verify);

}  // namespace zelt
