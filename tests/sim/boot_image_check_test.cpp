// The firmware's boot-time check of the NVM boot image and the record it keeps of the
// image it last verified in full: the record spares the signature check only for the
// very image it describes, so an image damaged or replaced after it was verified (by
// an installation or an earlier boot) is still refused at the next reset.
//
// The default simulated host has adapter1 (zen2, zen3: device type 5).
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <nlohmann/json.hpp>
#include <vector>

#include "common/directory_types.h"
#include "pkgbuild/pkgbuild.h"
#include "sim/firmware/image_check.h"
#include "sim/firmware/reset.h"
#include "sim/firmware/staged_package.h"
#include "sim/flash/flash_model.h"
#include "sim/state/sim_store.h"
#include "test_signing_key/test_signing_key.h"
#include "tests/support/simulated_host.h"

namespace zelt::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes signed_boot_image(uint32_t body_bytes = 64u << 10) {
    Bytes image;
    EXPECT_EQ(pkgbuild::firmware_image(ZEL_DIR_TYPE_BOOTCODE, {224, 0, 150, 0}, "224.0.150.0", body_bytes,
                                       pkgbuild::test_signing_key(), &image),
              0);
    return image;
}

// `image` with a byte of its signed body changed and its CRC field made to agree:
// every CRC checks out, only the signature finds the change. The CRC-32 of such an
// image whole is the same as that of the image it was made from.
Bytes with_bad_signature(Bytes image) {
    image[image.size() / 2] ^= 0x01;
    const uint32_t head = firmware_crc32(std::span<const uint8_t>(image).first(image.size() - 4));
    std::memcpy(image.data() + image.size() - 4, &head, sizeof head);
    return image;
}

// Changes one byte of the flash where it lies.
void flip_byte(FlashModel& flash, uint32_t offset) {
    const uint8_t b = static_cast<uint8_t>(flash.bytes()[offset] ^ 0x01);
    ASSERT_EQ(flash.raw_write(offset, {&b, 1}), FlashStatus::ok);
}

// The record of `flash`'s boot image as though it had been verified in full.
VerifiedBootImage record_of(const FlashModel& flash) {
    const auto index = static_cast<uint32_t>(flash.find(ZEL_DIR_TYPE_BOOTCODE, 0, 0));
    const zelnvm_directory_entry_t e = flash.entry(index);
    const ImageCrcs crcs = firmware_image_crcs(flash.view(index, 0, e.data_length));
    return VerifiedBootImage{true, e.item_location, e.data_length, e.data_chksum, e.attr, crcs.head, crcs.whole};
}

class BootImageRecord : public ::testing::Test {
protected:
    Bytes bytes = Bytes(8u << 20, 0xFF);
    FlashModel flash{bytes};
    void SetUp() override { flash.format(); }

    void write_boot(const Bytes& image) {
        uint32_t index;
        ASSERT_EQ(flash.write(ZEL_DIR_TYPE_BOOTCODE, 0, 0, 0, image, 0, index), FlashStatus::ok);
    }
};

TEST_F(BootImageRecord, VerifiedImageChangedAfterwardsIsCheckedAgain) {
    const Bytes good = signed_boot_image();
    struct Case {
        const char* name;
        std::function<void(FlashModel&, uint32_t location)> change;
        bool boots;
    };
    const Case cases[] = {
        {"unchanged", [](FlashModel&, uint32_t) {}, true},
        {"a byte of the image flipped", [](FlashModel& f, uint32_t at) { flip_byte(f, at + 100); }, false},
        {"a run of the image erased", [](FlashModel& f, uint32_t at) { ASSERT_EQ(f.raw_fill(at + 4096, 256, 0xFF), FlashStatus::ok); },
         false},
        {"rewritten in place with CRCs that agree and a signature that does not",
         [&](FlashModel& f, uint32_t at) { ASSERT_EQ(f.raw_write(at, with_bad_signature(good)), FlashStatus::ok); },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        write_boot(good);
        VerifiedBootImage record;
        ASSERT_TRUE(nvm_boot_image_verifies(flash, record));
        ASSERT_TRUE(record.valid);
        EXPECT_EQ(record, record_of(flash));
        c.change(flash, record.location);
        EXPECT_EQ(nvm_boot_image_verifies(flash, record), c.boots);
        // The firmware's answer without any record is the same.
        EXPECT_EQ(nvm_boot_image_verifies(flash), c.boots);
    }
}

TEST_F(BootImageRecord, RecordStandsOnlyForTheImageItDescribes) {
    // The flash holds an image whose signature does not verify; a record describing it
    // exactly is taken at its word (as the firmware would for an image it verified),
    // any record that differs in one field gets the image checked in full. The image is
    // large enough for its CRCs to be taken in pieces.
    write_boot(with_bad_signature(signed_boot_image(3u << 20)));
    const VerifiedBootImage exact = record_of(flash);
    struct Case {
        const char* name;
        std::function<void(VerifiedBootImage&)> edit;
        bool boots;
    };
    const Case cases[] = {
        {"the record of this image", [](VerifiedBootImage&) {}, true},
        {"no record", [](VerifiedBootImage& r) { r = VerifiedBootImage{}; }, false},
        {"the same CRCs at another location", [](VerifiedBootImage& r) { r.location += FlashModel::kBlock; }, false},
        {"another data length", [](VerifiedBootImage& r) { r.data_length -= 4; }, false},
        {"another entry checksum", [](VerifiedBootImage& r) { r.entry_checksum ^= 1; }, false},
        {"other attributes", [](VerifiedBootImage& r) { r.attr ^= 1; }, false},
        {"another CRC of the bytes before the last 4", [](VerifiedBootImage& r) { r.head_crc ^= 1; }, false},
        {"another CRC of the whole image", [](VerifiedBootImage& r) { r.crc ^= 1; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VerifiedBootImage record = exact;
        c.edit(record);
        EXPECT_EQ(nvm_boot_image_verifies(flash, record), c.boots);
    }
}

TEST(BootImageRecordState, RoundTripsAndIsWrittenOnlyOnceTaken) {
    RuntimeState state;
    state.adapters["a"] = AdapterState{};
    EXPECT_FALSE(to_json(state)["adapters"]["a"].contains("verified_boot"));
    state.adapters["a"].verified_boot = VerifiedBootImage{true, 0x3000, 1u << 20, 0x2144DF1C, 2, 0x12345678, 0x9ABCDEF0};
    RuntimeState back;
    std::string error;
    ASSERT_TRUE(state_from_json(to_json(state), back, error)) << error;
    EXPECT_EQ(back, state);
    // A record that does not read whole is dropped: the next boot checks in full.
    nlohmann::json j = to_json(state);
    j["adapters"]["a"]["verified_boot"].erase("head_crc");
    ASSERT_TRUE(state_from_json(j, back, error)) << error;
    EXPECT_FALSE(back.adapters["a"].verified_boot.valid);
}

// An installation notes the boot image it verified and wrote; damage done to it before
// the reset still keeps the firmware from booting.
TEST(BootImageRecordHost, DamageAfterAVerifiedInstallIsFoundAtTheReset) {
    struct Case {
        const char* name;
        bool damage;
    };
    for (const Case& c : {Case{"untouched", false}, Case{"a byte flipped after the install", true}}) {
        SCOPED_TRACE(c.name);
        test::SimulatedHost host;
        Bytes package;
        ASSERT_EQ(pkgbuild::build_example_package(pkgbuild::kExamplePackageVersion, pkgbuild::test_signing_key(),
                                                  &package),
                  0);
        test::write_text_file(host.work_file("new.pkg"), std::string(package.begin(), package.end()));
        test::RunResult r = host.zeltnvm({"-dev=zen2", "-y", "install", "new.pkg"});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        {
            std::string error;
            auto session = SimSession::open(host.root(), error);
            ASSERT_TRUE(session) << error;
            FlashModel flash(session->flash("adapter1"));
            const VerifiedBootImage noted = session->adapter_state("adapter1").verified_boot;
            ASSERT_TRUE(noted.valid);
            EXPECT_EQ(noted, record_of(flash));
            if (c.damage) flip_byte(flash, noted.location + noted.data_length / 2);
        }
        host.zeltnvm({"-dev=zen2", "reset"});
        std::string error;
        auto session = SimSession::open(host.root(), error);
        ASSERT_TRUE(session) << error;
        EXPECT_EQ(session->adapter_state("adapter1").chip.boot, c.damage ? FirmwareBoot::nvm_failed : FirmwareBoot::nvm);
    }
}

uint32_t u32_at(const Bytes& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

void put_u32_at(Bytes& b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, sizeof v); }

// A twin is made from a backup by its checksums alone; the signature of its boot image
// is judged by the twin's firmware, which refuses at the first reset an image whose
// signature fails though every CRC agrees.
TEST(BootImageRecordHost, TwinJudgesTheBootImageSignatureOfItsBackupAtTheReset) {
    test::SimulatedHost original;
    test::RunResult r = original.zeltnvm({"-dev=zen2", "backup=backup.pkg"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string text = test::read_text_file(original.work_file("backup.pkg"));
    Bytes backup(text.begin(), text.end());

    StagedPackage read;
    int bad = -2;
    ASSERT_TRUE(check_staged_package(backup, read, bad));
    const uint32_t manifest = u32_at(backup, 8);
    const size_t first_record = manifest + u32_at(backup, manifest + 4);
    const size_t stride = u32_at(backup, manifest + 12) + u32_at(backup, manifest + 16);
    size_t boot = read.records.size();
    for (size_t i = 0; i < read.records.size(); ++i)
        if (read.records[i].entry.type == ZEL_DIR_TYPE_BOOTCODE && read.records[i].entry.ordinal == 0) boot = i;
    ASSERT_LT(boot, read.records.size());
    const zelnvm_directory_entry_t e = read.records[boot].entry;
    // A byte of the signature changed; the image's CRC, the record's data checksum and
    // the package CRC made to agree.
    backup[e.item_location + e.data_length - 100] ^= 0x01;
    const std::span<const uint8_t> image(backup.data() + e.item_location, e.data_length);
    put_u32_at(backup, e.item_location + e.data_length - 4, firmware_crc32(image.first(image.size() - 4)));
    put_u32_at(backup, first_record + boot * stride + u32_at(backup, manifest + 12) + 20, firmware_crc32(image));
    const uint32_t trailer = u32_at(backup, 4);
    put_u32_at(backup, backup.size() - 4,
               firmware_crc32(std::span<const uint8_t>(backup).first(backup.size() - trailer)));
    ASSERT_FALSE(check_staged_package(backup, read, bad));
    ASSERT_TRUE(check_staged_package(backup, read, bad, ItemChecks::without_signatures));
    test::write_text_file(original.work_file("resigned.pkg"), std::string(backup.begin(), backup.end()));

    test::SimulatedHost twin(test::SimulatedHost::FromBackup{original.work_file("resigned.pkg"), ""});
    twin.zeltnvm({"-dev=zen0", "reset"});
    std::string error;
    auto session = SimSession::open(twin.root(), error);
    ASSERT_TRUE(session) << error;
    EXPECT_EQ(session->adapter_state("adapter0").chip.boot, FirmwareBoot::nvm_failed);
}

}  // namespace
}  // namespace zelt::sim
