// The adapter's identity read the same before and after an installation whose package
// overwrites it, and the cases where a piece must not be saved or written back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "common/hvxretval.h"
#include "device/installer/installer.h"
#include "formats/vpd/vpd.h"
#include "package/package_records.h"
#include "tests/identity/identity_fixture.h"
#include "pkgbuild/pkgbuild.h"

namespace zelt::test {
namespace {

namespace pb = zelt::pkgbuild;

pb::ItemSpec packageItem(uint16_t type, uint16_t ordinal, pb::Bytes data) {
    pb::ItemSpec s;
    s.type = type;
    s.ordinal = ordinal;
    s.directive = ZELPKG_ITEM_ALWAYS_INSTALL;
    s.description = "identity";
    s.data = std::move(data);
    return s;
}

// A package that replaces every identity item with other content.
pb::Bytes overwritingPackage() {
    pb::ItemSpec staging;
    staging.type = ZEL_DIR_TYPE_UPDATE;
    staging.directive = ZELPKG_ITEM_CREATE_IF_ABSENT;
    staging.description = "staging";
    staging.item_length = 8192;
    pb::Bytes vpd;
    EXPECT_EQ(pb::vpd_image("Generic adapter", {{"PN", "GEN-0000"}, {"SN", "GENERIC0000"}, {"MN", "0000"}}, &vpd), 0);
    pb::PackageSpec plan;
    plan.properties = {{ZELPKG_PROP_PKG_DESCRIPTION, pb::text_value("Identity overwriting package")},
                       {ZELPKG_PROP_PKG_VERSION, pb::text_value("229.1.2.3")},
                       {ZELPKG_PROP_CREATED_ON, pb::text_value("2026-11-02 10:00:00")}};
    plan.items = {staging,
                  packageItem(ZEL_DIR_TYPE_CERT_CHAIN, 0, pb::filler(900, 1536)),
                  packageItem(ZEL_DIR_TYPE_CERT_CHAIN, 1, pb::filler(901, 1280)),
                  packageItem(ZEL_DIR_TYPE_CERT_ALIAS, 0, pb::filler(902, 768)),
                  packageItem(ZEL_DIR_TYPE_FRU, 0, pb::fru_image("Generic adapter", "GENERIC0000", "GEN000", "X00")),
                  packageItem(ZEL_DIR_TYPE_VPD, 0, vpd)};
    pb::Bytes out;
    std::string error;
    EXPECT_EQ(pb::build_package(plan, &out, &error), 0) << error;
    return out;
}

std::string vpdField(const std::vector<uint8_t>& item, const char* keyword) {
    char text[256];
    zelt_vpd_get_field(item.data(), item.size(), keyword, text, sizeof text);
    return text;
}

using Identity = IdentityOnSimHost;

TEST_F(Identity, ReadsTheSameAfterAnUpdateThatOverwritesIt) {
    setMac(kDev, 0, macFor(0, 0));
    setMac(kDev, 1, macFor(0, 1));
    const auto vpd_before = itemData(ZEL_DIR_TYPE_VPD, 0);
    struct Piece {
        uint16_t type, ordinal;
        std::vector<uint8_t> before;
    } pieces[] = {{ZEL_DIR_TYPE_FRU, 0, {}}, {ZEL_DIR_TYPE_CERT_CHAIN, 0, {}}, {ZEL_DIR_TYPE_CERT_CHAIN, 1, {}},
                  {ZEL_DIR_TYPE_CERT_ALIAS, 0, {}}};
    for (Piece& p : pieces) {
        p.before = itemData(p.type, p.ordinal);
        ASSERT_FALSE(p.before.empty()) << "factory item " << p.type << "/" << p.ordinal;
    }

    saved_ = device::zelt_nvm_save_identity_for_recovery(fn(kDev), true);
    const pb::Bytes pkg = overwritingPackage();
    ASSERT_EQ(device::zeltnvmInstallPackage(fn(kDev).function, pkg, 0, 0).code(), 0);
    for (const Piece& p : pieces) ASSERT_NE(itemData(p.type, p.ordinal), p.before) << "package did not overwrite";
    ASSERT_NE(vpdField(itemData(ZEL_DIR_TYPE_VPD, 0), "SN"), vpdField(vpd_before, "SN"));
    // The new firmware came up with other function addresses.
    setMac(kDev, 0, macFor(9, 0));
    setMac(kDev, 1, macFor(9, 1));

    EXPECT_EQ(device::zelt_nvm_apply_mac(saved_).code(), 0);
    EXPECT_EQ(device::zelt_nvm_apply_cert_nvm_dirs(fn(kDev), saved_, true, true).code(), 0);
    EXPECT_EQ(device::zelt_nvm_apply_fru(fn(kDev), saved_).code(), 0);
    EXPECT_TRUE(device::zelt_nvm_restore_saved_vpd(fn(kDev), saved_, true).empty());

    EXPECT_EQ(getMac(kDev, 0), macFor(0, 0));
    EXPECT_EQ(getMac(kDev, 1), macFor(0, 1));
    for (const Piece& p : pieces)
        EXPECT_EQ(itemData(p.type, p.ordinal), p.before) << "item " << p.type << "/" << p.ordinal;
    const auto vpd_after = itemData(ZEL_DIR_TYPE_VPD, 0);
    for (const char* keyword : {"SN", "PN", "MN"}) EXPECT_EQ(vpdField(vpd_after, keyword), vpdField(vpd_before, keyword));
    EXPECT_EQ(vpd_verify_image(vpd_after.data(), vpd_after.size()), 0);
    // Everything written back is forgotten.
    EXPECT_FALSE(saved_.fru || saved_.cert_chain[0] || saved_.cert_alias);
}

TEST_F(Identity, SavedPiecesAreNotWrittenToAnAdapterOnAnotherBus) {
    const std::string other = otherAdapterDevice();
    const device::SavedIdentity all = device::zelt_nvm_save_identity_for_recovery(fn(kDev), true);
    ASSERT_TRUE(all.fru && all.onboard_cfg && all.vpd);
    // Both adapters left the factory with the same onboard configuration: the other
    // one has none here, so a wrong write back would show.
    withFlash(
        [](sim::FlashModel& f) {
            ASSERT_EQ(f.erase_entry(static_cast<uint32_t>(f.find(ZEL_DIR_TYPE_ONBOARD_CFG, 0, 0))),
                      sim::FlashStatus::ok);
        },
        "adapter1");
    struct Case {
        const char* name;
        uint16_t type;
        std::function<int(device::SavedIdentity&)> write_back;  // -1 when the step gives no result
    } cases[] = {
        {"FRU", ZEL_DIR_TYPE_FRU, [&](device::SavedIdentity& s) { return device::zelt_nvm_apply_fru(fn(other), s).code(); }},
        {"onboard configuration", ZEL_DIR_TYPE_ONBOARD_CFG,
         [&](device::SavedIdentity& s) { return device::zelt_nvm_apply_onboard_cfg(fn(other), s, 0).code(); }},
        {"VPD fields", ZEL_DIR_TYPE_VPD,
         [&](device::SavedIdentity& s) {
             (void)device::zelt_nvm_restore_saved_vpd(fn(other), s, true);
             return -1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = itemData(c.type, 0, "adapter1");
        ASSERT_NE(itemData(c.type, 0), before) << "the adapters must differ";
        device::SavedIdentity saved = all;
        const int rc = c.write_back(saved);
        if (rc != -1) {
            EXPECT_EQ(rc, 1);
        }
        EXPECT_EQ(itemData(c.type, 0, "adapter1"), before);
    }
    device::SavedIdentity saved = all;
    (void)device::zelt_nvm_apply_fru(fn(other), saved);
    EXPECT_FALSE(saved.fru);  // forgotten either way
}

TEST_F(Identity, ASerialNumberThatIsNotKnownIsNotWrittenAndTheConsoleSaysWhom) {
    const auto vpd_before = itemData(ZEL_DIR_TYPE_VPD, 0);
    for (const char* value : {"N/A", ""}) {
        SCOPED_TRACE(std::string("serial number '") + value + "'");
        saved_ = device::zelt_nvm_save_identity_for_recovery(fn(kDev), false);
        saved_.vpd->value.serial_number = value;
        const std::vector<std::string> advice = device::zelt_nvm_restore_saved_vpd(fn(kDev), saved_, false);
        ASSERT_EQ(advice.size(), 1u);
        EXPECT_EQ(advice[0], "Please check with the manufacturer, to program the device vpd serial number.\n");
        EXPECT_EQ(itemData(ZEL_DIR_TYPE_VPD, 0), vpd_before);
    }
}

TEST_F(Identity, MacSaveSkipsZeroAddressesAndRestoresOnlyWhatChanged) {
    setMac(kDev, 0, macFor(0, 0));
    setMac(kDev, 1, Mac{});  // function 1 reads zero
    openLog();
    device::zelt_nvm_save_mac(fn(kDev), saved_);
    setMac(kDev, 0, macFor(9, 0));
    setMac(kDev, 1, macFor(9, 1));
    EXPECT_EQ(device::zelt_nvm_apply_mac(saved_).code(), 0);
    EXPECT_EQ(getMac(kDev, 0), macFor(0, 0));
    EXPECT_EQ(getMac(kDev, 1), macFor(9, 1));  // never saved, left alone
    zeltnvm_close_log_file();
    EXPECT_NE(logText().find("MAC Address because it's zero's.\n"), std::string::npos);
    EXPECT_EQ(logText().find("MAC Addresses successfully"), std::string::npos);
}

TEST_F(Identity, KeptMacAddressesAreNotRewritten) {
    setMac(kDev, 0, macFor(0, 0));
    setMac(kDev, 1, macFor(0, 1));
    openLog();
    device::zelt_nvm_save_mac(fn(kDev), saved_);
    EXPECT_EQ(device::zelt_nvm_apply_mac(saved_).code(), 0);
    zeltnvm_close_log_file();
    const std::string log = logText();
    EXPECT_NE(log.find("MAC Addresses successfully.\n"), std::string::npos) << log;
    // Only that line: no address was written back.
    EXPECT_EQ(log.find("Restored Device"), log.rfind("Restored Device")) << log;
    EXPECT_EQ(device::zelt_nvm_apply_mac(saved_).code(), 1);  // the list was emptied
}

TEST_F(Identity, AtMostSixteenFunctionMacsAreSaved) {
    // adapter1 (device type 5) counts its function-configuration items.
    const std::string dev = otherAdapterDevice();
    withFlash(
        [](sim::FlashModel& f) {
            for (uint16_t ordinal = 1; ordinal < 20; ++ordinal) {
                uint32_t index;
                ASSERT_EQ(f.write(ZEL_DIR_TYPE_FUNC_CFG, ordinal, 0, 0, std::vector<uint8_t>(64, 0x5A), 0, index),
                          sim::FlashStatus::ok);
            }
        },
        "adapter1");
    for (int i = 0; i < 20; ++i) setMac(dev, i, macFor(1, i));
    device::zelt_nvm_save_mac(fn(dev), saved_);
    for (int i = 0; i < 20; ++i) setMac(dev, i, macFor(9, i));
    EXPECT_EQ(device::zelt_nvm_apply_mac(saved_).code(), 0);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(getMac(dev, i), macFor(i < 16 ? 1 : 9, i)) << "function " << i;
}

TEST_F(Identity, OnboardConfigurationWithABadChecksumIsNotSaved) {
    const auto good = itemData(ZEL_DIR_TYPE_ONBOARD_CFG, 0);
    ASSERT_FALSE(good.empty());
    // Spoils the data of ordinal 0 behind its directory entry's checksum.
    auto spoil = [this] {
        withFlash([](sim::FlashModel& f) {
            const auto e = f.entry(static_cast<uint32_t>(f.find(ZEL_DIR_TYPE_ONBOARD_CFG, 0, 0)));
            const uint8_t junk[4] = {0xDE, 0xAD, 0xBE, 0xEF};
            ASSERT_EQ(f.raw_write(e.item_location, junk), sim::FlashStatus::ok);
        });
    };
    const std::vector<uint8_t> second(300, 0x42);
    struct Case {
        const char* name;
        bool spoil_first;
        bool add_second;
        uint16_t second_attr;
        bool saved;
        std::vector<uint8_t> data;
        int count;
    } cases[] = {
        {"good item", false, false, 0, true, good, 1},
        {"bad checksum only", true, false, 0, false, {}, 1},
        {"bad checksum, then a good item", true, true, 0, true, second, 2},
        {"bad checksum, then an item without checksum", true, true, ZEL_DIR_ATTR_NO_CHKSUM, false, {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        if (c.spoil_first) spoil();
        if (c.add_second) writeItem(ZEL_DIR_TYPE_ONBOARD_CFG, 1, second, c.second_attr);
        device::zelt_nvm_save_onboardcfg_dir(fn(kDev), saved_);
        ASSERT_EQ(saved_.onboard_cfg.has_value(), c.saved);
        if (c.saved) {
            EXPECT_EQ(saved_.onboard_cfg->value.data, c.data);
        }
        EXPECT_EQ(saved_.onboard_cfg_count, c.count);
    }
}

TEST_F(Identity, MultiFunctionModeIsKeptForAnAdapterWithSixteenFunctions) {
    // One adapter of 16 PFs on two ports (zen0 .. zen15), in NPAR mode on port 0.
    nlohmann::json functions = nlohmann::json::array();
    for (int i = 0; i < 16; ++i) {
        char address[32];
        std::snprintf(address, sizeof address, "0000:03:%02x.%x", i / 8, i % 8);
        functions.push_back({{"address", address}, {"port", i % 2}, {"pf_index", i}, {"ifname", "zen" + std::to_string(i)}});
    }
    const nlohmann::json config = {
        {"adapters", {{{"device_type", 8}, {"ports", 2}, {"functions", functions}}}}};
    const device::identity::OptionRef port0{ZELT_OPT_MF_MODE, 8, 1, 0, 0};
    struct Case {
        const char* name;
        std::string config;
        uint8_t mode;
        uint8_t after_apply;
    } cases[] = {
        {"16 functions in NPAR mode", config.dump(), 2, 2},
        {"16 functions in single-function mode", config.dump(), 1, 1},
        {"2 functions", "", 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh(c.config);
        uint8_t mode[1] = {c.mode};
        ASSERT_EQ(device::identity::option_set(fn(kDev).function, port0, mode, 1).code(), 0);
        device::zelt_nvm_save_mf_mode_config(fn(kDev), saved_);
        // The installation left the port in single-function mode.
        mode[0] = ZELT_MF_MODE_FACTORY;
        ASSERT_EQ(device::identity::option_set(fn(kDev).function, port0, mode, 1).code(), 0);
        EXPECT_EQ(device::zelt_nvm_apply_mf_mode_config(fn(kDev), saved_).code(), c.after_apply == 2 ? 0 : 1);
        ASSERT_EQ(device::identity::option_get(fn(kDev).function, port0, mode, 1).code(), 0);
        EXPECT_EQ(mode[0], c.after_apply);
    }
}

}  // namespace
}  // namespace zelt::test
