// A simulated host lives on disk: what one process changes the next one sees, and
// processes changing it at the same time do not lose each other's changes.
#include <sys/wait.h>
#include <unistd.h>

#include "tests/sim/sim_test_support.h"
#include "wire/hwrm_nvm.h"

namespace zelt::sim::test {
namespace {

class PersistenceTest : public SimHostTest {
protected:
    void SetUp() override { create(); }

    int set_option(uint16_t num, uint16_t index, uint8_t value) {
        auto set = zeroed_request<hwrm_nvm_set_variable_input>(HWRM_NVM_SET_VARIABLE);
        set.option_num = num;
        set.data_len = 8;
        set.dimensions = 1;
        set.index_0 = index;
        std::vector<uint8_t> v{value};
        return send_kestra<hwrm_nvm_set_variable_input, hwrm_nvm_set_variable_output>(
                   set, {&v, 16, ZELT_LFC_DMA_HOST_TO_DEVICE})
            .rc;
    }
};

TEST_F(PersistenceTest, ValuesAndClockSurviveTheProcess) {
    ASSERT_EQ(set_option(201, 1, 0x42), 0);
    int64_t before = SimHost(root()).now().tv_sec;
    host().sleep_ms(3600 * 1000);
    // A new process (zeltsim) sees the option; a new host object sees the clock.
    std::string out;
    ASSERT_EQ(run_zeltsim({"show", root(), "--options"}, &out), 0);
    EXPECT_NE(out.find("201[1] = 42 (8 bits)"), std::string::npos) << out;
    EXPECT_GE(SimHost(root()).now().tv_sec - before, 3600);
}

TEST_F(PersistenceTest, ConcurrentProcessesDoNotLoseChanges) {
    constexpr int kChildren = 4;
    constexpr int kEach = 15;
    std::vector<pid_t> pids;
    for (int c = 0; c < kChildren; ++c) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kEach; ++i) {
                failures += set_option(static_cast<uint16_t>(300 + c), static_cast<uint16_t>(i), uint8_t(i + 1)) != 0;
                host().sleep_ms(1000);
            }
            _exit(failures == 0 ? 0 : 1);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string error;
    auto session = SimSession::open(root(), error);
    ASSERT_TRUE(session) << error;
    EXPECT_EQ(session->state().clock_offset_us, int64_t{kChildren} * kEach * 1000 * 1000);
    const AdapterState& st = session->adapter_state("adapter0");
    for (int c = 0; c < kChildren; ++c) {
        auto it = st.options.find(300 + c);
        ASSERT_NE(it, st.options.end()) << c;
        EXPECT_EQ(it->second.values.size(), static_cast<size_t>(kEach));
    }
}

}  // namespace
}  // namespace zelt::sim::test
