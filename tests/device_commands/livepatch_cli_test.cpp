// livepatch run as a program against the default simulated host (zen0: a Kestra
// adapter, patched in its common and secure firmware; zen2: an older one, patched in
// its management firmware and only from its NVM).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/pf_features/feature_host.h"
#include "wire/hwrm_livepatch.h"

namespace zelt::test {
namespace {

constexpr int kLivepatch = 0x00BF;

uint32_t crc32_of(const std::vector<uint8_t>& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A live-patch image; `fault` spoils one part of it.
enum class Spoil { none, crc, magic, length };
std::vector<uint8_t> patch_image(uint8_t target, const std::string& version, Spoil fault = Spoil::none) {
    const std::vector<uint8_t> payload(200, 0x5A);
    livepatch_image_header h{};
    h.magic = fault == Spoil::magic ? 0x12345678u : LIVEPATCH_IMAGE_MAGIC;
    h.header_version = LIVEPATCH_IMAGE_HEADER_VERSION;
    h.fw_target = target;
    h.header_len = sizeof h;
    h.payload_len = static_cast<uint32_t>(payload.size()) + (fault == Spoil::length ? 1 : 0);
    h.payload_crc32 = crc32_of(payload) ^ (fault == Spoil::crc ? 1u : 0u);
    std::memcpy(h.version, version.data(), version.size());
    std::vector<uint8_t> image(sizeof h + payload.size());
    std::memcpy(image.data(), &h, sizeof h);
    std::memcpy(image.data() + sizeof h, payload.data(), payload.size());
    return image;
}

void write_image(const FeatureHost& host, const std::string& name, const std::vector<uint8_t>& image) {
    write_text_file(host.work_file(name), std::string(image.begin(), image.end()));
}

// A live-patch package holding `image` as the common firmware's patch.
void write_package(const FeatureHost& host, const std::string& name, const std::vector<uint8_t>& image) {
    write_image(host, "pkg_patch.bin", image);
    write_text_file(host.work_file("pkg.json"), R"({"verify": false,
        "properties": {"livepatch": 1, "version": "1.0.0.0", "device_ids": [38913]},
        "items": [{"type": 79, "file": "pkg_patch.bin"}]})");
    const RunResult r =
        run_program({ZELT_PROGRAM("zeltpkg"), "build", host.work_file("pkg.json"), host.work_file(name)});
    ASSERT_EQ(r.status, 0) << r.err;
}

std::string versions(const char* section, const char* active, const char* nvm) {
    return std::string("\n") + section + " Firmware livepatch versions :\n" + "Active livepatch version  : " + active +
           "\nlivepatch version on NVM  : " + nvm + "\n";
}

TEST(LivepatchCommand, ChecksAndEveryOutcome) {
    FeatureHost original;
    write_image(original, "good.bin", patch_image(HWRM_FW_LIVEPATCH_TARGET_COMMON_FW, "2.0.1"));
    write_image(original, "secure.bin", patch_image(HWRM_FW_LIVEPATCH_TARGET_SECURE_FW, "3.1"));
    write_image(original, "chimp.bin", patch_image(HWRM_FW_LIVEPATCH_TARGET_CHIMP_FW, "1.0"));
    write_image(original, "badcrc.bin", patch_image(HWRM_FW_LIVEPATCH_TARGET_COMMON_FW, "2.0.1", Spoil::crc));
    write_image(original, "badmagic.bin", patch_image(HWRM_FW_LIVEPATCH_TARGET_COMMON_FW, "2.0.1", Spoil::magic));
    write_image(original, "short.bin", patch_image(HWRM_FW_LIVEPATCH_TARGET_COMMON_FW, "2.0.1", Spoil::length));
    write_package(original, "patch.pkg", patch_image(HWRM_FW_LIVEPATCH_TARGET_COMMON_FW, "2.0.2"));
    struct Case {
        const char* name;
        std::vector<std::string> args;  // after the command word
        const char* dev;
        std::vector<std::string> fault;  // zeltsim fault arguments, or none
        int status;
        std::string output;  // standard output and error, in full
        int sent;            // patch operations that reached the firmware
    } cases[] = {
        {"query of the newest family",
         {},
         "zen0",
         {},
         0,
         versions("Common", "N/A", "N/A") + versions("Secure", "N/A", "N/A"),
         0},
        {"query of an older family", {}, "zen2", {}, 0, versions("Chimp", "N/A", "N/A"), 0},
        {"query refused",
         {},
         "zen2",
         {"hwrm_error", "--req-type", "190", "--error-code", "2"},
         2,
         versions("Chimp", "N/A", "N/A"),
         0},
        {"update from an image file",
         {"update", "good.bin"},
         "zen0",
         {},
         0,
         "\"common_fw\" livepatch activated successfully.\n",
         1},
        {"update of the secure firmware",
         {"update", "secure_fw", "secure.bin"},
         "zen0",
         {},
         0,
         "\"secure_fw\" livepatch activated successfully.\n",
         1},
        {"update from a package",
         {"update", "common_fw", "patch.pkg"},
         "zen0",
         {},
         0,
         "\"common_fw\" livepatch activated successfully.\n",
         1},
        {"package without the target's image",
         {"update", "secure_fw", "patch.pkg"},
         "zen0",
         {},
         176,
         "The package has no \"secure_fw\" livepatch image.\n",
         0},
        {"file of another kind",
         {"update", "patch.img"},
         "zen0",
         {},
         16,
         "Invalid file extention. Supported file formats are .pkg or .bin\n",
         0},
        {"missing file",
         {"update", "missing.bin"},
         "zen0",
         {},
         153,
         "Failed to read the livepatch file \"missing.bin\".\n",
         0},
        {"unknown target",
         {"activate", "boot_fw"},
         "zen0",
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm livepatch -h\" for help.\n",
         0},
        {"unknown operation",
         {"apply"},
         "zen0",
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm livepatch -h\" for help.\n",
         0},
        {"update without a file",
         {"update"},
         "zen0",
         {},
         255,
         "Error: Invalid syntax. Please run \"zeltnvm livepatch -h\" for help.\n",
         0},
        {"target of another family",
         {"update", "chimp_fw", "chimp.bin"},
         "zen0",
         {},
         2,
         "\"chimp_fw\" doesn't support on this hardware.\n",
         0},
        {"status 3: no patch from memory",
         {"update", "chimp.bin"},
         "zen2",
         {},
         3,
         "activate livepatch operation not supported.\n",
         1},
        {"status 4: nothing in the NVM",
         {"activate"},
         "zen0",
         {},
         4,
         "Failed to activate. \"common_fw\" not installed to NVM.\n",
         1},
        {"status 5: nothing running",
         {"deactivate", "secure_fw"},
         "zen0",
         {},
         5,
         "Failed to deactivate \"secure_fw\" livepatch. Firmware is not currently patched.\n",
         1},
        {"status 6: payload fails its CRC",
         {"update", "badcrc.bin"},
         "zen0",
         {},
         6,
         "Authentication of a signed \"common_fw\" livepatch failed.\n",
         1},
        {"status 7: not a patch header",
         {"update", "badmagic.bin"},
         "zen0",
         {},
         7,
         "Incompatible \"common_fw\" livepatch. Livepatch header verification failed.\n",
         1},
        {"status 8: image shorter than its header says",
         {"update", "short.bin"},
         "zen0",
         {},
         8,
         "\"common_fw\" livepatch image size incompatible.\n",
         1},
        {"another failure",
         {"deactivate"},
         "zen0",
         {"hwrm_error", "--req-type", "191", "--error-code", "1"},
         1,
         "deactivate livepatch operation failed. Please check the zeltnvm.log for more details.\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FeatureHost host(FeatureHost::CopyOf{original});
        if (!c.fault.empty()) host.fault(c.fault);
        std::vector<std::string> argv = {std::string("-dev=") + c.dev, "livepatch"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const RunResult r = host.zeltnvm(argv);
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, c.output);
        EXPECT_EQ(host.requests(kLivepatch), c.sent);
    }
}

// A patch sent from memory runs without reaching the NVM; a patch installed from a
// package reaches the NVM without running until it is activated; a second patch waits
// for the first to be deactivated (status 9).
TEST(LivepatchCommand, PatchesAcrossProcesses) {
    FeatureHost host;
    write_image(host, "good.bin", patch_image(HWRM_FW_LIVEPATCH_TARGET_COMMON_FW, "2.0.1"));
    write_package(host, "stored.pkg", patch_image(HWRM_FW_LIVEPATCH_TARGET_COMMON_FW, "2.0.3"));
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string output;
    } steps[] = {
        {{"update", "good.bin"}, 0, "\"common_fw\" livepatch activated successfully.\n"},
        {{}, 0, versions("Common", "2.0.1", "N/A") + versions("Secure", "N/A", "N/A")},
        {{"update", "good.bin"},
         9,
         "\"common_fw\" has already been patched. Deactivate the existing livepatch before proceeding.\n"},
        {{"deactivate", "common_fw"}, 0, "\"common_fw\" livepatch deactivated successfully.\n"},
        {{}, 0, versions("Common", "N/A", "N/A") + versions("Secure", "N/A", "N/A")},
    };
    for (const Step& step : steps) {
        std::vector<std::string> argv = {"-dev=zen0", "livepatch"};
        argv.insert(argv.end(), step.args.begin(), step.args.end());
        const RunResult r = host.zeltnvm(argv);
        EXPECT_EQ(r.status, step.status) << r.out << r.err;
        EXPECT_EQ(r.out + r.err, step.output);
    }
    ASSERT_EQ(host.zeltnvm({"-dev=zen0", "install", "-y", "stored.pkg"}).status, 0);
    RunResult r = host.zeltnvm({"-dev=zen0", "livepatch"});
    EXPECT_EQ(r.out, versions("Common", "N/A", "2.0.3") + versions("Secure", "N/A", "N/A"));
    r = host.zeltnvm({"-dev=zen0", "livepatch", "activate"});
    EXPECT_EQ(r.out, "\"common_fw\" livepatch activated successfully.\n");
    r = host.zeltnvm({"-dev=zen0", "livepatch"});
    EXPECT_EQ(r.out, versions("Common", "2.0.3", "2.0.3") + versions("Secure", "N/A", "N/A"));
}

}  // namespace
}  // namespace zelt::test
