// The photo picker on the simulated Settings application: the user's picks and cancels, and
// how the journal entries of a pick read.
#pragma once

#include <Foundation/Foundation.h>
#include <device/journal.h>

#include <functional>
#include <string>

#include "script.h"

namespace settings_sim {

// The image picker presented over `controller`; nil when none is.
id presentedPicker(id controller);

// The user picks in, or cancels, the picker over `controller`, as UIKit tells its delegate.
// False, with `problem` set, when there is no picker, the item is not in the photo library, or
// the item is a video and the picker offers pictures only.
bool pick(id controller, const Pick& pick, std::string& problem);
bool cancel(id controller, std::string& problem);

// From now on, every image given to a picker cell's preview is recorded as "preview" {row,
// source: stored|picked|video|none, width, height (pixels), thread: main|background}. `rowOf`
// answers the row name of a preview view, or "" for any other image view. An image made from
// bytes is "stored" when the cell set it itself (as it does when it first enters a window) and
// "picked" when it came in queued work (a pick's handler); one made from a frame is "video".
void watchPreviews(std::function<std::string(id view)> rowOf);

// What a picker cell's preview shows: {source, width, height} ({source: "none"} when empty).
nlohmann::ordered_json previewOf(id cell);

// Prints the readable line of a journal entry that a pick makes (present of a picker, dismiss,
// indicator, defaults, encode, remove-file, export, move, frame, preview), and a product's NSLog
// line ("log": its text); false for any other.
bool printPickEntry(const journal::Entry& entry);

}  // namespace settings_sim
