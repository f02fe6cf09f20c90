// plinka-make-icons BUNDLE: draws the settings pane's accessory images into BUNDLE, as
// NAME@2x.png and NAME@3x.png: "safari" (a compass), "discord" (a chat bubble with two eyes),
// "twitter" (a bird) and "icon" (the pane's own icon in the Settings list: a speaker on a rounded
// square), each 29 points square.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "folder_argument.h"

namespace {

constexpr double kPoints = 29;

void compass(cairo_t* cr) {
  cairo_set_source_rgb(cr, 0.1, 0.5, 0.95);
  cairo_arc(cr, 14.5, 14.5, 13, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_arc(cr, 14.5, 14.5, 11, 0, 2 * M_PI);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0.95, 0.2, 0.2);  // the needle's north half
  cairo_move_to(cr, 20, 9);
  cairo_line_to(cr, 13, 13);
  cairo_line_to(cr, 16, 16);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, 9, 20);
  cairo_line_to(cr, 13, 13);
  cairo_line_to(cr, 16, 16);
  cairo_close_path(cr);
  cairo_fill(cr);
}

void chatBubble(cairo_t* cr) {
  cairo_set_source_rgb(cr, 0.35, 0.4, 0.95);
  double x = 2, y = 5, w = 25, h = 17, r = 6;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_line_to(cr, 12, y + h);
  cairo_line_to(cr, 8, y + h + 4);  // the bubble's tail
  cairo_line_to(cr, 8, y + h);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_arc(cr, 10.5, 13, 2.2, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_arc(cr, 18.5, 13, 2.2, 0, 2 * M_PI);
  cairo_fill(cr);
}

void bird(cairo_t* cr) {
  cairo_set_source_rgb(cr, 0.11, 0.63, 0.95);
  cairo_arc(cr, 13, 16, 8, 0, 2 * M_PI);  // body
  cairo_fill(cr);
  cairo_arc(cr, 20, 10, 4.5, 0, 2 * M_PI);  // head
  cairo_fill(cr);
  cairo_move_to(cr, 24, 8);  // beak
  cairo_line_to(cr, 28, 9.5);
  cairo_line_to(cr, 24, 11);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_move_to(cr, 6, 14);  // wing
  cairo_line_to(cr, 1, 7);
  cairo_line_to(cr, 12, 12);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_arc(cr, 21, 9, 1.1, 0, 2 * M_PI);
  cairo_fill(cr);
}

void speaker(cairo_t* cr) {
  cairo_set_source_rgb(cr, 0.98, 0.35, 0.25);
  double r = 6.5;
  cairo_new_sub_path(cr);
  cairo_arc(cr, 29 - r, r, r, -M_PI / 2, 0);
  cairo_arc(cr, 29 - r, 29 - r, r, 0, M_PI / 2);
  cairo_arc(cr, r, 29 - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, r, r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, 6, 11);  // the speaker's box and cone
  cairo_line_to(cr, 10, 11);
  cairo_line_to(cr, 15, 6.5);
  cairo_line_to(cr, 15, 22.5);
  cairo_line_to(cr, 10, 18);
  cairo_line_to(cr, 6, 18);
  cairo_close_path(cr);
  cairo_fill(cr);
  cairo_set_line_width(cr, 1.6);
  for (double radius : {4.5, 8.0}) {  // two sound waves
    cairo_new_sub_path(cr);
    cairo_arc(cr, 15, 14.5, radius, -M_PI / 4, M_PI / 4);
    cairo_stroke(cr);
  }
}

struct Icon {
  const char* name;
  void (*draw)(cairo_t*);
};
constexpr Icon kIcons[] = {
    {"safari", compass}, {"discord", chatBubble}, {"twitter", bird}, {"icon", speaker}};

bool write(const Icon& icon, int scale, const std::filesystem::path& file) {
  int pixels = static_cast<int>(kPoints) * scale;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels);
  cairo_t* cr = cairo_create(surface);
  cairo_scale(cr, scale, scale);
  icon.draw(cr);
  cairo_destroy(cr);
  bool written = cairo_surface_write_to_png(surface, file.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return written;
}

}  // namespace

int main(int argc, char** argv) {
  sim::FolderArgument argument = sim::folderArgument(argc, argv, "plinka-make-icons BUNDLE-FOLDER");
  if (argument.exitStatus) return *argument.exitStatus;
  std::filesystem::path folder = argument.folder;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  for (const Icon& icon : kIcons) {
    for (int scale : {2, 3}) {
      std::filesystem::path file =
          folder / (std::string(icon.name) + "@" + std::to_string(scale) + "x.png");
      if (!write(icon, scale, file)) {
        std::fprintf(stderr, "plinka-make-icons: cannot write %s\n", file.c_str());
        return 1;
      }
    }
  }
  return 0;
}
