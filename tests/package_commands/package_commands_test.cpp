// devid, pkgver, verify, view and list on package files, run through the built program
// against a simulated host without adapters.
#include <gtest/gtest.h>

#include <fstream>

#include "common/directory_types.h"
#include "package/package_records.h"
#include "tests/support/run_program.h"
#include "tests/support/shared_data_records.h"
#include "pkgbuild/pkgbuild.h"
#include "test_signing_key/test_signing_key.h"

namespace zelt::test {
namespace {

using pkgbuild::Bytes;

class PackageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        // A host without adapters: discovery finds no interface and no function.
        const std::string proc = dir_.file("host/proc/net");
        ASSERT_EQ(std::system(("mkdir -p " + proc).c_str()), 0);
        write_text_file(proc + "/dev", "Inter-|   Receive\n face |bytes\n");
    }

    std::string save(const std::string& name, const Bytes& bytes) {
        std::ofstream(dir_.file(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        // Relative to the working directory: the simulated host maps absolute paths under its root.
        return name;
    }

    std::string package(const std::string& name, std::vector<pkgbuild::PropertySpec> props,
                        std::vector<pkgbuild::ItemSpec> items) {
        pkgbuild::PackageSpec plan;
        plan.properties = std::move(props);
        plan.items = std::move(items);
        plan.verify = false;
        Bytes bytes;
        std::string error;
        EXPECT_EQ(pkgbuild::build_package(plan, &bytes, &error), 0) << error;
        return save(name, bytes);
    }

    RunResult zeltnvm(std::vector<std::string> args) {
        args.insert(args.begin(), ZELT_PROGRAM("zeltnvm"));
        RunOptions o;
        o.env = {{"ZELTNVM_SIM", dir_.file("host")}};
        o.cwd = dir_.path();
        return run_program(args, o);
    }

    static pkgbuild::ItemSpec config_item(uint16_t type, uint16_t ordinal, uint32_t size) {
        pkgbuild::ItemSpec it;
        it.type = type;
        it.ordinal = ordinal;
        it.data = pkgbuild::filler(type, size);
        it.description = "cfg " + std::to_string(type);
        return it;
    }

    TempDir dir_;
};

TEST_F(PackageCommands, ExamplePackageVerifiesPlainAndWrapped) {
    Bytes plain, wrapped;
    ASSERT_EQ(pkgbuild::build_example_package(pkgbuild::kExamplePackageVersion, pkgbuild::test_signing_key(), &plain), 0);
    ASSERT_EQ(pkgbuild::build_example_package("230.1.2.3", pkgbuild::test_signing_key(), &wrapped, true), 0);
    const RunResult r = zeltnvm({"verify", save("a.pkg", plain), save("b.pkg", wrapped)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Package File: a.pkg\nPackage verification successful\n---\nPackage File: b.pkg\nPackage "
              "verification successful\n");
    const RunResult v = zeltnvm({"pkgver", "-tab", "b.pkg"});
    EXPECT_EQ(v.out, "b.pkg\n230.1.2.3\n");
}

TEST_F(PackageCommands, VerifyFailuresNameTheItem) {
    Bytes pkg;
    ASSERT_EQ(pkgbuild::build_example_package("229.0.0.1", pkgbuild::test_signing_key(), &pkg), 0);
    Bytes item_fault = pkg, package_fault = pkg;
    // A byte inside the first item's data (the data follows the 512-byte stream, the
    // manifest header and eight records), with the package checksum made right again.
    pkgbuild::apply_faults(&item_fault, {{pkgbuild::Fault::XOR_BYTE, 12 + 512 + 20 + 8 * 88 + 100, 1},
                                         {pkgbuild::Fault::FIX_CHECKSUM, 0, 0}});
    pkgbuild::apply_faults(&package_fault, {{pkgbuild::Fault::XOR_BYTE, -1, 1}});

    // 16 MiB of data that 4096 records point at: the second record is refused before
    // the data is looked at again.
    pkgbuild::PackageSpec plan;
    plan.verify = false;
    plan.items.push_back(config_item(40, 0, 16u << 20));
    for (uint16_t i = 1; i < 4096; ++i) plan.items.push_back(config_item(41, i, 1));
    Bytes shared;
    std::string error;
    ASSERT_EQ(pkgbuild::build_package(plan, &shared, &error), 0) << error;
    point_records_at_first_data(shared);
    pkgbuild::apply_faults(&shared, {{pkgbuild::Fault::FIX_CHECKSUM, 0, 0}});

    struct Case {
        const char* name;
        Bytes bytes;
        std::string err;
        std::string code;
        int status;
    } cases[] = {
        {"item.pkg", item_fault, "Packaged item #1 verification error: INVALID_CHECKSUM\n", "INVALID_CHECKSUM", 256 - 26},
        {"sum.pkg", package_fault, "Package verification error: INVALID_CHECKSUM\n", "INVALID_CHECKSUM", 256 - 26},
        {"shared.pkg", shared, "Packaged item #2 verification error: OVERLAPPING_ITEM\n", "OVERLAPPING_ITEM", 256 - 63},
    };
    for (const Case& c : cases) {
        const RunResult r = zeltnvm({"verify", save(c.name, c.bytes)});
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.err, c.err + "Command 'verify' error: " + c.code + "\n") << c.name;
    }
}

TEST_F(PackageCommands, ListTabAndTotals) {
    const std::string file = package("three.pkg", {{ZELPKG_PROP_PKG_VERSION, pkgbuild::text_value("1.0")}},
                                     {config_item(40, 0, 100), config_item(41, 1, 50), config_item(42, 0, 10)});
    const RunResult tab = zeltnvm({"list", "-tab", file});
    EXPECT_EQ(tab.status, 0);
    EXPECT_EQ(tab.out, file + "\nsharedCfg\t0\t0\t100\t4096\t0\t\nportCfg\t1\t0\t50\t4096\t0\t\nfuncCfg\t0\t0\t10\t4096\t0\t\n");

    const RunResult tot = zeltnvm({"list", "-tot", "-type=portCfg", file});
    EXPECT_EQ(tot.out, "Package File: " + file +
                           "\nitem type         ord.ext    data/length  attr version         \n"
                           "   2 portCfg         1.0        50/4096    0000                 \n"
                           "                          ---------------\n"
                           "                               50/4096\n");
}

TEST_F(PackageCommands, PkgverAndDevidLines) {
    const std::string file =
        package("ids.pkg", {{ZELPKG_PROP_DEVICE_IDS, pkgbuild::u16_values({0x1234, 0x1235})},
                            {ZELPKG_PROP_PKG_VERSION, pkgbuild::text_value("7.1.0.2")}},
                {config_item(40, 0, 16)});
    const RunResult ver = zeltnvm({"pkgver", "-vvv", file});
    ASSERT_EQ(ver.status, 0) << ver.err;
    EXPECT_NE(ver.out.find("Package version: 7.1.0.2, Timestamp: N/A, Checksum: "), std::string::npos) << ver.out;
    EXPECT_TRUE(ver.out.ends_with(", Description: N/A\n")) << ver.out;

    const RunResult id = zeltnvm({"devid", file});
    EXPECT_EQ(id.out, "Package File: " + file + "\nTarget PCI-ID: 2b1d:1234\nTarget PCI-ID: 2b1d:1235\n");
}

TEST_F(PackageCommands, UnreadableFileStopsTheLoopUnlessContinue) {
    const std::string good = package("good.pkg", {}, {config_item(40, 0, 16)});
    save("junk.pkg", Bytes(64, 0x5A));
    const RunResult stop = zeltnvm({"verify", "missing.pkg", good});
    EXPECT_NE(stop.status, 0);
    EXPECT_EQ(stop.err.find("Command 'verify' error: FILE_OPEN_FAILURE (errno: 2, "), 0u) << stop.err;
    EXPECT_EQ(stop.out.find(good), std::string::npos);

    const RunResult cont = zeltnvm({"verify", "-continue", "junk.pkg", good});
    EXPECT_EQ(cont.status, 0);
    EXPECT_EQ(cont.err, "Command 'verify' error: UNSUPPORTED_FILE_TYPE\n");
    EXPECT_NE(cont.out.find("Package File: " + good + "\nPackage verification successful\n"), std::string::npos);
}

// A package's texts may carry terminal sequences: the text form shows them escaped, the
// JSON form keeps them as they are, escaped by JSON itself.
TEST_F(PackageCommands, ControlCharactersOfPackageTextsAreShownEscaped) {
    const std::string file =
        package("esc.pkg",
                {{ZELPKG_PROP_PKG_DESCRIPTION, pkgbuild::text_value("Evil \x1b[31mred\x1b[0m\rfake")},
                 {ZELPKG_PROP_PKG_VERSION, pkgbuild::text_value("1.2.\x1b]0;title\x07")}},
                {config_item(40, 0, 16)});
    const RunResult view = zeltnvm({"view", file});
    ASSERT_EQ(view.status, 0) << view.err;
    EXPECT_NE(view.out.find("Package Description    : Evil \\x1b[31mred\\x1b[0m\\x0dfake\n"), std::string::npos)
        << view.out;
    EXPECT_NE(view.out.find("Package Version        : 1.2.\\x1b]0;title\\x07\n"), std::string::npos) << view.out;
    EXPECT_EQ(view.out.find_first_of("\x1b\r\x07"), std::string::npos);

    const RunResult json = zeltnvm({"view", "-json", file});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"description\": \"Evil \\u001b[31mred\\u001b[0m\\rfake\""), std::string::npos)
        << json.out;
}

TEST_F(PackageCommands, ViewOfAWrappedPackage) {
    Bytes wrapped;
    ASSERT_EQ(pkgbuild::build_example_package("229.9.9.9", pkgbuild::test_signing_key(), &wrapped, true), 0);
    const RunResult r = zeltnvm({"view", "-type=AVS", save("w.pkg", wrapped)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Package Version        : 229.9.9.9\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Item #4           Type : AVS (7): "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("               Version : 229.9.9.9\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Item #1 "), std::string::npos);
}

}  // namespace
}  // namespace zelt::test
