#include <device/device.h>
#include <sys/mount_darwin.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

// /proc/mounts writes space, tab, newline and backslash inside a field as \ooo.
std::string unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      bool octal = true;
      int value = 0;
      for (size_t k = 1; k <= 3; ++k) {
        char c = field[i + k];
        if (c < '0' || c > '7') {
          octal = false;
          break;
        }
        value = value * 8 + (c - '0');
      }
      if (octal && value < 256) {
        out += static_cast<char>(value);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

constexpr std::array<std::string_view, 5> kUnionTypes = {"overlay", "aufs", "unionfs",
                                                         "fuse.unionfs", "fuse.mergerfs"};

uint32_t flagsOf(const std::string& type, const std::string& options) {
  uint32_t flags = 0;
  if (std::find(kUnionTypes.begin(), kUnionTypes.end(), type) != kUnionTypes.end()) {
    flags |= MNT_UNION;
  }
  std::stringstream list(options);
  std::string option;
  while (std::getline(list, option, ',')) {
    if (option == "union") flags |= MNT_UNION;
    if (option == "ro") flags |= MNT_RDONLY;
    if (option == "sync") flags |= MNT_SYNCHRONOUS;
    if (option == "noexec") flags |= MNT_NOEXEC;
    if (option == "nosuid") flags |= MNT_NOSUID;
    if (option == "nodev") flags |= MNT_NODEV;
    if (option == "noatime") flags |= MNT_NOATIME;
  }
  return flags;
}

template <size_t N>
void copyName(char (&target)[N], const std::string& value) {
  size_t length = std::min(value.size(), N - 1);
  std::memcpy(target, value.data(), length);
  target[length] = '\0';
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int getmntinfo(struct statfs** mntbufp, int) {
  // The records belong to the system and stay valid until the next call on this thread.
  thread_local std::vector<struct statfs> records;
  if (mntbufp == nullptr) {
    errno = EFAULT;
    return 0;
  }
  std::ifstream table(device::mountTable());
  if (!table) {
    errno = errno != 0 ? errno : ENOENT;
    return 0;
  }
  records.clear();
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string from, on, type, options;
    if (!(fields >> from >> on >> type >> options)) continue;  // not a mount line
    struct statfs record {};
    record.f_flags = flagsOf(unescape(type), unescape(options));
    copyName(record.f_fstypename, unescape(type));
    copyName(record.f_mntonname, unescape(on));
    copyName(record.f_mntfromname, unescape(from));
    records.push_back(record);
  }
  if (records.empty()) return 0;
  *mntbufp = records.data();
  return static_cast<int>(std::min<size_t>(records.size(), 0x7fffffff));
}
