// Arbitrary bytes as a core dump file: no access outside the buffer, and every segment
// the reader accepts lies inside the file before the dump record.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "formats/coredump/core_dump_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace f = zelt::formats;
    f::CoreDumpContents dump;
    std::string error;
    if (!f::read_core_dump(std::span<const uint8_t>(data, size), dump, error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    size_t end = 0;
    for (const auto& s : dump.segments) {
        if (s.data_offset != end + f::kCoreSegmentHeaderSize) __builtin_trap();
        end = s.data_offset + s.header.length;
    }
    if (end + f::kCoreDumpRecordSize != size) __builtin_trap();
    return 0;
}
