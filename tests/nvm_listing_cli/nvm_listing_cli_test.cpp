// list, view and verify on a device, run as programs against simulated hosts.
//
// The default simulated host has adapter0 (zen0, device type 8) and adapter1 (zen2,
// device type 5, without secure-boot images). Faults are planted by editing a copy's
// flash image: the directory is at offset 0 (16-byte header, 32-byte entries), the
// items at the locations their entries give.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/directory_entry.h"
#include "tests/support/simulated_host.h"

namespace zelt::test {
namespace {

constexpr size_t kDirectoryHeader = 16;
constexpr size_t kEntryStride = 32;

std::string flash_path(const SimulatedHost& host, const std::string& adapter) {
    return host.root() + "/sim/" + adapter + ".flash";
}

zelnvm_directory_entry_t read_entry(const SimulatedHost& host, const std::string& adapter, size_t index) {
    std::ifstream in(flash_path(host, adapter), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(kDirectoryHeader + index * kEntryStride));
    zelnvm_directory_entry_t e{};
    in.read(reinterpret_cast<char*>(&e), sizeof e);
    return e;
}

void write_at(const SimulatedHost& host, const std::string& adapter, size_t offset, const void* data, size_t size) {
    std::fstream f(flash_path(host, adapter), std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    ASSERT_TRUE(f.good());
}

void write_entry(const SimulatedHost& host, const std::string& adapter, size_t index,
                 const zelnvm_directory_entry_t& e) {
    write_at(host, adapter, kDirectoryHeader + index * kEntryStride, &e, sizeof e);
}

// The directory index of the first entry of `type`.
size_t index_of(const SimulatedHost& host, const std::string& adapter, uint16_t type) {
    for (size_t i = 0; i < 100; ++i) {
        if (read_entry(host, adapter, i).type == type) return i;
    }
    ADD_FAILURE() << "no entry of type " << type;
    return 0;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

class NvmListingCliTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { pristine_ = new SimulatedHost(); }
    static void TearDownTestSuite() {
        delete pristine_;
        pristine_ = nullptr;
    }
    SimulatedHost host_{SimulatedHost::CopyOf{*pristine_}};
    static SimulatedHost* pristine_;
};
SimulatedHost* NvmListingCliTest::pristine_ = nullptr;

TEST_F(NvmListingCliTest, FactoryNvmVerifiesOnEveryAdapter) {
    for (const char* dev : {"-dev=zen0", "-dev=zen2"}) {
        const RunResult r = host_.zeltnvm({dev, "verify"});
        EXPECT_EQ(r.status, 0) << dev << "\n" << r.out << r.err;
        EXPECT_EQ(r.out, "Verifying the NVM components\nAll the NVM components are verified successfully\n") << dev;
    }
}

TEST_F(NvmListingCliTest, VerifyFindsDamagedPlacement) {
    struct Case {
        const char* name;
        void (*plant)(const SimulatedHost&);
        int status;
        const char* message;  // "" when not checked
    };
    const Case cases[] = {
        {"a boot-code byte after the data is not erased",
         [](const SimulatedHost& h) {
             const zelnvm_directory_entry_t e = read_entry(h, "adapter0", index_of(h, "adapter0", 4));
             const uint8_t zero = 0;
             write_at(h, "adapter0", e.item_location + e.data_length, &zero, 1);
         },
         256 - 70, "Unused byte at offset 00010120 contains value: 0x00 (should be 0xFF)"},
        {"two entries share one byte",
         [](const SimulatedHost& h) {
             // The onboard configuration (whose contents are not checked) grows into the
             // first byte of the item placed after it.
             const size_t i = index_of(h, "adapter0", 82);
             zelnvm_directory_entry_t e = read_entry(h, "adapter0", i);
             const zelnvm_directory_entry_t next = read_entry(h, "adapter0", i + 1);
             e.item_length = next.item_location - e.item_location + 1;
             write_entry(h, "adapter0", i, e);
         },
         256 - 63, ""},
        {"two entries of one identity",
         [](const SimulatedHost& h) {
             const size_t i = index_of(h, "adapter0", 80);
             zelnvm_directory_entry_t e = read_entry(h, "adapter0", i + 1);
             e.ordinal = 0;
             write_entry(h, "adapter0", i + 1, e);
         },
         256 - 60, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatedHost host(SimulatedHost::CopyOf{host_});
        c.plant(host);
        const RunResult r = host.zeltnvm({"-dev=zen0", "verify"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out.find("All the NVM components are verified successfully"), std::string::npos) << r.out;
        EXPECT_NE((r.out + r.err).find(c.message), std::string::npos) << r.out << r.err;
    }
}

TEST_F(NvmListingCliTest, ListSortsByThePattern) {
    const RunResult r = host_.zeltnvm({"-dev=zen0", "-num", "list", "-sort=Ti"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("item type ord.ext    data/length  attr version", 0), 0u) << lines[0];
    unsigned previous_type = 0xFFFF, previous_length = 0;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::istringstream row(lines[i]);
        unsigned item, type;
        std::string ord_ext, lengths;
        row >> item >> type >> ord_ext >> lengths;
        const unsigned length = static_cast<unsigned>(std::stoul(lengths.substr(lengths.find('/') + 1)));
        EXPECT_LE(type, previous_type) << lines[i];
        if (type == previous_type) {
            EXPECT_GE(length, previous_length) << lines[i];
        }
        previous_type = type;
        previous_length = length;
    }
}

TEST_F(NvmListingCliTest, ListingLayouts) {
    struct Case {
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {{"-dev=zen2", "list", "-type=VPD"},
         "item type         ord.ext    data/length  attr version         \n"
         "   7 VPD             0.0       312/1024    0000                 \n"},
        {{"-dev=zen2", "list", "-tab", "-type=VPD"}, "   7 VPD          \t0\t0\t312\t1024\t0\t\n"},
        {{"-dev=zen2", "list", "-tab", "-tot", "-type=portCfg"},
         "  10 portCfg      \t0\t0\t1024\t1024\t0\t\n"
         "  11 portCfg      \t1\t0\t1024\t1024\t0\t\n"
         "                          ---------------\n"
         "2048\t2048\n"},
        {{"-dev=zen2", "list", "-tot", "-type=portCfg"},
         "item type         ord.ext    data/length  attr version         \n"
         "  10 portCfg         0.0      1024/1024    0000                 \n"
         "  11 portCfg         1.0      1024/1024    0000                 \n"
         "                          ---------------\n"
         "                             2048/2048\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const RunResult r = host_.zeltnvm(c.args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, c.expected);
    }
}

TEST_F(NvmListingCliTest, NoEntryPassingTheFilterIsItemNotFound) {
    for (const char* command : {"list", "view", "verify"}) {
        const RunResult r = host_.zeltnvm({"-dev=zen2", command, "-type=SBIImage"});
        EXPECT_EQ(r.status, 256 - 80) << command << "\n" << r.out << r.err;
    }
}

TEST_F(NvmListingCliTest, ViewShowsTheContentsOfLogFirmwareAndVpd) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> parts;
    };
    const Case cases[] = {
        {{"-dev=zen0", "view", "-type=pkgLog"}, {"pkgLog", "Orvanta factory package\t"}},
        {{"-dev=zen0", "view", "-type=chimpBoot"}, {"chimpBoot", "BIN Header"}},
        {{"-dev=zen0", "-vv", "view", "-type=VPD"}, {"VPD Image Version: ", "SN"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const RunResult r = host_.zeltnvm(c.args);
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        for (const std::string& part : c.parts) EXPECT_NE(r.out.find(part), std::string::npos) << r.out;
    }
}

}  // namespace
}  // namespace zelt::test
