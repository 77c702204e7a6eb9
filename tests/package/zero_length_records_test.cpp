// A manifest that declares records of zero bytes and billions of them: every record
// reads as the same all-zero record and none lies past the package, so any per-item
// loop that trusted the count would walk it for minutes. Each reader answers at once.
#include <gtest/gtest.h>

#include <string>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "package/package_checks.h"
#include "package/package_reader.h"
#include "package/package_view.h"
#include "package_fixture.h"

namespace zelt::test {
namespace {

constexpr uint32_t kHugeCount = 0xFFFFFFFF;

Bytes zero_length_records() {
    Bytes pkg = build_package({{ZELPKG_PROP_PKG_VERSION, text("1.2.3.4")}}, {item(40, Bytes(64, 0x5A))});
    const size_t manifest = get_u32(pkg, 8);
    set_u32(pkg, manifest + 8, kHugeCount);
    set_u32(pkg, manifest + 12, 0);  // metadata bytes per record
    set_u32(pkg, manifest + 16, 0);  // directory entry bytes per record
    fix_checksum(pkg);
    return pkg;
}

TEST(ZeroLengthRecords, EveryItemLoopAnswersAtOnce) {
    const Bytes pkg = zero_length_records();
    uint32_t count = 0;
    ASSERT_EQ(zelpkgGetItemCount(pkg.data(), pkg.size(), &count), HVXRETVAL_SUCCESS);
    EXPECT_EQ(count, kHugeCount);

    // The search: the all-zero record is the only one there is.
    zelpkg_manifest_item_t found{};
    uint32_t index = 99;
    EXPECT_EQ(zelpkgFindItemIndex(pkg.data(), pkg.size(), ZEL_DIR_TYPE_UPDATE, 0, 0, &found, &index), 1);
    EXPECT_EQ(zelpkgFindItemIndex(pkg.data(), pkg.size(), 0, 0, 0, &found, &index), 0);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(zelpkgReadItem(pkg.data(), pkg.size(), 40, 0, 0, nullptr, 0, false), 1);

    // Verification stops at the first record, which allocates nothing.
    int32_t bad = -1;
    EXPECT_EQ(zelpkgVerify(pkg.data(), pkg.size(), &bad), HVXRETVAL_ZERO_LENGTH_ITEM);
    EXPECT_EQ(bad, 0);

    // The view reports the count and refuses to list that many.
    std::string view;
    EXPECT_EQ(zelpkgView(pkg.data(), pkg.size(), 0, 1, view), HVXRETVAL_FAILURE);
    EXPECT_NE(view.find("Manifest Items         : 4294967295\n"), std::string::npos) << view;

    // The configuration-package rule looks at a bounded number of records.
    EXPECT_FALSE(zelpkgClassifyConfigPackage(pkg.data(), pkg.size(), 8, true, true).is_config);
    EXPECT_EQ(zelpkgClassifyConfigPackage(pkg.data(), pkg.size(), 8, false, false).item_count, kHugeCount);
}

}  // namespace
}  // namespace zelt::test
