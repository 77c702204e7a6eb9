// The transports against the simulated adapter host: what the tool gets back, and what
// the simulated drivers received (their request log).
#include <gtest/gtest.h>

#include <filesystem>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/hvxretval.h"
#include "host/host.h"
#include "sim/create/host_setup.h"
#include "sim/host/sim_host.h"
#include "sim/state/request_log.h"
#include "sim/state/sim_store.h"
#include "tests/support/run_program.h"
#include "tests/transport/function_values.h"
#include "transport/ethtool_channel.h"
#include "transport/function.h"
#include "transport/fw_queries.h"
#include "transport/host_queries.h"
#include "transport/hwrm_channel.h"
#include "transport/pci_info.h"
#include "wire/ethtool_nvm.h"
#include "wire/hwrm_answer.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "tests/support/installed_host.h"

namespace zelt::test {
namespace {

// The default simulated host: zen0 and zen1 on a device of type 8 (bus 0x03), zen2 and
// zen3 on an older device of type 5 (bus 0x13).
class SimTransport : public ::testing::Test {
protected:
    void SetUp() override {
        sim::HostSetup setup = sim::default_setup();
        std::string error;
        root = std::make_unique<TempDir>();
        ASSERT_TRUE(sim::create_host(root->path(), std::move(setup), error)) << error;
        zelt::test::install_host(std::make_unique<sim::SimHost>(root->path()));
    }
    std::vector<nlohmann::json> requests(const std::string& channel) {
        std::vector<nlohmann::json> out;
        for (auto& r : sim::read_request_log(root->path()))
            if (r.value("channel", "") == channel) out.push_back(r);
        return out;
    }
    void clearRequests() { sim::clear_request_log(root->path()); }
    // Replaces the scheduled faults of the host.
    void schedule(const sim::FaultDesc& fault) {
        std::string error;
        auto session = sim::SimSession::open(root->path(), error);
        ASSERT_TRUE(session) << error;
        session->host().faults = {fault};
        session->state().fault_hits.assign(1, 0);
        session->description_changed();
        ASSERT_TRUE(session->save(error)) << error;
    }

    // The request record as the firmware-channel driver received it.
    template <class In>
    static In requestRecord(const nlohmann::json& r) {
        std::string hex = r.at("request");
        std::vector<uint8_t> bytes;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
        In in{};
        std::memcpy(&in, bytes.data(), std::min(sizeof in, bytes.size()));
        return in;
    }

    // The directory of the adapter behind `dev`, read by message.
    std::vector<zelnvm_directory_entry_t> directory(const char* dev, uint32_t bus) {
        hwrm_nvm_get_dir_info_input info_req{};
        transport::hwrmInitRequest(info_req.hdr, HWRM_NVM_GET_DIR_INFO);
        hwrm_nvm_get_dir_info_output info{};
        const transport::Function fn = at(dev, 0, bus, 0, 0);
        EXPECT_EQ(send(fn, &info_req, sizeof info_req, &info, sizeof info), 0);
        std::vector<uint8_t> buf(4096);
        hwrm_nvm_get_dir_entries_input req{};
        transport::hwrmInitRequest(req.hdr, HWRM_NVM_GET_DIR_ENTRIES);
        hwrm_nvm_get_dir_entries_output resp{};
        const transport::HwrmData data{buf.data(), static_cast<uint32_t>(buf.size()), 16, 1};
        EXPECT_EQ(send(fn, &req, sizeof req, &resp, sizeof resp, &data), 0);
        std::vector<zelnvm_directory_entry_t> entries;
        EXPECT_TRUE(zelnvmDecodeDirectory(buf, info.entries, info.entry_length, entries));
        return entries;
    }

    // Sends one framed request to `fn`.
    static int32_t send(const transport::Function& fn, void* req, uint32_t req_len, void* resp, uint32_t resp_len,
                        const transport::HwrmData* data = nullptr) {
        return transport::send_message(fn, {req, req_len, resp, resp_len, data}).code();
    }

    std::unique_ptr<TempDir> root;
};

TEST_F(SimTransport, ResolvesInterfacesOfBothAdapters) {
    const auto zen2 = transport::zeltDrvInfo(at("zen2", 0, 0, 0, 0), true);
    ASSERT_TRUE(zen2.ok());
    EXPECT_EQ(zen2->address.bus, 0x13u);
    EXPECT_EQ(zen2->driver_name, "zelt_en");
    const auto zen0 = transport::zeltDrvInfo(at("zen0", 0, 0, 0, 0), false);
    ASSERT_TRUE(zen0.ok());
    EXPECT_EQ(zen0->address.bus, 0x03u);
    EXPECT_EQ(transport::zeltDrvInfo(at("nosuch0", 0, 0, 0, 0), false).result().code(),
              HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE);
}

TEST_F(SimTransport, EraseArrivesWithTheIndexEncoding) {
    const transport::Function zen0 = named("zen0");
    clearRequests();
    (void)transport::zeltnvmEraseItem(zen0, 254);
    auto log = requests("ethtool");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0]["cmd"], ETHTOOL_SEEPROM);
    EXPECT_EQ(log[0]["magic"], 0xFFFF0EFFu);
    EXPECT_EQ(log[0]["offset"], 0x0000F100u);
    EXPECT_EQ(log[0]["len"], 1u);
    EXPECT_EQ(transport::zeltnvmEraseItem(zen0, 255).code(), HVXRETVAL_INVALID_INDEX_PARAMETER);
    EXPECT_EQ(requests("ethtool").size(), 1u);
}

TEST_F(SimTransport, ReadArrivesInPiecesAndMatchesTheFlash) {
    auto entries = directory("zen0", 0x03);
    int index = -1;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].type != 0 && entries[i].data_length >= 10000 && index < 0) index = static_cast<int>(i);
    ASSERT_GE(index, 0) << "no item of 10000 bytes in the factory content";
    clearRequests();

    std::vector<uint8_t> data(10000);
    const transport::Function zen0 = named("zen0");
    clearRequests();
    ASSERT_EQ(transport::zeltnvmGetItem(zen0, index, 0, data.data(), 10000).code(), 0);
    auto log = requests("ethtool");
    ASSERT_EQ(log.size(), 3u);
    const uint32_t lens[] = {4080, 4080, 1840};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(log[i]["len"], lens[i]);
        EXPECT_EQ(log[i]["offset"], (static_cast<uint32_t>(index + 1) << 24) + 4080u * i);
    }
    std::ifstream flash(root->path() + "/sim/adapter0.flash", std::ios::binary);
    std::vector<uint8_t> image((std::istreambuf_iterator<char>(flash)), std::istreambuf_iterator<char>());
    ASSERT_GE(image.size(), entries[index].item_location + 10000u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), image.begin() + entries[index].item_location));
}

TEST_F(SimTransport, PackageFlashArrivesWithTheInstallTypeRegion) {
    const std::string package = "not really a package";
    (void)transport::zeltnvmSecureUpdate(
        named("zen2"), {reinterpret_cast<const uint8_t*>(package.data()), package.size()}, 2);
    auto log = requests("ethtool");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back()["cmd"], ETHTOOL_FLASHDEV);
    EXPECT_EQ(log.back()["region"], 0x00020000u);
    EXPECT_EQ(log.back()["file"], "hvxupdate.pkg");
    // The staging file is removed once the flash has returned; only the recovery
    // images' directory stays.
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(root->path() + "/lib/firmware"))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"diagfw"});
}

TEST_F(SimTransport, DirectRegisterAddressByChip) {
    const struct {
        const char* dev;
        int device_type;
        uint32_t read_addr;
    } cases[] = {{"zen2", 5, 0x00001000}, {"zen0", 8, 0xCF001000}};
    for (const auto& c : cases) {
        clearRequests();
        uint32_t value = 0;
        (void)zelt_read_direct_reg(named(c.dev), 0x4F001000, &value, c.device_type);
        auto log = requests("lfc");
        ASSERT_EQ(log.size(), 1u) << c.dev;
        auto req = requestRecord<hwrm_dbg_read_direct_input>(log[0]);
        EXPECT_EQ(req.hdr.req_type, HWRM_DBG_READ_DIRECT);
        EXPECT_EQ(req.read_addr, c.read_addr) << c.dev;
        EXPECT_EQ(req.read_len32, 1u);
        EXPECT_EQ(log[0]["dma"][0]["length"], 4);
    }
}

TEST_F(SimTransport, QueriesAnswerFromTheSimulatedFirmware) {
    char pkg[64] = "";
    ASSERT_EQ(zeltnvm_linux_GetInstalledPackageVersion(named("zen0"), pkg, sizeof pkg).code(), 0);
    const auto from_driver = transport::zeltnvmGetInstalledPackageVersion(named("zen0"));
    ASSERT_TRUE(from_driver.ok());
    EXPECT_EQ(pkg, *from_driver);
    uint8_t mac[6] = {};
    ASSERT_EQ(zelt_nvm_get_permanent_mac(at("zen0", 0, 0x03, 0, 0), mac).code(), 0);
    EXPECT_NE(mac[0] | mac[1] | mac[2] | mac[3] | mac[4] | mac[5], 0);
    auto log = requests("lfc");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back()["target_id"], 0xFFFF);
    EXPECT_EQ(log.back()["timeout"], 12000);
}

// Every row of the error mapping, driven by faults scheduled on the simulated firmware.
TEST_F(SimTransport, ScheduledFaultsMapToResults) {
    const struct {
        const char* kind;
        uint16_t req_type;
        uint16_t error_code;
        uint8_t cmd_err;
        int err_no;
        int32_t expected;
    } cases[] = {
        {"hwrm_error", HWRM_NVM_GET_VARIABLE, 2, 1, 0, 0xFFFF},
        {"hwrm_error", HWRM_NVM_SET_VARIABLE, 2, 1, 0, 0xFFFF},
        {"hwrm_error", HWRM_NVM_INSTALL_UPDATE, 2, 1, 0, -153},
        {"hwrm_error", HWRM_NVM_INSTALL_UPDATE, 2, 2, 0, -152},
        {"hwrm_error", HWRM_NVM_INSTALL_UPDATE, 2, 3, 0, -151},
        {"hwrm_error", HWRM_NVM_INSTALL_UPDATE, 2, 4, 0, -155},
        {"hwrm_error", HWRM_NVM_MODIFY, 2, 5, 0, -154},
        {"hwrm_error", HWRM_NVM_WRITE, 2, 1, 0, -157},
        {"hwrm_error", HWRM_NVM_WRITE, 2, 2, 0, -158},
        {"hwrm_error", HWRM_FUNC_QCFG, 2, 6, 0, 6},
        {"hwrm_error", HWRM_FUNC_QCFG, 3, 0, 0, 3},
        {"lfc_errno", HWRM_FUNC_QCFG, 0, 0, EACCES, EACCES},
        {"busy", HWRM_FUNC_QCFG, 0, 0, 0, EBUSY},
    };
    for (const auto& c : cases) {
        sim::FaultDesc fault;
        fault.kind = c.kind;
        fault.req_type = c.req_type;
        fault.error_code = c.error_code;
        fault.cmd_err = c.cmd_err;
        fault.err_no = c.err_no;
        schedule(fault);
        // A request of the message's number with room for any of the records.
        uint8_t req[64] = {};
        transport::hwrmInitRequest(*reinterpret_cast<hwrm_input_header*>(req), c.req_type);
        uint8_t resp[16] = {};
        EXPECT_EQ(send(at("zen2", 0, 0x13, 0, 0), req, 56, resp, sizeof resp), c.expected)
            << c.kind << " " << std::hex << c.req_type << " cmd_err " << int(c.cmd_err);
    }
}

TEST_F(SimTransport, HostFactsComeFromUname) {
    uint32_t major = 0, minor = 0;
    char name[8];
    ASSERT_EQ(transport::zeltnvm_get_os_information(zelt::test::current_host(), &major, &minor, name).code(), 0);
    EXPECT_EQ(major, 61u);  // "6.1.0-sim"
    EXPECT_EQ(minor, 0u);
}

}  // namespace
}  // namespace zelt::test
