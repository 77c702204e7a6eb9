#include "formats/image/exp_rom.h"

namespace zelt::image {

std::vector<RomImage> walk_expansion_rom(Bytes item, size_t max_images) {
    std::vector<RomImage> images;
    size_t offset = 0;
    while (images.size() < max_images) {
        RomImage rom;
        rom.offset = offset;
        if (!load_record(item, offset, &rom.header) || rom.header.Signature != EXP_ROM_SIGNATURE) break;
        if (!load_record(item, offset + rom.header.PCIdsOffset, &rom.pci) || rom.pci.Signature != PCI_DATA_SIGNATURE) {
            break;
        }
        images.push_back(rom);
        if ((rom.pci.Indicator & EXP_ROM_INDICATOR_LAST) != 0 || rom.pci.ImageLength == 0) break;
        offset += size_t{rom.pci.ImageLength} * EXP_ROM_LENGTH_UNIT;
    }
    return images;
}

RomRevision decode_rom_revision(uint16_t image_rev) {
    RomRevision r;
    r.major = static_cast<uint8_t>(((image_rev >> 12) & 0xF) + ((image_rev & 0x80) ? 16 : 0));
    r.minor = static_cast<uint8_t>((image_rev >> 8) & 0xF);
    r.revision = static_cast<uint8_t>(image_rev & 0x7F);
    return r;
}

}  // namespace zelt::image
