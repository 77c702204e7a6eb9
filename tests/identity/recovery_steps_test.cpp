// The identity steps around a -recovery installation: what is written back before the
// package goes in, the staging item of an erased NVM, and the restore and reset after.
#include <gtest/gtest.h>

#include <cstring>

#include "cli/install/update_messages.h"
#include "device/installer/adapter_update.h"
#include "common/hvxretval.h"
#include "formats/vpd/vpd.h"
#include "package/package_records.h"
#include "tests/identity/identity_fixture.h"
#include "pkgbuild/pkgbuild.h"

using namespace zelt::cli;

namespace zelt::test {
namespace {

namespace pb = zelt::pkgbuild;

class RecoverySteps : public IdentityOnSimHost {
protected:
    device::installer::UpdateTarget recoveryTarget(bool force) {
        device::installer::UpdateTarget t;
        t.inventory = &inventory_;
        t.function = &fn(kDev);
        t.install_type = static_cast<uint32_t>(-1);
        t.recovery = true;
        t.force = force;
        return t;
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
    void setBar2(uint16_t size) {
        const uint8_t value[2] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)};
        ASSERT_EQ(device::identity::option_set(fn(kDev).function, {104, 16, 2, 0, 2}, value, 2).code(), 0);
    }
};

TEST_F(RecoverySteps, TwoOnboardConfigurationItemsComeBackAsOrdinalsZeroAndTwo) {
    writeItem(ZEL_DIR_TYPE_ONBOARD_CFG, 1, std::vector<uint8_t>(200, 0x33));
    const auto saved = itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 0);
    device::zelt_nvm_save_onboardcfg_dir(fn(kDev), saved_);
    ASSERT_EQ(saved_.onboard_cfg_count, 2);
    dropItems(ZEL_DIR_TYPE_ONBOARD_CFG);

    const pb::Bytes pkg = package(8192);
    UpdateMessages messages(true);
    device::installer::AdapterUpdate update(recoveryTarget(true), std::move(saved_), messages);
    EXPECT_TRUE(update.prepare(pkg).ok());
    EXPECT_EQ(itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 0), saved);
    EXPECT_EQ(itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 2), saved);
    EXPECT_TRUE(itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 1).empty());
    EXPECT_FALSE(update.saved().onboard_cfg);
}

TEST_F(RecoverySteps, AnErasedNvmGetsItsStagingItemOnlyWithForce) {
    const pb::Bytes pkg = package(8192);
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
        device::zelt_nvm_save_fru_dir(fn(kDev), saved_);
        dropItems(ZEL_DIR_TYPE_UPDATE);
        UpdateMessages messages(true);
        device::installer::AdapterUpdate update(recoveryTarget(c.force), std::move(saved_), messages);
        testing::internal::CaptureStderr();
        EXPECT_EQ(update.prepare(pkg).code(), c.result);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(stagingLength(), c.staging);
        EXPECT_TRUE(update.saved().fru);  // written back only after the installation
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
        saved_ = device::zelt_nvm_save_identity_for_recovery(fn(kDev), false);
        ASSERT_TRUE(saved_.bar2_size);
        // The installation replaced the VPD and the FRU.
        pb::Bytes other;
        ASSERT_EQ(pb::vpd_image("Generic", {{"SN", "GENERIC0000"}}, &other), 0);
        writeItem(ZEL_DIR_TYPE_VPD, 0, other);
        writeItem(ZEL_DIR_TYPE_FRU, 0, std::vector<uint8_t>(256, 0));
        setBar2(c.bar2_after);
        const uint32_t resets_before = resetCount();

        UpdateMessages messages(true);
        device::installer::AdapterUpdate update(recoveryTarget(true), std::move(saved_), messages);
        testing::internal::CaptureStdout();
        EXPECT_EQ(update.finish_recovery(false).code(), 0);
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
        EXPECT_FALSE(update.saved().bar2_size);  // everything forgotten
    }
}

// The whole update of a recovery: what the erase lost comes back, whether it is
// written before the installation (onboard configuration, certificate chain) or after
// it (certificate alias, FRU, MAC addresses, VPD fields), and the update keeps nothing.
TEST_F(RecoverySteps, ARecoveryUpdateWritesEveryPieceBack) {
    setMac(kDev, 0, macFor(0, 0));
    setMac(kDev, 1, macFor(0, 1));
    const uint16_t types[] = {ZEL_DIR_TYPE_FRU, ZEL_DIR_TYPE_ONBOARD_CFG, ZEL_DIR_TYPE_CERT_CHAIN,
                              ZEL_DIR_TYPE_CERT_ALIAS, ZEL_DIR_TYPE_VPD};
    std::vector<std::vector<uint8_t>> before;
    for (uint16_t type : types) before.push_back(itemData(type, 0));
    const auto chain1 = itemData(ZEL_DIR_TYPE_CERT_CHAIN, 1);

    saved_ = device::zelt_nvm_save_identity_for_recovery(fn(kDev), true);
    for (uint16_t type : types)
        if (type != ZEL_DIR_TYPE_VPD) dropItems(type);
    pb::Bytes other;
    ASSERT_EQ(pb::vpd_image("Generic", {{"SN", "GENERIC0000"}, {"PN", "GEN-0"}, {"MN", "0"}}, &other), 0);
    writeItem(ZEL_DIR_TYPE_VPD, 0, other);
    setMac(kDev, 0, macFor(9, 0));

    const pb::Bytes pkg = package(8192);
    UpdateMessages messages(true);
    device::installer::AdapterUpdate update(recoveryTarget(true), std::move(saved_), messages);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_TRUE(update.prepare(pkg).ok());
    EXPECT_EQ(itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 0), before[1]);
    EXPECT_EQ(itemData(ZEL_DIR_TYPE_CERT_CHAIN, 0), before[2]);
    EXPECT_EQ(itemData(ZEL_DIR_TYPE_CERT_CHAIN, 1), chain1);
    EXPECT_EQ(update.install(pkg).code(), 0);
    EXPECT_EQ(update.finish_recovery(true).code(), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // nothing failed

    // The VPD item is rebuilt around its fields; the other items come back byte for byte.
    for (size_t i = 0; i + 1 < std::size(types); ++i) EXPECT_EQ(itemData(types[i], 0), before[i]) << "type " << types[i];
    const auto vpd = itemData(ZEL_DIR_TYPE_VPD, 0);
    for (const char* keyword : {"SN", "PN", "MN"}) {
        char now[64], then[64];
        zelt_vpd_get_field(vpd.data(), vpd.size(), keyword, now, sizeof now);
        zelt_vpd_get_field(before[4].data(), before[4].size(), keyword, then, sizeof then);
        EXPECT_STREQ(now, then) << keyword;
    }
    EXPECT_EQ(getMac(kDev, 0), macFor(0, 0));
    EXPECT_EQ(getMac(kDev, 1), macFor(0, 1));
    const device::SavedIdentity& left = update.saved();
    EXPECT_FALSE(left.macs || left.fru || left.onboard_cfg || left.cert_chain[0] || left.cert_alias || left.vpd ||
                 left.bar2_size);
}

}  // namespace
}  // namespace zelt::test
