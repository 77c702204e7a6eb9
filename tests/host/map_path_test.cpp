#include <gtest/gtest.h>

#include "host/linux_host.h"

namespace {

struct MapCase {
    const char* path;
    const char* expected;
};

// Under a simulated root only the host's own trees move; files an administrator names
// elsewhere, and relative paths, stay where they are.
TEST(HostMapPath, OnlyHostTreesMoveUnderTheRoot) {
    zelt::host::LinuxHost sim("/srv/simhost/");
    const MapCase cases[] = {
        {"/etc/zeltnvm.conf", "/srv/simhost/etc/zeltnvm.conf"},
        {"/var/log/zeltnvm.log", "/srv/simhost/var/log/zeltnvm.log"},
        {"/sys/bus/pci/devices", "/srv/simhost/sys/bus/pci/devices"},
        {"/proc/net/dev", "/srv/simhost/proc/net/dev"},
        {"/dev/zelt_lfc", "/srv/simhost/dev/zelt_lfc"},
        {"/lib/firmware/hvxupdate.pkg", "/srv/simhost/lib/firmware/hvxupdate.pkg"},
        {"/etc", "/srv/simhost/etc"},
        {"/tmp/update.pkg", "/tmp/update.pkg"},
        {"/etcetera/file", "/etcetera/file"},
        {"/library/x", "/library/x"},
        {"relative/file.pkg", "relative/file.pkg"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(sim.map_path(c.path), c.expected) << c.path;
}

TEST(HostMapPath, RealHostUsesPathsAsTheyAre) {
    zelt::host::LinuxHost real;
    EXPECT_EQ(real.map_path("/etc/zeltnvm.conf"), "/etc/zeltnvm.conf");
    EXPECT_EQ(real.map_path("/tmp/x"), "/tmp/x");
}

}  // namespace
