// The simulated device: what a real iPhone has built in and a Linux host does not.
//
// One copy per process (this is a shared library). The host sets it up before it loads any
// product code; the stand-ins read it. Product code never includes this header: it uses device
// paths exactly as on the device, and the stand-ins map them here.
#pragma once

#include <cstdint>
#include <string>

namespace device {

// The folder of the host's file system that stands for the device's "/". Empty: device paths
// are used as they are.
void setRoot(const std::string& hostFolder);
const std::string& root();

// The host path of a device path. The path is resolved lexically under the root, the way the
// device's own file system resolves it: "." is dropped and ".." never climbs above "/", so no
// device path reaches outside the root. Repeated slashes are harmless and kept out.
std::string hostPath(const std::string& devicePath);

// Simulated time since the device session began, in milliseconds. Only the host moves it.
int64_t nowMs();
void setNowMs(int64_t ms);

// The ring/silent switch: on (ringing) by default; off silences the system sounds.
bool ringerOn();
void setRingerOn(bool on);

// The hardware model identifier ("iPhone13,4") that sysctl "hw.machine" answers; empty makes
// the query fail.
const std::string& machine();
void setMachine(const std::string& identifier);

// The running iOS version, as -[UIDevice systemVersion] answers it.
const std::string& systemVersion();
void setSystemVersion(const std::string& version);

// The mount table that getmntinfo reads, in /proc/mounts format. Default: the host machine's
// own /proc/self/mounts.
const std::string& mountTable();
void setMountTable(const std::string& hostFile);

}  // namespace device
