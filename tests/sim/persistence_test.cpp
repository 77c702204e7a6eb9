// A simulated host lives on disk: what one process changes the next one sees, and
// processes changing it at the same time do not lose each other's changes.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <vector>

#include "sim/factory/factory_content.h"
#include "sim/state/request_log.h"
#include "tests/sim/sim_test_support.h"
#include "wire/hwrm_nvm.h"

namespace zelt::sim::test {
namespace {

class PersistenceTest : public SimHostTest {
protected:
    void SetUp() override { create(); }

    // Sets the option and flushes it to the NVM, as the tool does.
    int set_option(uint16_t num, uint16_t index, uint8_t value) {
        const int rc = set_unflushed(num, index, value);
        if (rc != 0) return rc;
        return send_kestra<hwrm_nvm_flush_input, hwrm_nvm_flush_output>(
                   zeroed_request<hwrm_nvm_flush_input>(HWRM_NVM_FLUSH))
            .rc;
    }

    // Sets the option only: one request.
    int set_unflushed(uint16_t num, uint16_t index, uint8_t value) {
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

    // The option's value as the firmware answers it; -1 when the message fails.
    int get_option(uint16_t num, uint16_t index) {
        auto get = zeroed_request<hwrm_nvm_get_variable_input>(HWRM_NVM_GET_VARIABLE);
        get.option_num = num;
        get.data_len = 8;
        get.dimensions = 1;
        get.index_0 = index;
        std::vector<uint8_t> v(1, 0);
        HwrmReply r = send_kestra<hwrm_nvm_get_variable_input, hwrm_nvm_get_variable_output>(get, {&v, 16});
        return r.rc == 0 ? v[0] : -1;
    }

    // Runs `change` in a child process, as another command on the host would.
    void in_other_process(const std::function<void()>& change) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            change();
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    struct stat file_stat(const std::string& name) {
        struct stat st {};
        EXPECT_EQ(::stat((root() + "/sim/" + name).c_str(), &st), 0) << name;
        return st;
    }
};

// This process keeps what it read in memory; a change another process makes between
// two of its requests must still be what the next request sees.
TEST_F(PersistenceTest, KeptStateFollowsChangesOfOtherProcesses) {
    ASSERT_EQ(set_option(201, 1, 0x41), 0);
    ASSERT_EQ(get_option(201, 1), 0x41);

    // A value of the same width: the state file keeps its size.
    in_other_process([&] { EXPECT_EQ(set_option(201, 1, 0x42), 0); });
    EXPECT_EQ(get_option(201, 1), 0x42);
    // Back again, quickly, twice in a row.
    in_other_process([&] {
        EXPECT_EQ(set_option(201, 1, 0x41), 0);
        EXPECT_EQ(set_option(201, 1, 0x43), 0);
    });
    EXPECT_EQ(get_option(201, 1), 0x43);

    // A fault scheduled by zeltsim changes the description.
    ASSERT_EQ(run_zeltsim({"fault", root(), "busy", "--req-type", std::to_string(HWRM_NVM_GET_VARIABLE)}), 0);
    EXPECT_EQ(get_option(201, 1), -1);
    ASSERT_EQ(run_zeltsim({"fault", root(), "--clear"}), 0);
    EXPECT_EQ(get_option(201, 1), 0x43);

    // The virtual clock moved by another process.
    const int64_t before = host().now().tv_sec;
    in_other_process([&] { SimHost(root()).sleep_ms(7200 * 1000); });
    EXPECT_EQ(get_option(201, 1), 0x43);  // a request drops the clock this host object read
    EXPECT_GE(host().now().tv_sec - before, 7200);
}

// A host removed and made again under the same name, while this process keeps what it
// read of the first one, is read afresh: its description, state and flash images.
TEST_F(PersistenceTest, AHostMadeAgainUnderTheSameNameIsReadAfresh) {
    const auto directory_entries = [&] {
        const HwrmReply r = send_kestra<hwrm_nvm_get_dir_info_input, hwrm_nvm_get_dir_info_output>(
            zeroed_request<hwrm_nvm_get_dir_info_input>(HWRM_NVM_GET_DIR_INFO));
        EXPECT_EQ(r.rc, 0);
        return r.as<hwrm_nvm_get_dir_info_output>().entries;
    };
    const uint32_t before = directory_entries();
    // The same adapters, with one item fewer in the first one's flash.
    HostSetup setup = default_setup();
    std::vector<FactoryItem> built;
    std::string error;
    ASSERT_EQ(factory_items(setup.host.adapters[0], built, error), 0) << error;
    ASSERT_EQ(before, built.size());
    std::vector<NvmItem>& items = setup.nvm_items[setup.host.adapters[0].name];
    for (size_t i = 0; i + 1 < built.size(); ++i)
        items.push_back({built[i].type, built[i].ordinal, built[i].ext, built[i].attr, built[i].item_length,
                         built[i].data, {}, {}});
    for (const auto& entry : std::filesystem::directory_iterator(root())) std::filesystem::remove_all(entry.path());
    ASSERT_TRUE(create_host(root(), std::move(setup), error)) << error;
    EXPECT_EQ(directory_entries(), before - 1);
    EXPECT_EQ(read_request_log(root()).size(), 1u);  // the new host's log has the request
}

TEST_F(PersistenceTest, OnlyRequestsThatChangeSomethingRewriteTheState) {
    ASSERT_EQ(set_option(201, 1, 0x41), 0);
    const struct stat before = file_stat("state.json");
    const struct stat description = file_stat("description.json");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(get_option(201, 1), 0x41);
    struct stat after = file_stat("state.json");
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    ASSERT_EQ(set_unflushed(201, 1, 0x42), 0);
    after = file_stat("state.json");
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(file_stat("description.json").st_ino, description.st_ino);
}

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

// A process keeps the lock file open between its sessions; children it forks share
// that open file, and with it any flock on it, so each must lock a file of its own.
// The parent holds a session just before forking; the children then change the state
// with a pause inside each session, which loses changes unless they exclude each other.
TEST_F(PersistenceTest, ChildrenOfAProcessThatKeptTheLockStillExcludeEachOther) {
    std::string error;
    int64_t before = 0;
    {
        auto session = SimSession::open(root(), error);
        ASSERT_TRUE(session) << error;
        before = session->state().clock_offset_us;
    }
    constexpr int kChildren = 3;
    constexpr int kEach = 20;
    std::vector<pid_t> pids;
    for (int c = 0; c < kChildren; ++c) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < kEach && ok; ++i) {
                std::string child_error;
                auto session = SimSession::open(root(), child_error);
                ok = session != nullptr;
                if (!ok) break;
                const int64_t seen = session->state().clock_offset_us;
                usleep(500);
                session->state().clock_offset_us = seen + 1;
                ok = session->save(child_error);
            }
            _exit(ok ? 0 : 1);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto session = SimSession::open(root(), error);
    ASSERT_TRUE(session) << error;
    EXPECT_EQ(session->state().clock_offset_us, before + kChildren * kEach);
}

}  // namespace
}  // namespace zelt::sim::test
