// zeltpkg: builds firmware packages.
//
//   zeltpkg example [--version <a.b.c.d>] [--key <private key>] [--wrap] [--with-config]
//                   [--with-vpd] [--require-onboard-cfg] [--crid <number>] <file>
//   zeltpkg build <description.json> <file>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "pkgbuild/pkgbuild.h"
#include "test_signing_key/test_signing_key.h"

using namespace zelt;

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: zeltpkg example [--version <a.b.c.d>] [--key <private key>] [--wrap] [--with-config]\n"
                 "                       [--with-vpd] [--require-onboard-cfg] [--crid <number>] <file>\n"
                 "       zeltpkg build <description.json> <file>\n");
    return 2;
}

bool read_all(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

int write_all(const std::string& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "zeltpkg: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s: %zu bytes\n", path.c_str(), data.size());
    return 0;
}

int example(int argc, char** argv) {
    std::string version = zelt::pkgbuild::kExamplePackageVersion;
    std::string key_path, file;
    zelt::pkgbuild::ExampleOptions options;
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--version" && i + 1 < argc) version = argv[++i];
        else if (a == "--key" && i + 1 < argc) key_path = argv[++i];
        else if (a == "--wrap") options.wrap = true;
        else if (a == "--with-config") options.config_section = true;
        else if (a == "--with-vpd") options.vpd_template = true;
        else if (a == "--require-onboard-cfg") options.require_onboard_cfg = true;
        else if (a == "--crid" && i + 1 < argc) {
            // The customer revision id the secure-boot items carry (decimal or 0x hex).
            char* end = nullptr;
            const unsigned long crid = std::strtoul(argv[++i], &end, 0);
            if (end == argv[i] || *end != '\0' || crid > 0xFFFF) return usage();
            options.secure_boot.crid = static_cast<uint16_t>(crid);
        } else if (!a.empty() && a[0] != '-' && file.empty()) file = a;
        else return usage();
    }
    if (file.empty()) return usage();
    std::string key_text;
    std::span<const uint8_t> key = zelt::pkgbuild::test_signing_key();
    if (!key_path.empty()) {
        if (!read_all(key_path, &key_text)) {
            std::fprintf(stderr, "zeltpkg: cannot read %s\n", key_path.c_str());
            return 1;
        }
        key = {reinterpret_cast<const uint8_t*>(key_text.data()), key_text.size()};
    }
    std::vector<uint8_t> pkg;
    const int rc = zelt::pkgbuild::build_example_package(version, key, &pkg, options);
    if (rc != 0) {
        std::fprintf(stderr, "zeltpkg: %s\n", hvxretvalStringify(rc).c_str());
        return 1;
    }
    return write_all(file, pkg);
}

int build(int argc, char** argv) {
    if (argc != 2) return usage();
    std::string text;
    if (!read_all(argv[0], &text)) {
        std::fprintf(stderr, "zeltpkg: cannot read %s\n", argv[0]);
        return 1;
    }
    std::string base = argv[0];
    const size_t slash = base.rfind('/');
    base = slash == std::string::npos ? "" : base.substr(0, slash);
    std::vector<uint8_t> pkg;
    std::string error;
    if (zelt::pkgbuild::build_from_description(text, base, zelt::pkgbuild::test_signing_key(), &pkg, &error) != 0) {
        std::fprintf(stderr, "zeltpkg: %s\n", error.c_str());
        return 1;
    }
    return write_all(argv[1], pkg);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    if (command == "example") return example(argc - 2, argv + 2);
    if (command == "build") return build(argc - 2, argv + 2);
    return usage();
}
