#include "tools/zeltsim/coredump_info.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/coredump/core_dump_file.h"

namespace zelt::sim {

namespace {

// Core dumps of supported adapters stay well below this; a larger file is not one.
constexpr std::streamoff kMaxFile = std::streamoff{1} << 30;

void print_time(const char* label, const formats::CoreDumpTime& t) {
    std::printf("%-16s: %04u-%02u-%02u %02u:%02u:%02u\n", label, t.year, t.month, t.day, t.hour, t.minute, t.second);
}

}  // namespace

int coredump_info(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        std::fprintf(stderr, "zeltsim: cannot open %s\n", path.c_str());
        return 1;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxFile) {
        std::fprintf(stderr, "zeltsim: %s: not a core dump (size)\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        std::fprintf(stderr, "zeltsim: cannot read %s\n", path.c_str());
        return 1;
    }
    formats::CoreDumpContents dump;
    std::string error;
    if (!formats::read_core_dump(bytes, dump, error)) {
        std::fprintf(stderr, "zeltsim: %s: damaged core dump: %s\n", path.c_str(), error.c_str());
        return 1;
    }
    std::printf("segments: %zu\n", dump.segments.size());
    std::printf("component segment status     length duration_ms\n");
    for (const auto& s : dump.segments)
        std::printf("%9u %7u %6d %10u %11u\n", s.header.component_id, s.header.segment_id,
                    static_cast<int32_t>(s.header.status), s.header.length, s.header.duration);
    const formats::CoreDumpRecord& r = dump.record;
    std::printf("system_name     : %s\n", r.system_name.c_str());
    print_time("start", r.start);
    print_time("end", r.end);
    std::printf("commandline     : %s\n", r.commandline.c_str());
    std::printf("total_segments  : %u\n", r.total_segments);
    std::printf("os              : %s %u.%u\n", r.os_name.c_str(), r.os_version_major, r.os_version_minor);
    std::printf("asic_id1        : 0x%08x\n", r.asic_id1);
    std::printf("coredump_status : 0x%08x\n", r.coredump_status);
    return 0;
}

}  // namespace zelt::sim
