// ZELImagePickerCell on the simulated Settings application: what a pick, a cancel and the
// preview do to the user's stored choice, in the order the journal shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "build_paths.h"
#include "program.h"
#include "temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

const char* const kDomain = "com.plinka.test";
const char* const kLibrary = "var/mobile/Media/DCIM/100APPLE";

// A picker row: label, key, and the row's own attributes as plist XML.
std::string row(const std::string& label, const std::string& key, const std::string& extra = "",
                bool notification = true) {
  std::string xml =
      "<dict><key>cell</key><string>PSButtonCell</string>"
      "<key>cellClass</key><string>ZELImagePickerCell</string>"
      "<key>action</key><string>chooseImage</string>"
      "<key>label</key><string>" +
      label +
      "</string>"
      "<key>key</key><string>" +
      key +
      "</string>"
      "<key>defaults</key><string>" +
      kDomain + "</string>";
  if (notification) xml += "<key>PostNotification</key><string>" + key + ".changed</string>";
  return xml + extra + "</dict>";
}
std::string flag(const std::string& name) {
  return "<key>" + name + "</key><true/>";
}
std::string text(const std::string& name, const std::string& value) {
  return "<key>" + name + "</key><string>" + value + "</string>";
}

class ImagePickerCellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(PLINKA_EXAMPLE_DEVICE, root_, fs::copy_options::recursive);
    writeRows(
        {row("Plain", "plain"), row("Jpeg", "jpeg", flag("usesJPEG")),
         row("Half", "half", flag("usesJPEG") + "<key>compressionQuality</key><real>0.5</real>"),
         row("Both", "both", flag("usesJPEG") + flag("usesGIF")),
         row("Gif", "gif", flag("usesGIF")), row("Silent", "silent", "", false),
         row("Off", "off", "<key>usesJPEG</key><false/><key>usesGIF</key><false/>"),
         row("Pathless", "pathless", flag("allowsVideos")),
         row("Video", "video",
             flag("allowsVideos") + text("videoPath", "/var/mobile/Library/Plinka/V.mov")),
         row("Mixed", "mixed",
             flag("allowsVideos") + text("videoPath", "/var/mobile/Library/Plinka/M.MoV")),
         row("Bare", "bare",
             flag("allowsVideos") + text("videoPath", "/var/mobile/Library/Plinka/bare")),
         row("Lost", "lost",
             flag("allowsVideos") + text("videoPath", "/var/mobile/Nowhere/Deeper/L.mov")),
         row("Blocked", "blocked",
             flag("allowsVideos") +
                 text("videoPath", "/var/mobile/Library/Plinka/blocker/B.mov"))});
  }
  void writeRows(const std::vector<std::string>& rows) {
    std::ofstream file(rowsFile_);
    file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
            "<key>title</key><string>Test</string><key>items</key><array>";
    for (const std::string& r : rows) file << r;
    file << "</array></dict></plist>";
  }
  // Runs a script; answers the journal lines without their time.
  std::vector<json> run(const std::string& script, int expectedStatus = 0) {
    testing_support::ProgramRun r = testing_support::runProgram(
        PLINKA_SIM,
        {"settings", "--device-root", root_.string(), "--rows", rowsFile_, "--json", "-"}, script);
    EXPECT_EQ(r.status, expectedStatus) << r.err << r.out;
    err_ = r.err;
    std::vector<json> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
      json entry = json::parse(line);
      entry.erase("t");
      lines.push_back(entry);
    }
    return lines;
  }
  static std::vector<json> only(const std::vector<json>& lines,
                                const std::vector<std::string>& kinds) {
    std::vector<json> kept;
    for (const json& line : lines) {
      if (std::find(kinds.begin(), kinds.end(), line["kind"]) != kinds.end()) kept.push_back(line);
    }
    return kept;
  }
  // The entries from the first tap on: without what opening the pane recorded.
  static std::vector<json> afterOpening(const std::vector<json>& lines) {
    auto first = std::find_if(lines.begin(), lines.end(),
                              [](const json& line) { return line["kind"] == "select"; });
    return {first, lines.end()};
  }
  // The kinds in order, for the order of effects.
  static std::vector<std::string> kinds(const std::vector<json>& lines) {
    std::vector<std::string> out;
    for (const json& line : lines) out.push_back(line["kind"]);
    return out;
  }
  // Each pick that changed nothing, as "ROW: reason": the cell logs "pick refused for ROW:
  // reason" through NSLog, from the pane's library.
  static std::vector<std::string> refusals(const std::vector<json>& lines) {
    std::vector<std::string> out;
    const std::string prefix = "pick refused for ";
    for (const json& line : only(lines, {"log"})) {
      std::string text = line["text"];
      EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
      EXPECT_EQ(line["library"], "libpkprefs3.so") << line.dump();
      out.push_back(text.substr(std::min(prefix.size(), text.size())));
    }
    return out;
  }
  std::string device(const std::string& path) const { return (root_ / path).string(); }
  std::vector<char> bytesOf(const std::string& path) const {
    std::ifstream file(device(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  void putFile(const std::string& path, const std::string& content) const {
    std::ofstream(device(path), std::ios::binary) << content;
  }

  testing_support::TemporaryFolder folder_;
  fs::path root_ = fs::path(folder_.path()) / "device";
  std::string rowsFile_ = folder_.path() + "/Rows.plist";
  std::string err_;
};

const char* const kVideo = "var/mobile/Library/Plinka/V.mov";

// The N of an export file "V.mov.export-PID-N" (PID this process's), 0 for any other path.
int exportNumber(const json& path) {
  static const std::regex name("^/var/mobile/Library/Plinka/V\\.mov\\.export-[0-9]+-([0-9]+)$");
  std::smatch match;
  std::string text = path.is_string() ? path.get<std::string>() : "";
  return std::regex_match(text, match, name) ? std::stoi(match[1]) : 0;
}

// The row "Video" as the last `show` printed it.
json videoRow(const std::vector<json>& lines) {
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    if ((*line)["kind"] != "rows") continue;
    for (const json& row : (*line)["rows"]) {
      if (row["label"] == "Video") return row;
    }
  }
  return json();
}

// No export file is left beside the video.
void expectNoExportLeft(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().filename().string().find(".export-"), std::string::npos) << entry.path();
  }
}

TEST_F(ImagePickerCellTest, APictureIsStoredInTheFormTheRowAsksFor) {
  std::vector<json> lines =
      run("tap Jpeg\npick IMG_0001.HEIC\n"
          "tap Half\npick IMG_0001.HEIC\n"
          "tap Both\npick IMG_0005.GIF\n"
          "tap Plain\npick IMG_0005.GIF\n"
          "tap Gif\npick IMG_0005.GIF\n"
          "tap Off\npick IMG_0005.GIF\n");
  std::vector<json> stored = only(lines, {"encode", "defaults"});
  ASSERT_EQ(stored.size(), 11u) << json(lines).dump(1);
  EXPECT_EQ(stored[0]["format"], "jpeg");
  EXPECT_EQ(stored[0]["quality"], 1.0);  // the default quality
  EXPECT_EQ(stored[1]["value"]["format"], "jpeg");
  EXPECT_EQ(stored[1]["value"]["bytes"], stored[0]["bytes"]);
  EXPECT_EQ(stored[2]["quality"], 0.5);
  EXPECT_LT(stored[3]["value"]["bytes"].get<int>(), stored[1]["value"]["bytes"].get<int>());
  EXPECT_EQ(stored[4]["format"], "jpeg");  // JPEG wins over GIF
  EXPECT_EQ(stored[5]["value"]["format"], "jpeg");
  EXPECT_EQ(stored[6]["format"], "png");  // a GIF from the library, stored as PNG
  EXPECT_EQ(stored[7]["value"]["format"], "png");
  EXPECT_EQ(stored[8]["kind"], "defaults");  // with usesGIF: the bytes as delivered
  EXPECT_EQ(stored[8]["value"],
            (json{{"bytes", bytesOf(std::string(kLibrary) + "/IMG_0005.GIF").size()},
                  {"format", "gif"}}));
  EXPECT_EQ(stored[8]["domain"], kDomain);
  EXPECT_EQ(stored[8]["key"], "gif");
  EXPECT_EQ(stored[9]["format"], "png") << "flags set to false ask for nothing";
  EXPECT_EQ(stored[10]["value"]["format"], "png");
  // Each pick: the picker goes, its indicator stops, the picture is stored, the change posted,
  // and the preview, set on the main thread, shows the picture picked.
  std::vector<json> one =
      only(lines, {"present", "indicator", "dismiss", "defaults", "notify", "preview"});
  ASSERT_GE(one.size(), 7u);
  EXPECT_EQ(kinds({one.begin(), one.begin() + 7}),
            (std::vector<std::string>{"present", "indicator", "dismiss", "indicator", "defaults",
                                      "notify", "preview"}));
  EXPECT_EQ(one[0]["mediaTypes"], json::array({"public.image"}));  // pictures only
  EXPECT_EQ(one[0]["sourceType"], 0);
  EXPECT_EQ(one[1]["state"], "start");
  EXPECT_EQ(one[2]["animated"], true);
  EXPECT_EQ(one[2]["completion"], true);
  EXPECT_EQ(one[3]["state"], "stop");
  EXPECT_EQ(one[5]["name"], "jpeg.changed");
  EXPECT_EQ(one[6], (json{{"kind", "preview"},
                          {"row", "Jpeg"},
                          {"source", "picked"},
                          {"width", 640},
                          {"height", 480},
                          {"thread", "main"}}));
}

TEST_F(ImagePickerCellTest, VideoAndPictureReplaceEachOtherWholeAndInOrder) {
  std::vector<json> lines =
      run("tap Video\npick IMG_0002.JPG\n"
          "tap Video\npick IMG_0004.MOV\n"
          "tap Video\npick IMG_0006.MP4\n"
          "tap Video\npick IMG_0003.PNG\n");
  for (const json& present : only(lines, {"present"})) {
    EXPECT_EQ(present["mediaTypes"], json::array({"public.image", "public.movie"}));
  }
  std::vector<json> effects = only(afterOpening(lines), {"defaults", "remove-file", "notify",
                                                         "export", "move", "frame", "preview"});
  ASSERT_EQ(effects.size(), 19u) << json(lines).dump(1);
  // A picture while no video is there: stored, the (absent) video removed, posted, shown.
  EXPECT_EQ(kinds({effects.begin(), effects.begin() + 4}),
            (std::vector<std::string>{"defaults", "remove-file", "notify", "preview"}));
  EXPECT_EQ(effects[1]["ok"], false);
  // A video after the picture: exported beside, the export is moved into place (nothing
  // stands there), then the picture goes (a process that ends between the two keeps the
  // picture), the change is posted, the first frame of the file in place is shown.
  EXPECT_EQ(kinds({effects.begin() + 4, effects.begin() + 11}),
            (std::vector<std::string>{"export", "move", "defaults", "notify", "frame", "preview",
                                      "export"}));
  EXPECT_EQ(exportNumber(effects[4]["output"]), 1);
  EXPECT_EQ(effects[4]["fileType"], "com.apple.quicktime-movie");
  EXPECT_EQ(effects[4]["status"], "completed");
  EXPECT_EQ(effects[5], (json{{"kind", "move"},
                              {"from", effects[4]["output"]},
                              {"to", "/var/mobile/Library/Plinka/V.mov"},
                              {"replace", false},
                              {"ok", true}}));
  EXPECT_TRUE(effects[6]["value"].is_null());
  EXPECT_EQ(effects[8]["path"], "/var/mobile/Library/Plinka/V.mov");
  EXPECT_EQ(effects[9]["source"], "video");
  EXPECT_EQ(effects[9]["thread"], "main");
  // A second video replaces the first in one step: the export never overwrites, so it goes
  // beside again, under a name of its own; no picture is stored to remove.
  EXPECT_EQ(kinds({effects.begin() + 10, effects.begin() + 15}),
            (std::vector<std::string>{"export", "move", "notify", "frame", "preview"}));
  EXPECT_EQ(exportNumber(effects[10]["output"]), 2);
  EXPECT_EQ(effects[11]["replace"], true);
  EXPECT_EQ(effects[11]["ok"], true);
  // A picture after the video: stored first, then the video removed, then posted.
  EXPECT_EQ(kinds({effects.begin() + 15, effects.end()}),
            (std::vector<std::string>{"defaults", "remove-file", "notify", "preview"}));
  EXPECT_EQ(effects[16]["ok"], true);
  EXPECT_FALSE(fs::exists(device("var/mobile/Library/Plinka/V.mov")));
  expectNoExportLeft(device("var/mobile/Library/Plinka"));
}

TEST_F(ImagePickerCellTest, TheContainerFollowsTheVideoPathsExtension) {
  std::vector<json> lines = run("tap Mixed\npick IMG_0006.MP4\ntap Bare\npick IMG_0004.MOV\n");
  std::vector<json> exports = only(lines, {"export"});
  ASSERT_EQ(exports.size(), 2u);
  EXPECT_EQ(exports[0]["fileType"], "com.apple.quicktime-movie");  // ".MoV" in any case
  EXPECT_EQ(exports[1]["fileType"], "public.mpeg-4");              // no extension
  std::vector<char> mov = bytesOf("var/mobile/Library/Plinka/M.MoV");
  std::vector<char> mp4 = bytesOf("var/mobile/Library/Plinka/bare");
  ASSERT_GT(mov.size(), 12u);
  ASSERT_GT(mp4.size(), 12u);
  EXPECT_EQ(std::string(mov.begin() + 8, mov.begin() + 12), "qt  ");
  EXPECT_EQ(std::string(mp4.begin() + 8, mp4.begin() + 12), "isom");
}

TEST_F(ImagePickerCellTest, AFailedExportKeepsThePictureChangesNothingAndSaysWhy) {
  putFile("var/mobile/Library/Plinka/blocker", "a file where the video's folder would be");
  std::vector<json> lines =
      run("tap Blocked\npick IMG_0002.JPG\ntap Blocked\npick IMG_0004.MOV\nshow\n");
  std::vector<json> afterVideo =
      only(lines, {"export", "move", "defaults", "notify", "remove-file"});
  ASSERT_GE(afterVideo.size(), 4u) << json(lines).dump(1);
  const json& failed = afterVideo[3];
  EXPECT_EQ(failed["kind"], "export");
  EXPECT_EQ(failed["status"], "failed");
  EXPECT_EQ(failed["code"], -11820);  // no folder to write in
  EXPECT_EQ(afterVideo.size(), 4u) << "no move, no removal of the picture, no post";
  EXPECT_EQ(refusals(lines),
            (std::vector<std::string>{
                "Blocked: the video cannot be exported: cannot make the output file: not a "
                "directory (-11820)"}));
  const json& shown = lines.back()["rows"];
  EXPECT_EQ(shown.back()["preview"]["source"], "picture") << "the picture is still the choice";
}

TEST_F(ImagePickerCellTest, ANewVideoThatCannotBeExportedLeavesTheOldOne) {
  run("tap Video\npick IMG_0004.MOV\n");
  std::vector<char> before = bytesOf("var/mobile/Library/Plinka/V.mov");
  ASSERT_FALSE(before.empty());
  putFile(std::string(kLibrary) + "/IMG_0009.MOV", "this is no movie at all");
  std::vector<json> lines = run("tap Video\npick IMG_0009.MOV\n");
  std::vector<json> effects = only(lines, {"export", "move", "defaults", "notify", "remove-file"});
  ASSERT_EQ(effects.size(), 1u) << json(lines).dump(1);
  EXPECT_EQ(effects[0]["code"], -11828);
  EXPECT_EQ(refusals(lines),
            (std::vector<std::string>{"Video: the video cannot be exported: the source is no media "
                                      "the export can read (-11828)"}));
  EXPECT_EQ(bytesOf("var/mobile/Library/Plinka/V.mov"), before);
  expectNoExportLeft(device("var/mobile/Library/Plinka"));
}

TEST_F(ImagePickerCellTest, AnExportNeverWritesOverAFileInItsWay) {
  putFile("var/mobile/Library/Plinka/V.mov.export-1", "someone else's");
  std::vector<json> lines = run("tap Video\npick IMG_0004.MOV\n");
  std::vector<json> effects = only(lines, {"export", "move"});
  ASSERT_EQ(effects.size(), 2u) << json(lines).dump(1);
  EXPECT_EQ(exportNumber(effects[0]["output"]), 1) << "a name of this process's own";
  EXPECT_EQ(effects[1]["from"], effects[0]["output"]);
  std::vector<char> untouched = bytesOf("var/mobile/Library/Plinka/V.mov.export-1");
  EXPECT_EQ(std::string(untouched.begin(), untouched.end()), "someone else's");
}

TEST_F(ImagePickerCellTest, AVideoThatCannotBePutInPlaceGoesAndThePictureStays) {
  run("tap Video\npick IMG_0002.JPG\n");
  // The old video's place holds a folder with something in it: the move over it fails.
  fs::create_directories(device("var/mobile/Library/Plinka/V.mov"));
  putFile("var/mobile/Library/Plinka/V.mov/inside", "x");
  std::vector<json> lines = run("tap Video\npick IMG_0004.MOV\nshow\n");
  std::vector<json> effects = only(lines, {"export", "move", "defaults", "notify", "remove-file"});
  // The video would go in place first: when it cannot, the picture is never touched.
  EXPECT_EQ(kinds(effects), (std::vector<std::string>{"export", "move", "remove-file"}))
      << json(lines).dump(1);
  ASSERT_EQ(effects.size(), 3u);
  EXPECT_EQ(effects[0]["status"], "completed");
  EXPECT_EQ(effects[1]["ok"], false);
  EXPECT_EQ(effects[1]["replace"], true);
  EXPECT_EQ(effects[2],
            (json{{"kind", "remove-file"}, {"path", effects[0]["output"]}, {"ok", true}}));
  EXPECT_EQ(refusals(lines).size(), 1u);
  EXPECT_TRUE(fs::exists(device("var/mobile/Library/Plinka/V.mov/inside")));
  const json& rows = lines.back()["rows"];
  auto video = std::find_if(rows.begin(), rows.end(),
                            [](const json& row) { return row["label"] == "Video"; });
  ASSERT_NE(video, rows.end());
  EXPECT_EQ((*video)["preview"]["source"], "picture") << "the picture is still the choice";
}

TEST_F(ImagePickerCellTest, AVideoForARowWithoutAVideoPathChangesNothing) {
  std::vector<json> lines = run("tap Pathless\npick IMG_0004.MOV\n");
  EXPECT_EQ(kinds(only(lines, {"dismiss", "export", "move", "defaults", "notify", "remove-file"})),
            (std::vector<std::string>{"dismiss"}))
      << json(lines).dump(1);
  EXPECT_EQ(refusals(lines), (std::vector<std::string>{"Pathless: the row keeps no video"}));
}

TEST_F(ImagePickerCellTest, BytesThatAreNoPictureChangeNothingWhateverTheFlags) {
  run("tap Video\npick IMG_0004.MOV\ntap Gif\npick IMG_0003.PNG\n");
  putFile(std::string(kLibrary) + "/IMG_0010.PNG", "not a png");
  putFile(std::string(kLibrary) + "/IMG_0011.GIF", "");
  std::vector<json> lines =
      run("tap Video\npick IMG_0010.PNG\ntap Gif\npick IMG_0010.PNG\n"
          "tap Gif\npick IMG_0011.GIF\n");
  EXPECT_EQ(only(lines, {"defaults", "remove-file", "notify", "encode"}).size(), 0u)
      << json(lines).dump(1);
  for (const json& preview : only(lines, {"preview"})) {
    EXPECT_NE(preview["source"], "picked") << "only the stored choices are shown";
  }
  EXPECT_EQ(only(lines, {"dismiss"}).size(), 3u);
  EXPECT_EQ(refusals(lines), (std::vector<std::string>{"Video: the picked item is no picture",
                                                       "Gif: the picked item is no picture",
                                                       "Gif: the picked item is no picture"}));
  EXPECT_TRUE(fs::exists(device("var/mobile/Library/Plinka/V.mov")));
}

TEST_F(ImagePickerCellTest, APickWithoutAnAssetClosesThePickerAndChangesNothing) {
  run("tap Video\npick IMG_0002.JPG\n");
  std::vector<json> lines =
      run("tap Video\npick --no-reference-url\ntap Video\npick --deleted IMG_0004.MOV\n");
  EXPECT_EQ(kinds(only(lines, {"present", "indicator", "dismiss", "defaults", "notify",
                               "remove-file", "export"})),
            (std::vector<std::string>{"present", "indicator", "dismiss", "indicator", "present",
                                      "indicator", "dismiss", "indicator"}))
      << json(lines).dump(1);
  EXPECT_EQ(refusals(lines),
            (std::vector<std::string>(2, "Video: the pick names no item of the photo library")));
  EXPECT_TRUE(fs::exists(device(std::string(kLibrary) + "/IMG_0004.MOV"))) << "the file stays";
}

TEST_F(ImagePickerCellTest, CancelAndARowWithoutNotificationPostNothing) {
  std::vector<json> lines = run("tap Jpeg\ncancel\ntap Silent\npick IMG_0002.JPG\n");
  std::vector<json> effects =
      only(lines, {"dismiss", "defaults", "notify", "remove-file", "encode"});
  ASSERT_EQ(effects.size(), 4u) << json(lines).dump(1);
  EXPECT_TRUE(refusals(lines).empty()) << "a cancel is the user's own choice";
  EXPECT_EQ(effects[0], (json{{"kind", "dismiss"},
                              {"controller", "UIImagePickerController#1"},
                              {"animated", true},
                              {"completion", false}}));
  EXPECT_EQ(kinds({effects.begin() + 1, effects.end()}),
            (std::vector<std::string>{"dismiss", "encode", "defaults"}));
}

TEST_F(ImagePickerCellTest, ThePreviewShowsTheStoredChoiceOrTheVideosFirstFrame) {
  run("tap Jpeg\npick IMG_0002.JPG\ntap Video\npick IMG_0004.MOV\n");
  std::vector<json> lines = run("show\n");
  std::vector<json> previews = only(lines, {"preview"});
  ASSERT_GE(previews.size(), 2u) << json(lines).dump(1);
  EXPECT_EQ(previews[0]["row"], "Jpeg");
  EXPECT_EQ(previews[0]["source"], "stored");
  EXPECT_EQ(previews[1]["row"], "Video");
  EXPECT_EQ(previews[1]["source"], "video");
  EXPECT_EQ(previews[1]["width"], 320);
  // Stored bytes that are no picture, with the video in place: its first frame instead.
  putFile("var/mobile/Library/Preferences/" + std::string(kDomain) + ".plist",
          "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
          "<key>video</key><data>bm90IGEgcGljdHVyZQ==</data></dict></plist>");
  previews.clear();
  for (const json& line : run("show\n")) {
    if (line["kind"] == "preview" || line.value("path", "") == "/var/mobile/Library/Plinka/V.mov") {
      previews.push_back(line);
    }
  }
  ASSERT_EQ(previews.size(), 2u);
  EXPECT_EQ(previews[0]["kind"], "frame");
  EXPECT_EQ(previews[1]["row"], "Video");
  EXPECT_EQ(previews[1]["source"], "video");
}

TEST_F(ImagePickerCellTest, WhatTheUserCannotDoIsAClearError) {
  run("pick IMG_0002.JPG\n", 1);
  EXPECT_NE(err_.find("no picker is on screen"), std::string::npos) << err_;
  run("cancel\n", 1);
  run("tap Plain\npick IMG_0099.JPG\n", 1);
  EXPECT_NE(err_.find("not in the photo library"), std::string::npos) << err_;
  run("tap Plain\npick IMG_0004.MOV\n", 1);
  EXPECT_NE(err_.find("offers pictures only"), std::string::npos) << err_;
  run("tap Plain\ntap Jpeg\n", 1);
  EXPECT_NE(err_.find("the picker covers the pane"), std::string::npos) << err_;
}

// --- the orders the device runs: held work, run by the user in each order ----------------------

TEST_F(ImagePickerCellTest, APictureAppliedBeforeAnOlderVideosExportEndsStays) {
  std::vector<json> lines =
      run("hold\ntap Video\npick IMG_0004.MOV\ntap Video\npick IMG_0002.JPG\npending\n"
          "run 2\nrun 3\nrun all\nshow\n");
  EXPECT_EQ(only(lines, {"pending"}),
            (std::vector<json>{{{"kind", "pending"},
                                {"number", 1},
                                {"what", "export session for IMG_0004.MOV"},
                                {"row", "Video"},
                                {"queue", "queue com.apple.photos.export-sessions"}},
                               {{"kind", "pending"},
                                {"number", 2},
                                {"what", "reading of IMG_0002.JPG"},
                                {"row", "Video"},
                                {"queue", "background queue"}}}));
  // The picture is stored and posted; the video's export completes later, is refused, and
  // takes only its own file away.
  std::vector<json> effects =
      only(afterOpening(lines), {"defaults", "notify", "export", "move", "remove-file", "log"});
  EXPECT_EQ(kinds(effects), (std::vector<std::string>{"defaults", "remove-file", "notify", "export",
                                                      "remove-file", "log"}))
      << json(lines).dump(1);
  ASSERT_EQ(effects.size(), 6u);
  EXPECT_EQ(effects[0]["value"]["format"], "png");
  EXPECT_EQ(effects[3]["status"], "completed");
  EXPECT_EQ(effects[4]["path"], effects[3]["output"]);
  EXPECT_EQ(refusals(lines), (std::vector<std::string>{"Video: a newer pick stands"}));
  EXPECT_FALSE(fs::exists(device(kVideo)));
  expectNoExportLeft(device("var/mobile/Library/Plinka"));
  EXPECT_EQ(videoRow(lines)["preview"]["source"], "picture");
}

TEST_F(ImagePickerCellTest, APicturesBytesThatComeAfterANewerVideoAreRefused) {
  std::vector<json> lines =
      run("hold\ntap Video\npick IMG_0002.JPG\ntap Video\npick IMG_0004.MOV\n"
          "run 2\nrun 3\nrun 4\nrun 5\nrun all\n");
  EXPECT_EQ(refusals(lines), (std::vector<std::string>{"Video: a newer pick stands"}))
      << json(lines).dump(1);
  EXPECT_TRUE(only(lines, {"encode"}).empty()) << "the late picture is not even encoded";
  EXPECT_TRUE(fs::is_regular_file(device(kVideo)));
}

TEST_F(ImagePickerCellTest, TheNewerVideoWinsWhenItsExportEndsFirst) {
  std::vector<json> lines =
      run("hold\ntap Video\npick IMG_0004.MOV\ntap Video\npick IMG_0006.MP4\n"
          "run 1\nrun 2\npending\nrun 4\nrun 5\npending\nrun 6\nrun all\nshow\n");
  std::vector<json> pending = only(lines, {"pending"});
  ASSERT_EQ(pending.size(), 4u) << json(lines).dump(1);
  EXPECT_EQ(pending[0]["what"], "export of IMG_0004.MOV");
  EXPECT_EQ(pending[0]["number"], 3);
  EXPECT_EQ(pending[1]["what"], "export of IMG_0006.MP4");
  EXPECT_EQ(pending[1]["queue"], "background queue");
  // The export's end is taken to the main queue, where picks are applied one at a time.
  EXPECT_EQ(pending[3], (json{{"kind", "pending"},
                              {"number", 6},
                              {"what", "block for IMG_0006.MP4"},
                              {"row", "Video"},
                              {"queue", "main queue"}}));
  std::vector<json> effects = only(afterOpening(lines), {"export", "move", "remove-file", "log"});
  EXPECT_EQ(kinds(effects),
            (std::vector<std::string>{"export", "move", "export", "remove-file", "log"}))
      << json(lines).dump(1);
  ASSERT_EQ(effects.size(), 5u);
  // The newer pick's export (the second set up: N 2) ends first and is moved into place.
  EXPECT_EQ(exportNumber(effects[0]["output"]), 2);
  EXPECT_EQ(effects[1]["from"], effects[0]["output"]);
  EXPECT_EQ(effects[1]["ok"], true);
  EXPECT_EQ(exportNumber(effects[2]["output"]), 1);
  EXPECT_EQ(effects[3]["path"], effects[2]["output"]);
  EXPECT_EQ(refusals(lines), (std::vector<std::string>{"Video: a newer pick stands"}));
  expectNoExportLeft(device("var/mobile/Library/Plinka"));
  EXPECT_EQ(videoRow(lines)["preview"]["source"], "video");
}

TEST_F(ImagePickerCellTest, OverlappingExportsTakeNamesOfTheirOwnTheFirstMovedTheNextReplacing) {
  std::vector<json> lines =
      run("hold\ntap Video\npick IMG_0004.MOV\ntap Video\npick IMG_0006.MP4\n"
          "run 1\nrun 2\nrelease\n");
  std::vector<json> effects = only(afterOpening(lines), {"export", "move", "remove-file", "log"});
  EXPECT_EQ(kinds(effects), (std::vector<std::string>{"export", "export", "move", "move"}))
      << json(lines).dump(1);
  ASSERT_EQ(effects.size(), 4u);
  EXPECT_EQ(effects[0]["status"], "completed");
  EXPECT_EQ(effects[1]["status"], "completed");
  EXPECT_EQ(exportNumber(effects[0]["output"]), 1);
  EXPECT_EQ(exportNumber(effects[1]["output"]), 2);
  // Nothing stands at the video path for the first: moved there; the second replaces it.
  EXPECT_EQ(effects[2], (json{{"kind", "move"},
                              {"from", effects[0]["output"]},
                              {"to", std::string("/") + kVideo},
                              {"replace", false},
                              {"ok", true}}));
  EXPECT_EQ(effects[3]["from"], effects[1]["output"]);
  EXPECT_EQ(effects[3]["replace"], true);
  EXPECT_TRUE(refusals(lines).empty());
  expectNoExportLeft(device("var/mobile/Library/Plinka"));
}

TEST_F(ImagePickerCellTest, AnExportNeverTakesTheNameOfAnotherProcesssExport) {
  // A process that ends while its export's completion waits leaves its file.
  run("hold\ntap Video\npick IMG_0004.MOV\nrun 1\nrun 2\n");
  std::vector<fs::path> left;
  for (const auto& entry : fs::directory_iterator(device("var/mobile/Library/Plinka"))) {
    if (exportNumber("/" + fs::relative(entry.path(), root_).string()) != 0)
      left.push_back(entry.path());
  }
  ASSERT_EQ(left.size(), 1u);
  std::vector<char> leftBytes = bytesOf(fs::relative(left[0], root_).string());
  std::vector<json> lines = run("tap Video\npick IMG_0006.MP4\n");
  std::vector<json> exports = only(lines, {"export"});
  ASSERT_EQ(exports.size(), 1u);
  EXPECT_EQ(exportNumber(exports[0]["output"]), 1) << "the first export of this process";
  EXPECT_NE(exports[0]["output"], "/" + fs::relative(left[0], root_).string());
  EXPECT_EQ(exports[0]["status"], "completed");
  EXPECT_EQ(bytesOf(fs::relative(left[0], root_).string()), leftBytes);
}

TEST_F(ImagePickerCellTest, HeldWorkRunsOnlyInAnOrderTheDeviceCouldRunIt) {
  // Two export sessions come from one serial queue: the second cannot run first.
  run("hold\ntap Video\npick IMG_0004.MOV\ntap Video\npick IMG_0006.MP4\nrun 2\n", 1);
  EXPECT_NE(err_.find("-:6: item 1 (export session for IMG_0004.MOV) must run first"),
            std::string::npos)
      << err_;
  run("hold\nrun 1\n", 1);
  EXPECT_NE(err_.find("-:2: no item 1 is waiting"), std::string::npos) << err_;
  // Checked before anything runs: run without hold, or after release; a fault unknown.
  for (const char* script : {"tap Video\nrun all\n", "hold\nrelease\nrun 1\n", "hold\nrun 0\n",
                             "fault disk broken\n", "fault\n", "pending now\n"}) {
    EXPECT_TRUE(run(script, 2).empty()) << script;
    EXPECT_EQ(err_.rfind("-:", 0), 0u) << err_;
  }
  // A script that ends while work waits runs nothing more and says how much was left.
  std::vector<json> lines = run("hold\ntap Video\npick IMG_0004.MOV\n");
  EXPECT_EQ(only(lines, {"export", "defaults"}).size(), 0u);
  EXPECT_EQ(only(lines, {"left-waiting"}),
            (std::vector<json>{{{"kind", "left-waiting"}, {"items", 1}}}));
  EXPECT_FALSE(fs::exists(device(kVideo)));
}

TEST_F(ImagePickerCellTest, TheVideosFolderIsMadeWithItsParentsWhenItIsMissing) {
  std::vector<json> lines = run("tap Lost\npick IMG_0004.MOV\n");
  EXPECT_EQ(only(lines, {"make-folder"}),
            (std::vector<json>{
                {{"kind", "make-folder"}, {"path", "/var/mobile/Nowhere/Deeper"}, {"ok", true}}}));
  EXPECT_TRUE(fs::is_regular_file(device("var/mobile/Nowhere/Deeper/L.mov")));
  EXPECT_TRUE(refusals(lines).empty());
  // Once it stands, nothing is made again.
  lines = run("tap Lost\npick IMG_0006.MP4\n");
  EXPECT_TRUE(only(lines, {"make-folder"}).empty());
}

TEST_F(ImagePickerCellTest, UnderEachDiskFaultAPickLeavesThePreviousChoiceWhole) {
  run("tap Video\npick IMG_0004.MOV\n");
  std::vector<char> video = bytesOf(kVideo);
  ASSERT_FALSE(video.empty());
  struct Case {
    const char* fault;
    std::vector<std::string> refusals;
  };
  for (const Case& c : std::vector<Case>{
           {"disk full",
            {"Video: the picture cannot be stored",
             "Video: the video cannot be exported: cannot write the output file: no space left "
             "on device (-11807)"}},
           {"rename fails",
            {"Video: the picture cannot be stored",
             "Video: the video cannot be put in place: input/output error (512)"}},
           {"remove fails", {"Video: the video cannot be removed: input/output error (512)"}}}) {
    // The picture first, in a process of its own: what it leaves stored is what a fresh process
    // builds its preview from.
    std::vector<json> lines =
        run(std::string("fault ") + c.fault + "\ntap Video\npick IMG_0002.JPG\n");
    EXPECT_EQ(videoRow(run("show\n"))["preview"]["source"], "video") << c.fault;
    std::vector<json> more = run(std::string("fault ") + c.fault +
                                 "\ntap Video\npick IMG_0006.MP4\nfault disk ok\nshow\n");
    lines.insert(lines.end(), more.begin(), more.end());
    EXPECT_EQ(refusals(lines), c.refusals) << c.fault;
    EXPECT_EQ(only(lines, {"notify"}).size(), c.refusals.size() == 1 ? 1u : 0u) << c.fault;
    EXPECT_EQ(videoRow(lines)["preview"]["source"], "video") << c.fault;
    expectNoExportLeft(device("var/mobile/Library/Plinka"));
    if (c.refusals.size() == 2) {
      EXPECT_EQ(bytesOf(kVideo), video) << c.fault;
    }
  }
  // A folder that cannot be made on a full disk.
  std::vector<json> lines = run("fault disk full\ntap Lost\npick IMG_0004.MOV\n");
  EXPECT_EQ(refusals(lines),
            (std::vector<std::string>{"Lost: the video's folder cannot be made: no space left on "
                                      "device (640)"}));
}

TEST_F(ImagePickerCellTest, ThePartsDecisionsPinned) {
  writeRows(
      {row("Third", "third", flag("usesJPEG") + "<key>compressionQuality</key><real>0.3</real>"),
       row("Video", "video",
           flag("allowsVideos") + text("videoPath", "/var/mobile/Library/Plinka/V.mov"))});
  std::vector<json> lines = run("tap Third\npick IMG_0002.JPG\ntap Video\npick IMG_0004.MOV\n");
  std::vector<json> encodes = only(lines, {"encode"});
  ASSERT_EQ(encodes.size(), 1u);
  // Read as a float, widened: 0.3 as a float is not 0.3 as a double.
  EXPECT_EQ(encodes[0]["quality"].get<double>(), static_cast<double>(0.3f));
  for (const json& present : only(lines, {"present"})) {
    EXPECT_EQ(present["animated"], true);
    EXPECT_EQ(present["completion"], false);
  }
  std::vector<json> exports = only(lines, {"export"});
  ASSERT_EQ(exports.size(), 1u);
  EXPECT_EQ(exports[0]["preset"], "AVAssetExportPresetHighestQuality");
}

}  // namespace
