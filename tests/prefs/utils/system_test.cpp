// The system calls under the utilities that their own tests do not reach: the mount records
// in detail, and notify_post.
#include <device/device.h>
#include <device/journal.h>
#include <gtest/gtest.h>
#include <notify.h>
#include <sys/mount_darwin.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

TEST(MountInfoTest, RecordsCarryNamesAndFlagsOfEachLine) {
  namespace fs = std::filesystem;
  fs::path table = fs::temp_directory_path() / ("plinka-mounts-" + std::to_string(getpid()));
  std::ofstream(table) << "/dev/sda1 /media/My\\040Disk ext4 ro,nosuid,nodev,noexec 0 0\n"
                          "garbage\n"
                          "overlay / overlay rw,relatime 0 0\n";
  device::setMountTable(table.string());
  struct statfs* mounts = nullptr;
  ASSERT_EQ(getmntinfo(&mounts, MNT_NOWAIT), 2);
  EXPECT_STREQ(mounts[0].f_mntonname, "/media/My Disk");
  EXPECT_STREQ(mounts[0].f_mntfromname, "/dev/sda1");
  EXPECT_STREQ(mounts[0].f_fstypename, "ext4");
  EXPECT_EQ(mounts[0].f_flags, MNT_RDONLY | MNT_NOSUID | MNT_NODEV | MNT_NOEXEC);
  EXPECT_EQ(mounts[1].f_flags, MNT_UNION);
  device::setMountTable("/proc/self/mounts");
  fs::remove(table);
}

TEST(NotifyTest, PostIsJournalledAndNullNameRefused) {
  journal::clear();
  EXPECT_EQ(notify_post("com.example.plinka/changed"), NOTIFY_STATUS_OK);
  EXPECT_EQ(notify_post(nullptr), NOTIFY_STATUS_INVALID_NAME);
  ASSERT_EQ(journal::entries().size(), 1u);
  EXPECT_EQ(journal::entries()[0]["kind"], "notify");
  EXPECT_EQ(journal::entries()[0]["name"], "com.example.plinka/changed");
}

}  // namespace
