// The studio's page: its files (sim/studio/page/), embedded in the program at build time, and
// what it serves each as.
#pragma once

#include <cstddef>
#include <string>

namespace studio {

struct PageFile {
  const char* path;  // as asked for: "/index.html", "/studio.js"
  const unsigned char* data;
  size_t size;
};

extern const PageFile kPageFiles[];
extern const size_t kPageFileCount;

// The file served at `path` ("/" is "/index.html"), or null.
const PageFile* pageFile(const std::string& path);
// Its Content-Type, by its extension.
std::string pageContentType(const std::string& path);

}  // namespace studio
