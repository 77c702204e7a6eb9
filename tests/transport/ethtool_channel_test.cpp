#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>
#include <numeric>
#include <span>

#include "common/hvxretval.h"
#include "host/file_snapshot.h"
#include "tests/transport/transport_fixture.h"
#include "transport/ethtool_channel.h"

namespace zelt::test {
namespace {

using Ethtool = TransportTest;

std::span<const uint8_t> bytes(const std::string& s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

// Fills GEEPROM answers with bytes derived from the requested item offset.
int32_t itemByte(uint32_t offset) { return static_cast<uint8_t>(offset * 7 + 3); }

TEST_F(Ethtool, EraseEncodesTheIndexAndRefusesPast254) {
    ASSERT_EQ(transport::zeltnvmEraseItem(eth("eth1"), 254).code(), 0);
    ASSERT_EQ(host->ethtool_calls.size(), 1u);
    const auto& call = host->ethtool_calls[0];
    EXPECT_EQ(call.ifname, "eth1");
    EXPECT_EQ(call.cmd, static_cast<uint32_t>(ETHTOOL_SEEPROM));
    auto ee = call.head<ethtool_eeprom>();
    EXPECT_EQ(ee.magic, 0xFFFF0EFFu);
    EXPECT_EQ(ee.offset, 0x0000F100u);
    EXPECT_EQ(ee.len, 1u);

    EXPECT_EQ(transport::zeltnvmEraseItem(eth("eth1"), 255).code(), HVXRETVAL_INVALID_INDEX_PARAMETER);
    EXPECT_EQ(host->ethtool_calls.size(), 1u);
}

TEST_F(Ethtool, ReadMovesInPiecesOf4080) {
    host->driver = [](const FakeAdapterHost::EthtoolCall&, void* arg) {
        auto* ee = static_cast<ethtool_eeprom*>(arg);
        for (uint32_t i = 0; i < ee->len; ++i) ee->data[i] = itemByte((ee->offset & 0xFFFFFF) + i);
        return 0;
    };
    std::vector<uint8_t> data(10000);
    ASSERT_EQ(transport::zeltnvmGetItem(eth("eth0"), 4, 100, data.data(), 10000).code(), 0);
    ASSERT_EQ(host->ethtool_calls.size(), 3u);
    const uint32_t lens[] = {4080, 4080, 1840};
    uint32_t at = 100;
    for (int i = 0; i < 3; ++i) {
        auto ee = host->ethtool_calls[i].head<ethtool_eeprom>();
        EXPECT_EQ(host->ethtool_calls[i].cmd, static_cast<uint32_t>(ETHTOOL_GEEPROM));
        EXPECT_EQ(ee.magic, 0u);
        EXPECT_EQ(ee.offset, (5u << 24) + at);
        EXPECT_EQ(ee.len, lens[i]);
        at += lens[i];
    }
    for (uint32_t i = 0; i < data.size(); ++i) ASSERT_EQ(data[i], itemByte(100 + i)) << i;
}

TEST_F(Ethtool, ReadRefusesWhatTheEncodingCannotCarry) {
    uint8_t buf[16];
    EXPECT_EQ(transport::zeltnvmGetItem(eth("eth0"), 0, 0, buf, 0).code(), 0);
    EXPECT_EQ(transport::zeltnvmGetItem(eth("eth0"), 255, 0, buf, 16).code(), HVXRETVAL_INVALID_INDEX_PARAMETER);
    // The last byte would land at offset 0x01000000, inside the index byte.
    EXPECT_EQ(transport::zeltnvmGetItem(eth("eth0"), 3, 0x00FFFFF1, buf, 16).code(), HVXRETVAL_INVALID_OFFSET_PARAMETER);
    EXPECT_TRUE(host->ethtool_calls.empty());
    EXPECT_EQ(transport::zeltnvmGetItem(eth("eth0"), 3, 0x00FFFFF0, buf, 16).code(), 0);
    // The last index the encoding carries is read.
    EXPECT_EQ(transport::zeltnvmGetItem(eth("eth0"), 254, 0, buf, 16).code(), 0);
    EXPECT_EQ(host->ethtool_calls.back().head<ethtool_eeprom>().offset, 255u << 24);
}

TEST_F(Ethtool, ReadStopsAtTheFailingPiece) {
    host->driver = [](const FakeAdapterHost::EthtoolCall& call, void* arg) {
        auto* ee = static_cast<ethtool_eeprom*>(arg);
        if ((call.head<ethtool_eeprom>().offset & 0xFFFFFF) != 0) return EIO;
        std::memset(ee->data, 0xAB, ee->len);
        return 0;
    };
    std::vector<uint8_t> data(5000, 0);
    EXPECT_EQ(transport::zeltnvmGetItem(eth("eth0"), 0, 0, data.data(), 5000).code(), HVXRETVAL_FAILURE);
    EXPECT_EQ(host->ethtool_calls.size(), 2u);
    EXPECT_EQ(data[4079], 0xAB);
    EXPECT_EQ(data[4080], 0);
}

TEST_F(Ethtool, WriteEncodesTheItemIdentity) {
    std::vector<uint8_t> item(300);
    std::iota(item.begin(), item.end(), 0);
    ASSERT_EQ(transport::zeltnvmWriteItem(eth("eth0"), {5, 1, 2}, 0x10, item).code(), 0);
    const auto& call = host->ethtool_calls.at(0);
    auto ee = call.head<ethtool_eeprom>();
    EXPECT_EQ(call.cmd, static_cast<uint32_t>(ETHTOOL_SEEPROM));
    EXPECT_EQ(ee.magic, 0x00050002u);
    EXPECT_EQ(ee.offset, 0x00010010u);
    EXPECT_EQ(ee.len, 300u);
    EXPECT_EQ(std::vector<uint8_t>(call.arg.begin() + 16, call.arg.end()), item);

    EXPECT_EQ(transport::zeltnvmWriteItem(eth("eth0"), {5, 1, 2}, 0, {}).code(), HVXRETVAL_INVALID_LENGTH_PARAMETER);
    EXPECT_EQ(host->ethtool_calls.size(), 1u);
}

TEST_F(Ethtool, DriverErrorsMapToResults) {
    const struct {
        int err;
        int32_t expected;
    } cases[] = {{EACCES, 3},
                 {EAGAIN, -16},
                 {EROFS, 17},
                 {EOPNOTSUPP, 0xFFFF},
                 {EIO, -1},
                 {ENODEV, -1},
                 {ENOSPC, HVXRETVAL_NVM_WRITE_CMD_ERR_CODE_NO_SPACE}};
    for (const auto& c : cases) {
        host->driver = [&c](const FakeAdapterHost::EthtoolCall&, void*) { return c.err; };
        EXPECT_EQ(transport::zeltnvmEraseItem(eth("eth0"), 1).code(), c.expected) << c.err;
    }
    // No room keeps its errno, so callers tell it from the firmware's answers.
    host->driver = [](const FakeAdapterHost::EthtoolCall&, void*) { return ENOSPC; };
    const Result full = transport::zeltnvmEraseItem(eth("eth0"), 1);
    EXPECT_EQ(full.origin(), Origin::kSystem);
    EXPECT_EQ(full.sys_errno(), ENOSPC);
}

TEST_F(Ethtool, SecureUpdateStoresAndFlashesThePackage) {
    const struct {
        uint32_t install_type;
        uint32_t region;
    } cases[] = {{2, 0x00020000}, {0, 0}, {0xFFFF, 0xFFFF}, {0xFFFE, 0xFFFE0000}, {0x10000, 0x10000}};
    const std::string package = "PKG0 package bytes";
    // What the driver finds in the firmware directory when it is asked to flash.
    std::string staged;
    std::vector<std::string> beside;
    int driver_answer = 0;
    host->driver = [&](const FakeAdapterHost::EthtoolCall&, void*) {
        staged = read_text_file(dir.file("lib/firmware/hvxupdate.pkg"));
        beside.clear();
        for (const auto& e : std::filesystem::directory_iterator(dir.file("lib/firmware")))
            beside.push_back(e.path().filename().string());
        return driver_answer;
    };
    for (const auto& c : cases) {
        host->ethtool_calls.clear();
        ASSERT_EQ(transport::zeltnvmSecureUpdate(eth("eth0"), bytes(package), c.install_type).code(), 0);
        const auto& call = host->ethtool_calls.at(0);
        EXPECT_EQ(call.cmd, static_cast<uint32_t>(ETHTOOL_FLASHDEV));
        auto flash = call.head<ethtool_flash>();
        EXPECT_EQ(flash.region, c.region) << c.install_type;
        EXPECT_STREQ(flash.data, "hvxupdate.pkg");
        // The whole package is in place under its own name, no temporary beside it.
        EXPECT_EQ(staged, package);
        EXPECT_EQ(beside, std::vector<std::string>{"hvxupdate.pkg"});
        // Once the flash has returned the staging file is gone.
        EXPECT_FALSE(std::filesystem::exists(dir.file("lib/firmware/hvxupdate.pkg")));
    }

    // A refused flash removes the staging file too.
    driver_answer = EROFS;
    EXPECT_EQ(transport::zeltnvmSecureUpdate(eth("eth0"), bytes(package).first(4), 2).code(), 17);
    EXPECT_EQ(staged, "PKG0");
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("lib/firmware")));
}

// A snapshot holding exactly the package is staged by a link: the driver finds the same
// bytes under the same name as when they are written out, and afterwards neither the
// staged name nor a temporary is left while the snapshot keeps its bytes. A snapshot of
// other bytes than those handed in is never staged: the package is written.
TEST_F(Ethtool, SecureUpdateStagesASnapshotByLink) {
    const std::string package = "PKG0 snapshot bytes";
    hostFile("/pkg-file", package);
    std::filesystem::create_directories(dir.file("lib/firmware"));
    std::string staged;
    std::vector<std::string> beside;
    ino_t staged_inode = 0;
    host->driver = [&](const FakeAdapterHost::EthtoolCall&, void*) {
        staged = read_text_file(dir.file("lib/firmware/hvxupdate.pkg"));
        struct stat st{};
        ::stat(dir.file("lib/firmware/hvxupdate.pkg").c_str(), &st);
        staged_inode = st.st_ino;
        beside.clear();
        for (const auto& e : std::filesystem::directory_iterator(dir.file("lib/firmware")))
            beside.push_back(e.path().filename().string());
        return 0;
    };
    host::FileSnapshot snapshot;
    ASSERT_EQ(host->snapshot_regular_file("/pkg-file", 64, "/lib/firmware", snapshot), host::SnapshotMade::kOk);
    struct stat snap{};
    ASSERT_EQ(::fstat(snapshot.descriptor(), &snap), 0);
    const std::string other = "PKG0 other bytes";
    const struct {
        const char* name;
        std::span<const uint8_t> package;
        std::string expected;
        bool linked;  // the staged file is the snapshot itself
    } cases[] = {
        {"snapshot", snapshot.bytes(), package, true},
        {"other bytes", bytes(other), other, false},
        {"part of the snapshot", snapshot.bytes().first(4), "PKG0", false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(transport::zeltnvmSecureUpdate(eth("eth0"), c.package, 2, &snapshot).code(), 0) << c.name;
        EXPECT_EQ(staged, c.expected) << c.name;
        EXPECT_EQ(staged_inode == snap.st_ino, c.linked) << c.name;
        EXPECT_EQ(beside, std::vector<std::string>{"hvxupdate.pkg"}) << c.name;
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("lib/firmware"))) << c.name;
        EXPECT_EQ(std::string(snapshot.bytes().begin(), snapshot.bytes().end()), package) << c.name;
    }
}

TEST_F(Ethtool, SecureUpdateReportsAnUnwritableFirmwareDirectory) {
    // "/lib/firmware" is a file, so the package cannot be created.
    hostFile("/lib/firmware", "not a directory");
    const uint8_t byte = 1;
    EXPECT_EQ(transport::zeltnvmSecureUpdate(eth("eth0"), {&byte, 1}, 2).code(), HVXRETVAL_FILE_OPEN_FAILURE);
    EXPECT_TRUE(host->ethtool_calls.empty());
}

TEST_F(Ethtool, FlashRefusesANameThatWouldBeCut) {
    std::string name(128, 'a');
    EXPECT_EQ(transport::zeltnvmEthtoolFlashItem(eth("eth0"), name, 0).code(), HVXRETVAL_INVALID_FILENAME_PARAMETER);
    name.pop_back();
    EXPECT_EQ(transport::zeltnvmEthtoolFlashItem(eth("eth0"), name, 0).code(), 0);
    EXPECT_EQ(host->ethtool_calls.size(), 1u);
}

// A module EEPROM served from a 256-byte image.
struct Module {
    uint8_t bytes[256] = {};
    explicit Module(uint8_t id, const char* vendor) {
        bytes[0] = id;
        std::memcpy(bytes + 148, vendor, std::strlen(vendor));
    }
};

TEST_F(Ethtool, ModuleInfoReadsByModuleKind) {
    struct Case {
        const char* what;
        uint8_t id;
        const char* vendor;
        std::vector<std::pair<int, uint8_t>> bytes;
        int length, awg, loss;
    };
    const Case cases[] = {
        {"SFP", 3, "ACME OPTICS", {{18, 3}, {109, 26}, {110, 4}, {146, 9}, {238, 9}}, 3, 26, 4},
        {"QSFP", 0x11, "ACME OPTICS", {{18, 9}, {109, 30}, {110, 9}, {146, 5}, {238, 7}}, 5, 30, 7},
        {"length in the other byte", 0x0D, "ACME", {{146, 0}, {108, 2}, {109, 28}, {238, 6}}, 2, 28, 6},
        {"vendor without a loss figure", 3, "CISCO-ACME", {{18, 1}, {109, 30}, {110, 3}}, 1, 30, 255},
        {"mixed case vendor", 0x11, "Acme-CiScO", {{146, 1}, {109, 30}, {238, 3}}, 1, 30, 255},
    };
    for (const auto& c : cases) {
        Module module(c.id, c.vendor);
        for (auto [at, value] : c.bytes) module.bytes[at] = value;
        host->driver = [&module](const FakeAdapterHost::EthtoolCall& call, void* arg) {
            if (call.cmd != ETHTOOL_GMODULEEEPROM) return EINVAL;
            auto* ee = static_cast<ethtool_eeprom*>(arg);
            if (ee->offset + ee->len > sizeof module.bytes) return EINVAL;
            std::memcpy(ee->data, module.bytes + ee->offset, ee->len);
            return 0;
        };
        const auto info = transport::zeltnvmGetModuleInfo(eth("eth0"));
        ASSERT_TRUE(info.ok()) << c.what;
        EXPECT_EQ(info->cable_length, c.length) << c.what;
        EXPECT_EQ(info->awg, c.awg) << c.what;
        EXPECT_EQ(info->insertion_loss, c.loss) << c.what;
    }
}

TEST_F(Ethtool, VersionsComeFromTheDriverText) {
    const struct {
        const char* fw_version;
        const char* firmware;
        int32_t pkg_rc;
        const char* package;
    } cases[] = {
        {"227.1.40.0/pkg 227.1.52.0", "227.1.40.0", 0, "227.1.52.0"},
        {"227.1.40.0", "227.1.40.0", HVXRETVAL_ITEM_NOT_FOUND, ""},
        {"0123456789012345678901234567890123", "0123456789012345678901234567890", HVXRETVAL_ITEM_NOT_FOUND, ""},
    };
    for (const auto& c : cases) {
        host->driver = [&c](const FakeAdapterHost::EthtoolCall&, void* arg) {
            auto* info = static_cast<ethtool_drvinfo*>(arg);
            std::memcpy(info->fw_version, c.fw_version, strnlen(c.fw_version, sizeof info->fw_version));
            return 0;
        };
        const auto fw = transport::zeltnvmGetInstalledfwVersion(eth("eth0"));
        ASSERT_TRUE(fw.ok());
        EXPECT_EQ(*fw, c.firmware);
        const auto pkg = transport::zeltnvmGetInstalledPackageVersion(eth("eth0"));
        EXPECT_EQ(pkg.result().code(), c.pkg_rc) << c.fw_version;
        if (c.pkg_rc == 0) {
            EXPECT_EQ(*pkg, c.package);
        }
    }
}

// A driver holding a dump of `dump` bytes behind the dump flag.
struct DumpDriver {
    std::string dump;
    uint32_t flag = 0;
    int fail_clear = 0;
    uint32_t claimed = 0;  // a length to report instead of the dump's own
    std::vector<uint32_t> flags_set;

    int operator()(const FakeAdapterHost::EthtoolCall& call, void* arg) {
        auto* d = static_cast<ethtool_dump*>(arg);
        switch (call.cmd) {
            case ETHTOOL_SET_DUMP:
                flags_set.push_back(d->flag);
                if (d->flag == 0 && fail_clear) return fail_clear;
                flag = d->flag;
                return 0;
            case ETHTOOL_GET_DUMP_FLAG:
                d->flag = flag;
                d->len = flag ? (claimed ? claimed : static_cast<uint32_t>(dump.size())) : 0;
                return 0;
            case ETHTOOL_GET_DUMP_DATA:
                if (d->len < dump.size()) return EINVAL;
                d->len = static_cast<uint32_t>(dump.size());
                std::memcpy(d->data, dump.data(), dump.size());
                return 0;
            default: return EOPNOTSUPP;
        }
    }
};

TEST_F(Ethtool, CrashDumpProbeLeavesTheFlagCleared) {
    for (const std::string& dump : {std::string("crash"), std::string()}) {
        auto driver = std::make_shared<DumpDriver>();
        driver->dump = dump;
        host->driver = [driver](const auto& call, void* arg) { return (*driver)(call, arg); };
        EXPECT_EQ(transport::zeltnvm_is_ethtool_crashdump_available(eth("eth0")), !dump.empty());
        EXPECT_EQ(driver->flags_set, (std::vector<uint32_t>{1, 0}));
    }
}

TEST_F(Ethtool, CoredumpWritesTheDumpToTheFile) {
    auto driver = std::make_shared<DumpDriver>();
    driver->dump = std::string(9000, 'd') + "end";
    host->driver = [driver](const auto& call, void* arg) { return (*driver)(call, arg); };
    FILE* fp = std::fopen(dir.file("out.core").c_str(), "wb");
    ASSERT_NE(fp, nullptr);
    ASSERT_EQ(transport::zeltnvmEthtoolCoredump(eth("eth0"), fp, 1).code(), 0);  // closes fp
    EXPECT_EQ(read_text_file(dir.file("out.core")), driver->dump);
    EXPECT_EQ(driver->flags_set, (std::vector<uint32_t>{1, 0}));
}

TEST_F(Ethtool, CoredumpFailures) {
    auto driver = std::make_shared<DumpDriver>();
    host->driver = [driver](const auto& call, void* arg) { return (*driver)(call, arg); };
    // An empty dump. The file is closed on failures too.
    EXPECT_EQ(transport::zeltnvmEthtoolCoredump(eth("eth0"), std::fopen(dir.file("out.core").c_str(), "wb"), 1).code(),
              HVXRETVAL_INVALID_DATA_LENGTH);
    EXPECT_EQ(driver->flags_set.back(), 0u);
    // The dump was written but the flag could not be cleared afterwards.
    driver->dump = "dump";
    driver->fail_clear = EIO;
    EXPECT_EQ(transport::zeltnvmEthtoolCoredump(eth("eth0"), std::fopen(dir.file("out.core").c_str(), "wb"), 1).code(), HVXRETVAL_FAILURE);
    EXPECT_EQ(read_text_file(dir.file("out.core")), "dump");
    // A length past the largest dump a driver can hold is a damaged answer: no buffer
    // is made for it and no data asked for.
    driver->fail_clear = 0;
    driver->claimed = (256u << 20) + 1;
    const size_t calls = host->ethtool_calls.size();
    EXPECT_EQ(transport::zeltnvmEthtoolCoredump(eth("eth0"), std::fopen(dir.file("out.core").c_str(), "wb"), 1).code(),
              HVXRETVAL_INVALID_DATA_LENGTH);
    for (size_t i = calls; i < host->ethtool_calls.size(); ++i)
        EXPECT_NE(host->ethtool_calls[i].cmd, static_cast<uint32_t>(ETHTOOL_GET_DUMP_DATA));
}

}  // namespace
}  // namespace zelt::test
