// ZELImagePickerCell: a settings row through which the user chooses a picture from the photo
// library, or, where the row allows it, a video; and ZELParseImage, which turns stored picture
// bytes back into an image.
//
// A class of the object runtime, registered when libpkprefs3 loads, deriving from PSTableCell
// and acting as the delegate of the UIImagePickerController it presents. A row names it as its
// cell class and `chooseImage` as its action.
//
// Row attributes, read once when the cell is made (absent: the default):
//   key, defaults       where the chosen picture's bytes are stored (a key in a defaults domain)
//   PostNotification    the name posted system-wide after each change (none: nothing posted)
//   usesJPEG            store the picture re-encoded as JPEG at compressionQuality (default off)
//   usesGIF             store the bytes exactly as the library delivered them (default off)
//   compressionQuality  the JPEG quality, 0.0 to 1.0 (default 1.0; read as a float)
//   allowsVideos        the picker offers videos too (default off)
//   videoPath           the device path a chosen video is written to (.mov, in any case, makes a
//                       QuickTime movie; anything else an MPEG-4 file)
// Without either flag a picture is stored as PNG; JPEG wins over GIF.
//
// The cell keeps the user's current choice whole: a choice is replaced only once the new one
// has been obtained, and the newest pick wins. Picks are numbered per cell; a pick's result
// (the picture's bytes, an ended export) is applied on the main queue, and only when no newer
// pick of the cell has been applied; a result that comes later takes its own new file away and
// is refused ("a newer pick stands").
// - A picture: its bytes are delivered later on the main queue. Bytes that decode to no image
//   change nothing. Otherwise the bytes are stored, the video file (if the row has a videoPath)
//   is removed, the notification posted and the preview shows the picture. When the bytes
//   cannot be stored, nothing else happens; when the video cannot be removed, the value stored
//   before is stored again.
// - A video: its folder is made, with its parents, when it is missing; it is exported (on a
//   background queue) to a new file beside videoPath named VIDEO.export-PID-N, which no other
//   export of this process or another takes. When the export has completed, on the main queue,
//   the file is moved to videoPath (when nothing stands there) or replaces the file there in
//   one step, then a stored picture is removed; the notification is posted and the preview
//   given the video's first frame. A video that cannot be put in place changes nothing; when the
//   picture cannot be removed it stays the choice and the video goes again. A process that ends
//   between the two steps leaves the picture, whole, as the choice.
//   A failed export changes nothing and takes away only the file it made.
// - A pick without a reference URL, or whose asset is gone, changes nothing; the picker is
//   dismissed and its activity indicator stopped all the same. A cancel changes nothing.
// - Every pick that changes nothing says why through NSLog: "pick refused for ROW: REASON",
//   with the platform's description and code where it gave an error.
// The preview is made at the cell's first move into a window and its image is always set on the
// main queue, whichever queue delivered it.
#pragma once

#include <Foundation/Foundation.h>

// The image of picture bytes (+[UIImage imageWithData:]); nil for nil, for an object that is no
// NSData, and for bytes that are no image.
__attribute__((visibility("default"))) id ZELParseImage(id data);

class __attribute__((visibility("default"))) ZELImagePickerCell {
 public:
  static Class runtimeClass();  // the registered class
};
