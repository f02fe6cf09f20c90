// walk_gnustep: the settings controller's walk over a long row list on GNUstep Base, Debian's
// Foundation, as the reference for controller_bench's BM_ApplyModifications/N.
//
// The list is the benchmark's: blocks of ten rows, an outer switch owning the nine rows after it,
// a middle switch inside it owning five, an inner switch inside that owning two, and a fourth
// switch owning the block's last two rows; every other row is static text. The owners take the
// keys k0..k999 in turn, stored alternately on and off in a domain file written at start and
// read back. Each row is an object holding its attribute dictionary, as the framework's row
// specifiers are; the texts every row repeats are one string each, labels and keys each row's own.
//
// The walk is ZELPreferenceController's: applyModificationsToSpecifiers: keeps an immutable copy
// of the list, then removeDisabledGroups: walks the list from its last row to its first; an off
// owner's run is a fresh mutable copy of the rows after the owner's first position in the kept
// list (found through an index of first positions), walked in turn at its first inner owner;
// the rows to hide are gathered in a set and removed in one pass once the walk is over; what an
// owner autoreleases goes when the owner is done. Values are read as the framework's
// readPreferenceValue: does: the row's `key` in its `defaults` domain, else its `default`.
//
// Each length is timed on a fresh mutable copy of the full list made untimed, after one walk that
// reads the domain file; best of five. Printed for each: wall time, CPU time, CPU time per row
// (controller_bench's `per_row` is CPU time too), and the rows left shown, which must equal
// controller_bench's `shown` counter.
//
// Usage: walk_gnustep [ROWS...]   (default: 2500 5000 10000 20000 40000)
#import <Foundation/Foundation.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static NSString* const kDomain = @"com.plinka.bench";
enum { kKeys = 1000, kRepetitions = 5, kLocalRows = 16 };

// --- a row: the stand-in of the framework's row specifier -----------------------------------

@interface Row : NSObject {
  NSMutableDictionary* _properties;
}
- (id)initWithProperties:(NSMutableDictionary*)properties;
- (NSMutableDictionary*)properties;
@end

@implementation Row
- (id)initWithProperties:(NSMutableDictionary*)properties {
  if ((self = [super init])) _properties = [properties retain];
  return self;
}
- (void)dealloc {
  [_properties release];
  [super dealloc];
}
- (NSMutableDictionary*)properties {
  return _properties;
}
@end

// --- the controller ---------------------------------------------------------------------------

static BOOL readsOn(id value) {
  return value != nil && [value respondsToSelector:@selector(boolValue)] && [value boolValue];
}

// Whether `row` has a nestedEntryCount; if so, `*count` is it (0 when it is not a number).
static BOOL nestedEntryCount(Row* row, int* count) {
  id value = [[row properties] objectForKey:@"nestedEntryCount"];
  if (value == nil) return NO;
  *count = [value respondsToSelector:@selector(intValue)] ? [value intValue] : 0;
  return YES;
}

@interface Controller : NSObject {
  NSString* _preferencesFolder;
  NSMutableDictionary* _domains;  // domain name -> its stored values, each file read once
  NSArray* _allRows;              // the full list as last applied, before any row was hidden
  NSMapTable* _firstPositions;    // row -> 1 + its first position in _allRows; made when needed
  NSUInteger _depth;              // removeDisabledGroups: calls in progress
}
- (id)initWithPreferencesFolder:(NSString*)folder;
- (NSDictionary*)storedValuesOf:(NSString*)domain;
- (id)readPreferenceValue:(Row*)row;
- (void)applyModificationsToSpecifiers:(NSMutableArray*)rows;
- (void)removeDisabledGroups:(NSMutableArray*)rows;
@end

@implementation Controller
- (id)initWithPreferencesFolder:(NSString*)folder {
  if ((self = [super init])) {
    _preferencesFolder = [folder copy];
    _domains = [NSMutableDictionary new];
  }
  return self;
}

- (void)dealloc {
  if (_firstPositions != NULL) NSFreeMapTable(_firstPositions);
  [_allRows release];
  [_domains release];
  [_preferencesFolder release];
  [super dealloc];
}

// A domain that cannot be read holds no values, as on the device.
- (NSDictionary*)storedValuesOf:(NSString*)domain {
  NSDictionary* stored = [_domains objectForKey:domain];
  if (stored == nil) {
    NSString* file = [domain stringByAppendingPathExtension:@"plist"];
    stored = [NSDictionary
        dictionaryWithContentsOfFile:[_preferencesFolder stringByAppendingPathComponent:file]];
    if (stored == nil) stored = [NSDictionary dictionary];
    [_domains setObject:stored forKey:domain];
  }
  return stored;
}

- (id)readPreferenceValue:(Row*)row {
  NSDictionary* properties = [row properties];
  id key = [properties objectForKey:@"key"];
  id domain = [properties objectForKey:@"defaults"];
  if (![key isKindOfClass:[NSString class]] || ![domain isKindOfClass:[NSString class]] ||
      [key length] == 0 || [domain length] == 0) {
    return nil;
  }
  id value = [[self storedValuesOf:domain] objectForKey:key];
  if (value == nil) value = [properties objectForKey:@"default"];
  if (value != nil && readsOn([properties objectForKey:@"negate"])) {
    value = [NSNumber numberWithBool:!readsOn(value)];
  }
  return value;
}

// The rows `owner` owns: a fresh mutable copy of the `count` rows that follow the owner's first
// position in _allRows, clipped to the list.
- (NSMutableArray*)nestedRunOf:(Row*)owner count:(int)count {
  if (count <= 0 || _allRows == nil) return [NSMutableArray array];
  NSUInteger total = [_allRows count];
  if (_firstPositions == NULL) {
    _firstPositions =
        NSCreateMapTable(NSNonOwnedPointerMapKeyCallBacks, NSIntegerMapValueCallBacks, total);
    // A row that stands in the list twice keeps its first position.
    for (NSUInteger i = 0; i < total; ++i) {
      NSMapInsertIfAbsent(_firstPositions, [_allRows objectAtIndex:i], (void*)(uintptr_t)(i + 1));
    }
  }
  NSUInteger start = (NSUInteger)(uintptr_t)NSMapGet(_firstPositions, owner);
  if (start == 0) return [NSMutableArray array];  // not in the list
  NSUInteger length = MIN((NSUInteger)count, total - start);
  if (length == 0) return [NSMutableArray array];
  id local[kLocalRows];
  id* part = length <= kLocalRows ? local : malloc(length * sizeof(id));
  [_allRows getObjects:part range:NSMakeRange(start, length)];
  NSMutableArray* run = [NSMutableArray arrayWithObjects:part count:length];
  if (part != local) free(part);
  return run;
}

- (void)applyModificationsToSpecifiers:(NSMutableArray*)rows {
  NSArray* previous = _allRows;
  _allRows = [rows copy];
  [previous release];
  if (_firstPositions != NULL) NSFreeMapTable(_firstPositions);
  _firstPositions = NULL;
  [self removeDisabledGroups:rows];
}

- (void)removeDisabledGroups:(NSMutableArray*)rows {
  NSUInteger count = [rows count];
  if (count == 0) return;
  // A row list naming the same row twice could otherwise make runs contain each other.
  NSUInteger depthLimit = [_allRows count] + 1;
  ++_depth;
  id local[kLocalRows];
  id* walked = count <= kLocalRows ? local : malloc(count * sizeof(id));
  [rows getObjects:walked range:NSMakeRange(0, count)];
  // Removals concern only rows already walked: gathered here, made once the walk is over.
  NSHashTable* removed = NSCreateHashTable(NSNonOwnedPointerHashCallBacks, count);
  for (NSUInteger i = count; i-- > 0;) {
    Row* row = walked[i];
    int owned;
    if (NSHashGet(removed, row) != NULL || !nestedEntryCount(row, &owned)) continue;
    NSAutoreleasePool* turn = [NSAutoreleasePool new];
    if (!readsOn([self readPreferenceValue:row])) {
      NSMutableArray* run = [self nestedRunOf:row count:owned];
      NSUInteger runCount = [run count];
      for (NSUInteger j = 0; j < runCount; ++j) {
        int inner;
        if (nestedEntryCount([run objectAtIndex:j], &inner)) {
          if (_depth <= depthLimit) [self removeDisabledGroups:run];
          runCount = [run count];
          break;
        }
      }
      for (NSUInteger j = 0; j < runCount; ++j) NSHashInsert(removed, [run objectAtIndex:j]);
    }
    [turn release];
  }
  --_depth;
  if (NSCountHashTable(removed) > 0) {
    NSMutableArray* kept = [NSMutableArray arrayWithCapacity:count];
    for (NSUInteger i = 0; i < count; ++i) {
      if (NSHashGet(removed, walked[i]) == NULL) [kept addObject:walked[i]];
    }
    [rows setArray:kept];
  }
  NSFreeHashTable(removed);
  if (walked != local) free(walked);
}
@end

// --- the benchmark ----------------------------------------------------------------------------

// The list of `rowCount` rows, as controller_bench builds it.
static NSArray* rowList(int rowCount) {
  NSMutableArray* rows = [NSMutableArray arrayWithCapacity:rowCount];
  int owner = 0;
  for (int i = 0; i < rowCount; ++i) {
    int inBlock = i % 10;
    int count = inBlock == 0 ? 9 : inBlock == 1 ? 5 : inBlock == 2 ? 2 : inBlock == 7 ? 2 : -1;
    NSMutableDictionary* properties = [NSMutableDictionary dictionary];
    [properties setObject:[NSString stringWithFormat:@"row %d", i] forKey:@"label"];
    if (count >= 0) {
      // Keys alternate between the on and the off ones.
      [properties setObject:@"PSSwitchCell" forKey:@"cell"];
      [properties setObject:[NSString stringWithFormat:@"k%d", owner++ % kKeys] forKey:@"key"];
      [properties setObject:kDomain forKey:@"defaults"];
      [properties setObject:[NSNumber numberWithInt:count] forKey:@"nestedEntryCount"];
    } else {
      [properties setObject:@"PSStaticTextCell" forKey:@"cell"];
    }
    Row* row = [[Row alloc] initWithProperties:properties];
    [rows addObject:row];
    [row release];
  }
  return rows;
}

// The domain's stored values as controller_bench writes them, even keys on and odd ones off, with
// the XML declaration that GNUstep's reader needs to take the file for an XML property list.
static BOOL writeDomain(NSString* folder) {
  NSMutableString* stored = [NSMutableString
      stringWithString:@"<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"];
  for (int k = 0; k < kKeys; ++k) {
    [stored appendFormat:@"<key>k%d</key>%@", k, k % 2 == 0 ? @"<true/>" : @"<false/>"];
  }
  [stored appendString:@"</dict></plist>"];
  NSString* path =
      [folder stringByAppendingPathComponent:[kDomain stringByAppendingPathExtension:@"plist"]];
  return [[NSFileManager defaultManager] createDirectoryAtPath:folder
                                   withIntermediateDirectories:YES
                                                    attributes:nil
                                                         error:NULL] &&
         [stored writeToFile:path atomically:YES encoding:NSUTF8StringEncoding error:NULL];
}

static double milliseconds(clockid_t clock) {
  struct timespec t;
  clock_gettime(clock, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
  NSAutoreleasePool* pool = [NSAutoreleasePool new];
  int status = 0;
  NSString* root = [NSTemporaryDirectory()
      stringByAppendingPathComponent:[NSString stringWithFormat:@"plinka-walk-gnustep-%d",
                                                                (int)getpid()]];
  NSString* folder = [root stringByAppendingPathComponent:@"Preferences"];
  if (!writeDomain(folder)) {
    fprintf(stderr, "walk_gnustep: cannot write the domain file in %s\n", [folder UTF8String]);
    status = 1;
  }

  // Checked once: a domain read wrongly would time a walk that hides nothing or everything.
  Controller* check = [[Controller alloc] initWithPreferencesFolder:folder];
  NSDictionary* stored = status == 0 ? [check storedValuesOf:kDomain] : nil;
  if (status == 0 && ([stored count] != kKeys || !readsOn([stored objectForKey:@"k0"]) ||
                      readsOn([stored objectForKey:@"k1"]))) {
    fprintf(stderr, "walk_gnustep: the domain file reads back as %lu values, not %d\n",
            (unsigned long)[stored count], kKeys);
    status = 1;
  }
  [check release];

  static const long kDefaultLengths[] = {2500, 5000, 10000, 20000, 40000};
  int lengthCount = argc > 1 ? argc - 1 : (int)(sizeof kDefaultLengths / sizeof *kDefaultLengths);
  long* lengths = malloc(lengthCount * sizeof(long));
  for (int n = 0; n < lengthCount; ++n) {
    char* end = NULL;
    lengths[n] = argc > 1 ? strtol(argv[n + 1], &end, 10) : kDefaultLengths[n];
    if ((argc > 1 && *end != '\0') || lengths[n] <= 0 || lengths[n] > 10000000) {
      fprintf(stderr, "walk_gnustep: not a row count: %s\n", argv[n + 1]);
      status = 2;
    }
  }
  if (status == 0) {
    printf("GNUstep Base %d.%d.%d, best of %d; shown must equal controller_bench's `shown`\n",
           GNUSTEP_BASE_MAJOR_VERSION, GNUSTEP_BASE_MINOR_VERSION, GNUSTEP_BASE_SUBMINOR_VERSION,
           kRepetitions);
  }
  for (int n = 0; n < lengthCount && status == 0; ++n) {
    long rowCount = lengths[n];
    NSAutoreleasePool* lengthPool = [NSAutoreleasePool new];
    NSArray* full = rowList((int)rowCount);
    Controller* controller = [[Controller alloc] initWithPreferencesFolder:folder];
    // The first walk reads the domain file, untimed as in controller_bench.
    NSMutableArray* rows = [full mutableCopy];
    [controller applyModificationsToSpecifiers:rows];
    NSUInteger shown = [rows count];
    [rows release];

    double bestWall = 1e300, bestCpu = 1e300;
    for (int rep = 0; rep < kRepetitions; ++rep) {
      rows = [full mutableCopy];
      double wall = milliseconds(CLOCK_MONOTONIC);
      double cpu = milliseconds(CLOCK_PROCESS_CPUTIME_ID);
      NSAutoreleasePool* walkPool = [NSAutoreleasePool new];
      [controller applyModificationsToSpecifiers:rows];
      [walkPool release];
      cpu = milliseconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
      wall = milliseconds(CLOCK_MONOTONIC) - wall;
      if ([rows count] != shown) {
        fprintf(stderr, "walk_gnustep: %ld rows: %lu shown, then %lu\n", rowCount,
                (unsigned long)shown, (unsigned long)[rows count]);
        status = 1;
      }
      [rows release];
      if (wall < bestWall) bestWall = wall;
      if (cpu < bestCpu) bestCpu = cpu;
    }
    printf("walk/%-6ld %9.2f ms wall %9.2f ms CPU %7.0f ns CPU a row   shown %lu\n", rowCount,
           bestWall, bestCpu, bestCpu * 1e6 / rowCount, (unsigned long)shown);
    fflush(stdout);
    [controller release];
    [lengthPool release];
  }

  free(lengths);
  [[NSFileManager defaultManager] removeItemAtPath:root error:NULL];
  [pool release];
  return status;
}
