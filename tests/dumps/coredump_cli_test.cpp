// The coredump command run as a program against simulated hosts, each dump read back
// from the file it wrote.
//
// The default host has adapter0 (zen0, zen1: device type 8) and adapter1 (zen2, zen3:
// device type 5). Its driver gives no live dump, so coredump takes the firmware's
// segments. The firmware lists five segments: versions, options, counters, a memory
// image of three pages and 700 bytes, and the registers.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/coredump/core_dump_file.h"
#include "tests/support/simulated_host.h"

using zelt::test::RunResult;

namespace {

namespace f = zelt::formats;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

constexpr uint32_t kFailed = 0xFFFFFFFFu;
constexpr uint32_t kMemorySegmentLength = 3 * 4096 + 700;
constexpr uint32_t kVersionSegmentLength = 176;

class Host : public zelt::test::SimulatedHost {
public:
    using SimulatedHost::SimulatedHost;

    // The .core files in the working directory.
    std::vector<std::string> core_files() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(work_dir()))
            if (e.path().extension() == ".core") out.push_back(e.path().string());
        return out;
    }

    // The single core dump written, read back.
    f::CoreDumpContents read_dump() const {
        f::CoreDumpContents dump;
        const auto files = core_files();
        EXPECT_EQ(files.size(), 1u);
        if (files.size() != 1) return dump;
        const std::string text = zelt::test::read_text_file(files[0]);
        std::string error;
        EXPECT_TRUE(f::read_core_dump({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, dump, error))
            << error;
        return dump;
    }
};

// A live dump by the firmware's segments: the version answer first, then every listed
// segment with status 0 and its whole data, and the record counting them.
TEST(CoredumpCommand, LiveDumpHoldsEverySegmentOfTheFirmware) {
    Host host;
    const RunResult r = host.zeltnvm({"-dev=zen0", "coredump"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(contains(r.out, "\nRetrieving CoreDump, please wait...")) << r.out;
    EXPECT_TRUE(contains(r.out, "Generated CoreDump file simhost_")) << r.out;

    const f::CoreDumpContents dump = host.read_dump();
    ASSERT_EQ(dump.segments.size(), 6u);
    EXPECT_EQ(dump.segments[0].header.component_id, 2u);
    EXPECT_EQ(dump.segments[0].header.length, kVersionSegmentLength);
    EXPECT_EQ(dump.segments[4].header.length, kMemorySegmentLength);
    for (const auto& s : dump.segments) {
        EXPECT_EQ(s.header.status, 0u) << s.header.component_id << "/" << s.header.segment_id;
        EXPECT_GT(s.header.length, 0u) << s.header.component_id << "/" << s.header.segment_id;
    }
    EXPECT_EQ(dump.record.total_segments, 6u);
    EXPECT_EQ(dump.record.coredump_status, 0u);
    EXPECT_EQ(dump.record.system_name, "simhost");
    EXPECT_EQ(dump.record.commandline, "live");

    // The reader lists the same file.
    const RunResult listed =
        zelt::test::run_program({ZELT_PROGRAM("zeltsim"), "coredump-info", host.core_files().at(0)});
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_TRUE(contains(listed.out, "segments: 6")) << listed.out;
    EXPECT_TRUE(contains(listed.out, "total_segments  : 6")) << listed.out;
}

// Failures along the way: the file is always complete and readable, and its record
// says whether every step succeeded.
TEST(CoredumpCommand, FailedStepsStillGiveACompleteFile) {
    struct Case {
        const char* name;
        std::vector<std::string> fault;  // zeltsim fault arguments
        int status;                      // exit status
        size_t segments;                 // segment headers in the file
        uint32_t total_segments;         // the record's count
        uint32_t coredump_status;
        int failed_segment;              // index of the one segment with a failing status; -1: none
    } cases[] = {
        // No segments listed: the version segment and the record, and a failure (-1).
        {"no segments", {"coredump_segments", "--value", "0"}, 255, 1, 1, kFailed, -1},
        // 300 entries take three 2048-byte pages of the list.
        {"list of several pages", {"coredump_segments", "--value", "300"}, 0, 301, 301, 0, -1},
        // The second segment's capture cannot start: its header, without data, and on.
        {"initiate fails", {"hwrm_error", "--req-type", "0xFF18", "--nth", "2", "--error-code", "4"}, 0, 6, 6,
         kFailed, 2},
        // The memory image fails on its second page (the fifth page retrieved).
        {"retrieve fails part-way", {"hwrm_error", "--req-type", "0xFF19", "--nth", "5", "--error-code", "4"}, 0, 6,
         6, kFailed, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        host.fault(c.fault);
        const RunResult r = host.zeltnvm({"-dev=zen0", "coredump"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        const f::CoreDumpContents dump = host.read_dump();
        ASSERT_EQ(dump.segments.size(), c.segments);
        EXPECT_EQ(dump.record.total_segments, c.total_segments);
        EXPECT_EQ(dump.record.coredump_status, c.coredump_status);
        for (size_t i = 0; i < dump.segments.size(); ++i) {
            const auto& h = dump.segments[i].header;
            if (static_cast<int>(i) == c.failed_segment) {
                EXPECT_NE(h.status, 0u);
                EXPECT_EQ(h.length, 0u);
            } else {
                EXPECT_EQ(h.status, 0u) << i;
                EXPECT_GT(h.length, 0u) << i;
            }
        }
        if (c.segments == 301) {
            // The list's pages come in order: the generated segments are numbered on.
            EXPECT_EQ(dump.segments[300].header.component_id, 0x20u);
            EXPECT_EQ(dump.segments[300].header.segment_id, 299u);
        }
    }
}

// The driver's own dump, when the driver gives one, is the file, unchanged: the live
// dump when its dump facility is on, the crash dump kept in host memory with "ddr"
// after a crash.
TEST(CoredumpCommand, TheDriversDumpIsWrittenUnchanged) {
    struct Case {
        const char* name;
        const char* config;        // simulated host configuration
        bool crash;                // the adapter's firmware crashed first
        std::vector<std::string> args;
        uintmax_t size;            // bytes of the file
    } cases[] = {
        {"live dump of the driver", R"({"adapters": [{"device_type": 8, "device_id": 38913, "live_dump_length": 5000}]})",
         false, {"-dev=zen0", "coredump"}, 5000},
        {"crash dump in ddr", "", true, {"-dev=zen0", "coredump", "ddr"}, 24576},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host(c.config);
        if (c.crash) {
            const RunResult crash = host.zeltsim("fault", {"crash", "--adapter", "adapter0"});
            ASSERT_EQ(crash.status, 0) << crash.err;
        }
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_TRUE(contains(r.out, "Generated CoreDump file")) << r.out;
        const auto files = host.core_files();
        ASSERT_EQ(files.size(), 1u);
        EXPECT_EQ(std::filesystem::file_size(files[0]), c.size);
    }
}

// Interrupted while the segments are read, the command leaves no file behind: no dump,
// no temporary.
TEST(CoredumpCommand, AnInterruptedDumpLeavesNothing) {
    Host host;
    std::vector<std::string> before;
    for (const auto& e : std::filesystem::directory_iterator(host.work_dir())) before.push_back(e.path().string());
    host.fault({"signal", "--signal", "2", "--req-type", "0xFF19", "--nth", "3"});
    const RunResult r = host.zeltnvm({"-dev=zen0", "coredump"});
    EXPECT_NE(r.status, 0) << r.out << r.err;
    for (const auto& e : std::filesystem::directory_iterator(host.work_dir())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "host" || name == "zeltnvm.log") << name;
    }
}

// Refusals before anything is written.
TEST(CoredumpCommand, RefusalsWriteNoFile) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* message;
    } cases[] = {
        {"ddr on an older family", {"-dev=zen2", "coredump", "ddr"}, 7,
         "Coredump command doesn't support option \"ddr_dump\" on this Hardware.\n"},
        {"ddr without a crash dump", {"-dev=zen0", "coredump", "ddr"}, 48, "Coredump not available in ddr.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
        EXPECT_TRUE(host.core_files().empty());
    }
}

// A firmware that stops answering: "ddr" falls back to the health register read through
// the PCI window (a crashed firmware defers to the driver's crash dump), and a dump cut
// short by the firmware not responding (0x8100) ends with a failure status, not 0.
TEST(CoredumpCommand, FirmwareThatStopsAnswering) {
    struct Case {
        const char* name;
        std::vector<std::vector<std::string>> faults;  // zeltsim fault arguments, in order
        bool crash;                                    // the driver holds a crash dump
        std::vector<std::string> args;
        int status;
        const char* message;
        bool file;                                     // a .core file is left
    } cases[] = {
        {"crashed firmware, dump held by the driver",
         {{"hwrm_error", "--req-type", "0xFF20", "--error-code", "4"}, {"fw_not_operational", "--value", "3"}}, true,
         {"-dev=zen0", "coredump", "ddr"}, 0, "Generated CoreDump file", true},
        {"crashed firmware, no dump with the driver",
         {{"hwrm_error", "--req-type", "0xFF20", "--error-code", "4"}, {"fw_not_operational", "--value", "3"}}, false,
         {"-dev=zen0", "coredump", "ddr"}, 48, "Coredump not available in ddr.\n", false},
        {"firmware down but not crashed",
         {{"hwrm_error", "--req-type", "0xFF20", "--error-code", "4"}, {"fw_not_operational", "--value", "1"}}, true,
         {"-dev=zen0", "coredump", "ddr"}, 48, "Coredump not available in ddr.\n", false},
        {"window refused",
         {{"hwrm_error", "--req-type", "0xFF20", "--error-code", "4"}, {"bar_denied"}}, true,
         {"-dev=zen0", "coredump", "ddr"}, 10, "\nPermission denied to access the device resources.\n", false},
        {"firmware not responding part-way",
         {{"hwrm_error", "--req-type", "0xFF19", "--nth", "2", "--error-code", "0x8100"}}, false,
         {"-dev=zen0", "coredump"}, 1, "Error: Firmware not responding. Failed to retrieve coredump.", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Host host;
        for (const auto& fault : c.faults) host.fault(fault);
        if (c.crash) {
            const RunResult crash = host.zeltsim("fault", {"crash", "--adapter", "adapter0"});
            ASSERT_EQ(crash.status, 0) << crash.err;
        }
        const RunResult r = host.zeltnvm(c.args);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_TRUE(contains(r.out + r.err, c.message)) << r.out << r.err;
        EXPECT_EQ(host.core_files().size(), c.file ? 1u : 0u);
    }
}

// A damaged file is refused by the reader with what is wrong.
TEST(CoredumpReader, RefusesDamagedFiles) {
    f::CoreSegmentHeader h;
    h.component_id = 7;
    h.length = 5;
    const auto header = f::encode_core_segment_header(h);
    const auto record = f::encode_core_dump_record({});
    auto file = [&](size_t data_bytes, bool with_record) {
        std::vector<uint8_t> out(header.begin(), header.end());
        out.insert(out.end(), data_bytes, 0xAB);
        if (with_record) out.insert(out.end(), record.begin(), record.end());
        return out;
    };
    f::CoreSegmentHeader empty_h = h;
    empty_h.length = 0;
    const auto empty_header = f::encode_core_segment_header(empty_h);
    auto joined = [&](std::initializer_list<std::span<const uint8_t>> parts) {
        std::vector<uint8_t> out;
        for (auto part : parts) out.insert(out.end(), part.begin(), part.end());
        return out;
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* error;  // part of the reason; nullptr: accepted
        size_t segments = 1;
        uint32_t length = 5;  // of the one segment
    } cases[] = {
        {"whole", file(5, true), nullptr},
        // The smallest files read: the record alone, and a data-less segment whose
        // header ends where the record begins.
        {"record alone", joined({record}), nullptr, 0},
        {"empty segment", joined({empty_header, record}), nullptr, 1, 0},
        {"segment header cut short", joined({std::span(empty_header).first(empty_header.size() - 1), record}),
         "truncated segment header"},
        {"too short", std::vector<uint8_t>(100, 0), "too short"},
        {"length past the record", file(3, true), "runs past the dump record"},
        {"no record", file(5 + 1024, false), "no dump record signature"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f::CoreDumpContents dump;
        std::string error;
        const bool ok = f::read_core_dump(c.bytes, dump, error);
        if (!c.error) {
            EXPECT_TRUE(ok) << error;
            ASSERT_EQ(dump.segments.size(), c.segments);
            if (c.segments == 0) continue;
            EXPECT_EQ(dump.segments[0].header.component_id, 7u);
            EXPECT_EQ(dump.segments[0].header.length, c.length);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_TRUE(contains(error, c.error)) << error;
        }
    }
}

}  // namespace
