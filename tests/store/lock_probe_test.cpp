#include <filesystem>

#include "store/lock_probe.h"
#include "temp_dir.h"
#include <gtest/gtest.h>

TEST(LockProbeTest, LocalDirectoryKeepsLocksAndNoProbeFileIsLeft)
{
    TempDir dir;
    const store::LockProbe probe = store::probeLocks(dir.path());
    EXPECT_TRUE(probe.probed);
    EXPECT_TRUE(probe.safe) << probe.problem;
    EXPECT_TRUE(probe.problem.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(LockProbeTest, DirectoryThatCannotBeWrittenIsNotProbed)
{
    const store::LockProbe probe = store::probeLocks("/nonexistent/data");
    EXPECT_FALSE(probe.probed);
    EXPECT_TRUE(probe.safe);
}

TEST(LockProbeTest, MountOptionsThatKeepLocksLocal)
{
    struct Case
    {
        const char *type;
        const char *options;
        bool localOnly;
    };
    const Case cases[] = {
        { "nfs4", "rw,relatime,vers=4.2,rsize=1048576,hard,proto=tcp,local_lock=none", false },
        { "nfs4", "rw,vers=4.2,local_lock=all", true },
        { "nfs", "rw,vers=3,local_lock=posix", true },
        { "nfs", "rw,vers=3,nolock", true },
        { "cifs", "rw,vers=3.1.1,cache=strict,nobrl", true },
        { "cifs", "rw,vers=3.1.1,cache=strict", false },
        { "smb3", "rw,nobrl", true },
        { "ext4", "rw,relatime,nolock", false }, // only network file systems pass locks on
        { "tmpfs", "rw", false },
    };
    for (const Case &c : cases)
        EXPECT_EQ(!store::localOnlyLocking(c.type, c.options).empty(), c.localOnly)
            << c.type << " " << c.options;
}
