// The settings pane drawn with cairo and pango, in bands of at most kBandRows pixel rows (cairo's
// image surfaces stop at 32,767 pixels a side), each band written to the PNG row by row with
// libpng as soon as it is drawn: memory stays one band, however long the pane.
#include "pane_picture.h"

#include <AVFoundation/AVFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <Foundation/ObjectState.h>
#include <Preferences/PSSpecifier.h>
#include <UIKit/UITableViewCell.h>
#include <UIKit/UIView.h>
#include <cairo.h>
#include <pango/pangocairo.h>
#include <png.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>

#include "pane_layout.h"

namespace settings_sim {
namespace {

constexpr const PaneLayout& L = kPaneLayout;
constexpr Rgba kWhite = hex(0xFFFFFF);
constexpr int kBandRows = 2048;
// The faces text is drawn in, in the order pango tries them for each character: DejaVu Sans
// (fonts-dejavu-core) for Latin, Greek and Cyrillic, then Noto Sans CJK (fonts-noto-cjk) for
// Chinese, Japanese and Korean. Emoji come from fontconfig's fallback, Noto Color Emoji
// (fonts-noto-color-emoji): named in this list, pango would take digits and spaces from it too.
constexpr const char* kFontFamily = "DejaVu Sans,Noto Sans CJK JP";

// --- PNG output, row by row ---------------------------------------------------------------

class PngFile {
 public:
  ~PngFile() {
    if (png_ != nullptr) png_destroy_write_struct(&png_, &info_);
    if (file_ != nullptr) std::fclose(file_);
  }

  bool open(const std::string& path, uint32_t width, uint32_t height, std::string& problem) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
      problem = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, onError, nullptr);
    info_ = png_ != nullptr ? png_create_info_struct(png_) : nullptr;
    if (info_ == nullptr) {
      problem = "libpng could not start";
      return false;
    }
    png_init_io(png_, file_);
    Header header{info_, width, height};
    if (!guarded(png_, writeHeader, &header)) return failed(problem);
    return true;
  }

  bool writeRow(const uint8_t* rgb, std::string& problem) {
    if (!guarded(png_, writeOneRow, const_cast<uint8_t*>(rgb))) return failed(problem);
    return true;
  }

  bool finish(std::string& problem) {
    if (!guarded(png_, writeEnd, nullptr)) return failed(problem);
    FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) {
      problem = std::string("cannot finish the picture: ") + std::strerror(errno);
      return false;
    }
    return true;
  }

 private:
  struct Header {
    png_infop info;
    uint32_t width, height;
  };
  static void writeHeader(png_structp png, void* context) {
    auto* header = static_cast<Header*>(context);
    png_set_IHDR(png, header->info, header->width, header->height, 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, header->info);
  }
  static void writeOneRow(png_structp png, void* row) {
    png_write_row(png, static_cast<png_bytep>(row));
  }
  static void writeEnd(png_structp png, void*) { png_write_end(png, nullptr); }

  // Runs one step of libpng's; false when libpng reported an error, which it does by jumping
  // back here. Nothing with a destructor lives in this frame, so the jump passes none by.
  [[gnu::noinline]] static bool guarded(png_structp png, void (*step)(png_structp, void*),
                                        void* context) {
    if (setjmp(png_jmpbuf(png))) return false;
    step(png, context);
    return true;
  }

  static void onError(png_structp png, png_const_charp message) {
    static_cast<PngFile*>(png_get_error_ptr(png))->error_ = message;
    png_longjmp(png, 1);
  }
  bool failed(std::string& problem) {
    problem = "cannot write the picture: " + error_;
    return false;
  }

  FILE* file_ = nullptr;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::string error_;
};

// --- what a cell shows ----------------------------------------------------------------------

std::string labelText(id label) {
  id text = label != nil ? msgSend(label, sel("text")) : nil;
  return text != nil ? ns::utf8(text) : "";
}

// A colour's red, green, blue and alpha; false for a colour of another kind.
bool colorComponents(CGColorRef color, double rgba[4]) {
  size_t count = CGColorGetNumberOfComponents(color);
  const CGFloat* c = count != 0 ? CGColorGetComponents(color) : nullptr;
  switch (count) {
    case 2:
      rgba[0] = rgba[1] = rgba[2] = c[0];
      rgba[3] = c[1];
      return true;
    case 4:
      std::copy(c, c + 4, rgba);
      return true;
    default:
      return false;
  }
}

void setColor(cairo_t* cr, const Rgba& color) {
  cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a);
}

void roundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
  radius = std::clamp(radius, 0.0, std::min(w, h) / 2);
  if (radius <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - radius, y + radius, radius, -M_PI / 2, 0);
  cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, M_PI / 2);
  cairo_arc(cr, x + radius, y + h - radius, radius, M_PI / 2, M_PI);
  cairo_arc(cr, x + radius, y + radius, radius, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

struct TextStyle {
  double size;
  bool bold = false;
  PangoAlignment align = PANGO_ALIGN_LEFT;
  bool wrap = false;  // else one line, ellipsized at the end
};

// A pango layout of `text` in `style`, `width` points wide.
PangoLayout* textLayout(cairo_t* cr, const std::string& text, const TextStyle& style,
                        double width) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout), options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout);
  PangoFontDescription* font = pango_font_description_new();
  pango_font_description_set_family(font, kFontFamily);
  pango_font_description_set_weight(font, style.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_absolute_size(font, style.size * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_width(layout, static_cast<int>(std::max(width, 1.0) * PANGO_SCALE));
  pango_layout_set_alignment(layout, style.align);
  if (style.wrap) {
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  } else {
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  }
  pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
  return layout;
}

double textHeight(cairo_t* cr, const std::string& text, const TextStyle& style, double width) {
  PangoLayout* layout = textLayout(cr, text, style, width);
  int w = 0, h = 0;
  pango_layout_get_size(layout, &w, &h);
  g_object_unref(layout);
  return static_cast<double>(h) / PANGO_SCALE;
}

void drawText(cairo_t* cr, const std::string& text, const TextStyle& style, const Rgba& color,
              double x, double y, double width) {
  if (text.empty()) return;
  PangoLayout* layout = textLayout(cr, text, style, width);
  setColor(cr, color);
  cairo_move_to(cr, x, y);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
}

// --- images ---------------------------------------------------------------------------------

// A CGImage's pixels as a cairo surface, drawn through a bitmap context the way the device
// would composite it.
cairo_surface_t* surfaceOf(CGImageRef image) {
  size_t w = CGImageGetWidth(image), h = CGImageGetHeight(image);
  if (w == 0 || h == 0 || w > 32767 || h > 32767) return nullptr;
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(w), static_cast<int>(h));
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_flush(surface);
  // cairo's ARGB32 is a native-endian 32-bit word, alpha in its high byte.
  constexpr uint32_t kOrder = std::endian::native == std::endian::little
                                  ? kCGBitmapByteOrder32Little
                                  : kCGBitmapByteOrder32Big;
  CGColorSpaceRef rgb = CGColorSpaceCreateDeviceRGB();
  CGContextRef context =
      CGBitmapContextCreate(cairo_image_surface_get_data(surface), w, h, 8,
                            static_cast<size_t>(cairo_image_surface_get_stride(surface)), rgb,
                            kCGImageAlphaPremultipliedFirst | kOrder);
  CGColorSpaceRelease(rgb);
  if (context == nullptr) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  CGContextDrawImage(context, CGRectMake(0, 0, static_cast<CGFloat>(w), static_cast<CGFloat>(h)),
                     image);
  CGContextRelease(context);
  cairo_surface_mark_dirty(surface);
  return surface;
}

// A picture file's pixels, as UIImage decodes it on the device.
cairo_surface_t* pictureSurface(const std::string& hostPath) {
  std::ifstream file(hostPath, std::ios::binary);
  if (!file) return nullptr;
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ns::AutoreleasePool pool;
  id data = msgSend(objc_getClass("NSData"), sel("dataWithBytes:length:"), bytes.data(),
                    static_cast<NSUInteger>(bytes.size()));
  id image = msgSend(objc_getClass("UIImage"), sel("imageWithData:"), data);
  return image != nil ? surfaceOf(msgSend<CGImageRef>(image, sel("CGImage"))) : nullptr;
}

// A video's first frame.
cairo_surface_t* firstFrameSurface(const std::string& hostPath) {
  std::vector<uint8_t> rgba;
  int w = 0, h = 0;
  if (!avfoundation::firstFrame(hostPath, rgba, w, h) || w > 32767 || h > 32767) return nullptr;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
    const uint8_t* from = rgba.data() + static_cast<size_t>(y) * static_cast<size_t>(w) * 4;
    for (int x = 0; x < w; ++x, from += 4) {
      row[x] = 0xFF000000u | (uint32_t{from[0]} << 16) | (uint32_t{from[1]} << 8) | from[2];
    }
  }
  cairo_surface_mark_dirty(surface);
  return surface;
}

// --- the pane's layout ----------------------------------------------------------------------

struct Item {
  enum Kind { NavigationBar, Header, Footer, Cell } kind;
  double top = 0;
  double height = 0;
  std::string text;               // the header's, footer's or bar's text
  const ShownRow* row = nullptr;  // a cell's row
  bool firstInSection = false;
  bool lastInSection = false;
};

class Painter {
 public:
  Painter(const Pane& pane, const device::ScreenModel& screen, Appearance appearance)
      : pane_(pane), screen_(screen), appearance_(appearance) {
    scratch_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    measure_ = cairo_create(scratch_);
    cairo_scale(measure_, screen.scale, screen.scale);
    layOut();
  }
  ~Painter() {
    for (auto& [image, surface] : images_) cairo_surface_destroy(surface);
    for (auto& [index, surface] : thumbnails_) {
      if (surface != nullptr) cairo_surface_destroy(surface);
    }
    cairo_destroy(measure_);
    cairo_surface_destroy(scratch_);
  }
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  // The picture's height in points: the whole page, at least a screen; with the picker up, the
  // whole sheet instead.
  double height() const {
    return std::max(pane_.picker ? gridTop() + gridHeight() : height_, screen_.height);
  }
  const std::vector<Item>& items() const { return items_; }

  // Draws the part of the pane from `top` (points) on, `rows` pixels high, into `cr`.
  void drawBand(cairo_t* cr, double top, int rows) {
    cairo_scale(cr, screen_.scale, screen_.scale);
    cairo_translate(cr, 0, -top);
    double bottom = top + rows / screen_.scale;
    setColor(cr, c(SystemColor::GroupedBackground));
    cairo_paint(cr);
    for (const Item& item : items_) {
      if (item.top + item.height < top - 1 || item.top > bottom + 1) continue;
      cairo_save(cr);
      draw(cr, item);
      cairo_restore(cr);
    }
    if (pane_.alert) drawAlert(cr, *pane_.alert);
    if (pane_.picker) drawSheet(cr, *pane_.picker, top, bottom);
  }

 private:
  double width() const { return screen_.width; }

  void layOut() {
    double y = 0;
    items_.push_back({Item::NavigationBar, y, L.navigationBarHeight, pane_.title});
    y += L.navigationBarHeight;
    bool inSection = false;
    std::string footer;
    auto closeSection = [&] {
      if (!inSection) return;
      if (!items_.empty() && items_.back().kind == Item::Cell) items_.back().lastInSection = true;
      if (!footer.empty()) {
        double h = drawFooter(measure_, footer, 0, false);
        items_.push_back({Item::Footer, y + L.footerTextTop, h, footer});
        y += L.footerTextTop + h;
      }
      inSection = false;
    };
    for (const ShownRow& row : pane_.rows) {
      if (row.group) {
        closeSection();
        double h = row.label.empty() ? L.sectionSpacing : L.titledHeaderHeight;
        items_.push_back({Item::Header, y, h, row.label});
        y += h;
        footer = textAttribute(row.row, "footerText");
        inSection = true;
        continue;
      }
      bool first = !inSection || items_.back().kind != Item::Cell;
      if (!inSection) {
        y += L.sectionSpacing;
        footer.clear();
        inSection = true;
      }
      Item cell{Item::Cell, y, L.rowHeight};
      cell.row = &row;
      cell.firstInSection = first;
      items_.push_back(cell);
      y += L.rowHeight;
    }
    closeSection();
    height_ = y + L.sectionSpacing;
  }

  static std::string textAttribute(id row, const char* key) {
    id value = ns::valueFor(msgSend(row, sel("properties")), key);
    return value != nil && ns::isKindOf(value, "NSString") ? ns::utf8(value) : "";
  }

  void draw(cairo_t* cr, const Item& item) {
    switch (item.kind) {
      case Item::NavigationBar:
        setColor(cr, c(SystemColor::Bar));
        cairo_rectangle(cr, 0, item.top, width(), item.height);
        cairo_fill(cr);
        hairline(cr, 0, item.top + item.height, width());
        {
          // The title stays centred, between the margins and clear of the back button at both
          // sides, ellipsised when it is longer.
          double inset = L.margin;
          if (!pane_.backTitle.empty()) {
            inset = std::max(inset, drawBackButton(cr, item.top, item.height) + L.backTitleGap);
          }
          drawCentredLine(cr, item.text, {L.navigationTitleSize, true, PANGO_ALIGN_CENTER},
                          c(SystemColor::Label), item.top, item.height, inset, width() - 2 * inset);
        }
        break;
      case Item::Header: {
        gchar* upper = g_utf8_strup(item.text.c_str(), -1);
        std::string text = upper;
        g_free(upper);
        TextStyle style{L.headerTextSize};
        double h = textHeight(cr, text, style, width() - 2 * L.margin);
        drawText(cr, text, style, c(SystemColor::SecondaryLabel), L.margin,
                 item.top + item.height - L.headerTextBottom - h, width() - 2 * L.margin);
        break;
      }
      case Item::Footer:
        drawFooter(cr, item.text, item.top, true);
        break;
      case Item::Cell:
        drawCell(cr, item);
        break;
    }
  }

  // A footer's lines, each wrapped to the width; a blank line is a full line high, as UILabel
  // shows it (pango would give it no height). Answers the height; draws only when asked.
  double drawFooter(cairo_t* cr, const std::string& text, double top, bool draw) {
    TextStyle style{L.footerTextSize, false, PANGO_ALIGN_LEFT, true};
    double w = width() - 2 * L.margin;
    double y = top;
    size_t from = 0;
    while (from <= text.size()) {
      size_t end = text.find('\n', from);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(from, end - from);
      if (line.empty()) {
        y += textHeight(cr, "X", style, w);
      } else {
        if (draw) drawText(cr, line, style, c(SystemColor::SecondaryLabel), L.margin, y, w);
        y += textHeight(cr, line, style, w);
      }
      from = end + 1;
    }
    return y - top;
  }

  void hairline(cairo_t* cr, double x, double y, double to) {
    double px = 1 / screen_.scale;
    setColor(cr, c(SystemColor::Separator));
    cairo_rectangle(cr, x, y - px, to - x, px);
    cairo_fill(cr);
  }

  void drawCentredLine(cairo_t* cr, const std::string& text, const TextStyle& style,
                       const Rgba& color, double top, double height, double x, double w) {
    double h = textHeight(cr, text, style, w);
    drawText(cr, text, style, color, x, top + (height - h) / 2, w);
  }

  void drawCell(cairo_t* cr, const Item& item) {
    const ShownRow& row = *item.row;
    double top = item.top, h = item.height;
    setColor(cr, c(SystemColor::CellBackground));
    cairo_rectangle(cr, 0, top, width(), h);
    cairo_fill(cr);
    if (item.firstInSection) hairline(cr, 0, top + 1 / screen_.scale, width());
    hairline(cr, item.lastInSection ? 0 : L.margin, top + h, width());

    id cell = row.cell;
    std::string label = cell != nil ? labelText(msgSend(cell, sel("textLabel"))) : "";
    if (label.empty()) label = row.label;
    std::string detail = cell != nil ? labelText(msgSend(cell, sel("detailTextLabel"))) : "";
    id control = cell != nil && msgSend<BOOL>(cell, sel("respondsToSelector:"), sel("control"))
                     ? msgSend(cell, sel("control"))
                     : nil;
    std::string value =
        cell != nil && msgSend<BOOL>(cell, sel("respondsToSelector:"), sel("valueLabel"))
            ? labelText(msgSend(cell, sel("valueLabel")))
            : "";
    if (ns::isKindOf(control, "UISegmentedControl")) {
      drawSegments(cr, control, top, h);
      return;
    }
    if (ns::isKindOf(control, "UISlider")) {
      drawSlider(cr, control, value, top, h);
      return;
    }

    double accessory = drawAccessory(cr, row, top, h);
    double textWidth = width() - 2 * L.margin - (accessory > 0 ? accessory + L.margin / 2 : 0);
    TextStyle labelStyle{L.labelSize}, detailStyle{L.detailSize};
    // A plain cell of a button row shows its title in the tint colour, as a button.
    bool button = cell != nil && ns::className(cell) == "PSTableCell" &&
                  msgSend<PSCellType>(row.row, sel("cellType")) == PSButtonCell;
    const Rgba& labelColor = button ? c(SystemColor::Tint) : c(SystemColor::Label);
    id field = cell != nil && msgSend<BOOL>(cell, sel("respondsToSelector:"), sel("textField"))
                   ? msgSend(cell, sel("textField"))
                   : nil;
    if (field != nil) {
      drawField(cr, field, label, labelStyle, top, h, textWidth);
      return;
    }
    if (!value.empty() && detail.empty()) {
      // The value at the right, in the secondary colour, before the accessory; the title gets
      // what the value leaves.
      double valueWidth = std::min(textExtent(cr, value, labelStyle), textWidth / 2);
      drawCentredLine(cr, value, {L.labelSize, false, PANGO_ALIGN_RIGHT},
                      c(SystemColor::SecondaryLabel), top, h, L.margin + textWidth - valueWidth,
                      valueWidth);
      textWidth -= valueWidth + L.margin / 2;
    }
    if (detail.empty()) {
      drawCentredLine(cr, label, labelStyle, labelColor, top, h, L.margin, textWidth);
      return;
    }
    double labelH = textHeight(cr, label, labelStyle, textWidth);
    double detailH = textHeight(cr, detail, detailStyle, textWidth);
    double y = top + (h - labelH - detailH) / 2;
    drawText(cr, label, labelStyle, labelColor, L.margin, y, textWidth);
    drawText(cr, detail, detailStyle, c(SystemColor::SecondaryLabel), L.margin, y + labelH,
             textWidth);
  }

  // The width `text` takes on one line.
  double textExtent(cairo_t* cr, const std::string& text, const TextStyle& style) {
    PangoLayout* layout = textLayout(cr, text, style, -1);
    pango_layout_set_width(layout, -1);
    int w = 0, h = 0;
    pango_layout_get_size(layout, &w, &h);
    g_object_unref(layout);
    return static_cast<double>(w) / PANGO_SCALE;
  }

  // A segmented control across the row: its plate, the selected segment's white plate, the
  // titles.
  void drawSegments(cairo_t* cr, id control, double top, double h) {
    double x = L.margin, w = width() - 2 * L.margin;
    double y = top + (h - L.segmentHeight) / 2;
    roundedRect(cr, x, y, w, L.segmentHeight, L.segmentCornerRadius);
    setColor(cr, c(SystemColor::SegmentBackground));
    cairo_fill(cr);
    auto count = msgSend<NSUInteger>(control, sel("numberOfSegments"));
    if (count == 0) return;
    double segment = w / static_cast<double>(count);
    NSInteger selected = msgSend<NSInteger>(control, sel("selectedSegmentIndex"));
    for (NSUInteger i = 0; i < count; ++i) {
      double sx = x + segment * static_cast<double>(i);
      bool chosen = static_cast<NSInteger>(i) == selected;
      if (chosen) {
        roundedRect(cr, sx + L.segmentInset, y + L.segmentInset, segment - 2 * L.segmentInset,
                    L.segmentHeight - 2 * L.segmentInset, L.segmentCornerRadius - 1);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.04);
        cairo_set_line_width(cr, 0.5);
        cairo_stroke_preserve(cr);
        setColor(cr, c(SystemColor::SegmentSelected));
        cairo_fill(cr);
      } else if (static_cast<NSInteger>(i) != selected + 1 && i > 0) {
        setColor(cr, c(SystemColor::Separator));
        cairo_rectangle(cr, sx - 0.5, y + 8, 1, L.segmentHeight - 16);
        cairo_fill(cr);
      }
      id title = msgSend(control, sel("titleForSegmentAtIndex:"), i);
      drawCentredLine(cr, title != nil ? ns::utf8(title) : "",
                      {L.segmentTitleSize, chosen, PANGO_ALIGN_CENTER}, c(SystemColor::Label), y,
                      L.segmentHeight, sx + 4, segment - 8);
    }
  }

  // A slider across the row: the track, blue up to the thumb, the thumb at the value, and the
  // value at the right when the cell shows it.
  void drawSlider(cairo_t* cr, id slider, const std::string& value, double top, double h) {
    double left = L.margin, right = width() - L.margin;
    if (!value.empty()) {
      TextStyle style{L.labelSize, false, PANGO_ALIGN_RIGHT};
      double valueWidth = textExtent(cr, value, style);
      drawCentredLine(cr, value, style, c(SystemColor::Label), top, h, right - valueWidth,
                      valueWidth);
      right -= valueWidth + L.sliderValueGap;
    }
    double minimum = msgSend<float>(slider, sel("minimumValue"));
    double maximum = msgSend<float>(slider, sel("maximumValue"));
    double at = msgSend<float>(slider, sel("value"));
    double fraction = maximum > minimum ? (at - minimum) / (maximum - minimum) : 0;
    double r = L.thumbDiameter / 2;
    double cx = left + r + fraction * (right - left - L.thumbDiameter);
    double cy = top + h / 2;
    double trackTop = cy - L.sliderTrackHeight / 2;
    roundedRect(cr, left, trackTop, right - left, L.sliderTrackHeight, L.sliderTrackHeight / 2);
    setColor(cr, c(SystemColor::SliderTrack));
    cairo_fill(cr);
    roundedRect(cr, left, trackTop, cx - left, L.sliderTrackHeight, L.sliderTrackHeight / 2);
    setColor(cr, c(SystemColor::Tint));
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    setColor(cr, c(SystemColor::Knob));
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.12);
    cairo_set_line_width(cr, 0.5);
    cairo_stroke(cr);
  }

  // A text row: its title, then the field's text (bullets when secure) or, when empty, its
  // placeholder in the placeholder colour, on one line, cut with an ellipsis at the right margin.
  void drawField(cairo_t* cr, id field, const std::string& label, const TextStyle& style,
                 double top, double h, double textWidth) {
    double titleWidth = label.empty() ? 0 : std::min(textExtent(cr, label, style), textWidth / 2);
    if (titleWidth > 0)
      drawCentredLine(cr, label, style, c(SystemColor::Label), top, h, L.margin, titleWidth);
    double x = L.margin + titleWidth + (titleWidth > 0 ? L.fieldGap : 0);
    double w = L.margin + textWidth - x;
    id text = msgSend(field, sel("text"));
    std::string shown = text != nil ? ns::utf8(text) : "";
    if (!shown.empty() && msgSend<BOOL>(field, sel("isSecureTextEntry"))) {
      std::string bullets;
      for (long n = g_utf8_strlen(shown.c_str(), -1); n > 0; --n) bullets += "\u2022";
      shown = bullets;
    }
    if (!shown.empty()) {
      drawCentredLine(cr, shown, style, c(SystemColor::Label), top, h, x, w);
      return;
    }
    id placeholder = msgSend(field, sel("placeholder"));
    if (placeholder != nil) {
      drawCentredLine(cr, ns::utf8(placeholder), style, c(SystemColor::Placeholder), top, h, x, w);
    }
  }

  // A pushed page's back button: the chevron and the previous page's title, in the tint colour,
  // in the bar's left third. Answers where it ends.
  double drawBackButton(cairo_t* cr, double top, double h) {
    double cy = top + h / 2;
    double x = L.backInset;
    setColor(cr, c(SystemColor::Tint));
    cairo_set_line_width(cr, 3);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, x + L.backChevronWidth - 1.5, cy - L.backChevronHeight / 2 + 1.5);
    cairo_line_to(cr, x + 1.5, cy);
    cairo_line_to(cr, x + L.backChevronWidth - 1.5, cy + L.backChevronHeight / 2 - 1.5);
    cairo_stroke(cr);
    double tx = x + L.backChevronWidth + L.backTitleGap;
    TextStyle style{L.navigationTitleSize};
    double w = std::min(textExtent(cr, pane_.backTitle, style), width() / 3 - tx);
    drawCentredLine(cr, pane_.backTitle, style, c(SystemColor::Tint), top, h, tx, w);
    return tx + w;
  }

  // Draws what stands at the cell's right: its switch, accessory view or accessory type.
  // Answers the width it takes.
  double drawAccessory(cairo_t* cr, const ShownRow& row, double top, double h) {
    double right = width() - L.margin;
    id view = row.cell != nil ? msgSend(row.cell, sel("accessoryView")) : nil;
    if (row.switchedOn || ns::isKindOf(view, "UISwitch")) {
      bool on =
          ns::isKindOf(view, "UISwitch") ? msgSend<BOOL>(view, sel("isOn")) != NO : *row.switchedOn;
      drawSwitch(cr, right - L.switchWidth, top + (h - L.switchHeight) / 2, on);
      return L.switchWidth;
    }
    if (row.cell == nil) return 0;
    if (view != nil) {
      CGRect frame = msgSend<CGRect>(view, sel("frame"));
      double w = frame.size.width, vh = frame.size.height;
      drawView(cr, view, right - w, top + (h - vh) / 2, w, vh);
      return w;
    }
    double cy = top + h / 2;
    switch (msgSend<NSInteger>(row.cell, sel("accessoryType"))) {
      case UITableViewCellAccessoryDisclosureIndicator:
        drawChevron(cr, right - L.chevronWidth, cy);
        return L.chevronWidth;
      case UITableViewCellAccessoryCheckmark:
        setColor(cr, c(SystemColor::Tint));
        cairo_set_line_width(cr, 2);
        cairo_move_to(cr, right - 14, cy);
        cairo_line_to(cr, right - 9, cy + 5);
        cairo_line_to(cr, right, cy - 6);
        cairo_stroke(cr);
        return 14;
      case UITableViewCellAccessoryDetailDisclosureButton:
        drawChevron(cr, right - L.chevronWidth, cy);
        drawInfoButton(cr, right - L.chevronWidth - L.margin - 11, cy);
        return L.chevronWidth + L.margin + 22;
      case UITableViewCellAccessoryDetailButton:
        drawInfoButton(cr, right - 11, cy);
        return 22;
      default:
        return 0;
    }
  }

  void drawSwitch(cairo_t* cr, double x, double y, bool on) {
    roundedRect(cr, x, y, L.switchWidth, L.switchHeight, L.switchHeight / 2);
    setColor(cr, on ? c(SystemColor::SwitchOn) : c(SystemColor::SwitchOff));
    cairo_fill(cr);
    double inset = (L.switchHeight - L.knobDiameter) / 2;
    double r = L.knobDiameter / 2;
    double cx = on ? x + L.switchWidth - inset - r : x + inset + r;
    cairo_arc(cr, cx, y + L.switchHeight / 2, r, 0, 2 * M_PI);
    setColor(cr, c(SystemColor::Knob));
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.08);
    cairo_set_line_width(cr, 0.5);
    cairo_stroke(cr);
  }

  void drawChevron(cairo_t* cr, double x, double cy) {
    setColor(cr, c(SystemColor::TertiaryLabel));
    cairo_set_line_width(cr, 2);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_move_to(cr, x + 1, cy - L.chevronHeight / 2 + 1);
    cairo_line_to(cr, x + L.chevronWidth - 1, cy);
    cairo_line_to(cr, x + 1, cy + L.chevronHeight / 2 - 1);
    cairo_stroke(cr);
  }

  void drawInfoButton(cairo_t* cr, double cx, double cy) {
    setColor(cr, c(SystemColor::Tint));
    cairo_set_line_width(cr, 1.5);
    cairo_arc(cr, cx, cy, 10, 0, 2 * M_PI);
    cairo_stroke(cr);
    drawCentredLine(cr, "i", {15, true, PANGO_ALIGN_CENTER}, c(SystemColor::Tint), cy - 11, 22,
                    cx - 11, 22);
  }

  // A view at (x, y), w x h points: its background, an image view's image in its content mode,
  // clipped to its layer's rounded corners when it clips, and its layer's border.
  void drawView(cairo_t* cr, id view, double x, double y, double w, double h) {
    if (msgSend<BOOL>(view, sel("isHidden"))) return;
    id layer = msgSend(view, sel("layer"));
    double radius = layer != nil ? msgSend<CGFloat>(layer, sel("cornerRadius")) : 0;
    cairo_save(cr);
    if (msgSend<BOOL>(view, sel("clipsToBounds"))) {
      roundedRect(cr, x, y, w, h, radius);
      cairo_clip(cr);
    }
    double rgba[4];
    id background = msgSend(view, sel("backgroundColor"));
    if (background != nil &&
        colorComponents(msgSend<CGColorRef>(background, sel("CGColor")), rgba)) {
      cairo_set_source_rgba(cr, rgba[0], rgba[1], rgba[2], rgba[3]);
      roundedRect(cr, x, y, w, h, radius);
      cairo_fill(cr);
    }
    if (msgSend<BOOL>(view, sel("respondsToSelector:"), sel("image"))) {
      drawImage(cr, msgSend(view, sel("image")), msgSend<NSInteger>(view, sel("contentMode")), x, y,
                w, h);
    }
    cairo_restore(cr);
    if (layer == nil) return;
    double border = msgSend<CGFloat>(layer, sel("borderWidth"));
    CGColorRef color = msgSend<CGColorRef>(layer, sel("borderColor"));
    if (border > 0 && color != nullptr && colorComponents(color, rgba)) {
      cairo_set_source_rgba(cr, rgba[0], rgba[1], rgba[2], rgba[3]);
      cairo_set_line_width(cr, border);
      roundedRect(cr, x + border / 2, y + border / 2, w - border, h - border,
                  std::max(radius - border / 2, 0.0));
      cairo_stroke(cr);
    }
  }

  void drawImage(cairo_t* cr, id image, NSInteger mode, double x, double y, double w, double h) {
    if (image == nil) return;
    CGImageRef cgImage = msgSend<CGImageRef>(image, sel("CGImage"));
    cairo_surface_t* surface = imageSurface(cgImage);
    CGSize size = msgSend<CGSize>(image, sel("size"));
    if (surface == nullptr || size.width <= 0 || size.height <= 0) return;
    double dw = size.width, dh = size.height;
    if (mode == UIViewContentModeScaleToFill) {
      dw = w;
      dh = h;
    } else if (mode == UIViewContentModeScaleAspectFit ||
               mode == UIViewContentModeScaleAspectFill) {
      double fit = mode == UIViewContentModeScaleAspectFit
                       ? std::min(w / size.width, h / size.height)
                       : std::max(w / size.width, h / size.height);
      dw = size.width * fit;
      dh = size.height * fit;
    }
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x + (w - dw) / 2, y + (h - dh) / 2);
    cairo_scale(cr, dw / cairo_image_surface_get_width(surface),
                dh / cairo_image_surface_get_height(surface));
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
  }

  cairo_surface_t* imageSurface(CGImageRef image) {
    if (image == nullptr) return nullptr;
    auto found = images_.find(image);
    if (found != images_.end()) return found->second;
    cairo_surface_t* surface = surfaceOf(image);
    if (surface != nullptr) images_.emplace(image, surface);
    return surface;
  }

  // The alert in the middle of the screen, over the dimmed pane.
  void drawAlert(cairo_t* cr, const uikit::AlertInfo& alert) {
    dim(cr);

    double inner = L.alertWidth - 2 * L.alertInset;
    TextStyle title{L.alertTitleSize, true, PANGO_ALIGN_CENTER, true};
    TextStyle message{L.alertMessageSize, false, PANGO_ALIGN_CENTER, true};
    double titleH = textHeight(cr, alert.title, title, inner);
    double messageH = alert.message.empty() ? 0 : textHeight(cr, alert.message, message, inner);
    double textH = 20 + titleH + (messageH > 0 ? 2 + messageH : 0) + 20;
    double h = textH + L.alertButtonHeight * static_cast<double>(alert.actions.size());
    double x = (width() - L.alertWidth) / 2;
    double y = (std::min(screen_.height, height()) - h) / 2;
    roundedRect(cr, x, y, L.alertWidth, h, L.alertCornerRadius);
    setColor(cr, c(SystemColor::AlertBackground));
    cairo_fill(cr);
    drawText(cr, alert.title, title, c(SystemColor::Label), x + L.alertInset, y + 20, inner);
    drawText(cr, alert.message, message, c(SystemColor::Label), x + L.alertInset, y + 22 + titleH,
             inner);
    double buttonTop = y + textH;
    for (const uikit::AlertActionInfo& action : alert.actions) {
      hairline(cr, x, buttonTop + 1 / screen_.scale, x + L.alertWidth);
      Rgba color = action.style == UIAlertActionStyleDestructive ? c(SystemColor::Destructive)
                                                                 : c(SystemColor::Tint);
      drawCentredLine(
          cr, action.title,
          {L.alertTitleSize, action.style == UIAlertActionStyleCancel, PANGO_ALIGN_CENTER}, color,
          buttonTop, L.alertButtonHeight, x, L.alertWidth);
      buttonTop += L.alertButtonHeight;
    }
  }

  // --- the picker sheet ---

  double thumbnailSide() const {
    return (width() - L.gridSpacing * (L.gridColumns - 1)) / L.gridColumns;
  }
  double gridTop() const { return L.sheetTop + L.sheetBarHeight; }
  double gridHeight() const {
    size_t rows = (pane_.picker->items.size() + L.gridColumns - 1) / L.gridColumns;
    return rows == 0
               ? 0
               : static_cast<double>(rows) * (thumbnailSide() + L.gridSpacing) - L.gridSpacing;
  }

  // The sheet over the dimmed page: its bar, then the library's thumbnails in rows, oldest
  // first; only the thumbnails between `top` and `bottom` are drawn.
  void drawSheet(cairo_t* cr, const PickerSheet& sheet, double top, double bottom) {
    dim(cr);
    double sheetBottom = std::max(height(), screen_.height) + L.sheetCornerRadius;
    cairo_save(cr);
    roundedRect(cr, 0, L.sheetTop, width(), sheetBottom - L.sheetTop, L.sheetCornerRadius);
    cairo_clip(cr);
    setColor(cr, c(SystemColor::Background));
    cairo_paint(cr);
    setColor(cr, c(SystemColor::Bar));
    cairo_rectangle(cr, 0, L.sheetTop, width(), L.sheetBarHeight);
    cairo_fill(cr);
    cairo_restore(cr);
    hairline(cr, 0, gridTop(), width());
    drawCentredLine(cr, "Photos", {L.navigationTitleSize, true, PANGO_ALIGN_CENTER},
                    c(SystemColor::Label), L.sheetTop, L.sheetBarHeight, width() / 4, width() / 2);
    drawCentredLine(cr, "Cancel", {L.navigationTitleSize, false, PANGO_ALIGN_RIGHT},
                    c(SystemColor::Tint), L.sheetTop, L.sheetBarHeight, width() * 3 / 4 - L.margin,
                    width() / 4);
    double side = thumbnailSide();
    for (size_t i = 0; i < sheet.items.size(); ++i) {
      double x = static_cast<double>(i % L.gridColumns) * (side + L.gridSpacing);
      double y = gridTop() + static_cast<double>(i / L.gridColumns) * (side + L.gridSpacing);
      if (y > bottom + 1 || y + side < top - 1) continue;
      cairo_save(cr);
      drawThumbnail(cr, i, sheet.items[i], x, y, side);
      cairo_restore(cr);
    }
  }

  // One item, aspect-filled into its square; a video's length at its bottom right.
  void drawThumbnail(cairo_t* cr, size_t index, const PickerItem& item, double x, double y,
                     double side) {
    cairo_rectangle(cr, x, y, side, side);
    cairo_clip(cr);
    setColor(cr, c(SystemColor::SegmentBackground));
    cairo_paint(cr);
    if (cairo_surface_t* surface = thumbnail(index, item)) {
      double w = cairo_image_surface_get_width(surface);
      double h = cairo_image_surface_get_height(surface);
      double fill = std::max(side / w, side / h);
      cairo_save(cr);
      cairo_translate(cr, x + (side - w * fill) / 2, y + (side - h * fill) / 2);
      cairo_scale(cr, fill, fill);
      cairo_set_source_surface(cr, surface, 0, 0);
      cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
      cairo_paint(cr);
      cairo_restore(cr);
    }
    if (!item.video || !item.duration) return;
    cairo_pattern_t* shade =
        cairo_pattern_create_linear(0, y + side - L.durationShade, 0, y + side);
    cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0.4);
    cairo_set_source(cr, shade);
    cairo_rectangle(cr, x, y + side - L.durationShade, side, L.durationShade);
    cairo_fill(cr);
    cairo_pattern_destroy(shade);
    TextStyle style{L.durationSize, true, PANGO_ALIGN_RIGHT};
    double h = textHeight(cr, *item.duration, style, side);
    drawText(cr, *item.duration, style, kWhite, x + L.durationInset, y + side - L.durationInset - h,
             side - 2 * L.durationInset);
  }

  // An item's picture (a video's first frame), decoded once; null when it cannot be read.
  cairo_surface_t* thumbnail(size_t index, const PickerItem& item) {
    auto found = thumbnails_.find(index);
    if (found != thumbnails_.end()) return found->second;
    cairo_surface_t* surface =
        item.video ? firstFrameSurface(item.hostPath) : pictureSurface(item.hostPath);
    thumbnails_.emplace(index, surface);
    return surface;
  }

  // The black dimming view over everything drawn so far.
  void dim(cairo_t* cr) {
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, L.alertDimming);
    cairo_paint(cr);
    cairo_restore(cr);
  }

  const Rgba& c(SystemColor color) const { return systemColor(color, appearance_); }

  const Pane& pane_;
  const device::ScreenModel& screen_;
  Appearance appearance_;
  cairo_surface_t* scratch_;
  cairo_t* measure_;
  std::vector<Item> items_;
  double height_ = 0;
  std::map<CGImageRef, cairo_surface_t*> images_;
  std::map<size_t, cairo_surface_t*> thumbnails_;  // null for an item that cannot be read
};

// One pixel row of an ARGB32 band as 8-bit RGB.
void toRgb(const uint8_t* band, int width, std::vector<uint8_t>& rgb) {
  const uint32_t* pixels = reinterpret_cast<const uint32_t*>(band);
  for (int x = 0; x < width; ++x) {
    uint32_t p = pixels[x];
    uint32_t a = p >> 24;
    uint32_t c[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
    for (int i = 0; i < 3; ++i) {
      rgb[3 * x + i] = static_cast<uint8_t>(a == 0 ? 0 : std::min(255u, (c[i] * 255 + a / 2) / a));
    }
  }
}

}  // namespace

bool writePanePicture(const Pane& pane, const device::ScreenModel& screen, Appearance appearance,
                      const std::string& path, std::string& problem, PictureSize* size) {
  Painter painter(pane, screen, appearance);
  long width = std::lround(screen.width * screen.scale);
  double rows = std::ceil(painter.height() * screen.scale - 1e-6);
  if (width <= 0 || width > 32767 || !(rows > 0) || rows > PNG_UINT_31_MAX) {
    problem = "the pane is too large to draw";
    return false;
  }
  auto height = static_cast<uint32_t>(rows);
  PngFile png;
  if (!png.open(path, static_cast<uint32_t>(width), height, problem)) return false;
  // A picture left half written would pass for the pane: it goes when writing fails.
  struct RemoveUnlessDone {
    const std::string& path;
    bool done = false;
    ~RemoveUnlessDone() {
      if (!done) std::remove(path.c_str());
    }
  } partial{path};
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
  for (uint32_t bandTop = 0; bandTop < height; bandTop += kBandRows) {
    int bandRows = static_cast<int>(std::min<uint32_t>(kBandRows, height - bandTop));
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), bandRows);
    cairo_t* cr = cairo_create(surface);
    painter.drawBand(cr, bandTop / screen.scale, bandRows);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    if (!ok) problem = "cairo could not draw the pane";
    const uint8_t* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; ok && y < bandRows; ++y) {
      toRgb(data + static_cast<ptrdiff_t>(y) * stride, static_cast<int>(width), rgb);
      ok = png.writeRow(rgb.data(), problem);
    }
    cairo_surface_destroy(surface);
    if (!ok) return false;
  }
  partial.done = png.finish(problem);
  if (partial.done && size != nullptr) *size = {static_cast<uint32_t>(width), height};
  return partial.done;
}

std::vector<RowFrame> rowFrames(const Pane& pane, const device::ScreenModel& screen) {
  Painter painter(pane, screen,
                  Appearance::Light);  // where rows lie: the same in either appearance
  std::vector<RowFrame> frames;
  for (const Item& item : painter.items()) {
    if (item.kind != Item::Cell && item.kind != Item::Header) continue;
    if (item.kind == Item::Header) {
      // A group row's frame is its header.
      for (size_t i = 0; i < pane.rows.size(); ++i) {
        if (pane.rows[i].group && pane.rows[i].label == item.text &&
            (frames.empty() || frames.back().index < i)) {
          frames.push_back({i, 0, item.top, screen.width, item.height});
          break;
        }
      }
      continue;
    }
    frames.push_back(
        {static_cast<size_t>(item.row - pane.rows.data()), 0, item.top, screen.width, item.height});
  }
  return frames;
}

}  // namespace settings_sim
