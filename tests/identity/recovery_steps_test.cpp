// The identity steps around a -recovery installation: what is written back before the
// package goes in, the staging item of an erased NVM, and the restore and reset after.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/install/recovery_steps.h"
#include "common/hvxretval.h"
#include "formats/vpd/vpd.h"
#include "package/package_records.h"
#include "tests/identity/identity_fixture.h"
#include "pkgbuild/pkgbuild.h"

namespace zelt::test {
namespace {

namespace pb = zelt::pkgbuild;

class RecoverySteps : public IdentityOnSimHost {
protected:
    zelt_update_row row() const {
        zelt_update_row r{};
        std::strncpy(r.name, kDev, sizeof r.name - 1);
        r.device_type = 8;
        return r;
    }
    static options recoveryOptions(bool force) {
        options o{};
        o.recovery = true;
        o.force = force;
        o.type = -1;
        return o;
    }
    // A package whose update record asks for `staging` bytes.
    static pb::Bytes package(uint32_t staging) {
        pb::ItemSpec s;
        s.type = ZEL_DIR_TYPE_UPDATE;
        s.directive = ZELPKG_ITEM_CREATE_IF_ABSENT;
        s.description = "staging";
        s.item_length = staging;
        pb::PackageSpec plan;
        plan.properties = {{ZELPKG_PROP_PKG_VERSION, pb::text_value("229.1.2.3")}};
        plan.items = {s};
        pb::Bytes out;
        std::string error;
        EXPECT_EQ(pb::build_package(plan, &out, &error), 0) << error;
        return out;
    }
    // Deletes every item of `type`, as an erased NVM would have lost them.
    void dropItems(uint16_t type) {
        withFlash([type](sim::FlashModel& f) {
            for (uint32_t i = 0; i < f.entry_count(); ++i)
                if (f.entry(i).type == type) {
                    ASSERT_EQ(f.erase_entry(i), sim::FlashStatus::ok);
                }
        });
    }
    uint32_t stagingLength() {
        uint32_t length = 0;
        withFlash([&](sim::FlashModel& f) {
            const int i = f.find(ZEL_DIR_TYPE_UPDATE, 0, 0);
            if (i >= 0) length = f.entry(static_cast<uint32_t>(i)).item_length;
        });
        return length;
    }
    uint32_t resetCount() {
        std::string error;
        auto session = sim::SimSession::open(root_->path(), error);
        EXPECT_TRUE(session) << error;
        return session ? session->adapter_state("adapter0").reset_count : 0;
    }
    static void setBar2(uint16_t size) {
        const uint8_t value[2] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)};
        ASSERT_EQ(device::identity::option_set(kDev, {104, 16, 2, 0, 2}, value, 2), 0);
    }
};

TEST_F(RecoverySteps, TwoOnboardConfigurationItemsComeBackAsOrdinalsZeroAndTwo) {
    writeItem(ZEL_DIR_TYPE_ONBOARD_CFG, 1, std::vector<uint8_t>(200, 0x33));
    const auto saved = itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 0);
    zelt_nvm_save_onboardcfg_dir(kDev);
    ASSERT_EQ(zeltnvm_saved_identity.onboard_cfg_dir_cnt, 2);
    dropItems(ZEL_DIR_TYPE_ONBOARD_CFG);

    const pb::Bytes pkg = package(8192);
    options opts = recoveryOptions(true);
    EXPECT_EQ(zeltnvm_recovery_before_install(row(), pkg.data(), static_cast<uint32_t>(pkg.size()), &opts), 0);
    EXPECT_EQ(itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 0), saved);
    EXPECT_EQ(itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 2), saved);
    EXPECT_TRUE(itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 1).empty());
    EXPECT_FALSE(zeltnvm_saved_identity.is_onboard_cfg_saved);
}

TEST_F(RecoverySteps, AnErasedNvmGetsItsStagingItemOnlyWithForce) {
    const pb::Bytes pkg = package(8192);
    const auto length = static_cast<uint32_t>(pkg.size());
    struct Case {
        bool force;
        int result;
        const char* message;
        uint32_t staging;
    } cases[] = {
        {false, HVXRETVAL_ITEM_NOT_FOUND, "\nNVM not in health state. Please use recovery with -force option.\n", 0},
        {true, 0, "", 8192},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.force ? "-force" : "without -force");
        fresh();
        zelt_nvm_save_fru_dir(kDev);
        dropItems(ZEL_DIR_TYPE_UPDATE);
        options opts = recoveryOptions(c.force);
        testing::internal::CaptureStderr();
        EXPECT_EQ(zeltnvm_recovery_before_install(row(), pkg.data(), length, &opts), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(stagingLength(), c.staging);
        EXPECT_EQ(zeltnvm_saved_identity.is_fru_saved, c.force);  // released when the command ends here
    }
}

TEST_F(RecoverySteps, AfterTheInstallIdentityIsRestoredAndAChangedBar2SizeSkipsTheReset) {
    const auto vpd = itemData(ZEL_DIR_TYPE_VPD, 0);
    struct Case {
        uint16_t bar2_after;
        uint32_t resets;
        const char* says;
    } cases[] = {
        {5, 1, "recovered successfully"},
        {6, 0, "\nPCI BAR2 size changed from 5 to 6. A system cold boot is needed for firmware update to take effect.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bar2_after);
        fresh();
        setBar2(5);
        zelt_nvm_save_identity_for_recovery(kDev, false);
        ASSERT_TRUE(zeltnvm_saved_identity.is_bar2_saved);
        // The installation replaced the VPD and the FRU.
        pb::Bytes other;
        ASSERT_EQ(pb::vpd_image("Generic", {{"SN", "GENERIC0000"}}, &other), 0);
        writeItem(ZEL_DIR_TYPE_VPD, 0, other);
        writeItem(ZEL_DIR_TYPE_FRU, 0, std::vector<uint8_t>(256, 0));
        setBar2(c.bar2_after);
        const uint32_t resets_before = resetCount();

        options opts = recoveryOptions(true);
        testing::internal::CaptureStdout();
        EXPECT_EQ(zeltnvm_recovery_after_install(row(), "pkg", &opts), 0);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find(c.says), std::string::npos) << out;
        EXPECT_EQ(resetCount() - resets_before, c.resets);
        char sn[64];
        zelt_vpd_get_field(itemData(ZEL_DIR_TYPE_VPD, 0).data(), itemData(ZEL_DIR_TYPE_VPD, 0).size(), "SN", sn,
                           sizeof sn);
        char sn_before[64];
        zelt_vpd_get_field(vpd.data(), vpd.size(), "SN", sn_before, sizeof sn_before);
        EXPECT_STREQ(sn, sn_before);
        EXPECT_NE(itemData(ZEL_DIR_TYPE_FRU, 0), std::vector<uint8_t>(256, 0));
        EXPECT_FALSE(zeltnvm_saved_identity.is_bar2_saved);  // everything released
    }
}

}  // namespace
}  // namespace zelt::test
