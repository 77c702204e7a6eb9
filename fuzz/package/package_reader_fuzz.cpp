// Every reader operation over arbitrary bytes, loaded as a package file would be.
#include <cstdint>
#include <vector>

#include "fuzz/package/verify_work_bound.h"
#include "package/package_checks.h"
#include "package/package_properties.h"
#include "package/package_reader.h"
#include "package/pldm_wrapper.h"

using namespace zelt;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> pkg(data, data + size);
    // The package as the commands see it (unwrapped), verified within the work bound.
    if (zelpkgLoadPackage(pkg) == 0) zelt::fuzz::verify_within_bound(pkg.data(), pkg.size());
    // Operations run over the raw bytes too: they check the header themselves.
    for (const std::vector<uint8_t>& b : {pkg, std::vector<uint8_t>(data, data + size)}) {
        zelpkg_file_header_t h;
        zelpkgGetHeader(b.data(), b.size(), &h);
        uint32_t u = 0;
        zelpkgGetChecksum(b.data(), b.size(), &u);
        zelpkgGetPropertyStreamLength(b.data(), b.size(), &u);
        std::vector<uint8_t> stream(b.size());
        zelpkgGetPropertyStream(b.data(), b.size(), stream.size(), stream.data());
        zelpkgGetManifestHeader(b.data(), b.size(), nullptr);
        zelpkg_manifest_item_t items[8];
        zelpkgGetItemsAt(b.data(), b.size(), 1, 8, items);
        zelpkg_manifest_item_t item;
        if (zelpkgFindItem(b.data(), b.size(), 4, 0, 0, &item) == 0) {
            std::vector<uint8_t> out(item.direntry.data_length < (1u << 20) ? item.direntry.data_length : 0);
            zelpkgReadItem(b.data(), b.size(), 4, 0, 0, out.data(), out.size(), true);
        }
        for (uint8_t id = 0; id < 25; ++id) {
            uint8_t value[64];
            zelpkgGetProperty(b.data(), b.size(), id, value, sizeof(value));
        }
        uint8_t ids[16];
        zelpkgGetPropertyIDs(b.data(), b.size(), ids, sizeof(ids));
        zelpkgCalcPropertyStreamLength(b.data(), b.size());
        char required[32];
        zelpkgPrerequisitesMet(b.data(), b.size(), "1.0", required, sizeof(required));
        zelpkgDeviceMatch(b.data(), b.size(), zelt_pci_id_t{0x2b1d, 0x9801, 0xFFFF, 0xFFFF}, 1);
        zelpkgClassifyConfigPackage(b.data(), b.size(), 8, true, true);
    }
    // Editing a stream made of the input.
    std::vector<uint8_t> stream(data, data + size);
    stream.resize(size + 64);
    zelpkgPutProperty(stream.data(), stream.size(), 9, "1.2.3.4", 7);
    zelpkgPutPropertyString(stream.data(), stream.size(), 1, "text", 12);
    return 0;
}
