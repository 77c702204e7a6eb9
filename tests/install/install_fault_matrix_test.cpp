// Every firmware message and driver command a `-y install` of both adapters sends to
// one of them, failed in every way the simulated host can fail it, through the real
// binary. Whatever goes wrong:
//  - the run ends 0 only if both adapters hold the new package; otherwise it ends with
//    a failure status (not a signal, not a hang) and that status's message;
//  - no adapter is reported completed without the new package in place;
//  - each adapter's NVM is whole (every item matches its directory checksum);
//  - each adapter's identity is untouched: MAC addresses, VPD, FRU and certificates.
// The cases are seeded: ZELT_FAULT_MATRIX_SEED replaces the fixed seed, and every
// failure names the seed and the case so that it can be run again.
#include <linux/ethtool.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/directory_types.h"
#include "sim/firmware/option_values.h"
#include "sim/flash/flash_model.h"
#include "sim/state/request_log.h"
#include "sim/state/sim_store.h"
#include "tests/install/flash_check.h"
#include "tests/install/install_host.h"
#include "wire/hwrm_messages.h"
#include "wire/nvm_option_values.h"

using namespace zelt;

using zelt::test::contains;
using zelt::test::InstallHost;
using zelt::test::RunResult;

namespace {

constexpr const char* kNewVersion = "229.0.1.0";

enum class Channel { firmware, driver };

// A message an installation sends: a firmware message (`req_type`) over the firmware
// channel, or an ethtool command of the Ethernet driver.
struct Message {
    Channel channel;
    uint32_t code;
    const char* name;
};

// What an install of the example package sends to the adapter it updates, on either
// adapter of the default host. The test fails when an install sends one not listed.
constexpr Message kMessages[] = {
    {Channel::firmware, HWRM_NVM_GET_VARIABLE, "nvm_get_variable"},
    {Channel::firmware, HWRM_FUNC_QCFG, "func_qcfg"},
    {Channel::firmware, HWRM_PORT_PHY_QCFG, "port_phy_qcfg"},
    {Channel::firmware, HWRM_NVM_GET_DIR_INFO, "nvm_get_dir_info"},
    {Channel::firmware, HWRM_NVM_GET_DIR_ENTRIES, "nvm_get_dir_entries"},
    {Channel::firmware, HWRM_FW_QSTATUS, "fw_qstatus"},
    {Channel::driver, ETHTOOL_GDRVINFO, "ethtool drvinfo"},
    {Channel::driver, ETHTOOL_GLINK, "ethtool link"},
    {Channel::driver, ETHTOOL_GEEPROM, "ethtool read nvm"},
    {Channel::driver, ETHTOOL_SEEPROM, "ethtool write nvm"},
    {Channel::driver, ETHTOOL_FLASHDEV, "ethtool flash package"},
};

enum class Fault { error, cmd_err, busy, timeout, unresponsive, driver_errno, flash_write_part_way };

constexpr Fault kFaults[] = {Fault::error,        Fault::cmd_err,      Fault::busy,
                             Fault::timeout,      Fault::unresponsive, Fault::driver_errno,
                             Fault::flash_write_part_way};

const char* fault_name(Fault f) {
    switch (f) {
        case Fault::error: return "error";
        case Fault::cmd_err: return "cmd_err";
        case Fault::busy: return "busy";
        case Fault::timeout: return "time-out";
        case Fault::unresponsive: return "unresponsive";
        case Fault::driver_errno: return "driver errno";
        case Fault::flash_write_part_way: return "flash write fails part-way";
    }
    return "?";
}

// Driver commands that only read the driver's own data never reach the firmware, so
// the firmware cannot be busy or silent on them.
bool reaches_firmware(const Message& m) {
    return m.channel == Channel::firmware || (m.code != ETHTOOL_GDRVINFO && m.code != ETHTOOL_GLINK);
}

template <class T>
T pick(std::mt19937& random, const std::vector<T>& choices) {
    return choices[std::uniform_int_distribution<size_t>(0, choices.size() - 1)(random)];
}

// A fault scheduled for one case: the zeltsim arguments, the requests it must have
// matched for it to have fired (0: a fault of the firmware's installation, which is
// not counted per request), and whether it hits one occurrence only.
struct Scheduled {
    std::vector<std::string> args;
    unsigned hits = 0;
    bool once = false;
};

// The fault that fails `m` with `f` on `adapter` at its `nth` occurrence where a fault
// can be narrowed to one, choosing the codes with `random`; no arguments when `f`
// cannot happen to `m`.
Scheduled schedule(const Message& m, Fault f, const std::string& adapter, unsigned nth, std::mt19937& random) {
    const std::string code = std::to_string(m.code);
    auto once = [&](std::vector<std::string> args) {  // the nth request only
        args.insert(args.begin() + 1, {"--adapter", adapter});
        args.insert(args.end(), {"--nth", std::to_string(nth)});
        return Scheduled{args, nth, true};
    };
    auto always = [&](std::vector<std::string> args, unsigned hits) {
        args.insert(args.begin() + 1, {"--adapter", adapter});
        return Scheduled{args, hits};
    };
    const std::string error_code = std::to_string(pick<int>(random, {1, 2, 3, 4, 6, 0xFFFF}));
    if (m.channel == Channel::firmware) {
        switch (f) {
            case Fault::error: return once({"hwrm_error", "--req-type", code, "--error-code", error_code});
            case Fault::cmd_err:
                return once({"hwrm_error", "--req-type", code, "--error-code", error_code, "--cmd-err",
                             std::to_string(std::uniform_int_distribution<int>(1, 8)(random))});
            case Fault::busy: return once({"busy", "--req-type", code});
            case Fault::timeout: return once({"timeout", "--req-type", code});
            case Fault::unresponsive: return always({"unresponsive", "--req-type", code}, 1);
            case Fault::driver_errno:
                return once({"lfc_errno", "--req-type", code, "--errno",
                             std::to_string(pick<int>(random, {EIO, EINVAL, ENOMEM, EPERM, ENODEV, EFAULT, ENXIO}))});
            case Fault::flash_write_part_way: return {};
        }
    }
    // The driver's flash command is where the firmware installs: it may refuse the
    // package with a detail, or fail writing the flash after part of it is written.
    const bool flashes = m.code == ETHTOOL_FLASHDEV;
    switch (f) {
        case Fault::error: return {};  // the driver passes on no firmware answer
        case Fault::cmd_err:
            if (!flashes) return {};
            return always(
                {"install_fault", "--cmd-err", std::to_string(std::uniform_int_distribution<int>(1, 4)(random))}, 0);
        case Fault::busy:
            if (!reaches_firmware(m)) return {};
            return once({"busy", "--ethtool-cmd", code});
        case Fault::timeout: return {};  // the driver's commands have no time-out of their own
        case Fault::unresponsive:
            if (!reaches_firmware(m)) return {};
            return always({"unresponsive", "--ethtool-cmd", code}, 1);
        case Fault::driver_errno:
            return once({"ethtool_errno", "--ethtool-cmd", code, "--errno",
                         std::to_string(pick<int>(random, {EIO, EINVAL, ENOMEM, EPERM, ENODEV, EACCES, EROFS, EAGAIN,
                                                           ENOSPC, EOPNOTSUPP, ETIMEDOUT}))});
        case Fault::flash_write_part_way:
            if (!flashes) return {};
            return always(
                {"install_fault", "--cmd-err", "0", "--error-code", pick<std::string>(random, {"0", "1", "4"})}, 0);
    }
    return {};
}

// True when the host's first scheduled fault has fired: it matched at least `hits`
// requests, or, for a fault of the installation, the driver's flash command failed.
bool fired(const InstallHost& host, const Scheduled& fault) {
    if (fault.hits == 0) {
        for (const auto& r : zelt::sim::read_request_log(host.root()))
            if (r.value("channel", "") == "ethtool" && r.value("cmd", 0u) == ETHTOOL_FLASHDEV && r.contains("errno"))
                return true;
        return false;
    }
    std::string error;
    auto session = zelt::sim::SimSession::open(host.root(), error);
    return session && !session->state().fault_hits.empty() && session->state().fault_hits[0] >= fault.hits;
}

// The message each failure status of an installation is given with.
constexpr std::pair<int, const char*> kFailureMessages[] = {
    {8, "Invalid or unsupported device selector: "},
    {10, "This operation does not have administrative privileges for given interface"},
    {11, "Package installation failed. Please review debug log file for more information"},
    {20, "Package installation failed, because NVM is fragmented."},
    {21, "Error: Adapter is busy. Please try again after some time"},
    {57, "Package installation failed. Because Firmware resources are locked."},
    {67, "Package installation failed. Because firmware failed to update package due to anti-rollback."},
};

// How many times each message went to `adapter`'s functions, from the host's request log.
std::map<std::pair<Channel, uint32_t>, unsigned> messages_sent(const InstallHost& host,
                                                               const std::set<std::string>& functions) {
    std::map<std::pair<Channel, uint32_t>, unsigned> sent;
    for (const auto& r : zelt::sim::read_request_log(host.root())) {
        if (!functions.count(r.value("function", ""))) continue;
        if (r.value("channel", "") == "lfc")
            ++sent[{Channel::firmware, r.value("req_type", 0u)}];
        else if (r.value("channel", "") == "ethtool")
            ++sent[{Channel::driver, r.value("cmd", 0u)}];
    }
    return sent;
}

// What must not change: MAC addresses (permanent and option), and the bytes of the
// VPD, FRU and certificate items, by adapter and item.
using Identity = std::map<std::string, std::vector<uint8_t>>;

// What an adapter holds after a run.
struct AdapterView {
    Identity identity;
    std::string package;              // the package version installed (pending a reset, or running)
    std::vector<std::string> log;     // install log entries without their last (reported) field
    std::set<std::string> functions;  // PCI addresses
    std::string flash_path;
};

AdapterView view_adapter(const InstallHost& host, const std::string& adapter) {
    AdapterView view;
    std::string error;
    auto session = zelt::sim::SimSession::open(host.root(), error);
    EXPECT_TRUE(session) << error;
    if (!session) return view;
    const zelt::sim::AdapterDesc* desc = session->host().find_adapter(adapter);
    EXPECT_NE(desc, nullptr) << adapter;
    if (!desc) return view;
    zelt::sim::AdapterState& state = session->adapter_state(adapter);
    zelt::sim::FlashModel flash(session->flash(adapter));
    const zelt::sim::FirmwareContext firmware{*desc, desc->functions.front(), state, flash, session->now_us()};
    const auto macs = state.options.find(ZELT_OPT_MAC_ADDRESS);
    for (const auto& fn : desc->functions) {
        view.functions.insert(fn.address());
        view.identity["mac " + fn.address()] = {fn.mac.begin(), fn.mac.end()};
        if (fn.is_vf) continue;
        // The MAC option as the firmware answers it: the value set, else the factory one.
        zelt::sim::OptionIndex index;
        index.i[0] = fn.pf_index;
        std::vector<uint8_t> value(ZELT_OPT_MAC_ADDRESS_BYTES, 0);
        if (macs != state.options.end() && macs->second.values.count(index))
            value = macs->second.values.at(index);
        else
            zelt::sim::option_initial_value(firmware, ZELT_OPT_MAC_ADDRESS, index, value);
        view.identity["mac option " + index.key()] = value;
    }
    view.package = state.pending_pkg_version.empty() ? state.running_pkg_version : state.pending_pkg_version;

    const std::set<unsigned> identity_types = {ZEL_DIR_TYPE_VPD, ZEL_DIR_TYPE_FRU, ZEL_DIR_TYPE_CERT_CHAIN,
                                               ZEL_DIR_TYPE_CERT_ALIAS, ZEL_DIR_TYPE_CERT_CUST};
    for (uint32_t i = 0; flash.has_directory() && i < flash.entry_count(); ++i) {
        const zelnvm_directory_entry_t e = flash.entry(i);
        if (e.type == ZEL_DIR_TYPE_PKG_LOG && e.ordinal == 0 && e.ext == 0) {
            std::string text(e.data_length, '\0');
            EXPECT_EQ(flash.read(i, 0, {reinterpret_cast<uint8_t*>(text.data()), text.size()}),
                      zelt::sim::FlashStatus::ok);
            std::istringstream lines(text.substr(0, text.find_first_of(std::string("\0\xff", 2))));
            for (std::string line; std::getline(lines, line);)
                if (!line.empty()) view.log.push_back(line.substr(0, line.rfind('\t')));
        }
        if (!identity_types.count(e.type)) continue;
        std::vector<uint8_t> data(e.data_length);
        EXPECT_EQ(flash.read(i, 0, data), zelt::sim::FlashStatus::ok);
        view.identity["item " + std::to_string(e.type) + "/" + std::to_string(e.ordinal) + "/" +
                      std::to_string(e.ext)] = data;
    }
    view.flash_path = session->paths().root + "/sim/" + adapter + ".flash";
    return view;
}

// zeltnvm with `args` against the host, killed if it has not ended within a minute (a
// hang then fails the case instead of the whole suite).
RunResult run_bounded(const InstallHost& host, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {ZELT_PROGRAM("zeltnvm")};
    argv.insert(argv.end(), args.begin(), args.end());
    zelt::test::RunOptions o;
    o.env = {{"ZELTNVM_SIM", host.root()}};
    o.cwd = host.work_dir();
    o.wrapper = {"timeout", "-s", "KILL", "60"};
    return zelt::test::run_program(argv, o);
}

uint32_t matrix_seed() {
    const char* text = std::getenv("ZELT_FAULT_MATRIX_SEED");
    return text && *text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 0)) : 20261210u;
}

constexpr const char* kAdapters[] = {"adapter0", "adapter1"};  // Controller #1 and #2 of the run

// What a run printed for each adapter, in the order the adapters are updated.
std::vector<std::string> per_adapter_output(const std::string& out) {
    const size_t second = out.find("Controller #2 is being updated");
    if (second == std::string::npos) return {out, ""};
    return {out.substr(0, second), out.substr(second)};
}

// Runs the installation on a fresh copy of `original` with `fault` scheduled and checks
// every invariant; true when the run ended 0.
bool run_case(const InstallHost& original, const std::vector<AdapterView>& before, const Scheduled& fault) {
    InstallHost host(InstallHost::CopyOf{original});
    host.fault(fault.args);
    const RunResult r = run_bounded(host, {"-y", "install", "new.pkg"});
    const std::string output = r.out + r.err;
    EXPECT_TRUE(fired(host, fault)) << output;

    // Each adapter: its NVM whole, its identity and install log kept, and completion
    // reported and logged only where the new package is in place.
    const std::vector<std::string> printed = per_adapter_output(r.out);
    bool all_installed = true;
    for (size_t a = 0; a < std::size(kAdapters); ++a) {
        SCOPED_TRACE(kAdapters[a]);
        const AdapterView after = view_adapter(host, kAdapters[a]);
        const bool installed = after.package == kNewVersion;
        all_installed = all_installed && installed;
        if (contains(printed[a], "Firmware update is completed.")) {
            EXPECT_TRUE(installed) << "reported completed, holds " << after.package << "\n" << output;
        }
        const std::vector<std::string> damaged = zelt::test::damaged_items(zelt::test::read_bytes(after.flash_path));
        EXPECT_TRUE(damaged.empty()) << damaged.front();
        EXPECT_EQ(after.identity, before[a].identity);
        for (const std::string& entry : before[a].log)
            EXPECT_NE(std::find(after.log.begin(), after.log.end(), entry), after.log.end()) << "lost: " << entry;
        const bool logged = std::any_of(after.log.begin(), after.log.end(), [](const std::string& e) {
            return contains(e, std::string("\t") + kNewVersion + "\t") && contains(e, "\tSuccess\t");
        });
        EXPECT_EQ(logged, installed);
    }
    // The run: 0 only if every adapter holds the new package; otherwise a failure
    // status with its message.
    if (r.status == 0) {
        EXPECT_TRUE(all_installed) << output;
        return true;
    }
    const char* message = nullptr;
    for (const auto& [status, text] : kFailureMessages)
        if (status == r.status) message = text;
    EXPECT_NE(message, nullptr) << "no failure status: " << r.status << "\n" << output;
    if (message) {
        EXPECT_TRUE(contains(output, message)) << r.status << "\n" << output;
    }
    return false;
}

TEST(InstallFaultMatrix, EveryMessageFailedEveryWayKeepsTheInvariants) {
    const uint32_t seed = matrix_seed();
    SCOPED_TRACE("ZELT_FAULT_MATRIX_SEED=" + std::to_string(seed));
    // ZELT_FAULT_MATRIX_EVERY_NTH=1 fails every occurrence of each message in turn
    // instead of one chosen by the seed: a deeper search, too slow for every build.
    const char* every_text = std::getenv("ZELT_FAULT_MATRIX_EVERY_NTH");
    const bool every_nth = every_text && std::string(every_text) == "1";
    // One host made ready for the installation (the first run creates the
    // configuration file), copied afresh for every case.
    InstallHost original;
    original.example("new.pkg", kNewVersion);
    ASSERT_EQ(original.zeltnvm({"devid"}).status, 0);
    zelt::sim::clear_request_log(original.root());
    std::vector<AdapterView> before;
    for (const char* adapter : kAdapters) {
        before.push_back(view_adapter(original, adapter));
        ASSERT_FALSE(before.back().identity.empty()) << adapter;
        ASSERT_NE(before.back().package, kNewVersion) << adapter;
        ASSERT_FALSE(before.back().log.empty()) << adapter;
    }

    // The run without a fault gives the messages each adapter is sent, and how often.
    std::vector<std::map<std::pair<Channel, uint32_t>, unsigned>> sent;
    {
        InstallHost host(InstallHost::CopyOf{original});
        const RunResult r = host.zeltnvm({"-y", "install", "new.pkg"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        for (size_t a = 0; a < std::size(kAdapters); ++a) {
            ASSERT_EQ(view_adapter(host, kAdapters[a]).package, kNewVersion);
            sent.push_back(messages_sent(host, before[a].functions));
            for (const auto& [key, count] : sent.back()) {
                bool listed = false;
                for (const Message& m : kMessages) listed = listed || (m.channel == key.first && m.code == key.second);
                EXPECT_TRUE(listed) << (key.first == Channel::firmware ? "firmware message " : "ethtool command ")
                                    << key.second << " is sent " << count << " time(s) to " << kAdapters[a]
                                    << " and missing from the table";
            }
        }
    }

    int pairs = 0, runs = 0, not_applicable = 0, not_sent = 0, ended_0 = 0;
    for (size_t faulty = 0; faulty < std::size(kAdapters); ++faulty) {
        for (const Message& m : kMessages) {
            const auto count = sent[faulty].find({m.channel, m.code});
            for (const Fault f : kFaults) {
                if (count == sent[faulty].end()) {
                    ++not_sent;
                    continue;
                }
                std::seed_seq case_seed{seed, static_cast<uint32_t>(faulty), static_cast<uint32_t>(m.channel), m.code,
                                        static_cast<uint32_t>(f)};
                std::mt19937 random(case_seed);
                const unsigned chosen = std::uniform_int_distribution<unsigned>(1, count->second)(random);
                bool applicable = false;
                for (unsigned nth = every_nth ? 1 : chosen; nth <= (every_nth ? count->second : chosen); ++nth) {
                    const Scheduled fault = schedule(m, f, kAdapters[faulty], nth, random);
                    if (fault.args.empty()) break;
                    applicable = true;
                    std::string described = std::string(m.name) + " / " + fault_name(f) + ":";
                    for (const std::string& a : fault.args) described += " " + a;
                    SCOPED_TRACE(described);
                    ++runs;
                    ended_0 += run_case(original, before, fault) ? 1 : 0;
                    if (!fault.once) break;
                }
                ++(applicable ? pairs : not_applicable);
            }
        }
    }
    std::ostringstream summary;
    summary << "fault matrix (seed " << seed << "): " << pairs << " (message, fault) pairs in " << runs << " runs, "
            << not_applicable << " pairs skipped as the fault cannot happen to the message, " << not_sent
            << " as the adapter is not sent the message; " << ended_0 << " runs ended 0 with the new package on both "
            << "adapters, " << runs - ended_0 << " with a failure status and its message; in every run the NVM "
            << "verified, MACs, VPD, FRU and certificates were unchanged, the install log lost no entry and logged "
               "success only with the new package in place, and no adapter without it was reported completed";
    std::cout << summary.str() << std::endl;
    testing::Test::RecordProperty("fault_matrix", summary.str());
}

}  // namespace
