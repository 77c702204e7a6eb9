// zelteye <eyescope file> -o <svg file> [-gen 3|4]: the eye of an eye-scope file as an
// SVG heat map of log10(BER) over phase and voltage, with the 1e-8 to 1e-12 contours,
// the box of the margins projected to 1e-12, and the link rating (by the PCIe Gen4
// table unless -gen 3 says otherwise) in the title.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "formats/eye/scope_file.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: zelteye <eyescope file> -o <svg file> [-gen 3|4]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    namespace eye = zelt::formats::eye;
    std::string in, out;
    eye::RatingTable table = eye::RatingTable::PciGen4;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-o" && i + 1 < argc) {
            out = argv[++i];
        } else if (a == "-gen" && i + 1 < argc) {
            const std::string g = argv[++i];
            if (g != "3" && g != "4") return usage();
            table = g == "3" ? eye::RatingTable::PciGen3 : eye::RatingTable::PciGen4;
        } else if (in.empty() && !a.empty() && a[0] != '-') {
            in = a;
        } else {
            return usage();
        }
    }
    if (in.empty() || out.empty()) return usage();
    std::ifstream f(in, std::ios::binary);
    if (!f) {
        std::fprintf(stderr, "zelteye: cannot open %s: %s\n", in.c_str(), std::strerror(errno));
        return 1;
    }
    std::ostringstream text;
    text << f.rdbuf();
    std::string error;
    const auto file = eye::parse_scope_file(text.str(), error);
    if (!file) {
        std::fprintf(stderr, "zelteye: %s: %s\n", in.c_str(), error.c_str());
        return 1;
    }
    std::ofstream o(out, std::ios::binary | std::ios::trunc);
    o << eye::scope_svg(*file, table);
    o.close();
    if (!o) {
        std::fprintf(stderr, "zelteye: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
