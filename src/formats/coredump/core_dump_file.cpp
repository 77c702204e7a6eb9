#include "formats/coredump/core_dump_file.h"

#include <cstring>

namespace zelt::formats {

namespace {

constexpr char kSegmentSignature[4] = {'s', 'E', 'g', 'M'};
constexpr char kRecordSignature[4] = {'c', 'O', 'r', 'E'};

// Field offsets of the segment header.
constexpr size_t kSegComponent = 4, kSegSegment = 8, kSegFlag = 12, kSegLowVer = 16, kSegHighVer = 17,
                 kSegFunId = 18, kSegOffset = 20, kSegLength = 24, kSegStatus = 28, kSegDuration = 32,
                 kSegDataOffset = 36, kSegInstance = 40;
// Field offsets of the dump record.
constexpr size_t kRecVersionLow = 8, kRecVersionHigh = 9, kRecSystemName = 16, kRecStart = 48,
                 kRecCommandline = 64, kRecTotalSegments = 320, kRecOsMajor = 324, kRecOsMinor = 328,
                 kRecOsName = 336, kRecEnd = 368, kRecAsicId1 = 384, kRecStatus = 392, kRecCrashTime = 404;
constexpr size_t kSystemNameLen = 32, kCommandlineLen = 256, kOsNameLen = 32;

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

// Copies `text` into a fixed field, always leaving a terminating NUL.
void put_text(uint8_t* p, size_t field, const std::string& text) {
    std::memcpy(p, text.data(), std::min(text.size(), field - 1));
}
std::string get_text(const uint8_t* p, size_t field) {
    size_t n = 0;
    while (n < field && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void put_time(uint8_t* p, const CoreDumpTime& t) {
    const uint16_t v[] = {t.year, t.month, t.day, t.hour, t.minute, t.second, t.utc_bias};
    for (size_t i = 0; i < 7; ++i) put16(p + 2 * i, v[i]);
}
CoreDumpTime get_time(const uint8_t* p) {
    return {get16(p), get16(p + 2), get16(p + 4), get16(p + 6), get16(p + 8), get16(p + 10), get16(p + 12)};
}

}  // namespace

std::array<uint8_t, kCoreSegmentHeaderSize> encode_core_segment_header(const CoreSegmentHeader& h) {
    std::array<uint8_t, kCoreSegmentHeaderSize> out{};
    uint8_t* p = out.data();
    std::memcpy(p, kSegmentSignature, 4);
    put32(p + kSegComponent, h.component_id);
    put32(p + kSegSegment, h.segment_id);
    put32(p + kSegFlag, 0);
    p[kSegLowVer] = h.low_version;
    p[kSegHighVer] = h.high_version;
    put16(p + kSegFunId, h.fun_id);
    put32(p + kSegOffset, 0);
    put32(p + kSegLength, h.length);
    put32(p + kSegStatus, h.status);
    put32(p + kSegDuration, h.duration);
    put32(p + kSegDataOffset, static_cast<uint32_t>(kCoreSegmentHeaderSize));
    put32(p + kSegInstance, 0);
    return out;
}

std::array<uint8_t, kCoreDumpRecordSize> encode_core_dump_record(const CoreDumpRecord& r) {
    std::array<uint8_t, kCoreDumpRecordSize> out{};
    uint8_t* p = out.data();
    std::memcpy(p, kRecordSignature, 4);
    p[kRecVersionLow] = 0;
    p[kRecVersionHigh] = 1;
    put_text(p + kRecSystemName, kSystemNameLen, r.system_name);
    put_time(p + kRecStart, r.start);
    put_text(p + kRecCommandline, kCommandlineLen, r.commandline);
    put32(p + kRecTotalSegments, r.total_segments);
    put32(p + kRecOsMajor, r.os_version_major);
    put32(p + kRecOsMinor, r.os_version_minor);
    put_text(p + kRecOsName, kOsNameLen, r.os_name);
    put_time(p + kRecEnd, r.end);
    put32(p + kRecAsicId1, r.asic_id1);
    put32(p + kRecStatus, r.coredump_status);
    put32(p + kRecCrashTime, r.crash_time);
    return out;
}

bool read_core_dump(std::span<const uint8_t> file, CoreDumpContents& contents, std::string& error) {
    contents = {};
    if (file.size() < kCoreDumpRecordSize) {
        error = "file of " + std::to_string(file.size()) + " bytes is too short to hold the dump record";
        return false;
    }
    const size_t record_at = file.size() - kCoreDumpRecordSize;
    size_t pos = 0;
    while (pos < record_at) {
        if (record_at - pos < kCoreSegmentHeaderSize) {
            error = "truncated segment header at offset " + std::to_string(pos);
            return false;
        }
        const uint8_t* p = file.data() + pos;
        const std::string where = "segment " + std::to_string(contents.segments.size()) + " at offset " +
                                  std::to_string(pos);
        if (std::memcmp(p, kSegmentSignature, 4) != 0) {
            error = where + ": no segment signature";
            return false;
        }
        if (get32(p + kSegDataOffset) != kCoreSegmentHeaderSize) {
            error = where + ": data offset is not " + std::to_string(kCoreSegmentHeaderSize);
            return false;
        }
        CoreDumpSegment seg;
        seg.header.component_id = get32(p + kSegComponent);
        seg.header.segment_id = get32(p + kSegSegment);
        seg.header.low_version = p[kSegLowVer];
        seg.header.high_version = p[kSegHighVer];
        seg.header.fun_id = get16(p + kSegFunId);
        seg.header.length = get32(p + kSegLength);
        seg.header.status = get32(p + kSegStatus);
        seg.header.duration = get32(p + kSegDuration);
        seg.data_offset = pos + kCoreSegmentHeaderSize;
        if (seg.header.length > record_at - seg.data_offset) {
            error = where + ": length " + std::to_string(seg.header.length) + " runs past the dump record";
            return false;
        }
        pos = seg.data_offset + seg.header.length;
        contents.segments.push_back(seg);
    }
    const uint8_t* p = file.data() + record_at;
    if (std::memcmp(p, kRecordSignature, 4) != 0) {
        error = "no dump record signature at offset " + std::to_string(record_at);
        return false;
    }
    CoreDumpRecord& r = contents.record;
    r.system_name = get_text(p + kRecSystemName, kSystemNameLen);
    r.start = get_time(p + kRecStart);
    r.commandline = get_text(p + kRecCommandline, kCommandlineLen);
    r.total_segments = get32(p + kRecTotalSegments);
    r.os_version_major = get32(p + kRecOsMajor);
    r.os_version_minor = get32(p + kRecOsMinor);
    r.os_name = get_text(p + kRecOsName, kOsNameLen);
    r.end = get_time(p + kRecEnd);
    r.asic_id1 = get32(p + kRecAsicId1);
    r.coredump_status = get32(p + kRecStatus);
    r.crash_time = get32(p + kRecCrashTime);
    return true;
}

}  // namespace zelt::formats
