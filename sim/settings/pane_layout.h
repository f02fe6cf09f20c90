// The measurements the settings pane is drawn with, in points, and where each comes from. The
// light appearance of iOS 14 on an iPhone, a grouped (full-width) table as the Settings
// application shows a preference pane.
#pragma once

namespace settings_sim {

struct Rgb {
  double r, g, b;
};

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
  double alertDimming;  // the black dimming view's alpha over the pane
  // UIKit's system colours in the light appearance.
  Rgb groupedBackground;  // systemGroupedBackground #F2F2F7
  Rgb cellBackground;     // secondarySystemGroupedBackground, white
  Rgb label;              // label, black
  Rgb secondaryLabel;     // secondaryLabel over white, #8A8A8E: headers, footers, detail lines
  Rgb separator;          // opaqueSeparator #C6C6C8
  Rgb chevron;            // tertiaryLabel over white, #C4C4C7
  Rgb switchOn;           // systemGreen #34C759, a switch's onTintColor by default
  Rgb switchOff;          // systemGray5 #E5E5EA, the off track and a slider's track past the thumb
  Rgb segmentBackground;  // tertiarySystemFill (#767680 at 12%) over white, #EFEFF0
  Rgb placeholder;        // placeholderText (#3C3C43 at 30%) over white, #C4C4C6
  Rgb tint;               // systemBlue #007AFF: checkmarks, alert buttons
  Rgb navigationBar;      // the bar's translucent material over the pane, #F9F9F9
  Rgb alertBackground;    // the alert's material over a dimmed pane, #F2F2F2
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
    .groupedBackground = {0xF2 / 255.0, 0xF2 / 255.0, 0xF7 / 255.0},
    .cellBackground = {1, 1, 1},
    .label = {0, 0, 0},
    .secondaryLabel = {0x8A / 255.0, 0x8A / 255.0, 0x8E / 255.0},
    .separator = {0xC6 / 255.0, 0xC6 / 255.0, 0xC8 / 255.0},
    .chevron = {0xC4 / 255.0, 0xC4 / 255.0, 0xC7 / 255.0},
    .switchOn = {0x34 / 255.0, 0xC7 / 255.0, 0x59 / 255.0},
    .switchOff = {0xE5 / 255.0, 0xE5 / 255.0, 0xEA / 255.0},
    .segmentBackground = {0xEF / 255.0, 0xEF / 255.0, 0xF0 / 255.0},
    .placeholder = {0xC4 / 255.0, 0xC4 / 255.0, 0xC6 / 255.0},
    .tint = {0, 0x7A / 255.0, 1},
    .navigationBar = {0xF9 / 255.0, 0xF9 / 255.0, 0xF9 / 255.0},
    .alertBackground = {0xF2 / 255.0, 0xF2 / 255.0, 0xF2 / 255.0},
};

}  // namespace settings_sim
