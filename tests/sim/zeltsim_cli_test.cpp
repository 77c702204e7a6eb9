// The zeltsim command line: creating hosts from descriptions, showing them, faults.
#include "tests/sim/sim_test_support.h"

namespace zelt::sim::test {
namespace {

using zelt::test::TempDir;

TEST(ZeltsimCli, CreateFromConfigurationAndShow) {
    TempDir dir;
    zelt::test::write_text_file(dir.file("host.json"), R"({
      "adapters": [{"name": "nic", "device_type": 8, "ports": 1, "serial": "SN123", "nvm_size": 4194304,
                    "fw_version": "230.0.1.0", "driver_loaded": false,
                    "options": [{"num": 157, "index": 0, "bits": 8, "value": 2}]}],
      "faults": [{"kind": "hwrm_error", "req_type": "0xfff1", "cmd_err": 1, "error_code": 2},
                 {"kind": "signal", "ethtool_cmd": "0x33", "signal": 1}]
    })");
    std::string host = dir.file("h");
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), ZELT_PROGRAM("zeltsim"));
        return zelt::test::run_program(args);
    };
    ASSERT_EQ(run({"create", host, "--config", dir.file("host.json")}).status, 0);
    auto show = run({"show", host});
    ASSERT_EQ(show.status, 0) << show.err;
    for (const char* text : {"Adapter nic:", "serial SN123", "firmware 230.0.1.0", "NVM 4194304 bytes",
                             "0000:03:00.0 PF port 0  -      (none)", "157[0] = 02 (8 bits)", "\"kind\":\"hwrm_error\"",
                             "\"signal\":1", "\tSuccess\t"})
        EXPECT_NE(show.out.find(text), std::string::npos) << text << "\n" << show.out;

    auto item = run({"show", host, "--item", "nic", "0"});
    ASSERT_EQ(item.status, 0);
    EXPECT_EQ(item.out.rfind("Item 0 of nic: type 4 (chimpBoot)", 0), 0u) << item.out;
    EXPECT_NE(item.out.find("\n00000000  "), std::string::npos);
    EXPECT_NE(item.out.find("\n00000010  "), std::string::npos);

    // Refusals: a second create, unknown items, adapters and fault kinds, bad input.
    EXPECT_NE(run({"create", host}).status, 0);
    EXPECT_NE(run({"show", host, "--item", "nic", "99"}).status, 0);
    EXPECT_NE(run({"show", host, "--item", "other", "0"}).status, 0);
    EXPECT_NE(run({"fault", host, "melted"}).status, 0);
    EXPECT_NE(run({"fault", host, "busy", "--adapter", "other"}).status, 0);
    EXPECT_NE(run({"fault", host, "signal"}).status, 0);  // which signal?
    EXPECT_NE(run({"fault", host, "signal", "--signal", "64"}).status, 0);
    zelt::test::write_text_file(dir.file("no_signal.json"),
                                R"({"adapters": [{"name": "nic", "device_type": 8, "ports": 1}],
                                    "faults": [{"kind": "signal"}]})");
    auto no_signal = run({"create", dir.file("h3"), "--config", dir.file("no_signal.json")});
    EXPECT_NE(no_signal.status, 0);
    EXPECT_NE(no_signal.err.find("signal number"), std::string::npos) << no_signal.err;
    zelt::test::write_text_file(dir.file("bad.json"), R"({"adapters":[{"device_id":"0x1234"}]})");
    auto bad = run({"create", dir.file("h2"), "--config", dir.file("bad.json")});
    EXPECT_NE(bad.status, 0);
    EXPECT_NE(bad.err.find("not a supported physical function"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace zelt::sim::test
