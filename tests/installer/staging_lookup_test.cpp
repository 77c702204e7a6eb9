// The staging item lookup before an installation, over a fake channel: a directory
// that cannot be read is told apart from an absent staging item.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "common/directory_types.h"
#include "common/hvxretval.h"
#include "common/supported_devices.h"
#include "cli/install/update_messages.h"
#include "device/installer/installer.h"
#include "host/linux_host.h"
#include "package/package_reader.h"
#include "tests/support/fake_channel.h"
#include "wire/hwrm_messages.h"

namespace zelt::test {
namespace {

class StagingLookup : public ::testing::Test {
protected:
    host::LinuxHost host;
    std::shared_ptr<FakeChannel> channel = std::make_shared<FakeChannel>(host);
    transport::Function fn{"eth0", PciAddress{0, 0x3b, 0, 0}, channel};
    const std::vector<uint8_t> pkg = std::vector<uint8_t>(64, 0);

    size_t sent(uint16_t req_type) const { return std::count(channel->sent.begin(), channel->sent.end(), req_type); }
};

TEST_F(StagingLookup, AnUnreadableDirectoryIsAccessDeniedOnTheAccessCheckedFunction) {
    // The driver refuses the directory read while another agent holds the staging item.
    channel->messages[HWRM_NVM_GET_DIR_INFO] = [](const transport::Function&, const transport::Message&) {
        return Result::system(EACCES);
    };
    struct Case {
        uint16_t device_id;
        int32_t result;
        bool access_denied;
    } cases[] = {
        {ZELT_ACCESS_CHECK_DEVICE_ID, HVXRETVAL_DEVICE_DRIVER_INTERFACE_FAILURE, true},
        {0x9803, EACCES, false},  // elsewhere the read's own failure
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device_id);
        channel->sent.clear();
        testing::internal::CaptureStdout();
        const Result rc = device::zeltnvmInstallPackage(fn, pkg, 0, c.device_id);
        EXPECT_EQ(rc.code(), c.result);
        EXPECT_EQ(device::is_access_denied(rc), c.access_denied);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // the command layer says it
        EXPECT_EQ(sent(HWRM_NVM_WRITE), 0u);  // no staging item is created on a failed read
    }
}

TEST(StagingLookupMessage, AnAccessDenialAsksTheUserToRetryLater) {
    cli::UpdateMessages messages(false);
    testing::internal::CaptureStdout();
    messages.access_denied();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Access Denied. Please retry later.");
}

TEST_F(StagingLookup, AnAbsentStagingItemIsNoAccessDenial) {
    channel->items[{ZEL_DIR_TYPE_PKG_LOG, 0, 0}] = {'x'};  // a directory without the staging item
    channel->answer<hwrm_nvm_write_output>(HWRM_NVM_WRITE, [](const transport::Function&, auto&) {
        return Result();
    });
    // The package has no update record to size the item from: that is where it stops.
    zelpkg_manifest_item_t record{};
    const int32_t no_record = zelpkgFindItem(pkg.data(), pkg.size(), ZEL_DIR_TYPE_UPDATE, 0, 0, &record);
    ASSERT_NE(no_record, 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(device::zeltnvmInstallPackage(fn, pkg, 0, ZELT_ACCESS_CHECK_DEVICE_ID).code(), no_record);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(sent(HWRM_NVM_GET_DIR_ENTRIES), 1u);
}

}  // namespace
}  // namespace zelt::test
