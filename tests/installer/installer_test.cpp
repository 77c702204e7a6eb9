// The host side of an installation: the staging item, both staging roads, results
// passed up, the install log report and trim, and reading a field of the log.
#include <fstream>
#include <sstream>

#include "common/hvxretval.h"
#include "device/installer/installer.h"
#include "device/nvm/nvm_install.h"
#include "package/package_reader.h"
#include "sim/state/request_log.h"
#include "tests/installer/installer_fixture.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

// A package of exactly `size` bytes: the update record asking for `update_length`
// bytes (none when 0) and one configuration item; the property stream takes up the rest.
pb::Bytes packageOfSize(size_t size, uint32_t update_length) {
    std::vector<pb::ItemSpec> plans;
    if (update_length) plans.push_back(updateRecord(update_length));
    plans.push_back(item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(9, 4096)));
    const size_t first = package(plans).size();
    EXPECT_LT(first, size);
    return package(plans, {}, static_cast<uint32_t>(512 + size - first));
}

class Installer : public InstallerOnSimHost {
protected:
    std::string syslog() {
        std::ifstream in(root_->path() + "/var/log/syslog");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    size_t createMessages() {
        size_t n = 0;
        for (auto& r : sim::read_request_log(root_->path()))
            if (r.value("channel", "") == "lfc" && r.value("req_type", -1) == HWRM_NVM_WRITE) ++n;
        return n;
    }
    void setStaging(uint32_t length) {
        withFlash([&](sim::FlashModel& f) {
            ASSERT_EQ(f.erase_entry(static_cast<uint32_t>(f.find(ZEL_DIR_TYPE_UPDATE, 0, 0))), sim::FlashStatus::ok);
            uint32_t index;
            if (length) {
                ASSERT_EQ(f.create(ZEL_DIR_TYPE_UPDATE, 0, 0, 1, length, index), sim::FlashStatus::ok);
            }
        });
    }
    void setLog(const std::string& text) {
        withFlash([&](sim::FlashModel& f) {
            uint32_t index;
            ASSERT_EQ(f.write(ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, text::bytes(text), 8192, index), sim::FlashStatus::ok);
        });
    }
    struct text {
        static std::span<const uint8_t> bytes(const std::string& s) {
            return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
        }
    };
};

TEST_F(Installer, StagingItemIsCreatedReusedOrRefused) {
    struct Case {
        const char* name;
        uint32_t staging;        // staging item before (0: none)
        uint32_t update_length;  // the package's update record (0: none)
        int32_t result;
        uint32_t staging_after;  // 0: none
        size_t creates;
    } cases[] = {
        {"created from the update record", 0, 8192, 0, 12288, 1},
        {"large item reused", 16384, 8192, 0, 16384, 0},
        {"no update record, no staging item", 0, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        setStaging(c.staging);
        const pb::Bytes pkg = packageOfSize(10000, c.update_length);
        ASSERT_EQ(pkg.size(), 10000u);
        sim::clear_request_log(root_->path());
        EXPECT_EQ(device::zeltnvmInstallPackage(fn(), pkg, 0, 0).code(), c.result);
        EXPECT_EQ(createMessages(), c.creates);
        withFlash([&](sim::FlashModel& f) {
            int staging = f.find(ZEL_DIR_TYPE_UPDATE, 0, 0);
            if (c.staging_after == 0) {
                EXPECT_LT(staging, 0);
            } else {
                ASSERT_GE(staging, 0);
                EXPECT_EQ(f.entry(static_cast<uint32_t>(staging)).item_length, c.staging_after);
            }
        });
        if (c.result == 0) {
            EXPECT_EQ(items().at({ZEL_DIR_TYPE_FUNC_CFG, 0, 0}), pb::filler(9, 4096));
        }
    }
}

// The log without the installation times (field 0), which differ between runs.
std::string withoutTimes(const std::string& log) {
    std::string out;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) out += line.substr(line.find('\t')) + "\n";
    return out;
}

TEST_F(Installer, BothStagingRoadsGiveTheSameNvm) {
    pb::Bytes pkg;
    ASSERT_EQ(pb::build_example_package(pb::kExamplePackageVersion, pb::test_signing_key(), &pkg), 0);
    const auto before = items();

    ASSERT_EQ(device::zeltnvmInstallPackage(fn(), pkg, 0, 0).code(), 0);
    auto by_driver = items();
    const std::string driver_log = installLog();
    expectVerifiable();

    fresh();
    ASSERT_EQ(device::zeltnvm_linux_SecureUpdate(fn(), pkg.data(), static_cast<uint32_t>(pkg.size()), 0).code(), 0);
    auto by_message = items();
    const std::string message_log = installLog();
    expectVerifiable();

    EXPECT_EQ(withoutTimes(driver_log), withoutTimes(message_log));
    by_driver.erase({ZEL_DIR_TYPE_PKG_LOG, 0, 0});
    by_message.erase({ZEL_DIR_TYPE_PKG_LOG, 0, 0});
    EXPECT_TRUE(by_driver == by_message);
    EXPECT_NE(by_driver.at({ZEL_DIR_TYPE_BOOTCODE, 0, 0}), before.at({ZEL_DIR_TYPE_BOOTCODE, 0, 0}));
    for (uint16_t identity : {ZEL_DIR_TYPE_VPD, ZEL_DIR_TYPE_FRU, ZEL_DIR_TYPE_CERT_CHAIN, ZEL_DIR_TYPE_ONBOARD_CFG})
        EXPECT_EQ(by_message.at({identity, 0, 0}), before.at({identity, 0, 0})) << "identity item " << identity;

    // What zeltsim shows of it: the new item bytes, the log line and the pending reset.
    auto zeltsim = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {ZELT_PROGRAM("zeltsim"), "show", root_->path()});
        RunResult r = run_program(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    EXPECT_NE(zeltsim({"--adapters"}).find("reset pending: yes"), std::string::npos);
    EXPECT_NE(zeltsim({"--log"}).find(std::string(pb::kExamplePackageVersion)), std::string::npos);
    int boot_index = -1;
    withFlash([&](sim::FlashModel& f) { boot_index = f.find(ZEL_DIR_TYPE_BOOTCODE, 0, 0); });
    const std::string dump = zeltsim({"--item", "adapter0", std::to_string(boot_index)});
    char first[8];
    std::snprintf(first, sizeof first, "%02x %02x", by_message.at({ZEL_DIR_TYPE_BOOTCODE, 0, 0})[0],
                  by_message.at({ZEL_DIR_TYPE_BOOTCODE, 0, 0})[1]);
    EXPECT_NE(dump.find(first), std::string::npos) << dump.substr(0, 200);
}

TEST_F(Installer, FirmwareResultsArePassedUpUnchanged) {
    struct Case {
        uint8_t cmd_err;
        bool by_message;
        int32_t result;
    } cases[] = {
        {2, true, HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_NO_SPACE},
        {3, true, HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_ANTI_ROLLBACK},
        {4, true, HVXRETVAL_NVM_INSTALL_UPDATE_ERR_CODE_NO_VOLTREG_SUPPORT},
        {1, true, 0},   // retried with defragmentation allowed
        {3, false, HVXRETVAL_FAILURE},  // the driver reports a refused flash as an I/O error
    };
    const pb::Bytes pkg = package({updateRecord(), item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(2, 256))});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.cmd_err) + (c.by_message ? " by message" : " by driver"));
        fresh();
        {
            std::string error;
            auto session = sim::SimSession::open(root_->path(), error);
            ASSERT_TRUE(session) << error;
            sim::FaultDesc f;
            f.kind = "install_fault";
            f.cmd_err = c.cmd_err;
            session->host().faults = {f};
            session->description_changed();
            ASSERT_TRUE(session->save(error)) << error;
        }
        const auto len = static_cast<uint32_t>(pkg.size());
        const int32_t rc = c.by_message ? device::zeltnvm_linux_SecureUpdate(fn(), pkg.data(), len, 0).code()
                                        : device::zeltnvmInstallPackage(fn(), pkg, 0, 0).code();
        EXPECT_EQ(rc, c.result);
    }
}

TEST_F(Installer, NewEntriesAreReportedOnceAndFlagged) {
    const pb::Bytes ok = package({updateRecord(), item(ZEL_DIR_TYPE_FUNC_CFG, ZELPKG_ITEM_ALWAYS_INSTALL, pb::filler(2, 256))});
    ASSERT_EQ(device::zeltnvmInstallPackage(fn(), ok, 0, 0).code(), 0);
    const std::string entry = installLog().substr(installLog().rfind('\n', installLog().size() - 2) + 1);
    const std::string when = entry.substr(0, entry.find('\t'));

    EXPECT_EQ(device::zeltnvmReadAndUpdatePackageLog(fn()).code(), 0);
    const std::string expected = "Device - zen0 : Test package :Successfully installed firmware package 229.1.2.3 : "
                                 "Date and Time of installation - " + when + " \n";
    EXPECT_EQ(syslog(), expected);
    const std::string log = installLog();
    EXPECT_EQ(log.substr(log.size() - 3), "\t0\n");
    EXPECT_EQ(log.find("\tF\n"), std::string::npos);  // the factory entry was reported already

    EXPECT_EQ(device::zeltnvmReadAndUpdatePackageLog(fn()).code(), 0);
    EXPECT_EQ(syslog(), expected);
}

TEST_F(Installer, LongLogIsWrittenBackAsItsLastWholeEntries) {
    std::string log;
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) {
        std::string line = "2026-01-01 00:00:" + std::to_string(10 + i) + "\tpkg\t1.0.0." + std::to_string(i) +
                           "\tN/A\tSuccess\tN/A\t1\t0x1\t0\thost\t";
        line.resize(97, 'x');
        line += "\t0\n";
        ASSERT_EQ(line.size(), 100u);
        lines.push_back(line);
        log += line;
    }
    setLog(log);
    EXPECT_EQ(device::zeltnvmReadAndUpdatePackageLog(fn()).code(), 0);
    std::string tail;
    for (size_t i = 10; i < lines.size(); ++i) tail += lines[i];
    EXPECT_EQ(items().at({ZEL_DIR_TYPE_PKG_LOG, 0, 0}), pb::Bytes(tail.begin(), tail.end()));
    EXPECT_EQ(syslog(), "");
}

TEST(PackageLogText, FormatsSuccessAndFailureSentences) {
    struct Case {
        const char* entry;
        const char* text;
    } cases[] = {
        {"2026-03-04 05:06:07\tBoard pkg\t230.0.1.0\tN/A\tSuccess\tN/A\t3\t0x7\t0\thost\tF",
         "Device - eth7 : Board pkg :Successfully installed firmware package 230.0.1.0 : Date and Time of "
         "installation - 2026-03-04 05:06:07 \n"},
        {"2026-03-04 05:06:07\tBoard pkg\t230.0.1.0\tN/A\tFailed\tN/A\t0\t0x0\t0\thost\tF",
         "Device - eth7 : Board pkg :Failed to install the firmware package 230.0.1.0 : Date and Time of "
         "installation attempt - 2026-03-04 05:06:07 \n"},
        {"2026-03-04 05:06:07\tBoard pkg",
         "Device - eth7 : Board pkg :Failed to install the firmware package  : Date and Time of installation "
         "attempt - 2026-03-04 05:06:07 \n"},
        // Only the first 128 characters are looked at: the status lies past them.
        {"T\tD\tV\tN/A\txxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
         "xxxxxxxxxxxxxxxxxxxxxxxxxxxx\tSuccess",
         "Device - eth7 : D :Failed to install the firmware package V : Date and Time of installation attempt - T \n"},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(device::Format_Log_string("eth7", c.entry, out), static_cast<int>(std::strlen(c.text)));
        EXPECT_EQ(out, c.text);
    }
}

TEST(PackageLogText, ReportsEachFlaggedEntryAndTrimsWholeEntries) {
    const std::string log = "a\tone\t1.0\tx\tSuccess\tN/A\t1\t0x1\t0\th\t0\n"
                            "b\ttwo\t2.0\tx\tSuccess\tN/A\t1\t0x1\t0\th\tF\n"
                            "c\tthree\t3.0\tx\tFailed\tN/A\t0\t0x0\t0\th\tF\n";
    std::string stored = log + std::string(8, '\0') + std::string(8, '\xff');
    std::vector<std::string> reports;
    const std::string out = device::zeltnvmUpdatePackageLogText("eth0", reinterpret_cast<const uint8_t*>(stored.data()),
                                                        stored.size(), 4096, reports);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find(":Successfully installed firmware package 2.0"), std::string::npos);
    EXPECT_NE(reports[1].find(":Failed to install the firmware package 3.0"), std::string::npos);
    EXPECT_EQ(out.find("\tF\n"), std::string::npos);
    EXPECT_EQ(out.size(), log.size());

    reports.clear();
    const std::string trimmed =
        device::zeltnvmUpdatePackageLogText("eth0", reinterpret_cast<const uint8_t*>(out.data()), out.size(), 60, reports);
    EXPECT_TRUE(reports.empty());
    EXPECT_EQ(trimmed, out.substr(out.find("c\t")));
}

TEST(PackageLogText, LastFieldSkipsLivePatchEntries) {
    const std::string log = "t1\tBoard pkg\t1.0\tx\tSuccess\n"
                            "t2\tBoard pkg\t2.0\tx\tSuccess\n"
                            "t3\tLive Patch 7\t2.0.1\tx\tSuccess\n";
    std::string stored = log + std::string(16, '\xff');
    auto parse = [&](int field, const std::string& data) {
        std::string v;
        return zeltnvmPackageLogField(field, reinterpret_cast<const uint8_t*>(data.data()), data.size(), &v)
                   ? v
                   : std::string("(none)");
    };
    EXPECT_EQ(parse(ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION, stored), "2.0");
    EXPECT_EQ(parse(ZEL_PKG_LOG_FIELD_IDX_INSTALLED_TIMESTAMP, stored), "t2");
    EXPECT_EQ(parse(ZEL_PKG_LOG_FIELD_IDX_PKG_CHECKSUM, stored), "(none)");
    EXPECT_EQ(parse(ZEL_PKG_LOG_FIELD_IDX_PKG_VERSION, std::string(8, '\0')), "(none)");
}

}  // namespace
}  // namespace zelt::test
