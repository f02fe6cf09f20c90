// The system calls under the utilities: sysctlbyname, getmntinfo and notify_post.
#include <device/device.h>
#include <device/journal.h>
#include <gtest/gtest.h>
#include <notify.h>
#include <sys/mount_darwin.h>
#include <sys/sysctl_darwin.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

TEST(SysctlTest, HardwareMachineInTwoCalls) {
  device::setMachine("iPhone12,5");
  size_t size = 0;
  ASSERT_EQ(sysctlbyname("hw.machine", nullptr, &size, nullptr, 0), 0);
  EXPECT_EQ(size, std::strlen("iPhone12,5") + 1);  // the NUL counts
  std::string buffer(size, 'x');
  ASSERT_EQ(sysctlbyname("hw.machine", buffer.data(), &size, nullptr, 0), 0);
  EXPECT_STREQ(buffer.c_str(), "iPhone12,5");
  device::setMachine("iPhone13,4");
}

TEST(SysctlTest, FailuresAnswerMinusOneWithErrno) {
  char small[4] = {};
  size_t size = sizeof small;
  errno = 0;
  EXPECT_EQ(sysctlbyname("hw.machine", small, &size, nullptr, 0), -1);
  EXPECT_EQ(errno, ENOMEM);

  size = 0;
  EXPECT_EQ(sysctlbyname("hw.model.nope", nullptr, &size, nullptr, 0), -1);
  EXPECT_EQ(errno, ENOENT);

  char value[] = "iPhone1,1";
  EXPECT_EQ(sysctlbyname("hw.machine", nullptr, nullptr, value, sizeof value), -1);
  EXPECT_EQ(errno, EPERM);

  device::setMachine("");
  EXPECT_EQ(sysctlbyname("hw.machine", nullptr, &size, nullptr, 0), -1);
  EXPECT_EQ(errno, ENOENT);
  device::setMachine("iPhone13,4");
}

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

  std::ofstream(table) << "";
  EXPECT_EQ(getmntinfo(&mounts, MNT_NOWAIT), 0);
  fs::remove(table);
  EXPECT_EQ(getmntinfo(&mounts, MNT_NOWAIT), 0);
  device::setMountTable("/proc/self/mounts");
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
