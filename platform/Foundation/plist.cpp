// Property lists (XML and binary) read and written with libplist.
#include <Foundation/ObjectState.h>
#include <device/device.h>
#include <device/files.h>
#include <device/journal.h>
#include <device/utf8.h>
#include <plist/plist.h>

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <system_error>
#include <unordered_map>

#include "internal.h"
#include "strings.h"

namespace ns {
namespace {

namespace fs = std::filesystem;

// Why the last plist write of this thread failed (an errno value), for the update's reason.
thread_local int lastWriteFailure = 0;

// No settings file comes near this; anything larger is not read into memory.
constexpr uintmax_t kLargestPlist = 64u << 20;

// The strings of one read, keys and values alike, one string object for each text, as the
// device's reader shares them (a binary list stores each text once; the XML reader uniques
// its strings): a list of many rows then holds its key names, cell classes and domains once,
// and looking a key up in a row finds the very object it is given without reading its text.
// A flat table of the objects made, found by the hash of their text: a long list of texts
// met once (the rows' labels) costs one slot each, no node and no copy of the text.
class SharedStrings {
 public:
  SharedStrings() = default;
  SharedStrings(const SharedStrings&) = delete;
  SharedStrings& operator=(const SharedStrings&) = delete;
  ~SharedStrings() {
    for (const Slot& slot : slots_) release(slot.string);
  }

  // The string holding `text`, retained for the caller.
  id owned(std::string_view text) {
    if (4 * (used_ + 1) > 3 * slots_.size()) grow();
    size_t hash = std::hash<std::string_view>{}(text);
    size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      Slot& slot = slots_[at];
      if (slot.string == nil) {
        id made = newString(Nil, text);
        slot = {hash, retain(made)};
        ++used_;
        return made;
      }
      if (slot.hash == hash && *stringText(slot.string) == text) return retain(slot.string);
    }
  }

 private:
  struct Slot {
    size_t hash = 0;
    id string = nil;  // retained
  };
  void grow() {
    std::vector<Slot> old(std::max<size_t>(64, 2 * slots_.size()));
    old.swap(slots_);
    size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
      if (slot.string == nil) continue;
      size_t at = slot.hash & mask;
      while (slots_[at].string != nil) at = (at + 1) & mask;
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;
  size_t used_ = 0;
};

// The object for `node`, owned by the caller (retain count 1 or more): a long list is read
// without sending every row through the autorelease pool.
id ownedFromNode(plist_t node, SharedStrings& strings) {
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return retain(boolNumber(value != 0));
    }
    case PLIST_UINT: {
      uint64_t value = 0;
      plist_get_uint_val(node, &value);
      return retain(integerNumber(static_cast<int64_t>(value)));  // signed, as the device writes
    }
    case PLIST_UID: {
      uint64_t value = 0;
      plist_get_uid_val(node, &value);
      return retain(integerNumber(static_cast<int64_t>(value)));
    }
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return retain(doubleNumber(value));
    }
    case PLIST_DATE: {
      int32_t seconds = 0;
      int32_t micros = 0;
      plist_get_date_val(node, &seconds, &micros);
      return retain(doubleNumber(seconds + micros / 1e6));
    }
    case PLIST_STRING: {
      // Read in place: the node outlives the string made from it.
      const char* text = plist_get_string_ptr(node, nullptr);
      return strings.owned(text != nullptr ? text : "");
    }
    case PLIST_KEY: {
      char* text = nullptr;
      plist_get_key_val(node, &text);
      id value = strings.owned(text != nullptr ? text : "");
      std::free(text);
      return value;
    }
    case PLIST_DATA: {
      char* bytes = nullptr;
      uint64_t length = 0;
      plist_get_data_val(node, &bytes, &length);
      id value = retain(data(bytes, length));
      std::free(bytes);
      return value;
    }
    case PLIST_ARRAY: {
      // Walked with an iterator: libplist finds an item by index by walking from the head, so
      // reading by index would cost the square of the length.
      std::vector<id> items;
      items.reserve(plist_array_get_size(node));
      plist_array_iter it = nullptr;
      plist_array_new_iter(node, &it);
      for (;;) {
        plist_t child = nullptr;
        plist_array_next_item(node, it, &child);
        if (child == nullptr) break;
        id item = ownedFromNode(child, strings);
        if (item != nil) items.push_back(item);
      }
      std::free(it);
      id list = retain(array(items));
      for (id item : items) release(item);
      return list;
    }
    case PLIST_DICT: {
      id dict = internal::newMutableDictionary(plist_dict_get_size(node));
      plist_dict_iter it = nullptr;
      plist_dict_new_iter(node, &it);
      for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(node, it, &key, &value);
        if (key == nullptr) break;
        id object = ownedFromNode(value, strings);
        if (object != nil) {
          // Filled in place: the dictionary is still private to this reader.
          static const SEL setObjectForKey = sel("setObject:forKey:");
          id name = strings.owned(key);
          msgSend<void>(dict, setObjectForKey, object, name);
          release(name);
          release(object);
        }
        std::free(key);
      }
      std::free(it);
      return dict;
    }
    default:
      return nil;
  }
}

plist_t toNode(id value) {
  if (value == nil) return nullptr;
  if (isKindOf(value, "NSString")) return plist_new_string(utf8(value).c_str());
  if (isKindOf(value, "NSNumber")) {
    if (isBooleanNumber(value)) return plist_new_bool(msgSend<BOOL>(value, sel("boolValue")));
    if (isRealNumber(value)) return plist_new_real(msgSend<double>(value, sel("doubleValue")));
    return plist_new_uint(static_cast<uint64_t>(msgSend<NSInteger>(value, sel("integerValue"))));
  }
  if (isKindOf(value, "NSData")) {
    std::vector<uint8_t> content = bytes(value);
    return plist_new_data(reinterpret_cast<const char*>(content.data()), content.size());
  }
  if (isKindOf(value, "NSArray")) {
    plist_t node = plist_new_array();
    for (id item : elements(value)) {
      plist_t child = toNode(item);
      if (child == nullptr) {
        plist_free(node);
        return nullptr;
      }
      plist_array_append_item(node, child);
    }
    return node;
  }
  if (isKindOf(value, "NSDictionary")) {
    plist_t node = plist_new_dict();
    for (auto& [key, item] : dictionaryEntries(value)) {
      plist_t child = toNode(item);
      if (child == nullptr || !isKindOf(key, "NSString")) {
        plist_free(child);
        plist_free(node);
        return nullptr;
      }
      plist_dict_set_item(node, utf8(key).c_str(), child);
    }
    return node;
  }
  return nullptr;
}

// Whether every string of a property list, dictionary keys included, is well-formed text.
bool textWellFormed(id object) {
  if (const std::string* text = stringText(object)) return utf8::isWellFormed(*text);
  if (isKindOf(object, "NSArray")) {
    for (id item : elements(object)) {
      if (!textWellFormed(item)) return false;
    }
  } else if (isKindOf(object, "NSDictionary")) {
    for (auto& [key, item] : dictionaryEntries(object)) {
      if (!textWellFormed(key) || !textWellFormed(item)) return false;
    }
  }
  return true;
}

bool readFile(const std::string& path, std::string& content) {
  std::error_code error;
  uintmax_t size = fs::file_size(path, error);
  if (error || size > kLargestPlist || !fs::is_regular_file(path, error)) return false;
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  content = buffer.str();
  return static_cast<bool>(in) || in.eof();
}

bool isBinaryPlist(const std::string& content) {
  return content.size() >= 8 && content.compare(0, 6, "bplist") == 0;
}

bool isBinaryPlistFile(const std::string& path) {
  std::string content;
  return readFile(path, content) && isBinaryPlist(content);
}

// The big-endian unsigned integer of `width` bytes at `at`, or nothing when it overruns.
std::optional<uint64_t> bigEndian(const std::string& bytes, uint64_t at, uint64_t width) {
  if (width == 0 || width > 8 || at > bytes.size() || bytes.size() - at < width) return {};
  uint64_t value = 0;
  for (uint64_t i = 0; i < width; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// Whether the text object at `at` of a binary list holds U+0000 (or cannot be read).
bool textObjectHoldsNul(const std::string& bytes, uint64_t at) {
  auto marker = bigEndian(bytes, at, 1);
  if (!marker) return true;
  uint64_t kind = *marker >> 4;
  if (kind != 0x5 && kind != 0x6 && kind != 0x7) return false;  // not text
  uint64_t unit = kind == 0x6 ? 2 : 1;
  uint64_t count = *marker & 0xf;
  uint64_t start = at + 1;
  if (count == 0xf) {
    auto sizeMarker = bigEndian(bytes, start, 1);
    if (!sizeMarker || (*sizeMarker >> 4) != 0x1) return true;
    uint64_t width = uint64_t{1} << (*sizeMarker & 0xf);
    auto length = bigEndian(bytes, start + 1, width);
    if (!length) return true;
    count = *length;
    start += 1 + width;
  }
  if (start > bytes.size() || count > (bytes.size() - start) / unit) return true;
  for (uint64_t i = 0; i < count; ++i) {
    bool zero =
        bytes[start + i * unit] == '\0' && (unit == 1 || bytes[start + i * unit + 1] == '\0');
    if (zero) return true;
  }
  return false;
}

// Whether any text of a binary list holds U+0000, or its object table cannot be walked. libplist
// keeps such text whole, and its key getter asserts (aborting the process) on a key that does.
bool binaryTextHoldsNul(const std::string& bytes) {
  constexpr uint64_t kTrailer = 32;
  if (bytes.size() < 8 + kTrailer) return true;
  uint64_t trailer = bytes.size() - kTrailer;
  auto offsetWidth = bigEndian(bytes, trailer + 6, 1);
  auto objects = bigEndian(bytes, trailer + 8, 8);
  auto table = bigEndian(bytes, trailer + 24, 8);
  if (!offsetWidth || !objects || !table || *offsetWidth == 0 || *offsetWidth > 8) return true;
  if (*table > trailer || *objects > (trailer - *table) / *offsetWidth) return true;
  for (uint64_t i = 0; i < *objects; ++i) {
    auto offset = bigEndian(bytes, *table + i * *offsetWidth, *offsetWidth);
    if (!offset || textObjectHoldsNul(bytes, *offset)) return true;
  }
  return false;
}

// `root` with every text read up to its first U+0000, as the platform's strings are: written
// out as XML (the writer keeps the U+0000) and read back, libplist's XML reader ending each text
// there. A UID comes back as its {CF$UID} dictionary; no settings file or row list holds one.
plist_t withTextCutAtNul(plist_t root) {
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  plist_free(root);
  plist_t cut = nullptr;
  if (xml != nullptr) plist_from_xml(xml, length, &cut);
  std::free(xml);
  return cut;
}

}  // namespace

id plistFromBytes(const std::string& content) {
  if (content.empty() || content.size() > UINT32_MAX) return nil;
  plist_t root = nullptr;
  plist_from_memory(content.data(), static_cast<uint32_t>(content.size()), &root);
  if (root != nullptr && isBinaryPlist(content) && binaryTextHoldsNul(content)) {
    root = withTextCutAtNul(root);
    if (root == nullptr) return nil;
  }
  // Not XML or binary: perhaps the old text form, which the platform reads as well.
  SharedStrings strings;
  id object =
      root == nullptr ? openStepPlistFromText(content) : autorelease(ownedFromNode(root, strings));
  if (root != nullptr) plist_free(root);
  return object != nil && textWellFormed(object) ? object : nil;
}

id readPlist(const std::string& hostPath) {
  std::string content;
  if (!readFile(hostPath, content)) return nil;
  return plistFromBytes(content);
}

bool writePlist(const std::string& hostPath, id root, bool binary) {
  plist_t node = toNode(root);
  if (node == nullptr) return false;
  char* out = nullptr;
  uint32_t length = 0;
  if (binary) {
    plist_to_bin(node, &out, &length);
  } else {
    plist_to_xml(node, &out, &length);
  }
  plist_free(node);
  if (out == nullptr) return false;
  fs::path target(hostPath);
  if (int failed = device::files::makeFolder(target.parent_path().string(), true);
      failed == ENOSPC || failed == EIO) {
    std::free(out);
    lastWriteFailure = failed;
    return false;
  }
  // A name of this write's own: writers in other processes and on other threads never share it.
  static std::atomic<uint64_t> writes{0};
  std::string temporary =
      hostPath + ".new-" + std::to_string(getpid()) + "-" + std::to_string(++writes);
  int failed = device::files::writeFile(temporary, out, length, true);
  std::free(out);
  if (failed == 0) failed = device::files::rename(temporary, hostPath, true);
  if (failed != 0) {
    device::files::remove(temporary);
    lastWriteFailure = failed;
    return false;
  }
  return true;
}

namespace {

// A host path under the device root as the device names it.
std::string onDevice(std::string text) {
  const std::string& root = device::root();
  if (root.empty() || root == "/") return text;
  for (size_t at = 0; (at = text.find(root + "/", at)) != std::string::npos; ++at) {
    text.erase(at, root.size());
  }
  return text;
}

// What keeps a file from being written: the nearest folder on its way that is not one, or is
// not writable.
std::string whyUnwritable(const fs::path& file) {
  std::error_code error;
  for (fs::path at = file.parent_path(); !at.empty(); at = at.parent_path()) {
    if (!fs::exists(at, error)) {
      if (at == at.parent_path()) break;
      continue;
    }
    if (!fs::is_directory(at, error)) return at.string() + " is not a folder";
    if (access(at.c_str(), W_OK) != 0) return at.string() + " is not writable";
    break;
  }
  return file.string() + " cannot be written";
}

}  // namespace

bool updatePlistDictionary(const std::string& hostPath, const std::function<void(id)>& change,
                           PlistUpdate* outcome) {
  AutoreleasePool pool;
  PlistUpdate ignored;
  PlistUpdate& result = outcome != nullptr ? *outcome : ignored;
  result = {};
  std::error_code error;
  bool exists = fs::exists(hostPath, error);
  id stored = exists ? readPlist(hostPath) : nil;
  bool binary = !exists || isBinaryPlistFile(hostPath);
  id dictionary;
  if (stored != nil && isKindOf(stored, "NSDictionary")) {
    dictionary = autorelease(msgSend(stored, sel("mutableCopy")));
  } else {
    if (exists) {
      // Unreadable: set the user's file aside untouched rather than write over it.
      fs::path aside = hostPath + ".unreadable";
      for (int n = 2; fs::exists(aside, error); ++n) {
        aside = hostPath + ".unreadable-" + std::to_string(n);
      }
      if (int failed = device::files::rename(hostPath, aside.string(), false)) {
        result.failure = onDevice(hostPath) + " is unreadable and cannot be kept aside: " +
                         device::files::describe(failed);
        return false;
      }
      result.keptAside = onDevice(aside.string());
      binary = true;
    }
    dictionary = ns::dictionary();
  }
  change(dictionary);
  lastWriteFailure = 0;
  if (writePlist(hostPath, dictionary, binary)) return true;
  result.failure = lastWriteFailure == ENOSPC || lastWriteFailure == EIO
                       ? device::files::describe(lastWriteFailure)
                       : onDevice(whyUnwritable(hostPath));
  return false;
}

void recordPlistUpdate(const std::string& hostPath, const std::string& key,
                       const PlistUpdate& outcome) {
  if (!outcome.keptAside.empty()) {
    journal::record("kept-aside", {{"file", onDevice(hostPath)}, {"aside", outcome.keptAside}});
  }
  if (!outcome.failure.empty()) {
    journal::record("store-failed",
                    {{"file", onDevice(hostPath)}, {"key", key}, {"reason", outcome.failure}});
  }
}

}  // namespace ns
