// Starting a recovery image on an in-memory chip: the register protection of both
// families, the older families' single image, the Kestra single- and multi-stage
// loads, and the clearing of the fastboot state. Waits run on the host's virtual clock.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/hvxretval.h"
#include "device/recovery/recovery.h"
#include "device/recovery/recovery_image.h"
#include "formats/fastboot/fastboot_file.h"
#include "tests/support/fake_channel.h"
#include "tests/support/fake_chip_host.h"
#include "wire/fastboot_registers.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"

using namespace zelt;
namespace wf = zelt::wire::fastboot;
using zelt::test::FakeChip;
using zelt::test::FakeChipHost;

namespace {

constexpr uint16_t kCrid = 0x0042;

class Recorder : public device::RecoveryObserver {
public:
    void say(const std::string& text, bool) override { said += text; }
    std::string said;
};

class FastbootTest : public testing::Test {
protected:
    // A function of `device_type` whose firmware does not run (its health register
    // reads 0 / the Kestra health word is 0), with no recovery image on the host.
    void make(int device_type) {
        type = device_type;
        fw_writes.clear();
        observer.said.clear();
        run = transport::MailboxRun{};
        host = std::make_unique<FakeChipHost>(test::pf_of_type(device_type));
        host->chip.regs[wire::bar::kHealthStatus] = 0;
        host->direct[0x520] = 0;
        // The hosts share one root: no image from an earlier case stays.
        for (const char* path : {wf::kRecoveryImageTypes4And5, wf::kRecoveryImageType6}) (void)host->remove_file(path);
        (void)host->remove_file(kestra_file());
        channel = std::make_shared<test::FakeChannel>(*host);
        channel->messages[HWRM_DBG_WRITE_DIRECT] = [this](const transport::Function&, const transport::Message& msg) {
            hwrm_dbg_write_direct_input req{};
            std::memcpy(&req, msg.req, std::min<size_t>(sizeof req, msg.req_len));
            fw_writes.push_back(req.write_data[0]);
            return Result();
        };
        channel->messages[HWRM_FW_RESET] = [](const transport::Function&, const transport::Message&) { return Result(); };
        channel->messages[HWRM_VER_GET] = [](const transport::Function&, const transport::Message&) { return Result(); };
        fn = transport::Function{"zelt_pci_dev:0:5e:0.0", FakeChipHost::kAddress, channel};
        // The boot processor's reset bit clears itself.
        host->chip.on_write = [this](FakeChip& chip, uint32_t address, uint32_t value) {
            if (address == wf::kSoftReset0 && (value & wf::kSoftResetPrimate) && primate_resets) {
                chip.regs[address] &= ~wf::kSoftResetPrimate;
                on_primate_reset(chip);
            }
            if (address == wf::kPaPmSwArb && value == wf::kArbRequest) chip.regs[address] |= wf::kArbGranted;
            if (address == wf::kChimpBpeMode && value == wf::kBpeModeFastboot && older_image_starts)
                chip.regs[wf::kChimpBpeStat] = wf::kBpeStatRunning << wf::kBpeStatStateShift;
            if (address == wf::kPrimateFastbootMode && value == wf::kFastbootModeGo && single_stage_starts)
                host->direct[0x520] = wf::kHealthOperational;
            if (address == cookie_address && value == wf::kFirmwareCookie && multi_stage_starts)
                host->direct[0x520] = wf::kHealthOperational;
        };
        // A chip whose firmware never ran has its register protection open.
        host->chip.regs[wf::kGrcProtRuleMaskAddr] = wf::kUnlockedMaskAddr;
        host->chip.regs[wf::kGrcProtRuleMaskCtrl] = wf::kUnlockedMaskCtrl;
        host->chip.regs[wf::kGrcProtRuleAllowMaskAddr] = wf::kUnlockedMaskAddr;
        host->chip.regs[wf::kGrcProtRuleAllowSetCtrl] = wf::kAllowCtrlUnlockedBit;
        host->chip.regs[wf::kPrimateRombootProgress] = wf::kRombootSramOpen;
        host->chip.regs[wf::kRpbCridAddress] = 0xBEEF0000u | kCrid;
    }
    // The multi-stage loader's view of the Kestra boot: the first reset opens the chip
    // for the download, the reset with the SBI's address starts the SBI.
    void on_primate_reset(FakeChip& chip) {
        if (!multi_stage_starts) return;
        const uint32_t pointer = chip.regs[wf::kPrimateFastbootPtr];
        if (pointer == 0) host->direct[0x520] = wf::kHealthReadyForDownload;
        if (pointer == sbi_address && pointer != 0) host->direct[0x520] = wf::kHealthSbiReady;
    }
    void put_file(const std::string& path, const std::vector<uint8_t>& bytes) {
        const std::string at = host->map_path(path);
        ASSERT_TRUE(host->make_directories(at.substr(0, at.rfind('/'))));
        ASSERT_TRUE(host->write_file(path, std::string(bytes.begin(), bytes.end())));
    }
    std::string kestra_file() const {
        char name[160];
        std::snprintf(name, sizeof name, wf::kRecoveryImageKestraFormat, kCrid);
        return name;
    }
    // The words written from `address` on, as many as `count`.
    std::vector<uint32_t> written_from(uint32_t address, size_t count) const {
        std::vector<uint32_t> out;
        for (size_t i = 0; i < count; ++i) {
            const auto it = host->chip.regs.find(address + static_cast<uint32_t>(4 * i));
            out.push_back(it == host->chip.regs.end() ? 0xBADBADu : it->second);
        }
        return out;
    }
    std::vector<uint32_t> values_written_to(uint32_t address) const {
        std::vector<uint32_t> out;
        for (const auto& w : host->chip.reg_writes)
            if (w.address == address) out.push_back(w.value);
        return out;
    }
    Result fastboot() {
        after = device::zeltnvm_fastboot_recovery_image(fn, type, observer, &image, &run);
        return after;
    }

    int type = 0;
    std::unique_ptr<FakeChipHost> host;
    std::shared_ptr<test::FakeChannel> channel;
    transport::Function fn;
    std::vector<uint32_t> fw_writes;  // values written through the firmware
    Recorder observer;
    transport::MailboxRun run;
    std::string image;
    Result after;
    bool primate_resets = true;
    bool older_image_starts = true;
    bool single_stage_starts = true;
    bool multi_stage_starts = true;
    uint32_t sbi_address = 0;
    uint32_t cookie_address = 0;
};

// ---- Register protection ---------------------------------------------------------------

TEST_F(FastbootTest, OlderFamilyUnlock) {
    struct Case {
        const char* what;
        int device_type;
        bool firmware_runs;
        uint32_t set_addr;                 // GRC(prot_rule_set_addr) as read
        int32_t rc;
        std::vector<uint32_t> fw_writes;   // values written through the firmware
        bool cpmu_written_directly;
    } cases[] = {
        {"locked, firmware runs", 5, true, 0x1234, 0, {0, 0xFFFFFFFCu, 0, 0xFFFF}, false},
        {"0xDEADDEAD, firmware runs", 5, true, wf::kProtectionDeadWord, 0,
         {wf::kCpmuUnlockValue, 0, 0xFFFFFFFCu, 0, 0xFFFF}, false},
        {"0xDEADDEAD, firmware down", 4, false, wf::kProtectionDeadWord, HVXRETVAL_GRCP_UNLOCKED_FAILED, {}, true},
        // Type 6 has no 0xDEADDEAD state and a wider mask control.
        {"type 6", 6, true, wf::kProtectionDeadWord, 0, {0, 0xFFFFFFFCu, 0, wf::kUnlockedMaskCtrlType6}, false},
        {"locked, firmware down", 5, false, 0x1234, HVXRETVAL_GRCP_UNLOCKED_FAILED, {}, false},
    };
    for (const Case& c : cases) {
        make(c.device_type);
        if (c.firmware_runs) host->chip.regs[wire::bar::kHealthStatus] = 0x8000;
        host->chip.regs[wf::kGrcProtRuleSetAddr] = c.set_addr;
        EXPECT_EQ(device::recovery::unlock_older(fn, c.device_type, observer).code(), c.rc) << c.what;
        EXPECT_EQ(fw_writes, c.fw_writes) << c.what;
        EXPECT_EQ(values_written_to(wf::kChimpCpmuCntl1).size(), c.cpmu_written_directly ? 1u : 0u) << c.what;
        EXPECT_EQ(host->chip.live_windows, 0) << c.what;
    }
}

TEST_F(FastbootTest, AlreadyUnlockedWritesNothing) {
    make(5);
    host->chip.regs[wf::kGrcProtRuleMaskCtrl] = 0x1FFFF;  // only the low 16 bits count
    EXPECT_TRUE(device::recovery::unlock_older(fn, 5, observer).ok());
    EXPECT_TRUE(host->chip.reg_writes.empty());
    make(8);
    host->direct[0x520] = wf::kHealthOperational;
    host->chip.regs[wf::kGrcProtRuleAllowMaskAddr] = 0xFFFFFFFFu;
    host->chip.regs[wf::kGrcProtRuleAllowSetCtrl] = 0;
    host->chip.regs[wf::kGrcProtRuleAllowMaskCtrl] = wf::kAllowCtrlUnlockedBit;
    EXPECT_TRUE(device::recovery::unlock_kestra(fn, 8, observer).ok());
    EXPECT_TRUE(host->chip.reg_writes.empty());
    EXPECT_TRUE(fw_writes.empty());
    EXPECT_NE(observer.said.find("GRCP already unlocked"), std::string::npos);
}

TEST_F(FastbootTest, KestraUnlockGoesThroughARunningFirmwareOnly) {
    make(8);
    host->chip.regs[wf::kGrcProtRuleBlockMaskAddr] = 1;
    EXPECT_EQ(device::recovery::unlock_kestra(fn, 8, observer).code(), HVXRETVAL_GRCP_UNLOCKED_FAILED);
    EXPECT_TRUE(fw_writes.empty());

    host->direct[0x520] = wf::kHealthOperational;
    EXPECT_TRUE(device::recovery::unlock_kestra(fn, 8, observer).ok());
    std::vector<uint32_t> expected;
    for (const auto& w : wf::kKestraUnlockWrites) expected.push_back(w.value);
    EXPECT_EQ(fw_writes, expected);
}

// ---- Older families ----------------------------------------------------------------

TEST_F(FastbootTest, OlderFamilyLoadsTheImageAndStartsIt) {
    make(5);
    host->chip.regs[wf::kStickyBytePor] = 0x10;
    put_file(wf::kRecoveryImageTypes4And5, {1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(fastboot().ok()) << observer.said;
    EXPECT_EQ(image, wf::kRecoveryImageTypes4And5);
    // The image, its last word padded with zeros, then three zero words.
    EXPECT_EQ(written_from(wf::kOlderImageLoadAddress, 5),
              (std::vector<uint32_t>{0x04030201u, 0x00000605u, 0, 0, 0}));
    EXPECT_EQ(values_written_to(wf::kChimpBpeMode), (std::vector<uint32_t>{2, 5}));
    EXPECT_EQ(values_written_to(wf::kApeHalt), (std::vector<uint32_t>{2, 2}));
    // The loading mark is set for the load and taken off afterwards.
    EXPECT_EQ(values_written_to(wf::kStickyBytePor), (std::vector<uint32_t>{0x14, 0x10}));
    EXPECT_TRUE(run.fastboot_running);
    EXPECT_EQ(channel->sent.back(), HWRM_FW_RESET);
    EXPECT_EQ(host->chip.live_windows, 0);
}

TEST_F(FastbootTest, OlderFamilyGivesUpAfterTwoHundredPolls) {
    make(6);
    older_image_starts = false;
    put_file(wf::kRecoveryImageType6, {1, 2, 3, 4});
    const uint64_t before = host->clock_ms;
    EXPECT_EQ(fastboot().code(), HVXRETVAL_FAILURE);
    EXPECT_EQ(host->clock_ms - before, 200u * 100u);
    EXPECT_NE(observer.said.find("time out!!"), std::string::npos);
    EXPECT_FALSE(run.fastboot_running);
    EXPECT_EQ(host->chip.live_windows, 0);
}

TEST_F(FastbootTest, MissingImageLeavesTheChipUntouched) {
    for (int device_type : {5, 6}) {
        make(device_type);
        EXPECT_EQ(fastboot().code(), HVXRETVAL_FILE_OPEN_FAILURE);
        EXPECT_TRUE(host->chip.reg_writes.empty()) << device_type;
        EXPECT_NE(observer.said.find("Failed open recovery firmware image"), std::string::npos);
    }
}

// ---- Kestra ---------------------------------------------------------------------------

TEST_F(FastbootTest, KestraFileWithoutHeaderIsLoadedInOneStage) {
    make(8);
    std::vector<uint8_t> bytes(128);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
    bytes.push_back(0xEE);  // one byte past a whole word
    put_file(kestra_file(), bytes);
    ASSERT_TRUE(fastboot().ok()) << observer.said;
    EXPECT_EQ(image, kestra_file());
    const auto words = formats::fastboot::image_words(bytes);
    EXPECT_EQ(written_from(wf::kKestraLoadWindow, words.size()), words);
    EXPECT_EQ(values_written_to(wf::kPrimateFastbootMode), (std::vector<uint32_t>{4, 4, 4, 5, 4, 5, 0}));
    EXPECT_NE(observer.said.find("CRID = 0042"), std::string::npos);
    EXPECT_TRUE(run.fastboot_running);
}

TEST_F(FastbootTest, KestraMultiStageLoadsTheSbiThenTheFirmware) {
    make(8);
    sbi_address = 0xA0100000u;
    const uint32_t fw_address = 0xA0200000u;
    std::vector<uint8_t> file(100 + 12);
    wf::fastboot_header h{};
    std::memcpy(h.signature, "CFB", 3);
    h.num_images_rev = 2u << 16 | 2;
    h.images[0] = {{'F', 'W', 0, 0}, 0, 104, 8, fw_address};
    h.images[1] = {{'S', 'B', 'I', 0}, wf::kImageFlagSbi, 100, 4, sbi_address};
    h.cookie_addr = 0xA0400000u;
    cookie_address = wf::sram_host_address(h.cookie_addr);
    std::memcpy(file.data(), &h, sizeof h);
    for (size_t i = 100; i < file.size(); ++i) file[i] = static_cast<uint8_t>(i);
    put_file(kestra_file(), file);
    ASSERT_TRUE(fastboot().ok()) << observer.said;
    EXPECT_EQ(written_from(wf::sram_host_address(sbi_address), 1), (std::vector<uint32_t>{0x67666564u}));
    EXPECT_EQ(written_from(wf::sram_host_address(fw_address), 2), (std::vector<uint32_t>{0x6B6A6968u, 0x6F6E6D6Cu}));
    EXPECT_EQ(values_written_to(cookie_address), (std::vector<uint32_t>{wf::kFirmwareCookie}));
    // The SBI is downloaded before the firmware image.
    size_t sbi_at = 0, fw_at = 0;
    for (size_t i = 0; i < host->chip.reg_writes.size(); ++i) {
        if (host->chip.reg_writes[i].address == wf::sram_host_address(sbi_address)) sbi_at = i;
        if (host->chip.reg_writes[i].address == wf::sram_host_address(fw_address)) fw_at = i;
    }
    EXPECT_LT(sbi_at, fw_at);
}

// A damaged file stops before the loader writes any register: the only writes are the
// CRID query's, the same as when there is no file at all.
TEST_F(FastbootTest, KestraDamagedHeaderWritesNothingPastTheCridQuery) {
    make(8);
    EXPECT_EQ(fastboot().code(), HVXRETVAL_FILE_OPEN_FAILURE);
    const auto crid_writes = host->chip.reg_writes.size();
    struct Case {
        uint32_t count;
        uint32_t length;  // of the one image
        int32_t rc;
    } cases[] = {
        {0, 4, HVXRETVAL_INVALID_NUM_OF_IMAGES},
        {5, 4, HVXRETVAL_INVALID_NUM_OF_IMAGES},
        {1, 400, HVXRETVAL_DOWNLOAD_SRAM_IMAGE_FAILED},  // the image runs past the file's end
    };
    for (const Case& c : cases) {
        make(8);
        std::vector<uint8_t> file(104);
        wf::fastboot_header h{};
        std::memcpy(h.signature, "CFB", 3);
        h.num_images_rev = c.count;
        h.images[0] = {{'F', 'W', 0, 0}, 0, 100, c.length, 0xA0200000u};
        std::memcpy(file.data(), &h, sizeof h);
        put_file(kestra_file(), file);
        EXPECT_EQ(fastboot().code(), c.rc) << c.count;
        EXPECT_EQ(host->chip.reg_writes.size(), crid_writes) << c.count;
    }
}

TEST_F(FastbootTest, KestraFirmwareThatNeverComesUpFails) {
    make(8);
    single_stage_starts = false;
    put_file(kestra_file(), std::vector<uint8_t>(100, 0x11));
    EXPECT_EQ(fastboot().code(), HVXRETVAL_FASTBOOT_FAILED);
    EXPECT_NE(observer.said.find("failed!!"), std::string::npos);
    EXPECT_FALSE(run.fastboot_running);
}

TEST_F(FastbootTest, PrimateResetGivesUpAfterOneSecond) {
    make(8);
    primate_resets = false;
    const uint64_t before = host->clock_ms;
    EXPECT_EQ(fastboot().code(), HVXRETVAL_REG_READ_FAILED);
    EXPECT_GE(host->clock_ms - before, 1000u);
    EXPECT_LE(host->clock_ms - before, 1010u);
    EXPECT_EQ(host->chip.live_windows, 0);
}

// ---- After the recovery --------------------------------------------------------------

TEST_F(FastbootTest, ClearingTheFastbootState) {
    make(5);
    EXPECT_TRUE(device::zeltnvm_clear_fastboot_regs(fn, 5).ok());
    EXPECT_TRUE(host->chip.reg_writes.empty());

    make(8);
    EXPECT_TRUE(device::zeltnvm_clear_fastboot_regs(fn, 8).ok());
    std::vector<uint32_t> cleared;
    for (const auto& w : host->chip.reg_writes)
        if (w.address >= wf::kPrimateSiSecPersistent && w.address < wf::kPrimateSiSecPersistent + 0x40)
            cleared.push_back(w.address - wf::kPrimateSiSecPersistent);
    EXPECT_EQ(cleared, (std::vector<uint32_t>{0x28, 0x00, 0x04, 0x08, 0x0C, 0x10, 0x14, 0x18, 0x1C, 0x20, 0x24, 0x2C,
                                              0x30, 0x34, 0x3C}));
    EXPECT_EQ(values_written_to(wf::kSoftReset0), (std::vector<uint32_t>{wf::kSoftResetAll, wf::kSoftResetPrimate}));
    EXPECT_EQ(values_written_to(wf::kPaPmSwArb), (std::vector<uint32_t>{wf::kArbRequest, wf::kArbRelease}));
}

TEST(RecoveryEntry, ForceWithoutConfigurationSectionTouchesNothing) {
    FakeChipHost host(test::pf_of_type(5));
    device::Inventory inventory;
    device::zelt_nvm_device_info_t facts{};
    facts.nic_info.driver_type = 1;  // a driver holds it
    facts.nic_info.driver_loaded = 1;
    auto& target = inventory.add(facts, transport::Function{"eth0", FakeChipHost::kAddress, nullptr});
    Recorder observer;
    device::RecoveryRequest request;
    request.force = true;
    request.cfg_section = false;
    const auto prepared = device::zeltnvm_invoke_recovery_process(host, inventory, target, request, observer);
    EXPECT_EQ(prepared.result.code(), device::kRecoveryNeedsCfgSection);
    EXPECT_FALSE(prepared.state->steps.vfs_disabled || prepared.state->steps.unbound);
    EXPECT_EQ(host.chip.maps, 0);
    EXPECT_NE(observer.said.find("does not contians the configuration section"), std::string::npos);
    EXPECT_FALSE(prepared.state->next_action.empty());
}

}  // namespace
