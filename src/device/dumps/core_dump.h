// A firmware core dump taken by firmware debug messages and assembled in memory into
// the tool's core dump file format (formats/coredump/core_dump_file.h).
//
// Segment data never touches the disk on its way: the caller writes the finished file
// once, through a safe output file. Every length the firmware reports is bounded
// before a buffer is sized from it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/result.h"
#include "formats/coredump/core_dump_file.h"
#include "transport/function.h"
#include "wire/hwrm_coredump.h"

namespace zelt::device {

// The firmware answers with this result when it stopped responding during a dump.
inline constexpr int32_t ZELTNVM_FW_NOT_RESPONDING = 0x8100;
// No segment of any supported adapter is larger; a page sequence claiming more is
// damaged.
inline constexpr uint64_t ZELTNVM_COREDUMP_SEGMENT_MAX = 64u << 20;
// Whole dumps are bounded too, so a firmware listing many large segments cannot
// exhaust the host's memory.
inline constexpr uint64_t ZELTNVM_COREDUMP_TOTAL_MAX = 512u << 20;

// What one page request answered.
struct DumpPage {
    uint32_t data_len = 0;        // bytes the firmware put into the page
    bool more = false;            // more pages follow
    uint32_t total_segments = 0;  // segment list only: segments in the whole list
};
// Reads page `seq_no` into `page` (sized to the page length) and says what it holds.
using DumpPageReader = std::function<Result(uint32_t seq_no, std::span<uint8_t> page, DumpPage& answer)>;

// The segment list from its pages: the first page's total sizes the list, each page's
// data is appended in order. A firmware listing no segments, a page longer than the
// page or than the list, or a page that adds nothing yet announces more: FAILURE (-1).
ResultOr<std::vector<coredump_segment_record>> collect_segment_list(const DumpPageReader& read);

// A segment's data from its pages, at most `limit` bytes.
ResultOr<std::vector<uint8_t>> collect_segment_data(const DumpPageReader& read, uint64_t limit);

// Where and when a dump is taken, for its record.
struct CoreDumpSetup {
    std::string system_name;
    std::string os_name;
    uint32_t os_version_major = 0;
    uint32_t os_version_minor = 0;
    formats::CoreDumpTime start;
    std::function<formats::CoreDumpTime()> end_time;  // time the record is written
    std::function<uint64_t()> now_ms;                 // a clock for the segment durations
};

// One segment as it went into the file.
struct CoreDumpSegmentReport {
    formats::CoreSegmentHeader header;
    bool listed = false;  // false for the version segment
};

// The assembled dump.
struct CoreDump {
    std::vector<uint8_t> file;  // the whole file, dump record included
    std::vector<CoreDumpSegmentReport> segments;
    uint32_t listed_segments = 0;
    bool failed = false;  // some step failed; the record says so
    Result result;        // 0, FAILURE (-1), firmware not responding, out of memory
    std::vector<std::string> failures;  // one line per failed step
};

// Takes the core dump of `fn` by firmware messages: the version segment, the listed
// segments in order, and the dump record, whatever failed on the way.
CoreDump take_core_dump(const transport::Function& fn, const CoreDumpSetup& setup);

}  // namespace zelt::device
