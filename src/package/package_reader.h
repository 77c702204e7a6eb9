// Read-only access to a firmware package held whole in a caller's buffer: the file
// header, checksum, property stream, manifest and item records, and item data.
//
// Every function validates the file header itself, so they can be called in any
// order, and none writes into the package buffer. Results are hvxretval codes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "package/package_records.h"

namespace zelt {

// Copies the file header (when `header` is given). INVALID_LENGTH for fewer than 12
// bytes, INVALID_SIGNATURE for a wrong sig, INVALID_FILE_HEADER for a manifest offset
// or trailer length that does not fit the buffer.
int32_t zelpkgGetHeader(const void* pkg, size_t length, zelpkg_file_header_t* header);

// The package checksum (the last 4 bytes). INVALID_POINTER_PARAMETER for a null
// `chksum`, the header results, INVALID_TRAILER when the trailer is shorter than 4.
int32_t zelpkgGetChecksum(const void* pkg, size_t length, uint32_t* chksum);

// Bytes between the file header and the manifest.
int32_t zelpkgGetPropertyStreamLength(const void* pkg, size_t length, uint32_t* stream_length);

// Copies the whole property stream; INVALID_LENGTH_PARAMETER when `capacity` is
// smaller than the stream.
int32_t zelpkgGetPropertyStream(const void* pkg, size_t length, size_t capacity, void* stream);

// Copies the manifest header (when `manifest` is given). INVALID_MANIFEST when it does
// not fit before the trailer or its length runs past the trailer, INVALID_SIGNATURE
// for a wrong manifest sig.
int32_t zelpkgGetManifestHeader(const void* pkg, size_t length, zelpkg_manifest_header* manifest);

// The manifest's item count.
int32_t zelpkgGetItemCount(const void* pkg, size_t length, uint32_t* count);

// Copies up to `max_count` records from index `first`, each read with the record sizes
// the manifest declares (at most 64 metadata and 24 directory-entry bytes are kept; a
// shorter part leaves the remaining fields zero). Returns the number copied, or
// INVALID_MANIFEST when a record to be read does not lie wholly before the trailer.
int32_t zelpkgGetItemsAt(const void* pkg, size_t length, uint32_t first, uint32_t max_count,
                         zelpkg_manifest_item_t* items);
int32_t zelpkgGetItems(const void* pkg, size_t length, uint32_t max_count, zelpkg_manifest_item_t* items);

// 1 when record `index` was copied, 0 when the index is at or past the count, or an error.
int32_t zelpkgGetItem(const void* pkg, size_t length, uint32_t index, zelpkg_manifest_item_t* item);

// 0 and the first record with this type, ordinal and ext (copied when `item` is
// given); ITEM_NOT_FOUND when the package has no items; 1 when it has items and none
// matches; an error of zelpkgGetItem otherwise.
int32_t zelpkgFindItem(const void* pkg, size_t length, uint16_t type, uint16_t ordinal, uint16_t ext,
                       zelpkg_manifest_item_t* item);

// zelpkgFindItem that also gives the record's index (when `index` is given).
int32_t zelpkgFindItemIndex(const void* pkg, size_t length, uint16_t type, uint16_t ordinal, uint16_t ext,
                            zelpkg_manifest_item_t* item, uint32_t* index);

// The data_length of an item, copied into `data` when it is given. Not found: the
// nonzero result of zelpkgFindItem. INSUFFICIENT_SPACE when `capacity` is too small;
// INVALID_MANIFEST when the data does not lie within the package; with `verify`, the
// failure of the item verification over the data.
int32_t zelpkgReadItem(const void* pkg, size_t length, uint16_t type, uint16_t ordinal, uint16_t ext, void* data,
                       size_t capacity, bool verify);

// True when the item's data_length bytes at item_location lie before the trailer.
bool zelpkgItemDataInBounds(const void* pkg, size_t length, const zelnvm_directory_entry_t& entry);

}  // namespace zelt
