// Package builder: makes firmware packages and their item images for tests, demos,
// the simulated adapters' factory content and image makers.
//
// Packages are described either in code (PackageSpec) or by a JSON description (see
// build_from_description). Images are signed with the private key given to the
// builder. The repository's test key is not part of the builder: the programs that may
// sign with it link it separately (test_signing_key/test_signing_key.h).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/image/secure_boot_identity.h"

namespace zelt::pkgbuild {

using Bytes = std::vector<uint8_t>;

// Package version of `zeltpkg example` when none is given; newer than the factory
// packages of the default simulated adapters.
inline constexpr const char* kExamplePackageVersion = "229.0.120.0";

// ---- Item images ---------------------------------------------------------------------

// A signed firmware image of a signed firmware directory type: header with the four
// version numbers and text, `body_size` bytes of deterministic body, RSA signature and
// CRC-32. 0 or a failure.
int firmware_image(uint16_t dir_type, const std::vector<uint16_t>& version, const std::string& text,
                   uint32_t body_size, std::span<const uint8_t> key, Bytes* image);

// An image of `body_size` deterministic bytes ending in a signed component trailer for
// `dir_type`, carrying `version` as DEC numbers.
int trailer_image(uint16_t dir_type, const std::vector<uint16_t>& version, uint32_t body_size,
                  std::span<const uint8_t> key, Bytes* image);

// A VPD item: format revision word, identifier string, read-only fields (keyword to
// text, e.g. "PN", "SN") with their checksum, and an empty read-write area.
int vpd_image(const std::string& product, const std::map<std::string, std::string>& fields, Bytes* image);

// A FRU item holding the product name, serial number, part number and revision.
Bytes fru_image(const std::string& product, const std::string& serial, const std::string& part,
                const std::string& revision);

// A secure-boot image (SBI at offset 256, SRT and CRT at 0) with its header.
Bytes secure_boot_image(uint16_t dir_type, uint32_t fw_version, uint32_t size);
// The same, stamped with a secure-boot identity: an SBI carries the CRID and the SBI
// revision, an SRT or CRT its own revision.
Bytes secure_boot_image(uint16_t dir_type, uint32_t fw_version, uint32_t size, const image::SecureBootIdentity& id);

// The version "a.b.c.d" packed as a secure-boot header's firmware version.
uint32_t secure_boot_version(const std::vector<uint16_t>& version);

// `size` deterministic bytes for configuration items and other unchecked data.
Bytes filler(uint16_t seed, uint32_t size);

// ---- Packages ------------------------------------------------------------------------

struct ItemSpec {
    uint16_t type = 0;
    uint16_t ordinal = 0;
    uint16_t ext = 0;
    uint16_t attr = 0;
    uint8_t directive = 0;
    std::string description;
    uint32_t item_length = 0;  // 0: the data length rounded up to 4 KiB
    Bytes data;
};

struct PropertySpec {
    uint8_t id;
    Bytes value;
};

struct PackageSpec {
    std::vector<PropertySpec> properties;  // in stream order
    uint32_t stream_size = 512;            // zero-filled stream buffer (grown when too small)
    std::vector<ItemSpec> items;
    bool verify = true;  // check the items while writing
    // Wrap in the firmware update package header with this version text.
    bool wrap = false;
    std::string wrap_version;
};

// Property value helpers.
Bytes text_value(const std::string& text);
Bytes u16_values(const std::vector<uint16_t>& values);

// Writes the package. 0 or the writer's failure; `error` names the failing step.
int build_package(const PackageSpec& plan, Bytes* package, std::string* error);

// Deliberate faults applied to a finished package (for tests).
struct Fault {
    enum Kind { XOR_BYTE, SET_U32, TRUNCATE, FIX_CHECKSUM } kind;
    int64_t offset = 0;  // negative: from the end
    uint32_t value = 0;
};
void apply_faults(Bytes* package, const std::vector<Fault>& faults);

// What the example package carries beyond its firmware.
struct ExampleOptions {
    bool wrap = false;  // behind the firmware update package header
    // A configuration section: shared, port (0 and 1) and function configuration, the
    // configuration table and the factory configuration, and the staging item's record
    // (kExampleStagingLength),
    // as a package that may rebuild an erased NVM needs.
    bool config_section = false;
    // A VPD template (created only where the adapter has no VPD item): a generic product
    // name and placeholder fields, for the board's own fields to be written into.
    bool vpd_template = false;
    // The package requires the adapter's onboard configuration item.
    bool require_onboard_cfg = false;
    // The secure-boot identity its SBI, SRT and CRT carry.
    image::SecureBootIdentity secure_boot = image::kSimulatedSecureBootIdentity;
};

// The VPD template's fields (see ExampleOptions::vpd_template).
inline constexpr const char* kExampleVpdProduct = "Orvanta Ethernet adapter";
inline constexpr const char* kExampleVpdPlaceholder = "TEMPLATE";
// The staging item size the configuration section asks for.
inline constexpr uint32_t kExampleStagingLength = 1u << 20;

// The example package: signed boot code, management firmware, secondary boot code,
// trailer-signed AVS and CCM images of `version` ("a.b.c.d"), and the secure-boot
// images (SBI, SRT, CRT; replaced where an adapter has them) carrying the simulated
// adapters' secure-boot identity, for every physical function of the supported-device
// table; `wrap` puts it behind the firmware update package header.
int build_example_package(const std::string& version, std::span<const uint8_t> key, Bytes* package,
                          bool wrap = false);
// The same with the extras of `options`.
int build_example_package(const std::string& version, std::span<const uint8_t> key, Bytes* package,
                          const ExampleOptions& options);

// Builds from a JSON description; relative file names are taken from `base_dir`. Items
// are signed with the description's "key" file, or with `default_key` when it names none.
//   {
//     "stream_size": 512, "verify": true, "key": "key.pem",
//     "properties": { "description": "...", "version": "1.2.3.4", "device_ids": [4660],
//                     "subsys_vendor": 11037, "subsys_id": 66, "min_chip_rev": 0,
//                     "max_chip_rev": 255, "created_by": "...", "created_on": "...",
//                     "created_with": "...", "required_pkg": "...", "supported_vrs": "...",
//                     "require_onboard_cfg": 1, "livepatch": 1 },
//     "raw_properties": [ { "id": 17, "hex": "0102" } ],
//     "items": [ { "type": "chimpBoot" or 4, "ordinal": 0, "ext": 0, "attr": 0,
//                  "directive": "Install", "description": "...", "item_length": 0,
//                  one of: "file": "path", "hex": "...", "text": "...",
//                  "firmware": { "version": [1,2,3,4], "text": "...", "body_size": 1024 },
//                  "trailer": { "version": [1,2,3,4], "body_size": 1024 },
//                  "vpd": { "product": "...", "fields": { "PN": "...", "SN": "..." } },
//                  "fru": { "product": "...", "serial": "...", "part": "...", "revision": "..." },
//                  "secure_boot": { "fw_version": 16909060, "size": 1024 },
//                  "filler": 4096 } ],
//     "wrap": { "version": "..." },
//     "faults": [ { "xor": 255, "offset": -1 }, { "set_u32": 0, "offset": 8 },
//                 { "truncate": 100 }, { "fix_checksum": true } ]
//   }
int build_from_description(const std::string& json_text, const std::string& base_dir,
                           std::span<const uint8_t> default_key, Bytes* package, std::string* error);

}  // namespace zelt::pkgbuild
