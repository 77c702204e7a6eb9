// The expansion ROM item (directory type 6): a chain of PCI expansion ROM images.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/image/byte_view.h"
#include "formats/image/image_records.h"

namespace zelt::image {

struct RomImage {
    size_t offset = 0;  // of the image's ROM header inside the item
    exp_rom_hdr_t header{};
    pci30_rom_hdr_t pci{};
};

// The usable images of the chain, in order, at most `max_images`. An image is usable
// when it starts with 0xAA55 and its PCI data structure lies inside the item and
// carries "PCIR". The next image starts ImageLength x 512 bytes further on; the walk
// ends at the image marked last, at an unusable image, at the end of the item, and
// after an image whose length is 0 (which would otherwise name itself again).
std::vector<RomImage> walk_expansion_rom(Bytes item, size_t max_images);

struct RomRevision {
    uint8_t major;
    uint8_t minor;
    uint8_t revision;
};

// Version encoded in a ROM image's ImageRev.
RomRevision decode_rom_revision(uint16_t image_rev);

}  // namespace zelt::image
