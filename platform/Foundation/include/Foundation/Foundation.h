// Foundation, as the product and the other stand-ins use it.
//
// Mirrors: NSObject (retain counting, autorelease pools), NSString, NSNumber, NSURL, NSData,
// NSArray / NSMutableArray, NSDictionary / NSMutableDictionary, NSNotificationCenter,
// NSFileManager, NSUserDefaults' named domains, NSBundle (bundleWithPath:, bundlePath),
// NSCharacterSet (URLQueryAllowedCharacterSet) and NSException. Every one is a real class of the
// object runtime, answering its messages through ordinary dispatch, so `send<BOOL>(value,
// "boolValue")` works on a string and on a number alike, exactly as on the device.
//
// Faithful: the value conversions of NSString and NSNumber (boolValue, intValue, integerValue,
// doubleValue, description), stringWithFormat: with %@ ("(null)" for nil), numeric comparison,
// reference counting with Cocoa's ownership rules (alloc/new/copy give an owned reference,
// everything else does not), notifications delivered synchronously, any number of times for an
// observer registered more than once; +[NSURL URLWithString:] answers nil for nil and for text
// that is no valid URL (as before iOS 17: only the characters RFC 3986 allows, "%" only as the
// start of a "%XX" escape, no automatic escaping), -[NSURL initWithString:] and
// -[NSString stringByAppendingString:] raise NSInvalidArgumentException for nil;
// stringByAddingPercentEncodingWithAllowedCharacters: encodes each UTF-8 byte outside the set as
// "%XX" in upper-case hex; +[NSBundle bundleWithPath:] is nil where the device has no folder;
// an integer NSNumber from -1 to 1023 is one shared object per value that no release frees,
// as the device's tagged numbers are; a property-list read gives one string object per
// distinct text, as the device's readers do.
// Simplified: strings are stored as UTF-8; no class
// clusters beyond what is listed; a single thread at a time.
//
// The C++ helpers below (namespace ns) are for hosts, tests and stand-ins; product code sends
// messages, as on the device.
#pragma once

#include <objc/msg_send.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef long NSComparisonResult;
constexpr NSComparisonResult NSOrderedAscending = -1;
constexpr NSComparisonResult NSOrderedSame = 0;
constexpr NSComparisonResult NSOrderedDescending = 1;
constexpr NSUInteger NSCaseInsensitiveSearch = 1;
constexpr NSUInteger NSLiteralSearch = 2;
constexpr NSUInteger NSNumericSearch = 64;
constexpr NSUInteger NSUTF8StringEncoding = 4;
constexpr NSUInteger NSNotFound = static_cast<NSUInteger>(INT64_MAX);

struct NSRange {
  NSUInteger location;
  NSUInteger length;
};
template <>
struct TypeEncoding<NSRange> {
  static std::string get() { return "{_NSRange=QQ}"; }
};

// What the compiler emits for `@autoreleasepool { ... }`, for product code: push opens a pool
// and answers its token; pop drains every object autoreleased since that push (and closes any
// pool opened after it but not yet closed).
extern "C" void* objc_autoreleasePoolPush(void);
extern "C" void objc_autoreleasePoolPop(void* token);

// NSLog(format, ...): the format is stringWithFormat:'s (printf conversions, %@ for an object's
// description, "(null)" for nil). On the device the line goes to the system log, tagged with
// the process and the image that logged it; here the log is the journal: each call records a
// "log" entry {text, library}, where library is the file name of the loaded image the call was
// compiled into ("libpkprefs3.so"; "" if dladdr finds none). The image is found from its own
// `__dso_handle` (each shared object has one, hidden), which the macro passes along: a return
// address would name the wrong image whenever the compiler turns the call into a jump. Product
// code writes NSLog(...) as on the device. Nothing is printed: the host shows the entry.
extern "C" void* __dso_handle __attribute__((visibility("hidden")));
extern "C" void NSLogFromImage(const void* image, id format, ...);
#define NSLog(...) NSLogFromImage(&__dso_handle, __VA_ARGS__)

namespace ns {

// --- Ownership ---------------------------------------------------------------------------

id retain(id object);       // +1; answers the object
void release(id object);    // -1; the last release deallocates
id autorelease(id object);  // released when the innermost pool drains
NSUInteger retainCount(id object);

// An autorelease pool: objects autoreleased while it is the innermost one are released when
// it ends. Like the run loop on the device, the host drains one around every event.
class AutoreleasePool {
 public:
  AutoreleasePool();
  ~AutoreleasePool();
  AutoreleasePool(const AutoreleasePool&) = delete;
  AutoreleasePool& operator=(const AutoreleasePool&) = delete;

 private:
  void* token_;
};

// A strong reference: retains what it is given unless adopted, releases when it goes.
class Ref {
 public:
  Ref() = default;
  explicit Ref(id object) : object_(retain(object)) {}
  static Ref adopt(id owned) {
    Ref r;
    r.object_ = owned;
    return r;
  }
  Ref(const Ref& other) : object_(retain(other.object_)) {}
  Ref(Ref&& other) noexcept : object_(other.object_) { other.object_ = nil; }
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() { release(object_); }
  id get() const { return object_; }
  operator id() const { return object_; }
  explicit operator bool() const { return object_ != nil; }

 private:
  id object_ = nil;
};

// --- Classes ------------------------------------------------------------------------------

// The class named, which must exist; the Foundation classes are registered when this library
// loads.
Class classNamed(const char* name);
bool isKindOf(id object, const char* className);
std::string className(id object);  // "nil" for nil

// --- Strings ------------------------------------------------------------------------------

id string(std::string_view utf8);          // autoreleased NSString
id constantString(std::string_view utf8);  // never freed, like a literal
std::string utf8(id string);               // UTF8String of anything answering it; "" for nil
std::string describe(id object);           // description; "(null)" for nil

// --- Numbers ------------------------------------------------------------------------------

id boolNumber(bool value);        // the two shared boolean numbers
bool isBooleanNumber(id object);  // made from a boolean (numberWithBool:, plist true)
bool isRealNumber(id object);     // made from a floating-point value
id integerNumber(int64_t value);  // autoreleased
id doubleNumber(double value);    // autoreleased

// --- Collections and data -----------------------------------------------------------------

id array(const std::vector<id>& objects);         // autoreleased NSArray
id mutableArray(const std::vector<id>& objects);  // autoreleased NSMutableArray
std::vector<id> elements(id array);               // the array's objects, not retained
id dictionary();                                  // autoreleased empty NSMutableDictionary
void setValue(id dictionary, std::string_view key, id value);  // nil removes
id valueFor(id dictionary, std::string_view key);
std::vector<std::pair<id, id>> dictionaryEntries(id dictionary);  // in insertion order
id data(const void* bytes, size_t length);                        // autoreleased NSData
std::vector<uint8_t> bytes(id data);

// --- Property lists -----------------------------------------------------------------------

// Reads an XML, binary or old-style (OpenStep) text property list from a host path: the root
// object, autoreleased, or nil when the file is missing, empty or malformed. A string (or key)
// that is not well-formed UTF-8 makes the whole list malformed, as on the device, where a string
// is read in its declared encoding or not at all. Simplified: a binary list's ASCII strings are
// held to UTF-8, not to ASCII; a string holding U+0000 ends there (libplist keeps C strings).
id readPlist(const std::string& hostPath);
// Reads a property list from memory; nil when the bytes are not one.
id plistFromBytes(const std::string& bytes);
// Writes `root` to a host path, atomically (a new file renamed over the old one), as a binary
// plist or as XML. False when an object has no plist form or the file cannot be written.
bool writePlist(const std::string& hostPath, id root, bool binary = true);
// Changes the dictionary stored in a plist file and writes it back, keeping the file's format
// (a new file is binary, as on the device). A missing file starts empty. A file that is there but
// is not a readable dictionary is never overwritten: it is kept beside as "<file>.unreadable"
// (or "<file>.unreadable-N") and the change starts from an empty dictionary. False when the
// result cannot be written; `outcome`, when given, tells the caller what happened to the file.
struct PlistUpdate {
  // Paths in both are as the device names them (under the device root).
  std::string keptAside;  // where an unreadable file was kept; empty when none
  std::string failure;    // why the file could not be written, naming what stood in the way
};
bool updatePlistDictionary(const std::string& hostPath, const std::function<void(id)>& change,
                           PlistUpdate* outcome = nullptr);
// Journals what an update of `key` in `hostPath` did beyond the change, with device paths:
// "kept-aside" {file, aside} when an unreadable file was set aside, and "store-failed" {file,
// key, reason} when nothing could be written. On the device such a failure is silent to the
// caller; the journal is where the user hears of it.
void recordPlistUpdate(const std::string& hostPath, const std::string& key,
                       const PlistUpdate& outcome);

// --- Exceptions ---------------------------------------------------------------------------

// An NSException raised by the platform. On the device an exception nobody catches ends the
// application ("Terminating app due to uncaught exception 'NAME', reason: 'REASON'"); here it
// is a C++ exception, so that a host can report it the same way and nothing runs on as if the
// call had worked.
class Exception : public std::exception {
 public:
  Exception(std::string name, std::string reason);
  const std::string& name() const { return name_; }
  const std::string& reason() const { return reason_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::string name_;
  std::string reason_;
  std::string what_;  // "NAME: REASON"
};

// Raises an Exception, as +[NSException raise:format:] does.
[[noreturn]] void raise(const std::string& name, const std::string& reason);

// --- Journal ------------------------------------------------------------------------------

// A value as JSON: booleans, numbers and strings as themselves, arrays and dictionaries
// recursively, data as {"bytes": N}, nil as null, any other object as its journal name.
nlohmann::ordered_json toJson(id value);

// How an object appears in the journal: "CLASS#N", numbered per class in order of first
// appearance; null for nil.
std::string journalName(id object);
}  // namespace ns

// A string constant, like @"..." on the device: made once, never freed.
#define NSSTR(literal)                                \
  ([]() -> id {                                       \
    static id constant = ns::constantString(literal); \
    return constant;                                  \
  }())
