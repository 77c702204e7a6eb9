// The waits of a reset come from the firmware's answer in tenths of a second: they are
// taken in milliseconds without overflow and never longer than the tool's ceiling.
#include <gtest/gtest.h>

#include <memory>

#include "device/reset/device_reset.h"
#include "host/linux_host.h"
#include "tests/support/fake_channel.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_query.h"

namespace zelt::test {
namespace {

TEST(ResetWait, FirmwareWaitsAreTakenWithoutOverflowAndClamped) {
    struct Case {
        uint32_t tenths;
        uint32_t ms;
        bool clamped;
    } cases[] = {
        {0, 0, false},
        {30, 3000, false},
        {device::ZELT_RESET_WAIT_MAX_MS / 100, device::ZELT_RESET_WAIT_MAX_MS, false},
        {device::ZELT_RESET_WAIT_MAX_MS / 100 + 1, device::ZELT_RESET_WAIT_MAX_MS, true},
        // Times 100 in 32 bits this wraps to a wait of about 49 days.
        {0xFFFFFFFFu, device::ZELT_RESET_WAIT_MAX_MS, true},
        // ... and this one to a wait of under a second.
        {42949673u, device::ZELT_RESET_WAIT_MAX_MS, true},
    };
    host::LinuxHost host;
    auto channel = std::make_shared<FakeChannel>(host);
    const transport::Function fn{"zen0", PciAddress{0, 3, 0, 0}, channel};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tenths);
        bool clamped = !c.clamped;
        EXPECT_EQ(device::zelt_reset_wait_ms(c.tenths, &clamped), c.ms);
        EXPECT_EQ(clamped, c.clamped);

        // The same values reach the reset through the firmware's answer.
        channel->answer<hwrm_error_recovery_qcfg_output>(
            HWRM_ERROR_RECOVERY_QCFG, [&](const transport::Function&, hwrm_error_recovery_qcfg_output& out) {
                out.normal_func_wait_period = cpu_to_le32(c.tenths);
                out.max_bailout_time_after_reset = cpu_to_le32(c.tenths);
                return Result();
            });
        uint32_t min_wait = 1;
        uint32_t bailout = 1;
        ASSERT_TRUE(device::zelt_get_timeout_vals(fn, &min_wait, &bailout).ok());
        EXPECT_EQ(min_wait, c.ms);
        EXPECT_EQ(bailout, c.ms);
    }
}

}  // namespace
}  // namespace zelt::test
