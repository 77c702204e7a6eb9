// The package report and the wrapper header that may precede a package.
#include <gtest/gtest.h>

#include "common/hvxretval.h"
#include "package/package_reader.h"
#include "package/package_view.h"
#include "package/pldm_wrapper.h"
#include "package_fixture.h"

namespace zelt::test {
namespace {

TEST(PackageView, SummaryWithoutVerbosityListsNoItems) {
    const Bytes pkg = build_package({{1, text("Demo package")}, {9, text("1.2.3.4")}, {2, u16s({0x1234, 0x1235})},
                                     {10, u16s({0xFFFF})}, {11, u16s({0x0042})}, {21, {1}}, {23, {0}}},
                                    {item(40, Bytes{1, 2, 3})});
    std::string out;
    ASSERT_EQ(zelpkgView(pkg.data(), pkg.size(), 0, 0, out), 0);
    char checksum[64];
    std::snprintf(checksum, sizeof(checksum), "Package Checksum       : 0x%08X\n", get_u32(pkg, pkg.size() - 4));
    const std::string expected = "Package File Length    : " + std::to_string(pkg.size()) + " bytes\n" +
                                 "Package Description    : Demo package\n"
                                 "Package Version        : 1.2.3.4\n" +
                                 checksum +
                                 "Supported Device IDs   : 1234 1235 \n"
                                 "Subsystem ID           : 0042\n"
                                 "Require Onboard config : 1\n"
                                 "Manifest Items         : 1\n";
    EXPECT_EQ(out, expected);
}

TEST(PackageView, ItemLinesWithVerbosityOrFilter) {
    const Bytes pkg = build_package({{9, text("1.0")}}, {item(40, Bytes{1}).with_description("shared"),
                                                         item(41, Bytes{2}).with_ordinal(2)});
    std::string verbose, filtered;
    ASSERT_EQ(zelpkgView(pkg.data(), pkg.size(), 0, 1, verbose), 0);
    ASSERT_EQ(zelpkgView(pkg.data(), pkg.size(), 41, 0, filtered), 0);
    EXPECT_NE(verbose.find("Item #1           Type : sharedCfg (40): "), std::string::npos) << verbose;
    EXPECT_NE(verbose.find("      Item Description : shared\n"), std::string::npos) << verbose;
    EXPECT_NE(verbose.find("Item #2   "), std::string::npos);
    EXPECT_EQ(filtered.find("Item #1 "), std::string::npos);
    EXPECT_NE(filtered.find("Item #2           Type : portCfg (41): "), std::string::npos) << filtered;
    EXPECT_NE(filtered.find("               Ordinal : 2\n"), std::string::npos) << filtered;
    EXPECT_NE(filtered.find("             Directive : Install (0): Always-Install\n"), std::string::npos);
}

TEST(PackageView, LimitsAndBadData) {
    std::vector<Item> items;
    for (uint16_t i = 0; i < 65; ++i) items.push_back(item(40, Bytes{1}).with_ordinal(i));
    const Bytes many = build_package({}, items);
    std::string out;
    EXPECT_EQ(zelpkgView(many.data(), many.size(), 0, 1, out), HVXRETVAL_FAILURE);
    EXPECT_NE(out.find("Manifest Items         : 65\n"), std::string::npos);
    EXPECT_EQ(out.find("Item #"), std::string::npos);

    Bytes outside = build_package({}, {item(40, Bytes{1, 2, 3})});
    set_u32(outside, record_offset(outside, 0) + 64 + 8, static_cast<uint32_t>(outside.size()));
    out.clear();
    EXPECT_EQ(zelpkgView(outside.data(), outside.size(), 0, 1, out), HVXRETVAL_INVALID_DATA_LENGTH);

    const Bytes junk(11, 0);
    EXPECT_EQ(zelpkgView(junk.data(), junk.size(), 0, 0, out), HVXRETVAL_INVALID_LENGTH);
}

TEST(PackageWrapper, WrappedPackagesLoadAsThePackageProper) {
    const Bytes pkg = build_package({{9, text("5.0")}}, {item(40, Bytes{1, 2, 3})});
    const Bytes wrapped = zelpkgPldmWrap(pkg.data(), pkg.size(), "5.0", 0x2b1d, {0x1234, 0x1235});
    ASSERT_GT(wrapped.size(), pkg.size());
    Bytes loaded = wrapped;
    ASSERT_EQ(zelpkgLoadPackage(loaded), 0);
    EXPECT_EQ(loaded, pkg);
    Bytes plain = pkg;
    ASSERT_EQ(zelpkgLoadPackage(plain), 0);
    EXPECT_EQ(plain, pkg);

    const size_t size = wrapped[17] | (wrapped[18] << 8);
    struct Case {
        const char* name;
        size_t offset;
        int32_t expected;
    } cases[] = {
        {"header checksum", size - 1, HVXRETVAL_INVALID_CHECKSUM},
        {"version text", 40, HVXRETVAL_INVALID_CHECKSUM},
        {"inner package sig", size, HVXRETVAL_INVALID_SIGNATURE},
    };
    for (const Case& c : cases) {
        Bytes b = wrapped;
        b[c.offset] ^= 0x40;
        EXPECT_EQ(zelpkgLoadPackage(b), c.expected) << c.name;
        EXPECT_TRUE(b.empty()) << c.name;
    }
    Bytes cut(wrapped.begin(), wrapped.begin() + static_cast<long>(size) - 1);
    EXPECT_EQ(zelpkgLoadPackage(cut), HVXRETVAL_INVALID_FILE_HEADER);
}

}  // namespace
}  // namespace zelt::test
