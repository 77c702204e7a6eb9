// The package builder: descriptions, generated images and deliberate faults.
#include <gtest/gtest.h>

#include "common/hvxretval.h"
#include "formats/vpd/vpd.h"
#include "package/package_checks.h"
#include "package/package_properties.h"
#include "package/package_reader.h"
#include "package/pldm_wrapper.h"
#include "tests/support/run_program.h"
#include "pkgbuild/pkgbuild.h"
#include "test_signing_key/test_signing_key.h"

namespace zelt::test {
namespace {

using pkgbuild::Bytes;

constexpr const char* kDescription = R"({
  "properties": { "description": "Lab build", "version": "3.2.1.0", "device_ids": [4660, 4661],
                  "subsys_vendor": 11037, "max_chip_rev": 16 },
  "items": [
    { "type": "chimpBoot", "firmware": { "version": [3, 2, 1, 0], "text": "boot", "body_size": 512 } },
    { "type": "AVS", "trailer": { "version": [3, 2, 1, 0], "body_size": 256 } },
    { "type": 5, "directive": "Create", "vpd": { "product": "Test board", "fields": { "PN": "HX-100", "SN": "S123" } } },
    { "type": "FRU", "directive": "Create", "fru": { "product": "Test board", "serial": "S123", "part": "HX100", "revision": "A1" } },
    { "type": "SRTImage", "secure_boot": { "fw_version": 16909060, "size": 512 } },
    { "type": "sharedCfg", "description": "shared", "filler": 1000 },
    { "type": "QOScfg", "directive": "Remove", "item_length": 4096 }
  ]
})";

TEST(PackageBuilder, DescriptionBuildsAVerifiedPackage) {
    Bytes pkg;
    std::string error;
    ASSERT_EQ(pkgbuild::build_from_description(kDescription, "", pkgbuild::test_signing_key(), &pkg, &error), 0) << error;
    int32_t index = 0;
    EXPECT_EQ(zelpkgVerify(pkg.data(), pkg.size(), &index), 0) << index;
    uint32_t count = 0;
    ASSERT_EQ(zelpkgGetItemCount(pkg.data(), pkg.size(), &count), 0);
    EXPECT_EQ(count, 7u);
    zelpkg_manifest_item_t avs;
    ASSERT_EQ(zelpkgFindItem(pkg.data(), pkg.size(), 7, 0, 0, &avs), 0);
    EXPECT_EQ(avs.direntry.attr & ZEL_DIR_ATTR_TRAILER, ZEL_DIR_ATTR_TRAILER);
    const zelt_pci_id_t dev{0x2b1d, 4661, 11037, 0xFFFF};
    EXPECT_EQ(zelpkgDeviceMatch(pkg.data(), pkg.size(), dev, 16), 0);
    EXPECT_EQ(zelpkgDeviceMatch(pkg.data(), pkg.size(), dev, 17), HVXRETVAL_UNSUPPORTED_CHIP_REV);

    Bytes vpd(1024);
    const int32_t n = zelpkgReadItem(pkg.data(), pkg.size(), 5, 0, 0, vpd.data(), vpd.size(), true);
    ASSERT_GT(n, 0);
    char pn[32];
    EXPECT_EQ(zelt_vpd_get_field(vpd.data(), static_cast<size_t>(n), "PN", pn, sizeof(pn)), 0);
    EXPECT_STREQ(pn, "HX-100");
}

TEST(PackageBuilder, DescriptionErrorsAreReported) {
    struct Case {
        const char* json;
        const char* error;
    } cases[] = {
        {"{ not json", "parse error"},
        {R"({"properties": {"colour": "red"}})", "unknown property \"colour\""},
        {R"({"items": [{"type": 4, "directive": "Sometimes", "hex": "00"}]})", "unknown directive \"Sometimes\""},
        {R"({"items": [{"type": 7, "hex": "0102030405"}]})", "INVALID_TRAILER at item #1"},
        {R"({"properties": {"version": "2.0", "required_pkg": "2.0"}})", "INVALID_PREREQUISITE"},
    };
    for (const Case& c : cases) {
        Bytes pkg;
        std::string error;
        EXPECT_NE(pkgbuild::build_from_description(c.json, "", pkgbuild::test_signing_key(), &pkg, &error), 0) << c.json;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(PackageBuilder, FaultsAndWrapper) {
    const std::string json = R"({"verify": false, "items": [{"type": "sharedCfg", "filler": 64}],
                                 "wrap": {"version": "9.9"},
                                 "faults": [{"xor": 255, "offset": -1}]})";
    Bytes pkg;
    std::string error;
    ASSERT_EQ(pkgbuild::build_from_description(json, "", pkgbuild::test_signing_key(), &pkg, &error), 0) << error;
    ASSERT_EQ(zelpkgLoadPackage(pkg), 0);
    int32_t index = 0;
    EXPECT_EQ(zelpkgVerify(pkg.data(), pkg.size(), &index), HVXRETVAL_INVALID_CHECKSUM);
    pkgbuild::apply_faults(&pkg, {{pkgbuild::Fault::FIX_CHECKSUM, 0, 0}});
    EXPECT_EQ(zelpkgVerify(pkg.data(), pkg.size(), &index), 0);
    pkgbuild::apply_faults(&pkg, {{pkgbuild::Fault::TRUNCATE, 0, 30}});
    EXPECT_EQ(pkg.size(), 30u);
}

TEST(PackageBuilder, ProgramWritesTheExamplePackage) {
    TempDir dir;
    const RunResult r =
        run_program({ZELT_PROGRAM("zeltpkg"), "example", "--version", "229.1.0.0", dir.file("example.pkg")});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = read_text_file(dir.file("example.pkg"));
    const Bytes pkg(text.begin(), text.end());
    EXPECT_EQ(zelpkgVerify(pkg.data(), pkg.size(), nullptr), 0);
    char version[32];
    EXPECT_EQ(zelpkgGetProperty(pkg.data(), pkg.size(), ZELPKG_PROP_PKG_VERSION, version, sizeof(version)), 9);
    EXPECT_STREQ(version, "229.1.0.0");
    EXPECT_EQ(run_program({ZELT_PROGRAM("zeltpkg"), "example"}).status, 2);
}

}  // namespace
}  // namespace zelt::test
