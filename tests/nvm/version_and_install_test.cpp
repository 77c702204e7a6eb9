// Item versions read from the adapter, and the firmware's installation of a staged
// package with its fragmentation retry.
#include <gtest/gtest.h>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "device/nvm/nvm_directory.h"
#include "device/nvm/nvm_install.h"
#include "device/nvm/nvm_item_version.h"
#include "device/nvm/nvm_items.h"
#include "formats/image/item_version.h"
#include "sim/firmware/install_staged.h"
#include "tests/nvm/nvm_fixture.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"

namespace zelt::test {
namespace {

class ItemVersion : public NvmOnSimHost {};

TEST_F(ItemVersion, ReadsOnlyTheBytesThatHoldTheVersion) {
    // A copy of the trailer-signed AVS image stored with the Trailer attribute.
    zelnvm_directory_entry_t avs;
    const int32_t avs_index = indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_AVS, 0, 0, &avs));
    ASSERT_GE(avs_index, 0);
    const auto avs_bytes = readFlashItem(static_cast<uint32_t>(avs_index), 0, avs.data_length);
    ASSERT_EQ(device::zeltnvm_write_nvm_dir(fn(), ZEL_DIR_TYPE_AVS, 1, 0, ZEL_DIR_ATTR_TRAILER, 0, avs_bytes.data(),
                                    avs.data_length, 0, 0).code(),
              0);
    // A copy of the CCM image stored without the Trailer attribute: its version is read
    // from the start of the data.
    zelnvm_directory_entry_t ccm;
    const int32_t ccm_index = indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_CCM, 0, 0, &ccm));
    ASSERT_GE(ccm_index, 0);
    const auto ccm_bytes = readFlashItem(static_cast<uint32_t>(ccm_index), 0, ccm.data_length);
    ASSERT_EQ(device::zeltnvm_write_nvm_dir(fn(), ZEL_DIR_TYPE_CCM, 1, 0, 0, 0, ccm_bytes.data(), ccm.data_length, 0,
                                            0)
                  .code(),
              0);

    struct Case {
        uint16_t type, ordinal;
        int selector;
        uint32_t read_length;  // 0: the whole item
        bool from_end;
    } cases[] = {
        {ZEL_DIR_TYPE_BOOTCODE, 0, 0, 0, false},  {ZEL_DIR_TYPE_BOOTCODE, 0, 1, 0, false},
        {ZEL_DIR_TYPE_SRT, 0, 0, 64, false},      {ZEL_DIR_TYPE_CCM, 1, 0, 19, false},
        {ZEL_DIR_TYPE_AVS, 1, 0, 288, true},      {ZEL_DIR_TYPE_PKG_LOG, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " selector " << c.selector);
        zelnvm_directory_entry_t e;
        const int32_t index = indexOrCode(device::zeltnvmGetDirEntry(fn(), c.type, c.ordinal, 0, &e));
        ASSERT_GE(index, 0);
        const auto image = readFlashItem(static_cast<uint32_t>(index), 0, e.data_length);
        char expected[128];
        const int expected_rc =
            zeltnvmGetItemBufVersionString(c.type, image.data(), image.size(), c.selector, expected, sizeof expected,
                                           e.attr);

        clearRequests();
        char text[128];
        EXPECT_EQ(device::zeltnvmGetItemVersionString(fn(), c.type, c.ordinal, 0, c.selector, text, sizeof text).code(),
                  expected_rc);
        EXPECT_STREQ(text, expected);

        uint32_t total = 0;
        uint32_t first_offset = UINT32_MAX;
        for (const auto& r : requests("ethtool")) {
            if (r.value("cmd", 0) != 0x0B) continue;
            total += r.value("len", 0u);
            first_offset = std::min(first_offset, r.value("offset", 0u) & 0xFFFFFFu);
        }
        const uint32_t want = c.read_length ? c.read_length : e.data_length;
        EXPECT_EQ(total, want);
        EXPECT_EQ(first_offset, c.from_end ? e.data_length - want : 0u);
    }
}

TEST_F(ItemVersion, RefusesTypesWithoutAVersionAndMissingItems) {
    char text[32] = "stale";
    clearRequests();
    EXPECT_EQ(device::zeltnvmGetItemVersionString(fn(), ZEL_DIR_TYPE_FRU, 0, 0, 0, text, sizeof text).code(),
              HVXRETVAL_UNSUPPORTED_DETAIL);
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(requests("lfc").empty());
    EXPECT_EQ(device::zeltnvmGetItemVersionString(fn(), ZEL_DIR_TYPE_BOOTCODE, 7, 0, 0, text, sizeof text).code(),
              HVXRETVAL_ITEM_NOT_FOUND);
}

class Install : public NvmOnSimHost {
protected:
    sim::InstallResult lastInstall() {
        std::string error;
        auto session = sim::SimSession::open(root_.path(), error);
        EXPECT_TRUE(session) << error;
        return session ? session->adapter_state(kAdapter).last_install : sim::InstallResult{};
    }
};

TEST_F(Install, AFragmentedNvmIsRetriedOnceWithDefragmentationAllowed) {
    struct Case {
        const char* name;
        uint8_t cmd_err;
        unsigned nth;
        int32_t result;
        std::vector<uint16_t> flags;
    } cases[] = {
        {"fragmented once", HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR, 1, 0, {0, 4}},
        {"fragmented twice", HWRM_NVM_INSTALL_UPDATE_CMD_ERR_FRAG_ERR, 0,
         HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_FRAG_ERR, {0, 4}},
        {"no space", HWRM_NVM_INSTALL_UPDATE_CMD_ERR_NO_SPACE, 0, HVXRETVAL_NVM_INSTALL_UPDATE_CMD_ERR_CODE_NO_SPACE,
         {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::FaultDesc fault;
        fault.kind = "hwrm_error";
        fault.req_type = HWRM_NVM_INSTALL_UPDATE;
        fault.error_code = 1;
        fault.cmd_err = c.cmd_err;
        fault.nth = c.nth;
        schedule({fault});
        clearRequests();
        uint8_t problem = 0xEE, result = 0xEE, reset = 0xEE;
        uint32_t installed[2] = {0xEE, 0xEE};
        EXPECT_EQ(device::zeltnvm_install_update(fn(), 0, &problem, &result, &reset, installed).code(), c.result);
        std::vector<uint16_t> flags;
        for (const auto& r : requests("lfc", HWRM_NVM_INSTALL_UPDATE)) {
            flags.push_back(record<hwrm_nvm_install_update_input>(r).flags);
            EXPECT_EQ(r.value("target_id", -1), 0);
        }
        EXPECT_EQ(flags, c.flags);
        if (c.result == 0) {
            const auto fw = lastInstall();
            EXPECT_EQ(result, fw.result);
            EXPECT_EQ(problem, fw.problem_item);
            EXPECT_EQ(reset, fw.reset_required);
            EXPECT_EQ(installed[0], fw.installed_items[0]);
        } else {
            EXPECT_EQ(result, 0xEE);  // outputs untouched on failure
        }
    }
}

TEST_F(Install, SecureUpdateStagesThePackageAndInstallsIt) {
    const auto package = pattern(70000, 4);
    clearRequests();
    const Result rc = device::zeltnvm_linux_SecureUpdate(fn(), package.data(), 70000, 0);
    const auto fw = lastInstall();
    ASSERT_TRUE(fw.valid);
    // Bytes that are no package: the firmware's own result, reported in the tool's code
    // for it and never as the byte itself (which would read as "no space").
    ASSERT_EQ(fw.result, sim::kInstallBadPackage);
    EXPECT_EQ(rc, Result::firmware(0, 0, HVXRETVAL_INSTALL_DATA_ERROR));

    std::vector<int> order;
    for (const auto& r : requests("lfc")) {
        const int t = r.value("req_type", -1);
        if (order.empty() || order.back() != t) order.push_back(t);
    }
    EXPECT_EQ(order, (std::vector<int>{HWRM_FW_SET_TIME, HWRM_NVM_FIND_DIR_ENTRY, HWRM_NVM_MODIFY,
                                       HWRM_NVM_INSTALL_UPDATE}));
    const int32_t staging = indexOrCode(device::zeltnvmGetDirEntry(fn(), ZEL_DIR_TYPE_UPDATE, 0, 0, nullptr));
    ASSERT_GE(staging, 0);
    EXPECT_EQ(readFlashItem(static_cast<uint32_t>(staging), 0, 70000), package);
}

TEST_F(Install, SecureUpdateStopsAtTheFirstFailingStep) {
    sim::FaultDesc fault;
    fault.kind = "hwrm_error";
    fault.req_type = HWRM_NVM_FIND_DIR_ENTRY;
    fault.error_code = 6;
    schedule({fault});
    const auto package = pattern(100, 1);
    clearRequests();
    EXPECT_EQ(device::zeltnvm_linux_SecureUpdate(fn(), package.data(), 100, 0).code(), 6);
    EXPECT_TRUE(requests("lfc", HWRM_NVM_MODIFY).empty());
    EXPECT_TRUE(requests("lfc", HWRM_NVM_INSTALL_UPDATE).empty());
}

TEST(FirmwareInstallResult, EachResultHasItsOwnToolCode) {
    struct Case {
        uint8_t result;
        int32_t code;
    } cases[] = {
        {sim::kInstallNothingStaged, HVXRETVAL_ITEM_NOT_FOUND},
        {sim::kInstallBadPackage, HVXRETVAL_INSTALL_DATA_ERROR},
        {sim::kInstallBadNvmItem, HVXRETVAL_INSTALL_CHECKSUM_ERROR},
        {sim::kInstallPatchFailed, HVXRETVAL_INVALID_DIRECTIVE},
        {sim::kInstallWriteFailed, HVXRETVAL_FAILURE},
        {0x7F, HVXRETVAL_FAILURE},
    };
    EXPECT_TRUE(device::firmware_install_result(sim::kInstallOk).ok());
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.result));
        const Result r = device::firmware_install_result(c.result);
        EXPECT_EQ(r.origin(), Origin::kFirmware);
        EXPECT_EQ(r.code(), c.code);
    }
}

}  // namespace
}  // namespace zelt::test
