// plinka-sim device and plinka-sim color, run as a user runs them.
#include <gtest/gtest.h>

#include <stb_image_write.h>
#include <unistd.h>
#include <nlohmann/json.hpp>
#include "build_paths.h"
#include "program.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
  nlohmann::json lastLine() const {
    std::string text = out;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return nlohmann::json::parse(text.substr(text.find_last_of('\n') + 1));
  }
};

class DeviceAndColorCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("plinka-sim-utils-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "root");
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome run(const std::vector<std::string>& args) {
    testing_support::ProgramRun ran = testing_support::runProgram(PLINKA_SIM, args);
    Outcome result;
    result.status = ran.status;
    result.out = ran.out;
    result.err = ran.err;
    return result;
  }
  std::string file(const std::string& name, const std::string& content) {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    return (dir_ / name).string();
  }
  std::string png(const std::string& name, int width, int height, const uint8_t rgba[4]) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), rgba, rgba + 4);
    stbi_write_png((dir_ / name).c_str(), width, height, 4, pixels.data(), width * 4);
    return (dir_ / name).string();
  }

  fs::path dir_;
};

TEST_F(DeviceAndColorCommandsTest, DeviceReportsCodeModelJailbreakAndUnionMount) {
  std::ofstream(dir_ / "root/.installed_taurine") << "";
  std::string mounts =
      file("mounts", "/dev/disk0s1s1 / apfs rw 0 0\noverlay /var overlay rw 0 0\n");
  Outcome json = run({"device", "--device-root", (dir_ / "root").string(), "--machine",
                      "iPhone11,8", "--mounts", mounts, "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.lastLine(), nlohmann::json::parse(R"({"code":"iPhone11,8","model":"iPhone XR",
            "jailbreak":"Taurinera1n","checkra1n":true})"));

  Outcome text = run({"device", "--device-root", (dir_ / "root").string(), "--machine", "iPad8,1",
                      "--mounts", file("plain", "/dev/disk0s1s1 / apfs rw 0 0\n")});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out,
            "device code: iPad8,1\nmodel: Not Found\njailbreak: Taurine\n"
            "union mount (checkra1n): no\n");
}

TEST_F(DeviceAndColorCommandsTest, EmptyMountTablePrintsTheMessageBeforeTheAnswer) {
  Outcome result = run({"device", "--mounts", file("empty", "")});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out.rfind("Unable to get mounts\n", 0), 0u) << result.out;
  EXPECT_NE(result.out.find("union mount (checkra1n): no\n"), std::string::npos) << result.out;
}

TEST_F(DeviceAndColorCommandsTest, CompareGivesTheFourAnswers) {
  Outcome json = run({"device", "--system-version", "14.9", "--json", "compare", "14.10"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.lastLine(),
            nlohmann::json::parse(R"({"ge":false,"le":true,"gt":false,"lt":true})"));
  Outcome text = run({"device", "--system-version", "14.4", "compare", "14.4"});
  EXPECT_EQ(text.out, "14.4 >= 14.4: yes\n14.4 <= 14.4: yes\n14.4 > 14.4: no\n14.4 < 14.4: no\n");
}

TEST_F(DeviceAndColorCommandsTest, ColorCommandsAnswerOnStandardOutput) {
  const uint8_t grey[4] = {128, 128, 128, 255};
  Outcome dominant = run({"color", "dominant", png("grey.png", 9, 9, grey), "--json"});
  ASSERT_EQ(dominant.status, 0) << dominant.err;
  nlohmann::json c = dominant.lastLine();
  EXPECT_EQ(c["r"].get<double>(), static_cast<double>(128.0f / 255.0f));  // round-trips
  EXPECT_EQ(c["a"].get<double>(), 1.0);

  EXPECT_EQ(run({"color", "text-for", "1", "1", "0", "1"}).out, "black\n");
  EXPECT_EQ(run({"color", "text-for", "1", "0", "0", "1", "--json"}).lastLine()["color"], "white");

  // The library judges only grey + alpha and red, green, blue + alpha by brightness: other
  // counts keep its answer (white) and say why on standard error, so that a user who meant red,
  // green and blue learns to add the alpha.
  for (const std::vector<std::string>& judged :
       {std::vector<std::string>{"0.9", "1"}, std::vector<std::string>{"1", "1", "1", "1"}}) {
    std::vector<std::string> args = {"color", "text-for"};
    args.insert(args.end(), judged.begin(), judged.end());
    Outcome r = run(args);
    EXPECT_EQ(r.out, "black\n") << judged.size();
    EXPECT_EQ(r.err, "") << judged.size();
  }
  for (const std::vector<std::string>& unjudged :
       {std::vector<std::string>{"1", "1", "1"},
        std::vector<std::string>{"1", "1", "1", "1", "1"}}) {
    std::vector<std::string> args = {"color", "text-for"};
    args.insert(args.end(), unjudged.begin(), unjudged.end());
    Outcome r = run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "white\n") << unjudged.size();
    EXPECT_NE(r.err.find(std::to_string(unjudged.size()) + " components are not judged"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("add the alpha"), std::string::npos) << r.err;
  }

  Outcome random = run({"color", "random", "--json"});
  ASSERT_EQ(random.status, 0);
  EXPECT_EQ(random.lastLine()["a"], 1.0);
  EXPECT_LT(random.lastLine()["r"].get<double>(), 1.0);
}

TEST_F(DeviceAndColorCommandsTest, BadArgumentsExitWithStatusTwoAndSayWhy) {
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"device", "--mounts", (dir_ / "missing").string()}, "cannot read the mount table"},
      {{"device", "--device-root", (dir_ / "missing").string()}, "is not a folder"},
      {{"device", "--bogus"}, "unexpected argument '--bogus'"},
      {{"color", "dominant", (dir_ / "missing.png").string()}, "cannot read the image"},
      {{"color", "dominant", file("text.png", "not an image")}, "is not an image the device reads"},
      {{"color", "dominant", file("x.png", "x"), "--scale", "0"}, "--scale needs a positive"},
      {{"color", "text-for", "0.5", "x"}, "'x' is not a number"},
      {{"color", "text-for", "0.5", "1.5"}, "is not between 0 and 1"},
      {{"color", "text-for", "1"}, "needs 2 to 5 components"},
      {{"color", "paint"}, "unknown colour command"},
  };
  for (const Case& c : cases) {
    Outcome result = run(c.args);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << c.message;
  }
}

}  // namespace
