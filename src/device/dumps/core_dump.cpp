#include "device/dumps/core_dump.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/hvxretval.h"
#include "log/print.h"
#include "transport/fw_queries.h"
#include "transport/hwrm_exchange.h"
#include "wire/hwrm_messages.h"

namespace zelt::device {

using transport::Function;

namespace {

// The version answer is stored whole as the first segment, component 2 segment 0.
constexpr uint32_t kVersionComponent = 2;
// The firmware counts pages in 16 bits.
constexpr uint32_t kMaxPages = 0x10000;

std::string format_line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string format_line(const char* format, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    return buf;
}

// Appends a header and its data to the file under construction.
void append_segment(CoreDump& dump, const formats::CoreSegmentHeader& header, std::span<const uint8_t> data,
                    bool listed) {
    const auto bytes = formats::encode_core_segment_header(header);
    dump.file.insert(dump.file.end(), bytes.begin(), bytes.end());
    dump.file.insert(dump.file.end(), data.begin(), data.end());
    dump.segments.push_back({header, listed});
}

// Records a failed step: the failure flag, a log line and the report's line.
void fail_step(CoreDump& dump, std::string line) {
    dump.failed = true;
    zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "%s", line.c_str());
    if (!line.empty() && line.back() == '\n') line.pop_back();
    dump.failures.push_back(std::move(line));
}

bool fatal(const Result& rc) {
    return rc.code() == ZELTNVM_FW_NOT_RESPONDING || rc.code() == HVXRETVAL_INSUFFICIENT_SPACE ||
           rc.code() == HVXRETVAL_MALLOC_FAILURE;
}

Result list_page(const Function& fn, uint32_t seq_no, std::span<uint8_t> page, DumpPage& answer) {
    hwrm_dbg_coredump_list_input req{};
    hwrm_dbg_coredump_list_output resp{};
    req.host_buf_len = static_cast<uint32_t>(page.size());
    req.seq_no = static_cast<uint16_t>(seq_no);
    transport::HwrmData data{page.data(), static_cast<uint32_t>(page.size()), HWRM_DMA_ADDR_OFFSET, 1};
    const Result rc = transport::exchange(fn, HWRM_DBG_COREDUMP_LIST, req, resp, &data);
    if (!rc.ok()) return rc;
    answer.data_len = resp.data_len;
    answer.more = resp.flags != 0;
    answer.total_segments = resp.total_segments;
    return rc;
}

Result retrieve_page(const Function& fn, const coredump_segment_record& seg, uint32_t seq_no,
                     std::span<uint8_t> page, DumpPage& answer) {
    hwrm_dbg_coredump_retrieve_input req{};
    hwrm_dbg_coredump_retrieve_output resp{};
    req.host_buf_len = static_cast<uint32_t>(page.size());
    req.component_id = seg.component_id;
    req.segment_id = seg.segment_id;
    req.seq_no = static_cast<uint16_t>(seq_no);
    transport::HwrmData data{page.data(), static_cast<uint32_t>(page.size()), HWRM_DMA_ADDR_OFFSET, 1};
    const Result rc = transport::exchange(fn, HWRM_DBG_COREDUMP_RETRIEVE, req, resp, &data);
    if (!rc.ok()) return rc;
    answer.data_len = resp.data_len;
    answer.more = resp.flags != 0;
    return rc;
}

Result initiate(const Function& fn, const coredump_segment_record& seg) {
    hwrm_dbg_coredump_initiate_input req{};
    hwrm_dbg_coredump_initiate_output resp{};
    req.component_id = seg.component_id;
    req.segment_id = seg.segment_id;
    return transport::exchange(fn, HWRM_DBG_COREDUMP_INITIATE, req, resp);
}

// A result as the segment header's status field stores it.
uint32_t status_word(const Result& rc) { return static_cast<uint32_t>(rc.code()); }

}  // namespace

ResultOr<std::vector<coredump_segment_record>> collect_segment_list(const DumpPageReader& read) {
    std::vector<uint8_t> page(HWRM_COREDUMP_LIST_PAGE);
    std::vector<uint8_t> list;
    size_t room = 0;
    for (uint32_t seq = 0; seq < kMaxPages; ++seq) {
        std::fill(page.begin(), page.end(), 0);
        DumpPage answer;
        const Result rc = read(seq, page, answer);
        if (!rc.ok()) return rc;
        if (seq == 0) {
            if (answer.total_segments == 0) {
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "The firmware lists no coredump segments.\n");
                return Result::tool(HVXRETVAL_FAILURE);
            }
            room = size_t{answer.total_segments} * sizeof(coredump_segment_record);
            // At most 65535 entries of 16 bytes: small enough to hold at once.
            list.reserve(room);
        }
        if (answer.data_len > page.size() || answer.data_len > room - list.size()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR,
                          "Segment list page %u claims %u bytes; %zu fit the page and the list.\n", seq,
                          answer.data_len, std::min(page.size(), room - list.size()));
            return Result::tool(HVXRETVAL_FAILURE);
        }
        list.insert(list.end(), page.begin(), page.begin() + answer.data_len);
        if (!answer.more) {
            std::vector<coredump_segment_record> records(list.size() / sizeof(coredump_segment_record));
            if (!records.empty()) std::memcpy(records.data(), list.data(), records.size() * sizeof records[0]);
            if (list.size() != room)
                zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "The segment list holds %zu of its segments.\n",
                              records.size());
            return records;
        }
        if (answer.data_len == 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Segment list page %u is empty yet more are announced.\n",
                          seq);
            return Result::tool(HVXRETVAL_FAILURE);
        }
    }
    return Result::tool(HVXRETVAL_FAILURE);
}

ResultOr<std::vector<uint8_t>> collect_segment_data(const DumpPageReader& read, uint64_t limit) {
    std::vector<uint8_t> page(HWRM_COREDUMP_RETRIEVE_PAGE);
    std::vector<uint8_t> data;
    for (uint32_t seq = 0; seq < kMaxPages; ++seq) {
        std::fill(page.begin(), page.end(), 0);
        DumpPage answer;
        const Result rc = read(seq, page, answer);
        if (!rc.ok()) return rc;
        if (answer.data_len > page.size() || answer.data_len > limit - data.size()) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Segment page %u claims %u bytes; at most %llu fit.\n", seq,
                          answer.data_len,
                          static_cast<unsigned long long>(std::min<uint64_t>(page.size(), limit - data.size())));
            return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
        }
        try {
            data.insert(data.end(), page.begin(), page.begin() + answer.data_len);
        } catch (const std::bad_alloc&) {
            return Result::tool(HVXRETVAL_MALLOC_FAILURE);
        }
        if (!answer.more) return data;
        if (answer.data_len == 0) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Segment page %u is empty yet more are announced.\n", seq);
            return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
        }
    }
    return Result::tool(HVXRETVAL_INVALID_DATA_LENGTH);
}

CoreDump take_core_dump(const Function& fn, const CoreDumpSetup& setup) {
    CoreDump dump;
    const auto fun_id = static_cast<uint16_t>(fn.address.function);

    // The version answer, stored whole; it also names the chip for the record.
    hwrm_ver_get_output version{};
    uint32_t asic_id = 0;
    uint64_t started = setup.now_ms();
    const Result ver_rc = transport::zeltnvm_get_fw_version(fn, &version, &asic_id);
    formats::CoreSegmentHeader ver_header;
    ver_header.component_id = kVersionComponent;
    ver_header.fun_id = fun_id;
    ver_header.length = sizeof version;
    ver_header.status = status_word(ver_rc);
    ver_header.duration = static_cast<uint32_t>(setup.now_ms() - started);
    append_segment(dump, ver_header, {reinterpret_cast<const uint8_t*>(&version), sizeof version}, false);
    if (!ver_rc.ok()) fail_step(dump, format_line("Failed to get the firmware version: %d\n", ver_rc.code()));

    auto list = collect_segment_list(
        [&fn](uint32_t seq, std::span<uint8_t> page, DumpPage& answer) { return list_page(fn, seq, page, answer); });
    if (!list.ok()) {
        fail_step(dump, "Failed to get coredump component list.\n");
        dump.result = list.result().code() == ZELTNVM_FW_NOT_RESPONDING ? list.result()
                                                                        : Result::tool(HVXRETVAL_FAILURE);
    } else {
        dump.listed_segments = static_cast<uint32_t>(list->size());
        uint64_t total = dump.file.size();
        int index = 0;
        for (const coredump_segment_record& seg : *list) {
            zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_INFO,
                          "Segment %d:\ncomponent_id  = %d\nsegment_id    = %d\nmax_instances = %d\n"
                          "version_hi    = %d\nversion_low   = %d\nseg_flags     = %d\n",
                          index++, seg.component_id, seg.segment_id, seg.max_instances, seg.version_hi,
                          seg.version_low, seg.seg_flags);
            formats::CoreSegmentHeader header;
            header.component_id = seg.component_id;
            header.segment_id = seg.segment_id;
            header.low_version = seg.version_low;
            header.high_version = seg.version_hi;
            header.fun_id = fun_id;
            started = setup.now_ms();
            Result rc = initiate(fn, seg);
            std::vector<uint8_t> data;
            if (!rc.ok()) {
                fail_step(dump, format_line("Failed to Initiate CoreDump for component %d and segment %d\n",
                                            seg.component_id, seg.segment_id));
            } else {
                const uint64_t room = std::min<uint64_t>(ZELTNVM_COREDUMP_SEGMENT_MAX,
                                                         ZELTNVM_COREDUMP_TOTAL_MAX - std::min(total, ZELTNVM_COREDUMP_TOTAL_MAX));
                auto got = collect_segment_data(
                    [&fn, &seg](uint32_t seq, std::span<uint8_t> page, DumpPage& answer) {
                        return retrieve_page(fn, seg, seq, page, answer);
                    },
                    room);
                if (got.ok()) {
                    data = std::move(*got);
                } else {
                    rc = got.result();
                    fail_step(dump, format_line("retrieve coredump failed for component %d and segment %d with "
                                                "status %d\n",
                                                seg.component_id, seg.segment_id, rc.code()));
                }
            }
            if (rc.ok() && data.empty()) fail_step(dump, "Invalid buffer or length.\n");
            header.length = static_cast<uint32_t>(data.size());
            header.status = status_word(rc);
            header.duration = static_cast<uint32_t>(setup.now_ms() - started);
            append_segment(dump, header, data, true);
            total += formats::kCoreSegmentHeaderSize + data.size();
            if (!rc.ok() && fatal(rc)) {
                dump.result = rc;
                break;
            }
        }
    }
    if (!list.ok() || !dump.result.ok())
        zeltnvm_print(ZELT_LOC_LOG, ZELT_LVL_ERROR, "Failed to enumerate coredump segments\n");

    formats::CoreDumpRecord record;
    record.system_name = setup.system_name;
    record.start = setup.start;
    record.total_segments = dump.listed_segments + 1;
    record.os_version_major = setup.os_version_major;
    record.os_version_minor = setup.os_version_minor;
    record.os_name = setup.os_name;
    record.end = setup.end_time();
    record.asic_id1 = asic_id;
    record.coredump_status = dump.failed ? 0xFFFFFFFFu : 0;
    const auto bytes = formats::encode_core_dump_record(record);
    dump.file.insert(dump.file.end(), bytes.begin(), bytes.end());
    return dump;
}

}  // namespace zelt::device
