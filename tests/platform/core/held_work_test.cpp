// Held platform work: the host runs waiting work in any order the device could run it, each
// piece tagged with the row that caused it; and the file layer every file effect goes through.
#include <Foundation/Foundation.h>
#include <Foundation/NSError.h>
#include <Foundation/dispatch.h>
#include <device/device.h>
#include <device/files.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::TemporaryDeviceRoot;

// Each test starts with nothing waiting and leaves nothing held.
class HeldQueueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dispatch::runPendingWork();
    dispatch::hold(true);
  }
  void TearDown() override {
    dispatch::hold(false);
    dispatch::runAllWaiting();
    dispatch::setRow(std::nullopt);
  }
  void note(const std::string& what) {
    std::lock_guard guard(lock_);
    seen_.push_back(what);
  }
  std::vector<std::string> seen() {
    std::lock_guard guard(lock_);
    return seen_;
  }
  ns::AutoreleasePool pool_;
  std::mutex lock_;
  std::vector<std::string> seen_;
};

TEST_F(HeldQueueTest, HeldWorkWaitsNumberedAndTaggedWithTheRowThatCausedIt) {
  dispatch::setRow("Unlock background");
  dispatch::asyncDescribed(dispatch_get_global_queue(0, 0), "export of IMG_0004.MOV",
                           "IMG_0004.MOV", [this] {
                             note("export");
                             // Work scheduled by work inherits its row and item.
                             dispatch::async(dispatch_get_main_queue(), [this] { note("main"); });
                           });
  dispatch::setRow(std::nullopt);
  dispatch::async(dispatch_queue_create("com.example.serial", nullptr), [this] { note("serial"); });
  EXPECT_EQ(dispatch::runPendingWork(), 0u);  // the host's drain leaves held work alone
  EXPECT_TRUE(seen().empty());

  std::vector<dispatch::Waiting> waiting = dispatch::waiting();
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting[0].number, 1u);
  EXPECT_EQ(waiting[0].what, "export of IMG_0004.MOV");
  EXPECT_EQ(waiting[0].row, std::optional<std::string>("Unlock background"));
  EXPECT_EQ(waiting[0].queue, "background queue");
  EXPECT_EQ(waiting[1].number, 2u);
  EXPECT_EQ(waiting[1].what, "block");
  EXPECT_EQ(waiting[1].row, std::nullopt);
  EXPECT_EQ(waiting[1].queue, "queue com.example.serial");

  std::string problem;
  ASSERT_TRUE(dispatch::runWaiting(1, problem)) << problem;
  EXPECT_EQ(seen(), std::vector<std::string>{"export"});
  waiting = dispatch::waiting();
  ASSERT_EQ(waiting.size(), 2u);
  EXPECT_EQ(waiting[1].number, 3u);  // after the others
  EXPECT_EQ(waiting[1].what, "block for IMG_0004.MOV");
  EXPECT_EQ(waiting[1].row, std::optional<std::string>("Unlock background"));
  EXPECT_EQ(waiting[1].queue, "main queue");

  EXPECT_FALSE(dispatch::runWaiting(1, problem));  // it has run
  EXPECT_EQ(problem, "no item 1 is waiting");
  EXPECT_EQ(dispatch::runAllWaiting(), 2u);
  EXPECT_EQ(seen(), (std::vector<std::string>{"export", "serial", "main"}));
}

TEST_F(HeldQueueTest, GlobalWorkRunsInAnyOrderSerialAndMainQueuesInTheirOrder) {
  dispatch_queue_t serial = dispatch_queue_create("com.example.serial", nullptr);
  dispatch::async(dispatch_get_global_queue(0, 0), [this] { note("global 1"); });
  dispatch::async(dispatch_get_global_queue(0, 0), [this] { note("global 2"); });
  dispatch::async(serial, [this] { note("serial 1"); });
  dispatch::async(serial, [this] { note("serial 2"); });
  dispatch::async(dispatch_get_main_queue(), [this] { note("main 1"); });
  dispatch::async(dispatch_get_main_queue(), [this] { note("main 2"); });
  std::string problem;
  ASSERT_TRUE(dispatch::runWaiting(2, problem)) << problem;  // the newer global work first
  EXPECT_FALSE(dispatch::runWaiting(4, problem));
  EXPECT_EQ(problem,
            "item 3 (block) must run first: the queue com.example.serial runs its work "
            "in order");
  EXPECT_FALSE(dispatch::runWaiting(6, problem));
  EXPECT_EQ(problem, "item 5 (block) must run first: the main queue runs its work in order");
  for (uint64_t n : {3, 5, 1, 4, 6}) ASSERT_TRUE(dispatch::runWaiting(n, problem)) << problem;
  EXPECT_EQ(seen(), (std::vector<std::string>{"global 2", "serial 1", "main 1", "global 1",
                                              "serial 2", "main 2"}));
}

TEST_F(HeldQueueTest, EachPieceRunsOnItsQueuesThreadAndUnheldWorkIsNeverHeld) {
  std::atomic<bool> globalOnMain{true}, mainOnMain{false}, unheldRan{false};
  std::string label;
  dispatch::async(dispatch_get_global_queue(0, 0), [&] {
    globalOnMain = dispatch::isMainThread();
    label = dispatch_queue_get_label(DISPATCH_CURRENT_QUEUE_LABEL);
  });
  dispatch::async(dispatch_get_main_queue(), [&] { mainOnMain = dispatch::isMainThread(); });
  dispatch::asyncUnheld(dispatch_get_main_queue(), [&] { unheldRan = true; });
  EXPECT_EQ(dispatch::runPendingWork(), 1u);  // only the unheld piece
  EXPECT_TRUE(unheldRan.load());
  EXPECT_EQ(dispatch::waiting().size(), 2u);
  EXPECT_EQ(dispatch::runAllWaiting(), 2u);
  EXPECT_FALSE(globalOnMain.load());
  EXPECT_EQ(label, "com.apple.root.default-qos");
  EXPECT_TRUE(mainOnMain.load());
}

TEST_F(HeldQueueTest, ReleasingRunsTheDrainAgainAndDroppedWorkNeverRuns) {
  dispatch::async(dispatch_get_global_queue(0, 0), [this] { note("dropped"); });
  EXPECT_EQ(dispatch::dropWaiting(), 1u);
  dispatch::hold(false);
  // Without holding, global work all runs at once, each piece on a thread of its own.
  std::atomic<int> inside{0}, most{0};
  for (int i = 0; i < 4; ++i) {
    dispatch::async(dispatch_get_global_queue(0, 0), [&] {
      int now = ++inside;
      for (int was = most.load(); now > was && !most.compare_exchange_weak(was, now);) {
      }
      for (int spin = 0; spin < 200 && most.load() < 4; ++spin) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      --inside;
    });
  }
  dispatch::runPendingWork();
  EXPECT_EQ(most.load(), 4);
  EXPECT_TRUE(seen().empty());
}

// --- the file layer ------------------------------------------------------------------------

class FileLayerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    device::files::clearFaults();
    device::files::watchEffects({});
  }
  std::string at(const std::string& devicePath) { return device::hostPath(devicePath); }
  ns::AutoreleasePool pool_;
  TemporaryDeviceRoot device_;
};

TEST_F(FileLayerTest, EveryEffectUnderTheRootIsCountedJustBeforeItHappens) {
  std::vector<std::string> kinds;
  std::vector<uint64_t> numbers;
  bool fileThereAtClose = false;
  device::files::watchEffects([&](uint64_t number, const char* kind, const std::string& path) {
    kinds.push_back(kind);
    numbers.push_back(number);
    if (path.ends_with("/b/f") && std::string(kind) == "create") {
      EXPECT_FALSE(fs::exists(path));
    }
    if (std::string(kind) == "close") fileThereAtClose = fs::file_size(path) == 4;
  });
  uint64_t before = device::files::effects();
  ASSERT_EQ(device::files::makeFolder(at("/var/a/b"), true), 0);
  ASSERT_EQ(device::files::writeFile(at("/var/a/b/f"), "abcd", 4, true), 0);
  ASSERT_EQ(device::files::rename(at("/var/a/b/f"), at("/var/a/g"), false), 0);
  ASSERT_EQ(device::files::remove(at("/var/a/g")), 0);
  EXPECT_EQ(kinds, (std::vector<std::string>{"folder", "folder", "folder", "create", "write",
                                             "close", "rename", "remove"}));
  EXPECT_EQ(device::files::effects(), before + 8);
  EXPECT_EQ(numbers.front(), before + 1);
  EXPECT_TRUE(fileThereAtClose);
  // Outside the root nothing is counted.
  testing_support::TemporaryFolder elsewhere;
  ASSERT_EQ(device::files::writeFile(elsewhere.path() + "/x", "x", 1, true), 0);
  EXPECT_EQ(device::files::effects(), before + 8);
  // An exclusive file never takes the place of another.
  ASSERT_EQ(device::files::writeFile(at("/var/a/h"), "1", 1, true), 0);
  EXPECT_EQ(device::files::writeFile(at("/var/a/h"), "2", 1, true), EEXIST);
  EXPECT_EQ(device::files::rename(at("/var/a/h"), at("/var/a/b"), false), EEXIST);
}

TEST_F(FileLayerTest, FaultsFailWritesRenamesAndRemovalsUnderTheRootOnly) {
  ASSERT_EQ(device::files::writeFile(at("/old"), "old", 3, true), 0);
  device::files::setFault(device::files::Fault::diskFull, true);
  EXPECT_EQ(device::files::writeFile(at("/new"), "new", 3, true), ENOSPC);
  EXPECT_FALSE(fs::exists(at("/new")));  // the file it made is gone again
  EXPECT_EQ(device::files::makeFolder(at("/folder"), false), ENOSPC);
  EXPECT_EQ(device::files::describe(ENOSPC), "no space left on device");
  testing_support::TemporaryFolder elsewhere;
  EXPECT_EQ(device::files::writeFile(elsewhere.path() + "/x", "x", 1, true), 0);
  // The full disk still lets files be moved and removed.
  EXPECT_EQ(device::files::rename(at("/old"), at("/older"), false), 0);

  device::files::clearFaults();
  device::files::setFault(device::files::Fault::renameFails, true);
  EXPECT_EQ(device::files::rename(at("/older"), at("/old"), true), EIO);
  EXPECT_TRUE(fs::exists(at("/older")));
  device::files::setFault(device::files::Fault::removeFails, true);
  EXPECT_EQ(device::files::removeAll(at("/older")), EIO);
  EXPECT_TRUE(fs::exists(at("/older")));
  device::files::clearFaults();
  EXPECT_EQ(device::files::removeAll(at("/older")), 0);
}

TEST_F(FileLayerTest, TheFileManagerAndPlistWritesAnswerFaultsAsThePlatformDoes) {
  id manager = send(cls("NSFileManager"), "defaultManager");
  ASSERT_EQ(device::files::writeFile(at("/a"), "a", 1, true), 0);
  device::files::setFault(device::files::Fault::removeFails, true);
  id error = nil;
  EXPECT_EQ(send<BOOL>(manager, "removeItemAtPath:error:", ns::string("/a"), &error), NO);
  EXPECT_EQ(send<NSInteger>(error, "code"), 512);  // NSFileWriteUnknownError
  EXPECT_EQ(ns::utf8(send(error, "localizedDescription")), "input/output error");
  device::files::clearFaults();
  // A move never takes the place of another item; a folder comes with its parents.
  ASSERT_EQ(device::files::writeFile(at("/b"), "b", 1, true), 0);
  EXPECT_EQ(send<BOOL>(manager, "moveItemAtPath:toPath:error:", ns::string("/a"), ns::string("/b"),
                       &error),
            NO);
  EXPECT_EQ(send<NSInteger>(error, "code"), 516);  // NSFileWriteFileExistsError
  device::files::setFault(device::files::Fault::diskFull, true);
  EXPECT_EQ(
      send<BOOL>(manager, "createDirectoryAtPath:withIntermediateDirectories:attributes:error:",
                 ns::string("/x/y"), YES, id{nil}, &error),
      NO);
  EXPECT_EQ(send<NSInteger>(error, "code"), 640);  // NSFileWriteOutOfSpaceError
  device::files::clearFaults();
  EXPECT_EQ(
      send<BOOL>(manager, "createDirectoryAtPath:withIntermediateDirectories:attributes:error:",
                 ns::string("/x/y"), YES, id{nil}, &error),
      YES);
  EXPECT_TRUE(fs::is_directory(at("/x/y")));

  // A plist write on a failing disk leaves the old file whole and no temporary beside it.
  std::string file = at("/prefs.plist");
  ASSERT_TRUE(ns::writePlist(file, ns::dictionary()));
  std::ifstream before(file, std::ios::binary);
  std::string old((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
  for (auto fault : {device::files::Fault::diskFull, device::files::Fault::renameFails}) {
    device::files::setFault(fault, true);
    ns::PlistUpdate outcome;
    EXPECT_FALSE(ns::updatePlistDictionary(
        file, [](id d) { ns::setValue(d, "k", ns::string("v")); }, &outcome));
    EXPECT_EQ(outcome.failure, fault == device::files::Fault::diskFull ? "no space left on device"
                                                                       : "input/output error");
    device::files::clearFaults();
    std::ifstream after(file, std::ios::binary);
    EXPECT_EQ(
        std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()),
        old);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(device_.path())) ++files;
    EXPECT_EQ(files, 4u);  // a, b, x, prefs.plist
  }
}

// The folder of a path, as a cell asks for it before it makes the folder.
TEST_F(FileLayerTest, TheFolderOfAPathIsItsPathWithoutTheLastComponent) {
  auto folder = [](const char* path) {
    return ns::utf8(send(ns::string(path), "stringByDeletingLastPathComponent"));
  };
  EXPECT_EQ(folder("/var/mobile/Library/Plinka/V.mov"), "/var/mobile/Library/Plinka");
  EXPECT_EQ(folder("/var/mobile/"), "/var");
  EXPECT_EQ(folder("/V.mov"), "/");
  EXPECT_EQ(folder("/"), "/");
  EXPECT_EQ(folder("V.mov"), "");
}

}  // namespace
