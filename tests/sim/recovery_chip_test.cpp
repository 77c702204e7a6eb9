// The simulated chip's recovery side, driven register by register from the host the way
// a recovery does it: register protection of both families, the older families'
// single-image fastboot, the Kestra boot ROM (CRID query, SBI, cookie), the primate
// reset, and an adapter bricked by a damaged NVM boot image.
#include <gtest/gtest.h>
#include <net/if.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "common/directory_types.h"
#include "formats/image/image_records.h"
#include "formats/image/secure_boot_identity.h"
#include "pkgbuild/pkgbuild.h"
#include "sim/chip/recovery_chip.h"
#include "sim/create/recovery_images.h"
#include "sim/flash/flash_model.h"
#include "sim/state/sim_store.h"
#include "test_signing_key/test_signing_key.h"
#include "tests/sim/sim_test_support.h"
#include "wire/fastboot_registers.h"
#include "wire/ethtool_nvm.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "wire/pci_mailbox_registers.h"

namespace zelt::sim::test {
namespace {

namespace bar = wire::bar;
namespace fb = wire::fastboot;

constexpr const char* kKestraBar = "/sys/bus/pci/devices/0000:03:00.0/resource0";
constexpr const char* kOlderBar = "/sys/bus/pci/devices/0000:13:00.0/resource0";
constexpr uint16_t kCrid = image::kSimulatedSecureBootIdentity.crid;

// Register access through a mapped BAR0 window, as the tool reaches chip registers.
class Registers {
public:
    explicit Registers(host::RegisterWindow& w) : w_(w) {}
    uint32_t get(uint32_t address) {
        w_.write32(bar::kWindowRegister, bar::window_base(address));
        return w_.read32(bar::window_offset(address));
    }
    void set(uint32_t address, uint32_t value) {
        w_.write32(bar::kWindowRegister, bar::window_base(address));
        w_.write32(bar::window_offset(address), value);
    }
    // Writes `bytes` word after word from `address`, the last partial word padded with
    // zeros; `trailer` zero words follow.
    void load(uint32_t address, const std::vector<uint8_t>& bytes, unsigned trailer = 0) {
        for (size_t at = 0; at < bytes.size(); at += 4) {
            uint32_t word = 0;
            std::memcpy(&word, bytes.data() + at, std::min<size_t>(4, bytes.size() - at));
            set(address + static_cast<uint32_t>(at), word);
        }
        const uint32_t end = address + static_cast<uint32_t>((bytes.size() + 3) / 4 * 4);
        for (unsigned i = 0; i < trailer; ++i) set(end + 4 * i, 0);
    }
    // Primate reset: the reset bit must clear within a few reads.
    bool primate_reset() {
        set(fb::kSoftReset0, fb::kSoftResetPrimate);
        for (int i = 0; i < 3; ++i)
            if (!(get(fb::kSoftReset0) & fb::kSoftResetPrimate)) return true;
        return false;
    }

private:
    host::RegisterWindow& w_;
};

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A default host of its own, with the steps of a recovery.
class RecoveryHost : public SimHostFixture {
public:
    RecoveryHost() { create(); }

    void brick(const char* adapter) { ASSERT_EQ(run_zeltsim({"fault", root(), "brick", "--adapter", adapter}), 0); }

    RecoveryChipState chip(const std::string& adapter) {
        std::string error;
        auto session = SimSession::open(root(), error);
        EXPECT_TRUE(session) << error;
        return session ? session->adapter_state(adapter).chip : RecoveryChipState{};
    }

    uint32_t kestra_health() {
        host::PciFunction kestra{0, 0x03, 0, 0};
        uint16_t select = bar::kHealthDirectWindow;
        uint32_t health = 0;
        EXPECT_TRUE(host().write_pci_config(kestra, bar::kConfigSelect, &select, 2));
        EXPECT_TRUE(host().read_pci_config(kestra, bar::kConfigData, &health, 4));
        return health & 0xFFFF;
    }

    HwrmReply ver_get_older() {
        return send_older<hwrm_ver_get_input, hwrm_ver_get_output>(zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET));
    }

    // The older family's fastboot of `image` on the bricked Lumo adapter; CHIMP's state
    // in bpe_stat afterwards.
    uint32_t older_fastboot(const std::vector<uint8_t>& image) {
        auto w = host().map_registers(kOlderBar, 0);
        EXPECT_TRUE(w);
        if (!w) return 0;
        Registers r(*w);
        if (r.get(fb::kGrcProtRuleSetAddr) == fb::kProtectionDeadWord) r.set(fb::kChimpCpmuCntl1, fb::kCpmuUnlockValue);
        r.set(fb::kApeHalt, fb::kApeHaltValue);
        r.set(fb::kChimpBpeMode, fb::kBpeModeHalt);
        r.set(fb::kSoftReset0, fb::kSoftResetKongHalt);
        r.set(fb::kApeHalt, fb::kApeHaltValue);
        r.set(fb::kChimpFastbootPtr, fb::kFastbootPtrBeforeLoad);
        r.load(fb::kOlderImageLoadAddress, image, fb::kImageTrailerWords);
        r.set(fb::kStickyBytePor, r.get(fb::kStickyBytePor) | fb::kStickyPorLoading);
        r.set(fb::kStickyBytePerst, r.get(fb::kStickyBytePerst) | fb::kStickyPerstLoading);
        r.set(fb::kChimpBpeMode, fb::kBpeModeFastboot);
        return fb::bpe_stat_state(r.get(fb::kChimpBpeStat));
    }
};

class RecoveryChipHostTest : public ::testing::Test, public RecoveryHost {};

TEST_F(RecoveryChipHostTest, OlderFamilyStartsOnlyAnImageThatVerifies) {
    const std::vector<uint8_t> good = read_file(root() + fb::kRecoveryImageTypes4And5);
    ASSERT_GT(good.size(), 1024u);
    struct Case {
        const char* name;
        std::vector<uint8_t> image;
        bool runs;
    };
    std::vector<uint8_t> corrupt = good, truncated = good, padded = good;
    corrupt[good.size() / 2] ^= 0x01;
    truncated.resize(good.size() - 100);
    padded.resize(good.size() - 1);  // a last partial word: the chip reads a zero in its place
    const Case cases[] = {
        {"valid", good, true},
        {"corrupt", corrupt, false},
        {"truncated", truncated, false},
        {"last word short", padded, false},
        {"missing", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryHost h;
        h.brick("adapter1");
        EXPECT_NE(h.ver_get_older().rc, 0);
        const uint32_t state = h.older_fastboot(c.image);
        EXPECT_EQ(state == fb::kBpeStatRunning, c.runs) << state;
        EXPECT_EQ(h.chip("adapter1").boot, c.runs ? FirmwareBoot::recovery : FirmwareBoot::nvm_failed);
        // A running recovery image answers messages; without one nothing does.
        EXPECT_EQ(h.ver_get_older().rc == 0, c.runs);
    }
}

TEST_F(RecoveryChipHostTest, RecoveryImageLastsUntilTheChipResets) {
    const std::vector<uint8_t> image = read_file(root() + fb::kRecoveryImageTypes4And5);
    struct Case {
        const char* name;
        uint8_t proc_type;  // of the reset message
        bool repair;        // the NVM boot image was written again before the reset
        FirmwareBoot after;
    };
    const Case cases[] = {
        {"warm reset keeps the recovery image", 0, false, FirmwareBoot::recovery},
        {"chip reset, NVM still broken", 6, false, FirmwareBoot::nvm_failed},
        {"chip reset, NVM repaired", 6, true, FirmwareBoot::nvm},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryHost h;
        h.brick("adapter1");
        ASSERT_EQ(h.older_fastboot(image), fb::kBpeStatRunning);
        if (c.repair) {
            std::string error;
            auto session = SimSession::open(h.root(), error);
            ASSERT_TRUE(session) << error;
            FlashModel flash(session->flash("adapter1"));
            std::vector<uint8_t> boot;
            ASSERT_EQ(pkgbuild::firmware_image(ZEL_DIR_TYPE_BOOTCODE, {224, 0, 150, 0}, "224.0.150.0", 64u << 10,
                                               pkgbuild::test_signing_key(), &boot),
                      0);
            uint32_t index;
            ASSERT_EQ(flash.write(ZEL_DIR_TYPE_BOOTCODE, 0, 0, 0, boot, 0, index), FlashStatus::ok);
        }
        auto reset = zeroed_request<hwrm_fw_reset_input>(HWRM_FW_RESET);
        reset.embedded_proc_type = c.proc_type;
        EXPECT_EQ((h.send_older<hwrm_fw_reset_input, hwrm_fw_reset_output>(reset).rc), 0);
        EXPECT_EQ(h.chip("adapter1").boot, c.after);
    }
}

TEST(RecoveryChipNvm, RecoveryImageStartsAnErasedNvmAfresh) {
    // Under a recovery image an erased NVM gets an empty directory that a package can be
    // written into; the NVM firmware leaves an erased NVM as it is.
    for (bool recovery : {true, false}) {
        SCOPED_TRACE(recovery ? "under the recovery image" : "under the NVM firmware");
        RecoveryHost h;
        if (recovery) {
            h.brick("adapter1");
            ASSERT_EQ(h.older_fastboot(read_file(h.root() + fb::kRecoveryImageTypes4And5)), fb::kBpeStatRunning);
        }
        auto directory = [&](bool erase) {
            std::string error;
            auto session = SimSession::open(h.root(), error);
            EXPECT_TRUE(session) << error;
            if (!session) return false;
            FlashModel flash(session->flash("adapter1"));
            // The start of the NVM, directory included, as a complete re-flash erases it.
            if (erase) {
                EXPECT_EQ(flash.raw_fill(0, 0x3000, 0xFF), FlashStatus::ok);
            }
            return flash.has_directory();
        };
        ASSERT_FALSE(directory(true));
        const HwrmReply info = h.send_older<hwrm_nvm_get_dir_info_input, hwrm_nvm_get_dir_info_output>(
            zeroed_request<hwrm_nvm_get_dir_info_input>(HWRM_NVM_GET_DIR_INFO));
        EXPECT_EQ(info.rc, 0);
        EXPECT_EQ(info.as<hwrm_nvm_get_dir_info_output>().entries, 0u);
        EXPECT_EQ(directory(false), recovery);
    }
}

// Register protection, unit by unit: what a booted firmware locks, what a chip whose
// firmware never ran shows, and which writes open it.
class ChipBoot : public RecoveryChipHost {
public:
    void boot_from_nvm(RecoveryChipState& chip) override { chip_boot_from_nvm(chip, type, true); }
    uint16_t type = 0;
};

TEST(RecoveryChipProtection, UnlockRulesOfEachFamily) {
    using Writes = std::vector<fb::RegisterWrite>;
    const Writes older_unlock = {{fb::kGrcProtRuleSetAddr, 0},
                                 {fb::kGrcProtRuleMaskAddr, fb::kUnlockedMaskAddr},
                                 {fb::kGrcProtRuleSetCtrl, 0},
                                 {fb::kGrcProtRuleMaskCtrl, fb::kUnlockedMaskCtrl}};
    Writes type6_unlock = older_unlock;
    type6_unlock.back().value = fb::kUnlockedMaskCtrlType6;
    const Writes kestra_unlock(std::begin(fb::kKestraUnlockWrites), std::end(fb::kKestraUnlockWrites));
    struct Case {
        const char* name;
        uint16_t type;
        bool booted;       // the firmware booted from the NVM and locked the rules
        bool privileged;   // the writes come from the running firmware
        Writes writes;
        bool dead_word;    // the first rule reads 0xDEADDEAD before the writes
        bool locked_after;
    };
    const Case cases[] = {
        {"older, booted, unlocked through its firmware", 5, true, true, older_unlock, false, false},
        {"older, booted, host cannot unlock it", 5, true, false, older_unlock, false, true},
        {"type 6 needs the wider mask", 6, true, true, older_unlock, false, true},
        {"type 6 with its mask", 6, true, true, type6_unlock, false, false},
        {"older, never booted: dead word, open", 4, false, false, {}, true, false},
        {"type 6, never booted: open at once", 6, false, false, {}, false, false},
        {"Kestra, booted, unlocked through its firmware", 8, true, true, kestra_unlock, false, false},
        {"Kestra, booted, host cannot unlock it", 8, true, false, kestra_unlock, false, true},
        {"Kestra, never booted: open", 8, false, false, {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryChipState state;
        ChipBoot boot;
        boot.type = c.type;
        chip_boot_from_nvm(state, c.type, c.booted);
        RecoveryChip chip({c.type, kCrid, 0}, state, boot);
        const uint32_t first = c.type > 7 ? fb::kGrcProtRuleAllowSetAddr : fb::kGrcProtRuleSetAddr;
        bool changed;
        EXPECT_EQ(chip.read(first, changed) == fb::kProtectionDeadWord, c.dead_word);
        if (c.dead_word) {
            chip.write(fb::kChimpCpmuCntl1, fb::kCpmuUnlockValue, false);
            EXPECT_NE(chip.read(first, changed), fb::kProtectionDeadWord);
        }
        for (const fb::RegisterWrite& w : c.writes) chip.write(w.address, w.value, c.privileged);
        EXPECT_EQ(chip.protection_locked(), c.locked_after);
        // Protection decides whether the host halts a processor.
        const uint32_t halt = c.type > 7 ? fb::kPrimateFastbootMode : fb::kApeHalt;
        chip.write(halt, 2, false);
        EXPECT_EQ(chip.read(halt, changed) == 2, !c.locked_after);
    }
}

TEST_F(RecoveryChipHostTest, PrimateResetAndCridQuery) {
    brick("adapter0");
    auto w = host().map_registers(kKestraBar, 0);
    ASSERT_TRUE(w);
    Registers r(*w);
    struct Case {
        const char* name;
        bool record;  // the boot record is written before the reset
        uint32_t crid;
    };
    const Case cases[] = {{"without boot record", false, 0}, {"with boot record", true, kCrid}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        r.set(fb::kPrimateFastbootPtr, 0);
        r.set(fb::kPrimateFastbootMode, fb::kFastbootModeArm);
        ASSERT_TRUE(r.primate_reset());
        EXPECT_TRUE(r.get(fb::kPrimateRombootProgress) & fb::kRombootSramOpen);
        if (c.record)
            for (uint32_t i = 0; i < std::size(fb::kBootRecordWords); ++i)
                r.set(fb::kKestraLoadWindow + 4 * i, fb::kBootRecordWords[i]);
        r.set(fb::kPrimateFastbootPtr, fb::kKestraLoadPointer);
        r.set(fb::kPrimateFastbootMode, fb::kFastbootModeArm);
        ASSERT_TRUE(r.primate_reset());
        EXPECT_EQ(r.get(fb::kRpbCridAddress) & 0xFFFF, c.crid);
    }
    EXPECT_EQ(kestra_health(), fb::kHealthReadyForDownload);
}

TEST_F(RecoveryChipHostTest, MultiStageFastbootComesUpOnlyWhenEveryImageVerifies) {
    std::string path;
    std::vector<uint8_t> good;
    HostSetup setup = default_setup();
    ASSERT_EQ(recovery_image_file(setup.host.adapters[0], path, good), 0);
    EXPECT_EQ(read_file(root() + path), good);
    fb::fastboot_header h;
    std::memcpy(&h, good.data(), sizeof h);
    ASSERT_EQ(fb::header_image_count(h.num_images_rev), 2u);
    const fb::image_info sbi = h.images[0], firmware = h.images[1];
    ASSERT_TRUE(sbi.flags & fb::kImageFlagSbi);

    struct Case {
        const char* name;
        size_t flip;  // byte of the file changed (0: none)
        uint32_t after_sbi, after_cookie;
    };
    const Case cases[] = {
        {"valid", 0, fb::kHealthSbiReady, fb::kHealthOperational},
        {"firmware image corrupt", firmware.file_offset + firmware.length / 2, fb::kHealthSbiReady,
         fb::kHealthSbiReady},
        {"SBI of another CRID", sbi.file_offset + SBI_HEADER_OFFSET_IN_SBI +
                                    offsetof(AuthenticatedBootImageHeader_t, sbi.CustomerRevisionID),
         fb::kHealthReadyForDownload, fb::kHealthReadyForDownload},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecoveryHost host_of_case;
        host_of_case.brick("adapter0");
        std::vector<uint8_t> file = good;
        if (c.flip) file[c.flip] ^= 0x5A;
        auto image = [&](const fb::image_info& info) {
            return std::vector<uint8_t>(file.begin() + info.file_offset, file.begin() + info.file_offset + info.length);
        };
        RecoveryHost& hc = host_of_case;
        auto w = hc.host().map_registers(kKestraBar, 0);
        ASSERT_TRUE(w);
        Registers r(*w);
        r.set(fb::kPrimateFastbootMode, fb::kFastbootModeArm);
        r.set(fb::kPrimateFastbootPtr, 0);
        ASSERT_TRUE(r.primate_reset());
        EXPECT_EQ(hc.kestra_health(), fb::kHealthReadyForDownload);
        r.load(fb::sram_host_address(sbi.sram_address), image(sbi));
        r.set(fb::kPrimateFastbootMode, fb::kFastbootModeArm);
        r.set(fb::kPrimateFastbootPtr, sbi.sram_address);
        ASSERT_TRUE(r.primate_reset());
        EXPECT_EQ(hc.kestra_health(), c.after_sbi);
        r.load(fb::sram_host_address(firmware.sram_address), image(firmware));
        r.set(fb::sram_host_address(h.cookie_addr), fb::kFirmwareCookie);
        EXPECT_EQ(hc.kestra_health(), c.after_cookie);
        EXPECT_EQ(hc.chip("adapter0").boot == FirmwareBoot::recovery, c.after_cookie == fb::kHealthOperational);
    }
}

TEST_F(RecoveryChipHostTest, ClearingTheFastbootStateLetsTheNvmBoot) {
    // A Kestra adapter brought up by its recovery image, whose NVM verifies again.
    std::string path;
    std::vector<uint8_t> file;
    ASSERT_EQ(recovery_image_file(default_setup().host.adapters[0], path, file), 0);
    fb::fastboot_header h;
    std::memcpy(&h, file.data(), sizeof h);
    auto w = host().map_registers(kKestraBar, 0);
    ASSERT_TRUE(w);
    Registers r(*w);
    // Healthy: the firmware locked the protection, so the host's own writes are dropped.
    r.set(fb::kPrimateFastbootMode, fb::kFastbootModeArm);
    EXPECT_EQ(r.get(fb::kPrimateFastbootMode), 0u);
    w.reset();
    brick("adapter0");
    w = host().map_registers(kKestraBar, 0);
    ASSERT_TRUE(w);
    Registers b(*w);
    for (unsigned i = 0; i < 2; ++i) {
        const fb::image_info& info = h.images[i];
        b.set(fb::kPrimateFastbootMode, fb::kFastbootModeArm);
        b.set(fb::kPrimateFastbootPtr, i == 0 ? 0 : h.images[0].sram_address);
        ASSERT_TRUE(b.primate_reset());
        b.load(fb::sram_host_address(info.sram_address),
               std::vector<uint8_t>(file.begin() + info.file_offset, file.begin() + info.file_offset + info.length));
    }
    b.set(fb::sram_host_address(h.cookie_addr), fb::kFirmwareCookie);
    ASSERT_EQ(chip("adapter0").boot, FirmwareBoot::recovery);
    EXPECT_NE(b.get(fb::kPrimateSiSecPersistent + 0x28), 0u);

    struct Case {
        const char* name;
        bool clear_words;
        uint32_t health;
    };
    // Without clearing, the persistent words hold the boot ROM in its fastboot wait.
    const Case cases[] = {{"words left set", false, fb::kHealthReadyForDownload},
                          {"words cleared", true, kBootHealthDown}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        b.set(fb::kPaPmSwArb, fb::kArbRequest);
        EXPECT_TRUE(b.get(fb::kPaPmSwArb) & fb::kArbGranted);
        b.set(fb::kSoftReset0, fb::kSoftResetAll);
        b.set(fb::kPaPmSwArb, fb::kArbRelease);
        if (c.clear_words)
            for (uint32_t off = 0; off < 0x40; off += 4)
                if (off != 0x38) b.set(fb::kPrimateSiSecPersistent + off, 0);
        b.set(fb::kPrimateFastbootMode, fb::kFastbootModeOff);
        b.set(fb::kPrimateFastbootPtr, 0);
        ASSERT_TRUE(b.primate_reset());
        // The NVM is still broken, so a boot from it ends with the firmware down.
        EXPECT_EQ(kestra_health(), c.health);
    }
}

TEST_F(RecoveryChipHostTest, BrickedAdapterIsSilentOnEveryRoadAndStillListed) {
    brick("adapter1");
    // Firmware channel: the driver waits the message out.
    HwrmReply lfc = ver_get_older();
    EXPECT_EQ(lfc.rc, -1);
    EXPECT_EQ(lfc.err, ETIMEDOUT);
    // BAR0: the health register is not operational and the mailbox never answers.
    {
        auto w = host().map_registers(kOlderBar, 0);
        ASSERT_TRUE(w);
        Registers r(*w);
        EXPECT_FALSE(bar::health_running(r.get(bar::kHealthStatus)));
        const auto ver = zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET);
        for (size_t i = 0; i + 4 <= sizeof ver; i += 4) {
            uint32_t word;
            std::memcpy(&word, reinterpret_cast<const uint8_t*>(&ver) + i, 4);
            w->write32(bar::kRequestArea + i, word);
        }
        w->write32(bar::kDoorbell, 1);
        bool answered = false;
        for (int i = 0; i < 64 && !answered; ++i) answered = r.get(bar::kMailboxCtrlOlder) & bar::kCtrlFrts;
        EXPECT_FALSE(answered);
    }
    // The Kestra adapter next to it is untouched.
    EXPECT_EQ((send_kestra<hwrm_ver_get_input, hwrm_ver_get_output>(
                   zeroed_request<hwrm_ver_get_input>(HWRM_VER_GET)))
                  .rc,
              0);

    // listdev still lists it, by its interface while the driver holds it.
    const std::string zeltnvm = ZELT_PROGRAM("zeltnvm");
    auto listdev = [&] {
        return zelt::test::run_program({"/usr/bin/env", "ZELTNVM_SIM=" + root(), zeltnvm, "listdev"});
    };
    zelt::test::RunResult listed = listdev();
    EXPECT_NE(listed.out.find("zen2"), std::string::npos) << listed.out << listed.err;
    EXPECT_NE(listed.out.find("0000:13:00.0"), std::string::npos);
    // A further reset of the chip does not bring it back: the NVM is still broken.
    EXPECT_EQ(chip("adapter1").boot, FirmwareBoot::nvm_failed);
    // The Ethernet driver's NVM read waits its request out too.
    std::vector<uint8_t> buf(sizeof(ethtool_eeprom) + 8, 0);
    const ethtool_eeprom read{ETHTOOL_GEEPROM, 0, ethtoolNvmReadOffset(0, 0), 8};
    std::memcpy(buf.data(), &read, sizeof read);
    struct ifreq ifr {};
    std::strncpy(ifr.ifr_name, "zen2", IFNAMSIZ - 1);
    ifr.ifr_data = reinterpret_cast<char*>(buf.data());
    EXPECT_NE(host().interface_ioctl(SIOCETHTOOL, &ifr), 0);
    EXPECT_EQ(errno, ETIMEDOUT);

    // After the driver lets go, by its PCI name.
    ASSERT_EQ(run_zeltsim({"fault", root(), "driver_unloaded", "--adapter", "adapter1"}), 0);
    listed = listdev();
    EXPECT_NE(listed.out.find("0000:13:00.0"), std::string::npos) << listed.out << listed.err;
}

}  // namespace
}  // namespace zelt::sim::test
