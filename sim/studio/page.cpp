// The studio's page: the embedded files (page_files.cpp, made from sim/studio/page/ at build
// time) and their types.
#include <cstring>

#include "page_files.h"

namespace studio {

const PageFile* pageFile(const std::string& path) {
  std::string wanted = path == "/" ? "/index.html" : path;
  for (size_t i = 0; i < kPageFileCount; ++i) {
    if (wanted == kPageFiles[i].path) return &kPageFiles[i];
  }
  return nullptr;
}

std::string pageContentType(const std::string& path) {
  static const struct {
    const char* extension;
    const char* type;
  } kTypes[] = {{".html", "text/html; charset=utf-8"},
                {".css", "text/css; charset=utf-8"},
                {".js", "text/javascript; charset=utf-8"},
                {".svg", "image/svg+xml"}};
  for (const auto& known : kTypes) {
    size_t n = std::strlen(known.extension);
    if (path.size() >= n && path.compare(path.size() - n, n, known.extension) == 0) {
      return known.type;
    }
  }
  return "application/octet-stream";
}

}  // namespace studio
