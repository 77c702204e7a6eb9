// The private directory downloads go to: only its owner may enter it or read its
// files, a name planted in it is never written through, and nothing outlives it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/private_directory.h"
#include "tests/support/run_program.h"

namespace {

mode_t mode_of(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

TEST(PrivateDirectory, OnlyItsOwnerReachesItsFilesAndNothingIsLeft) {
    zelt::test::TempDir tmp;
    const char* was = std::getenv("TMPDIR");
    const std::string old_tmpdir = was ? was : "";
    ASSERT_EQ(::setenv("TMPDIR", tmp.path().c_str(), 1), 0);
    const mode_t old_mask = ::umask(0);  // the modes must not depend on the caller's umask
    std::string dir_path;
    {
        auto dir = zelt::host::PrivateDirectory::create("dl-");
        ASSERT_TRUE(dir);
        dir_path = dir->path();
        EXPECT_EQ(dir_path.rfind(tmp.path() + "/dl-", 0), 0u) << dir_path;
        EXPECT_EQ(mode_of(dir_path), 0700u);

        const int fd = dir->create_file("a.pkg");
        ASSERT_GE(fd, 0);
        ::close(fd);
        EXPECT_EQ(mode_of(dir->file("a.pkg")), 0600u);
        // A second file of the same name is refused, not opened again.
        EXPECT_LT(dir->create_file("a.pkg"), 0);
        EXPECT_EQ(errno, EEXIST);

        // A link planted under the name is not followed.
        zelt::test::write_text_file(tmp.file("target"), "keep");
        ASSERT_EQ(::symlink(tmp.file("target").c_str(), dir->file("b.pkg").c_str()), 0);
        EXPECT_LT(dir->create_file("b.pkg"), 0);
        EXPECT_EQ(zelt::test::read_text_file(tmp.file("target")), "keep");
        ::unlink(dir->file("b.pkg").c_str());

        // A name with a directory part is refused.
        EXPECT_LT(dir->create_file("../c.pkg"), 0);

        const int other = dir->create_file("c.pkg");
        ASSERT_GE(other, 0);
        ::close(other);
        dir->remove("c.pkg");
        EXPECT_FALSE(std::filesystem::exists(dir->file("c.pkg")));
    }
    ::umask(old_mask);
    if (was) ::setenv("TMPDIR", old_tmpdir.c_str(), 1);
    else ::unsetenv("TMPDIR");
    EXPECT_FALSE(std::filesystem::exists(dir_path));
    EXPECT_TRUE(std::filesystem::exists(tmp.file("target")));
}

}  // namespace
