#include "MountCaches.h"

#include <gtest/gtest.h>

namespace varkel::platform {
namespace {

const char* const kMountInfo =
    "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
    "40 22 0:35 / /srv/office\\040share rw,nosuid - cifs //fs/office rw,cache=strict,actimeo=1\n"
    "41 22 0:36 / /mnt/docs rw,nosuid,nodev shared:9 - fuse.sshfs varkel@fs:/srv rw,user_id=0,group_id=0\n"
    "42 22 0:37 / /mnt/docs rw - fuse.sshfs varkel@fs:/other rw,user_id=0,group_id=0\n"
    "broken line\n";

TEST(MountCaches, MountsAreReadWithTheirTypeAndOptions) {
    const auto mounts = parseMountInfo(kMountInfo);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[1].mountPoint, "/srv/office share");
    EXPECT_EQ(mounts[1].type, "cifs");
    const std::vector<std::string> options{"rw", "nosuid", "rw", "cache=strict", "actimeo=1"};
    EXPECT_EQ(mounts[1].options, options);
}

TEST(MountCaches, AFolderBelongsToTheDeepestLatestMountAboveIt) {
    const auto mounts = parseMountInfo(kMountInfo);
    const std::pair<const char*, const char*> cases[] = {
        {"/srv/office share/Docs", "/srv/office share"},
        {"/srv/office", "/"},
        {"/srv/office sharex", "/"},
        {"/mnt/docs", "/mnt/docs"},
        {"/home/me", "/"},
    };
    for (const auto& [folder, mountPoint] : cases) {
        const MountEntry* m = mountHolding(mounts, folder);
        ASSERT_NE(m, nullptr) << folder;
        EXPECT_EQ(m->mountPoint, mountPoint) << folder;
    }
    EXPECT_EQ(mountHolding(mounts, "/mnt/docs/x")->options.back(), "group_id=0");
    EXPECT_EQ(mountHolding(mounts, "/mnt/docs/x"), &mounts[3]);  // the later mount on /mnt/docs
    EXPECT_EQ(mountHolding({}, "/x"), nullptr);
}

TEST(MountCaches, OnlyClientsThatCacheAreNamedWithTheOptionsTheyLack) {
    const std::string sftpFix = "dir_cache=no,attr_timeout=0,entry_timeout=0,negative_timeout=0";
    const std::string smbFix = "cache=none,actimeo=0";
    struct Case {
        const char* type;
        std::vector<std::string> options;
        std::string missing;
    } cases[] = {
        {"fuse.sshfs", {"idmap=none"}, sftpFix},
        {"fuse.sshfs", {"dir_cache=no", "attr_timeout=0", "entry_timeout=0", "negative_timeout=0"}, ""},
        {"fuse.sshfs", {"dir_cache=no", "attr_timeout=0.0", "entry_timeout=0"}, ""},
        {"fuse.sshfs", {"dir_cache=no", "attr_timeout=0", "entry_timeout=1"}, sftpFix},
        {"fuse.sshfs", {"dir_cache=no", "attr_timeout=0", "entry_timeout=0", "negative_timeout=5"}, sftpFix},
        {"fuse.sshfs", {"dir_cache=yes", "attr_timeout=0", "entry_timeout=0", "dir_cache=no"}, ""},
        {"fuse.sshfs", {"dir_cache=no", "attr_timeout=0", "entry_timeout=0", "dir_cache=yes"}, sftpFix},
        {"fuse.sshfs", {"attr_timeout=0", "entry_timeout=0"}, sftpFix},
        {"cifs", {"rw", "cache=strict", "actimeo=1"}, smbFix},
        {"cifs", {"rw", "cache=none", "actimeo=1"}, smbFix},
        {"cifs", {"rw", "cache=none", "actimeo=0"}, ""},
        {"smb3", {"cache=none", "acregmax=0", "acdirmax=0"}, ""},
        {"smb3", {"cache=none", "acregmax=0"}, smbFix},
        {"ext4", {"rw"}, ""},
        {"nfs4", {"rw"}, ""},
    };
    for (const Case& c : cases) {
        std::string all;
        for (const auto& o : c.options) all += o + " ";
        EXPECT_EQ(missingCacheOptions(c.type, c.options), c.missing) << c.type << " " << all;
    }
}

TEST(MountCaches, ALocalFolderDrawsNoWarning) {
    EXPECT_EQ(networkFolderCacheWarning("C:\\tmp\\"), "");
    EXPECT_EQ(networkFolderCacheWarning("C:\\no\\such\\folder\\"), "");
}

}  // namespace
}  // namespace varkel::platform
