// plinka-sim settings --png: the settings pane drawn as the Settings application shows it, from
// the rows the controller shows and the cells and views the host made for them.
#pragma once

#include <Foundation/Foundation.h>
#include <UIKit/UIAlertController.h>
#include <device/screen.h>

#include <optional>
#include <string>
#include <vector>

namespace settings_sim {

// One shown row, as `show` reads it.
struct ShownRow {
  id row = nil;   // the PSSpecifier
  id cell = nil;  // its cell; nil for a group row and for a row whose cell could not be made
  bool group = false;
  std::string label;               // its label, else its key
  std::optional<bool> switchedOn;  // for a switch row: the position its value reads as
};

struct Pane {
  std::string title;
  std::vector<ShownRow> rows;
  std::optional<uikit::AlertInfo> alert;  // an alert on screen over the pane
  std::string backTitle;  // a pushed page: the title of the page below, on its back button
};

// Draws `pane` on `screen` into the PNG file `path`: the whole pane, however long, at the
// screen's width and scale. False with a message in `problem` when the file cannot be written.
bool writePanePicture(const Pane& pane, const device::ScreenModel& screen, const std::string& path,
                      std::string& problem);

// Where each shown row lies on the pane, in points from the pane's top-left corner (the
// navigation bar included): a cell's rectangle, and a group row's header. `index` is the row's
// place in pane.rows.
struct RowFrame {
  size_t index;
  double x, y, width, height;
};
std::vector<RowFrame> rowFrames(const Pane& pane, const device::ScreenModel& screen);

}  // namespace settings_sim
