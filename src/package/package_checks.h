// Whether a package is sound, and whether it is meant for an adapter.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelt {

// PCI identity of an adapter function; 0xFFFF in subsys_vendor or subsys means the
// value is not known.
struct zelt_pci_id_t {
    uint16_t vendor;
    uint16_t device;
    uint16_t subsys_vendor;
    uint16_t subsys;
};

// Work done by one verification, so that a caller can hold it to a bound: one step
// per property and per record looked at, and one per byte handed to a pass over the
// data (item verification, checksum). A sound or refused package of n bytes costs at
// most about 3n + ZELPKG_MAX_ITEMS steps.
struct VerifyWork {
    uint64_t steps = 0;
};

// Structure, property stream, prerequisite rule, manifest, every item record (its
// directive, lengths, data bounds, item verification, duplicates) and the checksum.
// 0 when sound, else the first failure; `item_index` (when given) is the 0-based index
// of the item being checked at the failure, -1 when the failure is not an item's.
//
// The item data of a record must lie after the manifest header and the records
// (INVALID_DATA_OFFSET) and share no byte with the data of an earlier record
// (OVERLAPPING_ITEM), so no byte is verified twice; a manifest of more than
// ZELPKG_MAX_ITEMS records is refused at the first record past it (INVALID_MANIFEST).
int32_t zelpkgVerify(const void* pkg, size_t length, int32_t* item_index, VerifyWork* work = nullptr);

// 0 when the package applies to the identity and chip revision (-1 = not known); else
// UNSUPPORTED_DEVICE_ID, UNSUPPORTED_CHIP_REV, UNSUPPORTED_SUBSYS_VENDOR or
// UNSUPPORTED_SUBSYS_ID. A buffer that is not a package with a valid header matches.
int32_t zelpkgDeviceMatch(const void* pkg, size_t length, const zelt_pci_id_t& id, int chip_rev);

// True when the installed package version text is at or above the package's required
// version (property 20), or when the package has none. The required version is copied
// to `required` (at most capacity - 1 bytes, zero-filled) when given.
bool zelpkgPrerequisitesMet(const void* pkg, size_t length, const char* installed_version, char* required,
                            size_t capacity);

// True when the package carries a non-empty "Require Onboard config" property.
bool zelpkgRequireOnboardConfig(const void* pkg, size_t length);

// True when the package carries a non-empty "LivePatch Pkg" property.
bool zelpkgLivePatchPkg(const void* pkg, size_t length);

// Whether a package is a configuration package for a device of `device_type`.
struct ConfigPackageResult {
    bool is_config = false;
    bool system_cfg_backup = false;  // the single-item system configuration case
    uint32_t item_count = 0;
};
ConfigPackageResult zelpkgClassifyConfigPackage(const void* pkg, size_t length, int device_type, bool recovery,
                                                bool force);

}  // namespace zelt
