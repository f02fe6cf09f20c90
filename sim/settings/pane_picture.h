// plinka-sim settings --png and `snapshot`: the settings screen drawn as the Settings
// application shows it, from the rows the controller on top shows, the cells and views the host
// made for them, and what is presented over them (an alert, the photo picker).
#pragma once

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <device/screen.h>

#include <optional>
#include <string>
#include <vector>

#include "pane_layout.h"

namespace settings_sim {

// One shown row, as `show` reads it.
struct ShownRow {
  id row = nil;   // the PSSpecifier
  id cell = nil;  // its cell; nil for a group row and for a row whose cell could not be made
  bool group = false;
  std::string label;               // its label, else its key
  std::optional<bool> switchedOn;  // for a switch row: the position its value reads as
};

// One item of the photo library as the picker shows it.
struct PickerItem {
  std::string name;      // IMG_0004.MOV
  std::string hostPath;  // its file, where the host keeps the device's
  bool video = false;
  std::optional<std::string> duration;  // a video's length as shown ("0:02"); none if unreadable
};

// The photo picker as a sheet over the page: the items it offers, oldest first.
struct PickerSheet {
  std::vector<PickerItem> items;
};

struct Pane {
  std::string title;
  std::vector<ShownRow> rows;
  std::optional<uikit::AlertInfo> alert;  // an alert on screen over the page
  std::string backTitle;  // a pushed page: the title of the page below, on its back button
  std::optional<PickerSheet> picker;  // the photo picker presented over the page
};

// Draws `pane` on `screen` in `appearance` into the PNG file `path`: the whole page, however
// long, at the screen's width and scale; an alert or the picker over it. False with a message in
// `problem` when the file cannot be written; `size` gets the picture's pixel width and height.
struct PictureSize {
  uint32_t width = 0, height = 0;
};
bool writePanePicture(const Pane& pane, const device::ScreenModel& screen, Appearance appearance,
                      const std::string& path, std::string& problem, PictureSize* size = nullptr);

// Where each shown row lies on the pane, in points from the pane's top-left corner (the
// navigation bar included): a cell's rectangle, and a group row's header. `index` is the row's
// place in pane.rows.
struct RowFrame {
  size_t index;
  double x, y, width, height;
};
std::vector<RowFrame> rowFrames(const Pane& pane, const device::ScreenModel& screen);

}  // namespace settings_sim
