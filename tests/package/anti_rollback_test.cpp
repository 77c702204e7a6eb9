// The secure-boot revisions a package carries and the anti-rollback rule.
#include <gtest/gtest.h>

#include "common/directory_types.h"
#include "package/anti_rollback.h"
#include "tests/package/package_fixture.h"

using namespace zelt;
using namespace zelt::test;

namespace {

// A secure-boot image of `size` bytes whose header (at `at`) holds the revisions.
Bytes secure_item(size_t at, uint16_t sbi_revision, uint16_t customer_revision, size_t size = 512) {
    Bytes b(size, 0);
    set_u16(b, at + 18, sbi_revision);
    set_u16(b, at + 26, customer_revision);
    return b;
}

TEST(AntiRollback, ReadsTheRevisionsOfTheSecureBootItems) {
    const Bytes pkg = build_package({}, {item(ZEL_DIR_TYPE_SBI, secure_item(256, 7, 0x42)),
                                         item(ZEL_DIR_TYPE_SRT, secure_item(0, 0, 3)),
                                         item(ZEL_DIR_TYPE_CRT, secure_item(0, 0, 4))});
    SecureRevisions r;
    ASSERT_EQ(zelpkgSecureRevisions(pkg.data(), pkg.size(), &r), 0);
    EXPECT_EQ(r.crid, 0x42);
    EXPECT_EQ(r.sbi, 7);
    EXPECT_EQ(r.srt, 3);
    EXPECT_EQ(r.crt, 4);

    // An SBI too short for its header, and no SRT or CRT: those revisions are 0.
    const Bytes short_sbi = build_package({}, {item(ZEL_DIR_TYPE_SBI, secure_item(0, 7, 0x42, 300))});
    ASSERT_EQ(zelpkgSecureRevisions(short_sbi.data(), short_sbi.size(), &r), 0);
    EXPECT_EQ(r.crid, 0);
    EXPECT_EQ(r.sbi, 0);

    EXPECT_EQ(zelpkgSecureRevisions(pkg.data(), 8, &r), ZELPKG_ANTI_ROLLBACK_BAD_HEADER);
}

TEST(AntiRollback, RefusesAnotherCridOrALowerRevision) {
    const SecureRevisions device{0x42, 2, 3, 4};
    struct Case {
        const char* what;
        SecureRevisions package;
        int32_t status;
    } cases[] = {
        {"same revisions", {0x42, 2, 3, 4}, 0},
        {"newer revisions", {0x42, 5, 6, 7}, 0},
        {"another CRID", {0x43, 2, 3, 4}, ZELPKG_ANTI_ROLLBACK_REFUSED},
        {"older SBI", {0x42, 1, 3, 4}, ZELPKG_ANTI_ROLLBACK_REFUSED},
        {"older SRT", {0x42, 2, 2, 4}, ZELPKG_ANTI_ROLLBACK_REFUSED},
        {"older CRT", {0x42, 2, 3, 3}, ZELPKG_ANTI_ROLLBACK_REFUSED},
    };
    for (const Case& c : cases) EXPECT_EQ(zelpkgAntiRollbackStatus(c.package, device), c.status) << c.what;
}

}  // namespace
