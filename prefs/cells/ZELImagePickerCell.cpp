#include <pkprefs3/ZELImagePickerCell.h>

#include <AVFoundation/AVFoundation.h>
#include <Foundation/Block.h>
#include <Preferences/PSSpecifier.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImagePickerController.h>
#include <dispatch/dispatch.h>
#include <notify.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "row_name.h"

namespace {

Class cellClass = Nil;

// The cell's instance variables, found once after the class is registered.
struct Fields {
  ptrdiff_t listController, previewImage, key, defaults, postNotification, usesJPEG, usesGIF,
      compressionQuality, allowsVideos, videoPath, picks, applied;
} fields;

template <typename T>
T& field(id self, ptrdiff_t offset) {
  return *reinterpret_cast<T*>(reinterpret_cast<char*>(self) + offset);
}

// Stores a strong reference, releasing the previous value.
void setObject(id self, ptrdiff_t offset, id value) {
  id& slot = field<id>(self, offset);
  id old = slot;
  slot = ns::retain(value);
  ns::release(old);
}

id property(id specifier, const char* key) {
  return send(send(specifier, "properties"), "objectForKey:", ns::string(key));
}

// --- the platform calls, each made in one place ------------------------------------------------

id standardDefaults() {
  return send(cls("NSUserDefaults"), "standardUserDefaults");
}

id storedValue(id self) {
  return send(standardDefaults(), "objectForKey:inDomain:", field<id>(self, fields.key),
              field<id>(self, fields.defaults));
}

void store(id self, id value) {
  send<void>(standardDefaults(), "setObject:forKey:inDomain:", value, field<id>(self, fields.key),
             field<id>(self, fields.defaults));
}

// A pick that changes nothing says why: the user picked, and nothing happened.
void refusePick(id self, const std::string& reason) {
  NSLog(NSSTR("pick refused for %@: %s"), cells::rowName(send(self, "specifier"), NSSTR("nothing")),
        reason.c_str());
}

// "what: DESCRIPTION (CODE)" for a failure the platform reported with an error.
std::string because(const char* what, id error) {
  if (error == nil) return what;
  return std::string(what) + ": " + ns::utf8(send(error, "localizedDescription")) + " (" +
         std::to_string(send<NSInteger>(error, "code")) + ")";
}

// Stores a value (nil removes it); false when the store did not reach the disk.
bool storeChange(id self, id value) {
  store(self, value);
  return send<BOOL>(standardDefaults(), "synchronize") != NO;
}

// Stores `previous` again after a change that could not be completed; says so in `problem` when
// even that fails.
void putBack(id self, id previous, std::string& problem) {
  if (!storeChange(self, previous)) problem += "; the previous value cannot be stored again";
}

// Picks are numbered per cell as they are made, on the main thread; a pick's result (a picture's
// bytes, a finished export) is applied there too, and only when no newer pick has been applied
// before it: whatever order the platform delivers results in, the newest pick wins.
bool newest(id self, NSUInteger pick) {
  return pick > field<NSUInteger>(self, fields.applied);
}

// A row without "PostNotification" posts nothing.
void postChange(id self) {
  id name = field<id>(self, fields.postNotification);
  if (name != nil) notify_post(ns::utf8(name).c_str());
}

// NSFileNoSuchFileError: a removal that found nothing to remove.
constexpr NSInteger kNoSuchFile = 4;

id fileManager() {
  return send(cls("NSFileManager"), "defaultManager");
}

id fileURL(id path) {
  return send(cls("NSURL"), "fileURLWithPath:", path);
}

bool makesQuickTime(id videoPath) {
  return send<BOOL>(send(videoPath, "lowercaseString"), "hasSuffix:", ns::string(".mov")) != NO;
}

// The first frame of the video at a file URL, as an image; nil when there is none.
id videoFrame(id url) {
  id asset = send(cls("AVURLAsset"), "URLAssetWithURL:options:", url, id{nil});
  id generator = send(cls("AVAssetImageGenerator"), "assetImageGeneratorWithAsset:", asset);
  CGImageRef frame =
      send<CGImageRef>(generator, "copyCGImageAtTime:actualTime:error:", CMTimeMake(0, 1),
                       static_cast<CMTime*>(nullptr), static_cast<id*>(nullptr));
  if (frame == nullptr) return nil;
  id image = send(cls("UIImage"), "imageWithCGImage:", frame);
  CGImageRelease(frame);
  return image;
}

// The preview belongs to the main thread's interface: its image is set there, later.
void showInPreview(id self, id image) {
  ns::Ref cell(self), shown(image);
  dispatch_async(dispatch_get_main_queue(), ns::block<>([cell, shown] {
                   send<void>(field<id>(cell, fields.previewImage), "setImage:", shown.get());
                 }));
}

// --- construction and preview ------------------------------------------------------------------

id initCell(id self, SEL, NSInteger style, id reuseIdentifier, id specifier) {
  id cell = sendSuper(self, cellClass, "initWithStyle:reuseIdentifier:specifier:", style,
                      reuseIdentifier, specifier);
  if (cell == nil) return nil;
  // Not retained: the list controller owns the table that owns this cell, and a cell holding it
  // back would keep the whole pane (its table, cells and previews) alive after it is left. The
  // controller is only asked to present and dismiss the picker, which happens while it shows
  // the cell; the handlers that outlive a pick hold the cell and never reach the controller.
  field<id>(cell, fields.listController) = send(specifier, "target");
  send<void>(specifier, "setTarget:", cell);
  setObject(cell, fields.key, property(specifier, "key"));
  setObject(cell, fields.defaults, property(specifier, "defaults"));
  setObject(cell, fields.postNotification, property(specifier, "PostNotification"));
  auto flag = [&](const char* key) {
    id value = property(specifier, key);
    return value != nil && send<BOOL>(value, "boolValue") != NO ? YES : NO;
  };
  field<BOOL>(cell, fields.usesJPEG) = flag("usesJPEG");
  field<BOOL>(cell, fields.usesGIF) = flag("usesGIF");
  id quality = property(specifier, "compressionQuality");
  field<double>(cell, fields.compressionQuality) =
      quality != nil ? static_cast<double>(send<float>(quality, "floatValue")) : 1.0;
  field<BOOL>(cell, fields.allowsVideos) = flag("allowsVideos");
  setObject(cell, fields.videoPath, property(specifier, "videoPath"));
  return cell;
}

void didMoveToWindow(id self, SEL) {
  sendSuper<void>(self, cellClass, "didMoveToWindow");
  if (field<id>(self, fields.previewImage) != nil) return;
  id view = send(send(cls("UIImageView"), "alloc"), "initWithFrame:", CGRectMake(0, 0, 29, 29));
  send<void>(view, "setContentMode:", NSInteger{2});  // UIViewContentModeScaleAspectFill
  send<void>(send(view, "layer"), "setCornerRadius:", 5.0);
  send<void>(view, "setClipsToBounds:", YES);
  send<void>(send(view, "layer"), "setBorderWidth:", 1.5);
  send<void>(send(view, "layer"), "setBorderColor:",
             send<CGColorRef>(send(cls("UIColor"), "lightGrayColor"), "CGColor"));
  field<id>(self, fields.previewImage) = view;  // owned: made with alloc
  send<void>(self, "setAccessoryView:", view);
  send<void>(self, "addSubview:", view);
  id image = ZELParseImage(storedValue(self));
  id videoPath = field<id>(self, fields.videoPath);
  if (image == nil && videoPath != nil) image = videoFrame(fileURL(videoPath));
  if (image != nil) send<void>(view, "setImage:", image);
}

// --- the picker --------------------------------------------------------------------------------

void chooseImage(id self, SEL) {
  id picker = send(send(cls("UIImagePickerController"), "alloc"), "init");
  send<void>(picker, "setSourceType:", UIImagePickerControllerSourceTypePhotoLibrary);
  if (field<BOOL>(self, fields.allowsVideos)) {
    send<void>(picker, "setMediaTypes:", ns::array({kUTTypeImage, kUTTypeMovie}));
  }
  send<void>(picker, "setDelegate:", self);
  send<void>(field<id>(self, fields.listController),
             "presentViewController:animated:completion:", picker, YES, id{nil});
  ns::release(picker);
}

// A new file name beside the video, for the export to write without touching the old one:
// VIDEO.export-PID-N, N counted in this process, so that no other export here or in another
// process takes it; a name left over by an ended process is passed over. The export makes its
// file exclusively, so even then nothing of another's is overwritten.
id exportPathBeside(id videoPath) {
  static std::atomic<unsigned> exports{0};
  for (;;) {
    id path = ns::string(ns::utf8(videoPath) + ".export-" + std::to_string(getpid()) + "-" +
                         std::to_string(++exports));
    if (send<BOOL>(fileManager(), "fileExistsAtPath:", path) == NO) return path;
  }
}

// Makes the folder the video goes in, with its parents, when it is missing; false, with
// `problem`, when it cannot be made.
bool makeVideoFolder(id videoPath, std::string& problem) {
  id folder = send(videoPath, "stringByDeletingLastPathComponent");
  if (send<BOOL>(fileManager(), "fileExistsAtPath:", folder) != NO) return true;
  id error = nil;
  if (send<BOOL>(fileManager(),
                 "createDirectoryAtPath:withIntermediateDirectories:attributes:error:", folder, YES,
                 id{nil}, &error) != NO) {
    return true;
  }
  problem = because("the video's folder cannot be made", error);
  return false;
}

// Puts a finished export at the video path: moved when nothing stands there, else replacing
// the file there in one step. False, with `problem`, when it cannot.
bool putInPlace(id exportPath, id videoPath, std::string& problem) {
  id error = nil;
  bool done = false;
  if (send<BOOL>(fileManager(), "fileExistsAtPath:", videoPath) == NO) {
    done = send<BOOL>(fileManager(), "moveItemAtPath:toPath:error:", exportPath, videoPath,
                      &error) != NO;
  } else {
    done = send<BOOL>(fileManager(),
                      "replaceItemAtURL:withItemAtURL:backupItemName:options:resultingItemURL:"
                      "error:",
                      fileURL(videoPath), fileURL(exportPath), id{nil}, NSUInteger{0},
                      static_cast<id*>(nullptr), &error) != NO;
  }
  if (!done) problem = because("the video cannot be put in place", error);
  return done;
}

// Removes a file this cell made and no longer needs.
void removeOwnFile(id path) {
  if (send<BOOL>(fileManager(), "fileExistsAtPath:", path) != NO) {
    send<BOOL>(fileManager(), "removeItemAtPath:error:", path, static_cast<id*>(nullptr));
  }
}

// Runs on the main queue when pick `pick`'s export has ended: puts the video in place, or says
// why not and takes its new file away. The video goes in place first and a stored picture goes
// after it: a process that ends between the two leaves the picture, which a stored value makes
// the choice, whole; and a video that cannot be put in place changes nothing.
void finishExport(id self, NSUInteger pick, id session, id exportPath) {
  std::string problem;
  bool ownFile = true;  // the file at exportPath, if any, is this export's
  id videoPath = field<id>(self, fields.videoPath);
  if (send<AVAssetExportSessionStatus>(session, "status") != AVAssetExportSessionStatusCompleted) {
    id error = send(session, "error");
    // An export that found its name taken wrote nothing: the file there is another's.
    ownFile = error == nil || send<NSInteger>(error, "code") != AVErrorFileAlreadyExists;
    problem = because("the video cannot be exported", error);
  } else if (!newest(self, pick)) {
    problem = "a newer pick stands";
  } else if (!putInPlace(exportPath, videoPath, problem)) {
  } else if (storedValue(self) != nil && !storeChange(self, nil)) {
    // The picture stays the choice; the video, now at videoPath, goes again.
    problem = "the stored picture cannot be removed";
    ownFile = false;
    removeOwnFile(videoPath);
  } else {
    field<NSUInteger>(self, fields.applied) = pick;  // the video is the choice now
    postChange(self);
    showInPreview(self, videoFrame(fileURL(videoPath)));
    return;
  }
  if (ownFile) removeOwnFile(exportPath);
  refusePick(self, problem);
}

// Runs where the image manager calls it (a background queue): exports the video beside the
// current one; once the export has ended, the main queue puts it in place.
void setUpExport(id self, NSUInteger pick, id session) {
  id videoPath = field<id>(self, fields.videoPath);
  if (session == nil || videoPath == nil) {
    refusePick(self, session == nil ? "the video cannot be exported" : "the row keeps no video");
    return;
  }
  std::string problem;
  if (!makeVideoFolder(videoPath, problem)) {
    refusePick(self, problem);
    return;
  }
  id exportURL = fileURL(exportPathBeside(videoPath));
  send<void>(session, "setOutputURL:", exportURL);
  send<void>(session, "setOutputFileType:",
             makesQuickTime(videoPath) ? AVFileTypeQuickTimeMovie : AVFileTypeMPEG4);
  ns::Ref cell(self), output(send(exportURL, "path")), exporting(session);
  send<void>(
      session,
      "exportAsynchronouslyWithCompletionHandler:", ns::block<>([cell, pick, output, exporting] {
        dispatch_async(dispatch_get_main_queue(), ns::block<>([cell, pick, output, exporting] {
                         finishExport(cell, pick, exporting, output);
                       }));
      }));
}

// Runs on the main queue when the picture's bytes of pick `pick` arrive.
void receivePicture(id self, NSUInteger pick, id data) {
  if (!newest(self, pick)) {
    refusePick(self, "a newer pick stands");
    return;
  }
  id image = ZELParseImage(data);
  if (image == nil) {  // no bytes, or bytes that are no picture: keep the current choice
    refusePick(self, "the picked item is no picture");
    return;
  }
  id bytes = field<BOOL>(self, fields.usesJPEG)
                 ? UIImageJPEGRepresentation(image, field<double>(self, fields.compressionQuality))
             : field<BOOL>(self, fields.usesGIF) ? data
                                                 : UIImagePNGRepresentation(image);
  if (bytes == nil) {
    refusePick(self, "the picture cannot be stored");
    return;
  }
  ns::Ref previous(storedValue(self));
  if (!storeChange(self, bytes)) {
    refusePick(self, "the picture cannot be stored");
    return;
  }
  // The video goes once the picture is stored; when it cannot, the stored value is put back.
  id videoPath = field<id>(self, fields.videoPath);
  id error = nil;
  if (videoPath != nil &&
      send<BOOL>(fileManager(), "removeItemAtPath:error:", videoPath, &error) == NO &&
      send<NSInteger>(error, "code") != kNoSuchFile) {
    std::string problem = because("the video cannot be removed", error);
    putBack(self, previous, problem);
    refusePick(self, problem);
    return;
  }
  field<NSUInteger>(self, fields.applied) = pick;  // the picture is the choice now
  postChange(self);
  showInPreview(self, image);
}

void didFinishPicking(id self, SEL, id picker, id info) {
  id pickerView = send(picker, "view");
  id indicator = send(send(cls("UIActivityIndicatorView"), "alloc"),
                      "initWithActivityIndicatorStyle:", NSInteger{0});  // WhiteLarge
  send<void>(indicator, "setFrame:", send<CGRect>(pickerView, "frame"));
  send<void>(indicator, "setHidesWhenStopped:", YES);
  send<void>(pickerView, "addSubview:", indicator);
  send<void>(indicator, "startAnimating");

  id url = send(info, "objectForKey:", UIImagePickerControllerReferenceURL);
  id asset = url == nil
                 ? nil
                 : send(send(cls("PHAsset"),
                             "fetchAssetsWithALAssetURLs:options:", ns::array({url}), id{nil}),
                        "lastObject");
  ns::Ref cell(self);
  NSUInteger pick = ++field<NSUInteger>(self, fields.picks);
  if (asset != nil && send<BOOL>(asset, "isVideo") != NO) {
    send<long>(send(cls("PHImageManager"), "defaultManager"),
               "requestExportSessionForVideo:options:exportPreset:resultHandler:", asset, id{nil},
               AVAssetExportPresetHighestQuality, ns::block<id, id>([cell, pick](id session, id) {
                 setUpExport(cell, pick, session);
               }));
  } else if (asset != nil) {
    send<long>(send(cls("PHImageManager"), "defaultManager"),
               "requestImageDataForAsset:options:resultHandler:", asset, id{nil},
               ns::block<id, id, long, id>(
                   [cell, pick](id data, id, long, id) { receivePicture(cell, pick, data); }));
  } else {
    refusePick(self, "the pick names no item of the photo library");
  }
  // Whatever came of the pick, the picker goes and its indicator stops.
  ns::Ref spinner = ns::Ref::adopt(indicator);
  send<void>(field<id>(self, fields.listController),
             "dismissViewControllerAnimated:completion:", YES,
             ns::block<>([spinner] { send<void>(spinner, "stopAnimating"); }));
}

void didCancel(id self, SEL, id) {
  send<void>(field<id>(self, fields.listController),
             "dismissViewControllerAnimated:completion:", YES, id{nil});
}

// --- properties and lifetime -------------------------------------------------------------------

template <ptrdiff_t Fields::*F>
id getObject(id self, SEL) {
  return field<id>(self, fields.*F);
}
template <ptrdiff_t Fields::*F>
void setObjectProperty(id self, SEL, id value) {
  setObject(self, fields.*F, value);
}
template <ptrdiff_t Fields::*F>
BOOL getFlag(id self, SEL) {
  return field<BOOL>(self, fields.*F);
}
template <ptrdiff_t Fields::*F>
void setFlag(id self, SEL, BOOL value) {
  field<BOOL>(self, fields.*F) = value;
}
double compressionQuality(id self, SEL) {
  return field<double>(self, fields.compressionQuality);
}
void setCompressionQuality(id self, SEL, double value) {
  field<double>(self, fields.compressionQuality) = value;
}

void deallocCell(id self, SEL) {
  for (ptrdiff_t offset : {fields.previewImage, fields.key, fields.defaults,
                           fields.postNotification, fields.videoPath}) {
    setObject(self, offset, nil);
  }
  sendSuper<void>(self, cellClass, "dealloc");
}

__attribute__((constructor)) void registerImagePickerCell() {
  Class base = objc_getClass("PSTableCell");
  if (base == Nil) return;
  ClassBuilder builder("ZELImagePickerCell", base);
  if (!builder) return;  // already registered
  for (const char* name :
       {"listController", "previewImage", "_key", "_defaults", "_postNotification", "_videoPath"}) {
    builder.ivar(name, sizeof(id), 3, "@");
  }
  for (const char* name : {"_usesJPEG", "_usesGIF", "_allowsVideos"}) builder.ivar(name, 1, 0, "c");
  // Private: picks made, and the newest pick applied.
  for (const char* name : {"_picks", "_appliedPick"})
    builder.ivar(name, sizeof(NSUInteger), 3, "Q");
  builder.ivar("_compressionQuality", sizeof(double), 3, "d")
      .method("initWithStyle:reuseIdentifier:specifier:", initCell)
      .method("didMoveToWindow", didMoveToWindow)
      .method("chooseImage", chooseImage)
      .method("imagePickerController:didFinishPickingMediaWithInfo:", didFinishPicking)
      .method("imagePickerControllerDidCancel:", didCancel)
      .method("key", getObject<&Fields::key>)
      .method("setKey:", setObjectProperty<&Fields::key>)
      .method("defaults", getObject<&Fields::defaults>)
      .method("setDefaults:", setObjectProperty<&Fields::defaults>)
      .method("postNotification", getObject<&Fields::postNotification>)
      .method("setPostNotification:", setObjectProperty<&Fields::postNotification>)
      .method("usesJPEG", getFlag<&Fields::usesJPEG>)
      .method("setUsesJPEG:", setFlag<&Fields::usesJPEG>)
      .method("usesGIF", getFlag<&Fields::usesGIF>)
      .method("setUsesGIF:", setFlag<&Fields::usesGIF>)
      .method("compressionQuality", compressionQuality)
      .method("setCompressionQuality:", setCompressionQuality)
      .method("allowsVideos", getFlag<&Fields::allowsVideos>)
      .method("setAllowsVideos:", setFlag<&Fields::allowsVideos>)
      .method("videoPath", getObject<&Fields::videoPath>)
      .method("setVideoPath:", setObjectProperty<&Fields::videoPath>)
      .method("dealloc", deallocCell);
  cellClass = builder.register_();
  auto offset = [](const char* name) {
    return ivar_getOffset(class_getInstanceVariable(cellClass, name));
  };
  fields = Fields{offset("listController"),
                  offset("previewImage"),
                  offset("_key"),
                  offset("_defaults"),
                  offset("_postNotification"),
                  offset("_usesJPEG"),
                  offset("_usesGIF"),
                  offset("_compressionQuality"),
                  offset("_allowsVideos"),
                  offset("_videoPath"),
                  offset("_picks"),
                  offset("_appliedPick")};
}

}  // namespace

id ZELParseImage(id data) {
  if (data == nil || !ns::isKindOf(data, "NSData")) return nil;
  return send(cls("UIImage"), "imageWithData:", data);
}

Class ZELImagePickerCell::runtimeClass() {
  return objc_getClass("ZELImagePickerCell");
}
