// Which simulated host directories a run accepts, and that a run as root never writes
// outside the directory through links planted under the simulator's file names.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/run_program.h"

namespace zelt::test {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr const char* kVictimText = "the victim's own content\n";

// The simulator's files that a run writes, with a command that writes each of them.
const char* const kPlantedNames[] = {"sim/lock", "sim/state.json.tmp", "sim/requests.log", "var/log/syslog"};

bool running_as_root() { return ::geteuid() == 0; }

// A simulated host made by zeltsim under `base`, with an example package to install in
// the working directory and a victim file outside the host.
struct PreparedHost {
    TempDir base;
    TempDir work;
    std::string root = base.file("host");
    std::string victim = work.file("victim");

    PreparedHost() {
        RunResult r = run_program({ZELT_PROGRAM("zeltsim"), "create", root});
        EXPECT_EQ(r.status, 0) << r.err;
        r = run_program({ZELT_PROGRAM("zeltpkg"), "example", work.file("update.pkg")});
        EXPECT_EQ(r.status, 0) << r.err;
        write_text_file(victim, kVictimText);
    }
    // Replaces `name` under the host with a link to the victim.
    void plant(const std::string& name) const {
        std::error_code ec;
        fs::create_directories(fs::path(root + "/" + name).parent_path());
        fs::remove(root + "/" + name, ec);
        fs::create_symlink(victim, root + "/" + name);
    }
    // Hands the host directory and everything in it to `uid`.
    void give_to(uid_t uid) const {
        EXPECT_EQ(::lchown(root.c_str(), uid, uid), 0);
        for (const auto& e : fs::recursive_directory_iterator(root))
            EXPECT_EQ(::lchown(e.path().c_str(), uid, uid), 0) << e.path();
    }
    RunResult zeltnvm(const std::vector<std::string>& args, const std::string& program = "zeltnvm") const {
        std::vector<std::string> argv{ZELT_PROGRAM(program)};
        argv.insert(argv.end(), args.begin(), args.end());
        RunOptions o;
        o.env = {{"ZELTNVM_SIM", root}};
        o.cwd = work.path();
        o.wrapper = {"timeout", "-s", "KILL", "60"};
        return run_program(argv, o);
    }
};

// Every entry under `dir` with its type, size and modification time.
std::vector<std::string> snapshot(const std::string& dir) {
    std::vector<std::string> lines;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        struct stat st;
        if (::lstat(e.path().c_str(), &st) != 0) continue;
        lines.push_back(e.path().string() + " " + std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                        std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A host directory that another user prepared is refused before anything in it is
// opened, so the links planted in it lead nowhere.
TEST(SimulatedRoot, HostOfAnotherUserIsRefused) {
    if (!running_as_root()) GTEST_SKIP() << "needs root to hand the directory to another user";
    PreparedHost host;
    for (const char* name : kPlantedNames) host.plant(name);
    host.give_to(kNobody);
    const std::vector<std::string> before = snapshot(host.root);
    for (const auto& args : {std::vector<std::string>{"version"}, std::vector<std::string>{"listdev"},
                             std::vector<std::string>{"-y", "install", "update.pkg"}}) {
        const RunResult r = host.zeltnvm(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Error: ZELTNVM_SIM='" + host.root + "' is refused: it belongs to user 65534, not to the user "
                         "running zeltnvm (0)\n");
    }
    EXPECT_EQ(read_text_file(host.victim), kVictimText);
    EXPECT_EQ(snapshot(host.root), before);
}

// In a host directory of the running user, a link under one of the simulator's names is
// never written through: an install that writes each of those files leaves the file
// the link points to as it was.
TEST(SimulatedRoot, LinksInTheHostAreNotFollowed) {
    for (const char* name : kPlantedNames) {
        PreparedHost host;
        host.plant(name);
        const RunResult r = host.zeltnvm({"-y", "install", "update.pkg"});
        EXPECT_EQ(read_text_file(host.victim), kVictimText) << name << "\n" << r.out << r.err;
        EXPECT_TRUE(fs::is_symlink(host.root + "/" + name) || !fs::exists(host.root + "/" + name)) << name;
    }
}

// The directories above the host: none may be writable by other users, unless sticky.
TEST(SimulatedRoot, DirectoriesOthersMayWriteAreRefused) {
    struct Case {
        fs::perms parent;
        fs::perms host;
        bool accepted;
    };
    const auto rwx = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                     fs::perms::others_exec;
    const Case cases[] = {
        {rwx, rwx, true},
        {fs::perms::all | fs::perms::sticky_bit, rwx, true},  // as /tmp is
        {fs::perms::all, rwx, false},
        {rwx | fs::perms::group_write, rwx, false},
        {rwx, rwx | fs::perms::others_write, false},
        {rwx, fs::perms::all | fs::perms::sticky_bit, false},  // the host itself: never
    };
    for (const Case& c : cases) {
        PreparedHost host;
        fs::permissions(host.base.path(), c.parent);
        fs::permissions(host.root, c.host);
        const std::vector<std::string> before = snapshot(host.root);
        const RunResult r = host.zeltnvm({"version"});
        const std::string where = "parent " + std::to_string(static_cast<unsigned>(c.parent)) + " host " +
                                  std::to_string(static_cast<unsigned>(c.host));
        if (c.accepted) {
            EXPECT_EQ(r.status, 0) << where << r.err;
            EXPECT_EQ(r.err, "") << where;
        } else {
            EXPECT_EQ(r.status, 1) << where;
            EXPECT_EQ(r.out, "") << where;
            EXPECT_NE(r.err.find("' is refused: other users may write"), std::string::npos) << where << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << where << r.err;
            EXPECT_EQ(snapshot(host.root), before) << where;
        }
        fs::permissions(host.base.path(), fs::perms::owner_all);
    }
}

// A copy of a built program that an unprivileged user can run.
struct ReachableProgram {
    TempDir dir;
    std::string path;
    explicit ReachableProgram(const std::string& name) : path(dir.file(name)) {
        const auto rx = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(dir.path(), rx);
        fs::copy_file(ZELT_PROGRAM(name), path);
        fs::permissions(path, rx);
    }
};

RunResult run_as_nobody(const std::string& program, const std::string& sim_root, const std::string& arg) {
    RunOptions o;
    o.env = {{"ZELTNVM_SIM", sim_root}};
    o.cwd = "/";
    o.wrapper = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    return run_program({program, arg}, o);
}

// The host's description may take the administrator's rights away, never grant them:
// an unprivileged user's own host does not make the user root.
TEST(SimulatedRoot, DescriptionDoesNotMakeAUserRoot) {
    if (!running_as_root()) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
    PreparedHost host;
    fs::permissions(host.base.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
    host.give_to(kNobody);
    const std::vector<std::string> before = snapshot(host.root);
    ReachableProgram zeltnvm("zeltnvm");
    const RunResult r = run_as_nobody(zeltnvm.path, host.root, "version");
    EXPECT_EQ(r.status, 40) << r.err;
    EXPECT_EQ(r.out, "Error: Operation not permitted. This operation requires root privileges\n");
    EXPECT_EQ(snapshot(host.root), before);
}

// A build without the simulated host runs on the real host whatever ZELTNVM_SIM says,
// and says so. It runs unprivileged so that it stops before touching the real host.
TEST(SimulatedRoot, BuildWithoutSimulatorIgnoresTheVariable) {
    if (!running_as_root()) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is not installed";
    PreparedHost host;
    const std::vector<std::string> before = snapshot(host.root);
    ReachableProgram nosim("zeltnvm_nosim");
    const RunResult r = run_as_nobody(nosim.path, host.root, "version");
    EXPECT_EQ(r.status, 40) << r.err;
    EXPECT_EQ(r.err, "zeltnvm: ZELTNVM_SIM is ignored: this build has no simulated adapter host\n");
    EXPECT_EQ(r.out, "Error: Operation not permitted. This operation requires root privileges\n");
    EXPECT_EQ(snapshot(host.root), before);
}

}  // namespace
}  // namespace zelt::test
