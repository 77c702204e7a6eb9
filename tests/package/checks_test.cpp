// Package verification and the applicability rules.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "common/hvxretval.h"
#include "package/package_checks.h"
#include "package_fixture.h"

namespace zelt::test {
namespace {

struct VerifyResult {
    int32_t rc;
    int32_t index;
};

VerifyResult verify(const Bytes& pkg) {
    VerifyResult r{};
    r.rc = zelpkgVerify(pkg.data(), pkg.size(), &r.index);
    return r;
}

TEST(PackageVerify, PrerequisiteRule) {
    struct Case {
        const char* version;
        const char* required;
        int32_t expected;
    } cases[] = {
        {"2.1", "2.1", HVXRETVAL_INVALID_PREREQUISITE},
        {"2.1", "2.0", 0},
        {"2.1", "12.0", HVXRETVAL_INVALID_PREREQUISITE},
        {"2.1", "3.0", HVXRETVAL_INVALID_PREREQUISITE},
    };
    for (const Case& c : cases) {
        const Bytes pkg = build_package({{9, text(c.version)}, {20, text(c.required)}}, {item(40, Bytes{1})});
        const VerifyResult r = verify(pkg);
        EXPECT_EQ(r.rc, c.expected) << c.version << " needs " << c.required;
        EXPECT_EQ(r.index, -1);
    }
}

// The records are walked before the item data is checked in one pass, but the failure
// reported is still the first in record order, with its record's index.
TEST(PackageVerify, FailuresAreReportedInRecordOrder) {
    const Bytes good =
        build_package({{9, text("1.0")}}, {item(40, Bytes(64, 1)), item(41, Bytes(32, 2)), item(42, Bytes(16, 3))});
    ASSERT_EQ(verify(good).rc, 0);
    // Entry fields: item length at +12, data checksum at +20.
    auto bad_data = [](size_t record) {
        return [record](Bytes& pkg) { set_u32(pkg, record_offset(pkg, record) + 64 + 20, 0xBAD0BAD0u); };
    };
    auto zero_length = [](size_t record) {
        return [record](Bytes& pkg) { set_u32(pkg, record_offset(pkg, record) + 64 + 12, 0); };
    };
    struct Case {
        const char* what;
        std::vector<std::function<void(Bytes&)>> changes;
        bool break_package_checksum;
        int32_t rc;
        int32_t index;
    } cases[] = {
        {"bad data before an unsound record", {bad_data(1), zero_length(2)}, false, HVXRETVAL_INVALID_CHECKSUM, 1},
        {"an unsound record before bad data", {zero_length(1), bad_data(2)}, false, HVXRETVAL_ZERO_LENGTH_ITEM, 1},
        {"bad data in the last record", {bad_data(2)}, false, HVXRETVAL_INVALID_CHECKSUM, 2},
        {"bad data and a bad package checksum", {bad_data(0)}, true, HVXRETVAL_INVALID_CHECKSUM, 0},
        {"only a bad package checksum", {}, true, HVXRETVAL_INVALID_CHECKSUM, -1},
    };
    for (const Case& c : cases) {
        Bytes pkg = good;
        for (const auto& change : c.changes) change(pkg);
        fix_checksum(pkg);
        if (c.break_package_checksum) pkg.back() ^= 0x01;
        const VerifyResult r = verify(pkg);
        EXPECT_EQ(r.rc, c.rc) << c.what;
        EXPECT_EQ(r.index, c.index) << c.what;
    }
}

TEST(PackageVerify, ChecksumOnlyWhenThereIsATrailer) {
    Bytes pkg = build_package({{9, text("1.0")}}, {item(40, Bytes{1, 2, 3})});
    ASSERT_EQ(verify(pkg).rc, 0);
    pkg.back() ^= 0x01;
    const VerifyResult r = verify(pkg);
    EXPECT_EQ(r.rc, HVXRETVAL_INVALID_CHECKSUM);
    EXPECT_EQ(r.index, -1);
    set_u32(pkg, 4, 0);
    EXPECT_EQ(verify(pkg).rc, 0);
}

TEST(PackageVerify, DuplicateItemsNeedDifferentDirectives) {
    struct Case {
        uint8_t first;
        uint8_t second;
        int32_t expected;
        int32_t index;
    } cases[] = {
        {ZELPKG_ITEM_ALWAYS_INSTALL, ZELPKG_ITEM_ALWAYS_INSTALL, HVXRETVAL_DUPLICATE_ITEM, 1},
        {ZELPKG_ITEM_REMOVE_IF_PRESENT, ZELPKG_ITEM_ALWAYS_INSTALL, 0, -1},
    };
    for (const Case& c : cases) {
        const Bytes pkg = build_package({}, {item(41, Bytes{1, 2}).with_directive(c.first),
                                             item(41, Bytes{3, 4, 5}).with_directive(c.second)});
        const VerifyResult r = verify(pkg);
        EXPECT_EQ(r.rc, c.expected);
        EXPECT_EQ(r.index, c.index);
    }
}

TEST(PackageVerify, ItemRecordFaults) {
    struct Case {
        const char* name;
        Item item;
        int32_t expected;
    } cases[] = {
        {"patch on a VPD item", item(5, Bytes{1}).with_directive(ZELPKG_ITEM_PATCH_IF_PRESENT), 0},
        {"patch on boot code", item(4, Bytes{1}).with_directive(ZELPKG_ITEM_PATCH_IF_PRESENT),
         HVXRETVAL_INVALID_DIRECTIVE},
        {"patch on an SRT image", item(62, Bytes{1}).with_directive(ZELPKG_ITEM_PATCH_IF_PRESENT),
         HVXRETVAL_INVALID_DIRECTIVE},
        {"remove without length", item(40, Bytes{}).with_directive(ZELPKG_ITEM_REMOVE_IF_PRESENT).with_item_length(0), 0},
    };
    for (const Case& c : cases) {
        const Bytes pkg = build_package({}, {item(42, Bytes{7}), c.item});
        const VerifyResult r = verify(pkg);
        EXPECT_EQ(r.rc, c.expected) << c.name;
        EXPECT_EQ(r.index, c.expected == 0 ? -1 : 1) << c.name;
    }
    // No item data at all: the last record ends exactly where the trailer begins.
    const Bytes only_removal =
        build_package({}, {item(40, Bytes{}).with_directive(ZELPKG_ITEM_REMOVE_IF_PRESENT).with_item_length(0)});
    EXPECT_EQ(verify(only_removal).rc, 0);
}

TEST(PackageVerify, CorruptedRecordsAndStreams) {
    const Bytes good = build_package({{9, text("1.0")}}, {item(40, Bytes{1, 2, 3, 4, 5}), item(41, Bytes{6})});
    ASSERT_EQ(verify(good).rc, 0);
    const size_t e1 = record_offset(good, 1) + 64;  // directory entry of record 1
    const size_t m = get_u32(good, 8);
    const uint32_t size = static_cast<uint32_t>(good.size());
    struct Case {
        const char* name;
        std::function<void(Bytes&)> corrupt;
        int32_t expected;
        int32_t index;
    } cases[] = {
        {"zero item length", [&](Bytes& b) { set_u32(b, e1 + 12, 0); }, HVXRETVAL_ZERO_LENGTH_ITEM, 1},
        {"item length below data length", [&](Bytes& b) { set_u32(b, e1 + 12, 1), set_u32(b, e1 + 16, 2); },
         HVXRETVAL_INVALID_DATA_LENGTH, 1},
        {"data in the trailer", [&](Bytes& b) { set_u32(b, e1 + 8, size - 4); }, HVXRETVAL_INVALID_MANIFEST, 1},
        {"oversized data length", [&](Bytes& b) { set_u32(b, e1 + 12, ~0u), set_u32(b, e1 + 16, ~0u - 4); },
         HVXRETVAL_INVALID_MANIFEST, 1},
        {"more items than fit", [&](Bytes& b) { set_u32(b, m + 8, 3); }, HVXRETVAL_INVALID_MANIFEST, 2},
        {"manifest sig", [&](Bytes& b) { set_u32(b, m, 0); }, HVXRETVAL_INVALID_MANIFEST, -1},
        {"huge record size", [&](Bytes& b) { set_u32(b, m + 12, ~0u); }, HVXRETVAL_INVALID_MANIFEST, -1},
        {"property runs into the manifest", [&](Bytes& b) { set_u16(b, 13, 0x00FF); }, HVXRETVAL_INVALID_PROP_STREAM,
         -1},
        {"manifest offset past the end", [&](Bytes& b) { set_u32(b, 8, size + 1); }, HVXRETVAL_INVALID_FILE_HEADER,
         -1},
    };
    for (const Case& c : cases) {
        Bytes b = good;
        c.corrupt(b);
        fix_checksum(b);
        const VerifyResult r = verify(b);
        EXPECT_EQ(r.rc, c.expected) << c.name;
        EXPECT_EQ(r.index, c.index) << c.name;
    }
}

TEST(PackageVerify, TerminatorMustFitBeforeTheManifest) {
    // Stream of one property filling it exactly, then a 0 id whose length bytes would
    // lie in the manifest.
    Bytes stream = stream_of({{1, text("ab")}});
    stream.resize(6);
    stream.push_back(0);
    const Bytes pkg = build_package_with_stream(stream, {});
    EXPECT_EQ(verify(pkg).rc, HVXRETVAL_INVALID_PROP_STREAM);
}

TEST(PackageDeviceMatch, Rules) {
    const zelt_pci_id_t dev{0x2b1d, 0x1234, 0x2b1d, 0x0042};
    struct Case {
        const char* name;
        std::vector<Prop> props;
        int chip_rev;
        int32_t expected;
    } cases[] = {
        {"no properties", {}, 0x10, 0},
        {"listed device", {{2, u16s({0x1111, 0x1234})}}, -1, 0},
        {"unlisted device", {{2, u16s({0x1111, 0x1235})}}, -1, HVXRETVAL_UNSUPPORTED_DEVICE_ID},
        {"3-byte id list compares only the first", {{2, {0x11, 0x11, 0x34}}}, -1, HVXRETVAL_UNSUPPORTED_DEVICE_ID},
        {"1-byte id list matches any", {{2, {0x99}}}, -1, 0},
        {"chip above maximum", {{4, {0x0F}}}, 0x10, HVXRETVAL_UNSUPPORTED_CHIP_REV},
        {"chip below minimum", {{3, {0x11}}}, 0x10, HVXRETVAL_UNSUPPORTED_CHIP_REV},
        {"chip at maximum", {{4, {0x10}}}, 0x10, 0},
        {"chip at minimum", {{3, {0x10}}}, 0x10, 0},
        {"unknown chip revision", {{3, {0x11}}}, -1, 0},
        {"any subsystem vendor", {{10, u16s({0xFFFF})}}, -1, 0},
        {"other subsystem vendor", {{10, u16s({0x1000})}}, -1, HVXRETVAL_UNSUPPORTED_SUBSYS_VENDOR},
        {"other subsystem id", {{10, u16s({0x2b1d})}, {11, u16s({0x0043})}}, -1, HVXRETVAL_UNSUPPORTED_SUBSYS_ID},
        {"same subsystem", {{10, u16s({0x2b1d})}, {11, u16s({0x0042})}}, -1, 0},
    };
    for (const Case& c : cases) {
        const Bytes pkg = build_package(c.props, {});
        EXPECT_EQ(zelpkgDeviceMatch(pkg.data(), pkg.size(), dev, c.chip_rev), c.expected) << c.name;
    }
    const zelt_pci_id_t unknown{0x2b1d, 0x1234, 0xFFFF, 0xFFFF};
    const Bytes pkg = build_package({{10, u16s({0x1000})}, {11, u16s({0x1})}}, {});
    EXPECT_EQ(zelpkgDeviceMatch(pkg.data(), pkg.size(), unknown, -1), 0);
    const Bytes junk = {1, 2, 3};
    EXPECT_EQ(zelpkgDeviceMatch(junk.data(), junk.size(), dev, 0), 0);
}

TEST(PackageApplicability, PrerequisitesAndFlags) {
    struct Case {
        const char* required;  // nullptr: no property 20
        const char* installed;
        bool met;
    } cases[] = {
        {nullptr, "1.0", true}, {"2.0", "2.0", true}, {"2.0", "2.1", true},
        {"2.0", "1.9", false},  {"2.0", "", false},   {"", "0", true},
    };
    for (const Case& c : cases) {
        std::vector<Prop> props;
        if (c.required) props.push_back({20, text(c.required)});
        const Bytes pkg = build_package(props, {});
        char required[8];
        EXPECT_EQ(zelpkgPrerequisitesMet(pkg.data(), pkg.size(), c.installed, required, sizeof(required)), c.met)
            << (c.required ? c.required : "none") << " with " << c.installed;
        if (c.required && *c.required) {
            EXPECT_STREQ(required, c.required);
        }
    }
    const Bytes flags = build_package({{21, {0}}, {23, {}}}, {});
    EXPECT_TRUE(zelpkgRequireOnboardConfig(flags.data(), flags.size()));
    EXPECT_FALSE(zelpkgLivePatchPkg(flags.data(), flags.size()));
}

TEST(PackageApplicability, ConfigurationPackages) {
    auto items = [](std::initializer_list<uint16_t> types) {
        std::vector<Item> v;
        uint16_t ordinal = 0;
        for (uint16_t t : types) v.push_back(item(t, Bytes{1}).with_ordinal(ordinal++));
        return v;
    };
    struct Case {
        const char* name;
        std::vector<Item> items;
        int device_type;
        bool recovery;
        bool force;
        bool expected;
    } cases[] = {
        {"older device, cfg items", items({40, 41, 42}), 4, false, false, true},
        {"older device, cfg items and patch", items({40, 41, 42, 3}), 4, false, false, false},
        {"older device, cfg items and patch in recovery", items({40, 41, 42, 3}), 4, true, false, true},
        {"older device, missing func cfg", items({40, 41}), 4, false, false, false},
        {"system cfg only", items({46}), 8, false, false, true},
        {"factory cfg only", items({47}), 8, false, false, true},
        {"onboard cfg first of three", items({82, 40, 41}), 8, false, false, true},
        {"onboard cfg first of four", items({82, 40, 41, 42}), 8, false, false, false},
        {"factory cfg among others, recovery and force", items({4, 47}), 8, true, true, true},
        {"factory cfg among others, recovery only", items({4, 47}), 8, true, false, false},
        {"firmware package", items({4, 5}), 8, false, false, false},
    };
    for (const Case& c : cases) {
        const Bytes pkg = build_package({}, c.items);
        EXPECT_EQ(zelpkgClassifyConfigPackage(pkg.data(), pkg.size(), c.device_type, c.recovery, c.force).is_config,
                  c.expected)
            << c.name;
    }
}

}  // namespace
}  // namespace zelt::test
