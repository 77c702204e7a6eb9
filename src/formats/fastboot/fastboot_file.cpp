#include "formats/fastboot/fastboot_file.h"

#include <cstring>

#include "wire/fastboot_registers.h"

namespace zelt::formats::fastboot {

namespace wf = wire::fastboot;

bool Image::is_sbi() const { return (flags & wf::kImageFlagSbi) != 0; }

uint32_t Header::cookie_host_address() const {
    if (revision < 2) return wf::kCookieAddressOldHeader;
    return wf::sram_host_address(cookie_addr);
}

const Image* Header::sbi() const {
    for (const Image& image : images)
        if (image.is_sbi()) return &image;
    return nullptr;
}

bool has_signature(std::span<const uint8_t> file) {
    return file.size() >= sizeof wf::kFastbootSignature &&
           std::memcmp(file.data(), wf::kFastbootSignature, sizeof wf::kFastbootSignature) == 0;
}

std::span<const uint8_t> image_bytes(std::span<const uint8_t> file, const Image& image) {
    const uint64_t end = uint64_t{image.file_offset} + image.length;
    if (end > file.size()) return {};
    return file.subspan(image.file_offset, image.length);
}

HeaderRead read_header(std::span<const uint8_t> file) {
    HeaderRead out;
    if (file.size() < kHeaderSize) return out;
    wf::fastboot_header raw;
    static_assert(sizeof raw == kHeaderSize);
    std::memcpy(&raw, file.data(), sizeof raw);
    if (!has_signature(file)) {
        out.status = HeaderStatus::kSignature;
        return out;
    }
    out.announced_images = wf::header_image_count(raw.num_images_rev);
    if (out.announced_images < 1 || out.announced_images > wf::kFastbootMaxImages) {
        out.status = HeaderStatus::kImageCount;
        return out;
    }
    out.header.revision = wf::header_revision(raw.num_images_rev);
    out.header.cookie_addr = raw.cookie_addr;
    for (unsigned i = 0; i < out.announced_images; ++i) {
        const wf::image_info& info = raw.images[i];
        Image image;
        image.name.assign(info.name, strnlen(info.name, sizeof info.name));
        image.flags = info.flags;
        image.file_offset = info.file_offset;
        image.length = info.length;
        image.sram_address = info.sram_address;
        if (uint64_t{image.file_offset} + image.length > file.size()) {
            out.status = HeaderStatus::kImageOutside;
            out.header.images.clear();
            return out;
        }
        out.header.images.push_back(std::move(image));
    }
    out.status = HeaderStatus::kOk;
    return out;
}

std::vector<uint32_t> image_words(std::span<const uint8_t> bytes) {
    std::vector<uint32_t> words((bytes.size() + 3) / 4, 0);
    for (size_t i = 0; i < bytes.size(); ++i) words[i / 4] |= uint32_t{bytes[i]} << (8 * (i % 4));
    return words;
}

}  // namespace zelt::formats::fastboot
