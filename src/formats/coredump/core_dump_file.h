// The tool's own core dump file: for every segment a 64-byte header ("sEgM") followed
// by the segment's data, and a 1024-byte dump record ("cOrE") last. All numbers are
// little-endian. Writing and reading are pure functions over bytes.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zelt::formats {

inline constexpr size_t kCoreSegmentHeaderSize = 64;
inline constexpr size_t kCoreDumpRecordSize = 1024;

// A segment header's fields (the constant ones are written by the encoder).
struct CoreSegmentHeader {
    uint32_t component_id = 0;
    uint32_t segment_id = 0;
    uint8_t low_version = 0;
    uint8_t high_version = 0;
    uint16_t fun_id = 0;    // PCI function number
    uint32_t length = 0;    // data bytes that follow the header
    uint32_t status = 0;    // result of retrieving the segment; 0 on success
    uint32_t duration = 0;  // milliseconds spent on the segment
};

// A calendar time as the dump record stores it.
struct CoreDumpTime {
    uint16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, utc_bias = 0;
};

// The dump record's fields.
struct CoreDumpRecord {
    std::string system_name;  // cut to 31 characters
    CoreDumpTime start;
    std::string commandline = "live";
    uint32_t total_segments = 0;  // segments listed + 1 (the version segment)
    uint32_t os_version_major = 0;
    uint32_t os_version_minor = 0;
    std::string os_name;
    CoreDumpTime end;
    uint32_t asic_id1 = 0;
    uint32_t coredump_status = 0;  // 0xFFFFFFFF when any step failed
    uint32_t crash_time = 0;
};

std::array<uint8_t, kCoreSegmentHeaderSize> encode_core_segment_header(const CoreSegmentHeader& header);
std::array<uint8_t, kCoreDumpRecordSize> encode_core_dump_record(const CoreDumpRecord& record);

// A core dump file read back: its segments (headers and where their data lies) and the
// record.
struct CoreDumpSegment {
    CoreSegmentHeader header;
    size_t data_offset = 0;  // in the file
};
struct CoreDumpContents {
    std::vector<CoreDumpSegment> segments;
    CoreDumpRecord record;
};

// Reads a whole core dump file. On a damaged file returns false and says why in
// `error` (which segment or offset, and what was wrong).
bool read_core_dump(std::span<const uint8_t> file, CoreDumpContents& contents, std::string& error);

}  // namespace zelt::formats
