#include "package_fixture.h"

#include "formats/crypto/crc32.h"

namespace zelt::test {

Bytes build_package_with_stream(const Bytes& stream, const std::vector<Item>& items) {
    Bytes b(12, 0);
    set_u32(b, 0, ZELPKG_FILE_SIG);
    set_u32(b, 4, 4);
    set_u32(b, 8, static_cast<uint32_t>(12 + stream.size()));
    b.insert(b.end(), stream.begin(), stream.end());
    const size_t m = b.size();
    b.resize(m + 20 + items.size() * 88);
    set_u32(b, m, ZELPKG_MANIFEST_SIG);
    set_u32(b, m + 4, 20);
    set_u32(b, m + 8, static_cast<uint32_t>(items.size()));
    set_u32(b, m + 12, 64);
    set_u32(b, m + 16, 24);
    for (size_t i = 0; i < items.size(); ++i) {
        zelpkg_manifest_item_t r = record_of(items[i]);
        if (!items[i].data.empty()) {
            r.direntry.item_location = static_cast<uint32_t>(b.size());
            r.direntry.data_chksum = file_crc32(items[i].data.data(), items[i].data.size());
            b.insert(b.end(), items[i].data.begin(), items[i].data.end());
            b.resize((b.size() + 3) / 4 * 4, 0);
        }
        std::memcpy(b.data() + m + 20 + i * 88, &r, sizeof(r));
    }
    b.resize(b.size() + 4);
    fix_checksum(b);
    return b;
}

Bytes build_package(const std::vector<Prop>& props, const std::vector<Item>& items) {
    return build_package_with_stream(stream_of(props), items);
}

void fix_checksum(Bytes& pkg) {
    const uint32_t trailer = get_u32(pkg, 4);
    if (trailer < 4 || trailer > pkg.size()) return;
    set_u32(pkg, pkg.size() - 4, file_crc32(pkg.data(), pkg.size() - trailer));
}

}  // namespace zelt::test
