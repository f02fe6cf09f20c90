// The measurements and colours the settings screen is drawn with, in points, and where each
// comes from: iOS 14 on an iPhone, a grouped (full-width) table as the Settings application
// shows a preference pane, in the light or the dark appearance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace settings_sim {

// A colour with its opacity; a colour with alpha below 1 is laid over what is drawn below it.
struct Rgba {
  double r, g, b, a = 1;
};
constexpr Rgba hex(uint32_t rgb, double alpha = 1) {
  return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}

enum class Appearance { Light, Dark };

// UIKit's system colours the screen uses, as UIColor resolves them in each appearance.
enum class SystemColor {
  GroupedBackground,  // systemGroupedBackground: the table behind its sections
  CellBackground,     // secondarySystemGroupedBackground: a cell
  Background,         // systemBackground: the picker sheet
  Label,              // label: titles and values the user set
  SecondaryLabel,     // secondaryLabel: headers, footers, detail lines, a list row's value
  TertiaryLabel,      // tertiaryLabel: the disclosure chevron
  Placeholder,        // placeholderText: an empty text field's placeholder
  Separator,          // opaqueSeparator: lines between cells and under bars
  Tint,               // systemBlue: checkmarks, buttons, back buttons, a slider up to its thumb
  Destructive,        // systemRed: a destructive alert action
  SwitchOn,           // systemGreen: a switch's onTintColor by default
  SwitchOff,          // the fill of a switch that is off
  SliderTrack,        // systemFill: a slider's track past the thumb
  SegmentBackground,  // tertiarySystemFill: a segmented control's plate
  SegmentSelected,    // the selected segment's plate
  Knob,               // a switch's knob, a slider's thumb: white in both appearances
  Bar,                // a navigation bar's material over the page
  AlertBackground,    // an alert's material over the dimmed page
  Count
};

struct SystemColorValue {
  SystemColor color;
  Rgba light;
  Rgba dark;
};

// The one table of system colours. Published values (light / dark) where Apple publishes them;
// the materials (Bar, AlertBackground) and the selected segment's plate are what the device
// shows over a plain page, measured from its screens.
constexpr SystemColorValue kSystemColors[] = {
    {SystemColor::GroupedBackground, hex(0xF2F2F7), hex(0x000000)},
    {SystemColor::CellBackground, hex(0xFFFFFF), hex(0x1C1C1E)},
    {SystemColor::Background, hex(0xFFFFFF), hex(0x000000)},
    {SystemColor::Label, hex(0x000000), hex(0xFFFFFF)},
    {SystemColor::SecondaryLabel, hex(0x3C3C43, 0.6), hex(0xEBEBF5, 0.6)},
    {SystemColor::TertiaryLabel, hex(0x3C3C43, 0.3), hex(0xEBEBF5, 0.3)},
    {SystemColor::Placeholder, hex(0x3C3C43, 0.3), hex(0xEBEBF5, 0.3)},
    {SystemColor::Separator, hex(0xC6C6C8), hex(0x38383A)},
    {SystemColor::Tint, hex(0x007AFF), hex(0x0A84FF)},
    {SystemColor::Destructive, hex(0xFF3B30), hex(0xFF453A)},
    {SystemColor::SwitchOn, hex(0x34C759), hex(0x30D158)},
    {SystemColor::SwitchOff, hex(0x787880, 0.16), hex(0x787880, 0.32)},
    {SystemColor::SliderTrack, hex(0x787880, 0.2), hex(0x787880, 0.36)},
    {SystemColor::SegmentBackground, hex(0x767680, 0.12), hex(0x767680, 0.24)},
    {SystemColor::SegmentSelected, hex(0xFFFFFF), hex(0x636366)},
    {SystemColor::Knob, hex(0xFFFFFF), hex(0xFFFFFF)},
    {SystemColor::Bar, hex(0xF9F9F9), hex(0x161616)},
    {SystemColor::AlertBackground, hex(0xF2F2F2), hex(0x2C2C2E)},
};
static_assert(std::size(kSystemColors) == static_cast<size_t>(SystemColor::Count));
constexpr bool inTableOrder() {
  for (size_t i = 0; i < std::size(kSystemColors); ++i) {
    if (kSystemColors[i].color != static_cast<SystemColor>(i)) return false;
  }
  return true;
}
static_assert(inTableOrder(), "kSystemColors lists the colours in SystemColor's order");

constexpr const Rgba& systemColor(SystemColor color, Appearance appearance) {
  const SystemColorValue& values = kSystemColors[static_cast<size_t>(color)];
  return appearance == Appearance::Dark ? values.dark : values.light;
}

struct PaneLayout {
  // UINavigationBar: a compact bar, no large title (Settings' sub-panes), title 17 pt semibold.
  double navigationBarHeight;
  double navigationTitleSize;
  // UITableView: rowHeight's default, UITableViewAutomaticDimension resolving to 44 for a
  // one-line cell with the system font (Apple Human Interface Guidelines: 44 pt hit target).
  double rowHeight;
  // A grouped table's section spacing: 35 pt above an untitled section; a titled section's
  // header is 55.5 pt (UIKit's estimatedSectionHeaderHeight for grouped tables), its title 13 pt
  // upper case, its baseline 7 pt above the section's first row.
  double sectionSpacing;
  double titledHeaderHeight;
  double headerTextSize;
  double headerTextBottom;
  // A footer: 13 pt text, 7 pt below the section, 35 pt to the next section.
  double footerTextSize;
  double footerTextTop;
  // UITableViewCell: layoutMargins 16 pt at each side on iPhones; label 17 pt (UIFont
  // systemFontSize of body text), a subtitle cell's detail 12 pt; the separator inset is the
  // left margin, its line one pixel.
  double margin;
  double labelSize;
  double detailSize;
  // UISwitch: 51 x 31 pt, knob 27 pt, 2 pt from the track's edge.
  double switchWidth;
  double switchHeight;
  double knobDiameter;
  // The disclosure indicator: a chevron 8 x 13 pt, line 2 pt; a checkmark 14 x 11 pt.
  double chevronWidth;
  double chevronHeight;
  // UISegmentedControl (iOS 13 and later): 32 pt high, corners 8 pt, the selected segment a white
  // plate inset 2 pt with corners 7 pt, titles 13 pt (semibold when selected). In a segment row
  // it spans the row between the margins.
  double segmentHeight;
  double segmentCornerRadius;
  double segmentInset;
  double segmentTitleSize;
  // UISlider: a 4 pt track between the margins, a 28 pt white thumb whose edges meet the track's
  // ends at the bounds; the part before the thumb in the tint colour. With showValue the value
  // stands at the right, 17 pt, and the track ends 8 pt before it.
  double sliderTrackHeight;
  double thumbDiameter;
  double sliderValueGap;
  // A text row: the title, then the field 16 pt after it to the right margin.
  double fieldGap;
  // The back button of a pushed page: a chevron 12 x 21 pt, 8 pt from the left edge, then the
  // previous page's title, 17 pt, 6 pt after the chevron.
  double backChevronWidth;
  double backChevronHeight;
  double backInset;
  double backTitleGap;
  // UIAlertController with the alert style: 270 pt wide, corners 13 pt, title 17 pt semibold
  // 20 pt from the top, message 13 pt, 16 pt side insets, 44 pt per action button.
  double alertWidth;
  double alertCornerRadius;
  double alertTitleSize;
  double alertMessageSize;
  double alertInset;
  double alertButtonHeight;
  double alertDimming;  // the black dimming view's alpha over the page, under an alert or a sheet
  // The photo picker, presented as a sheet (iOS 13 and later): its top 10 pt below the top of
  // the safe area, top corners 10 pt, a 56 pt bar titled "Photos" with "Cancel" at the right;
  // below it the library as square thumbnails, four to a row, 2 pt apart, oldest first; a
  // video's length 12 pt semibold white at its bottom right, 5 pt in, over a 24 pt shade.
  double sheetTop;
  double sheetCornerRadius;
  double sheetBarHeight;
  int gridColumns;
  double gridSpacing;
  double durationSize;
  double durationInset;
  double durationShade;
};

constexpr PaneLayout kPaneLayout = {
    .navigationBarHeight = 44,
    .navigationTitleSize = 17,
    .rowHeight = 44,
    .sectionSpacing = 35,
    .titledHeaderHeight = 55.5,
    .headerTextSize = 13,
    .headerTextBottom = 7,
    .footerTextSize = 13,
    .footerTextTop = 7,
    .margin = 16,
    .labelSize = 17,
    .detailSize = 12,
    .switchWidth = 51,
    .switchHeight = 31,
    .knobDiameter = 27,
    .chevronWidth = 8,
    .chevronHeight = 13,
    .segmentHeight = 32,
    .segmentCornerRadius = 8,
    .segmentInset = 2,
    .segmentTitleSize = 13,
    .sliderTrackHeight = 4,
    .thumbDiameter = 28,
    .sliderValueGap = 8,
    .fieldGap = 16,
    .backChevronWidth = 12,
    .backChevronHeight = 21,
    .backInset = 8,
    .backTitleGap = 6,
    .alertWidth = 270,
    .alertCornerRadius = 13,
    .alertTitleSize = 17,
    .alertMessageSize = 13,
    .alertInset = 16,
    .alertButtonHeight = 44,
    .alertDimming = 0.2,
    .sheetTop = 10,
    .sheetCornerRadius = 10,
    .sheetBarHeight = 56,
    .gridColumns = 4,
    .gridSpacing = 2,
    .durationSize = 12,
    .durationInset = 5,
    .durationShade = 24,
};

}  // namespace settings_sim
