// Files written whole under a temporary name: the final name changes only on commit,
// a link planted under either name is never written through, and nothing is left
// behind when the writer gives up.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "host/linux_host.h"
#include "host/output_file.h"
#include "tests/support/run_program.h"

namespace {

std::vector<std::string> names_in(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(OutputFile, TheFinalNameChangesOnlyOnCommit) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host(dir.path());
    zelt::test::write_text_file(dir.file("out.bin"), "old");
    {
        zelt::host::OutputFile out;
        ASSERT_TRUE(out.open(host, dir.file("out.bin")));
        ASSERT_TRUE(out.write(std::string_view("new contents")));
        EXPECT_EQ(zelt::test::read_text_file(dir.file("out.bin")), "old");
        // Dropped without commit: the old file stays, the temporary goes.
    }
    EXPECT_EQ(zelt::test::read_text_file(dir.file("out.bin")), "old");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"out.bin"});

    zelt::host::OutputFile out;
    ASSERT_TRUE(out.open(host, dir.file("out.bin")));
    ASSERT_TRUE(out.write(std::string_view("new contents")));
    ASSERT_TRUE(out.commit());
    EXPECT_EQ(zelt::test::read_text_file(dir.file("out.bin")), "new contents");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST(OutputFile, LinksPlantedUnderEitherNameAreNotFollowed) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host(dir.path());
    std::filesystem::create_directories(dir.file("work"));
    zelt::test::write_text_file(dir.file("victim"), "precious");
    // Under the final name: replaced by the new file, the target untouched.
    std::filesystem::create_symlink(dir.file("victim"), dir.file("work/out.bin"));
    // Under a leftover temporary name of this process id: unlinked, not followed.
    const std::string temp = dir.file("work/.out.bin." + std::to_string(::getpid()) + ".tmp");
    std::filesystem::create_symlink(dir.file("victim"), temp);

    ASSERT_TRUE(zelt::host::write_file_replacing(host, dir.file("work/out.bin"),
                                                 std::span<const uint8_t>(reinterpret_cast<const uint8_t*>("data"), 4)));
    EXPECT_EQ(zelt::test::read_text_file(dir.file("victim")), "precious");
    EXPECT_FALSE(std::filesystem::is_symlink(dir.file("work/out.bin")));
    EXPECT_EQ(zelt::test::read_text_file(dir.file("work/out.bin")), "data");
    EXPECT_EQ(names_in(dir.file("work")), std::vector<std::string>{"out.bin"});
}

// A file that must be new: whatever already stands under its name (a file, a link to
// a file, a dangling link) is neither followed, appended to nor replaced, and the
// temporary goes.
TEST(OutputFile, ANewFileNeverTakesAnExistingName) {
    struct Case {
        const char* name;
        void (*plant)(const zelt::test::TempDir& dir);
    } cases[] = {
        {"regular file", [](const zelt::test::TempDir& d) { zelt::test::write_text_file(d.file("out.bin"), "old"); }},
        {"link to a file",
         [](const zelt::test::TempDir& d) { std::filesystem::create_symlink(d.file("victim"), d.file("out.bin")); }},
        {"dangling link",
         [](const zelt::test::TempDir& d) { std::filesystem::create_symlink(d.file("absent"), d.file("out.bin")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zelt::test::TempDir dir;
        zelt::host::LinuxHost host(dir.path());
        zelt::test::write_text_file(dir.file("victim"), "precious");
        c.plant(dir);
        const auto before = names_in(dir.path());
        zelt::host::OutputFile out;
        ASSERT_TRUE(out.open(host, dir.file("out.bin")));
        ASSERT_TRUE(out.write(std::string_view("data")));
        EXPECT_FALSE(out.commit_new());
        EXPECT_EQ(errno, EEXIST);
        EXPECT_EQ(zelt::test::read_text_file(dir.file("victim")), "precious");
        EXPECT_FALSE(std::filesystem::exists(dir.file("absent")));
        EXPECT_EQ(names_in(dir.path()), before);
    }
    // A free name gets the file, and only the file.
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host(dir.path());
    zelt::host::OutputFile out;
    ASSERT_TRUE(out.open(host, dir.file("out.bin")));
    ASSERT_TRUE(out.write(std::string_view("data")));
    ASSERT_TRUE(out.commit_new());
    EXPECT_EQ(zelt::test::read_text_file(dir.file("out.bin")), "data");
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"out.bin"});
}

TEST(OutputFile, AFailedRenameLeavesNothingBehind) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host(dir.path());
    // A non-empty directory under the final name cannot be replaced by a file.
    std::filesystem::create_directories(dir.file("out.bin/inside"));
    zelt::host::OutputFile out;
    ASSERT_TRUE(out.open(host, dir.file("out.bin")));
    ASSERT_TRUE(out.write(std::string_view("data")));
    EXPECT_FALSE(out.commit());
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"out.bin"});
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("out.bin/inside")));
}

// Under the lock that serialises its writers, a writer clears the temporaries that
// killed writers left; files that only look alike stay.
TEST(OutputFile, LeftoverTemporariesOfKilledWritersAreRemoved) {
    zelt::test::TempDir dir;
    zelt::host::LinuxHost host(dir.path());
    for (const char* name : {".out.bin.123.tmp", ".out.bin.9.tmp", ".out.bin.x1.tmp", ".other.bin.5.tmp",
                             "out.bin", ".out.bin..tmp"})
        zelt::test::write_text_file(dir.file(name), "x");
    zelt::host::remove_leftover_temporaries(host, dir.file("out.bin"));
    EXPECT_EQ(names_in(dir.path()),
              (std::vector<std::string>{".other.bin.5.tmp", ".out.bin..tmp", ".out.bin.x1.tmp", "out.bin"}));
}

}  // namespace
