// The value rules of NSString and NSNumber that the product's decisions rest on.
#include <Foundation/Foundation.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

namespace {

BOOL boolOf(id value) {
  return send<BOOL>(value, "boolValue");
}

TEST(NSStringValues, BoolValueReadsTheWayTheDeviceDoes) {
  ns::AutoreleasePool pool;
  for (const char* yes : {"YES", "yes", "true", "T", "1a", "-01", "00009", " 1 ", "\n\ty", "+5"}) {
    EXPECT_EQ(boolOf(ns::string(yes)), YES) << '"' << yes << '"';
  }
  for (const char* no :
       {"", "0", "000", "No", "false", "0.5", "+y", "--1", "0+1", "a1", " ", "-0"}) {
    EXPECT_EQ(boolOf(ns::string(no)), NO) << '"' << no << '"';
  }
}

TEST(NSStringValues, IntegerReadingsClampAtTheirWidth) {
  ns::AutoreleasePool pool;
  auto intOf = [](const char* s) { return send<int>(ns::string(s), "intValue"); };
  auto integerOf = [](const char* s) { return send<NSInteger>(ns::string(s), "integerValue"); };
  EXPECT_EQ(intOf("2"), 2);
  EXPECT_EQ(intOf("  \n-42abc"), -42);
  EXPECT_EQ(intOf("abc"), 0);
  EXPECT_EQ(intOf("5629026092"), INT_MAX);
  EXPECT_EQ(intOf("-5629026092"), INT_MIN);
  EXPECT_EQ(intOf("2147483647"), INT_MAX);
  EXPECT_EQ(intOf("-2147483648"), INT_MIN);
  EXPECT_EQ(integerOf("5629026092"), 5629026092);
  EXPECT_EQ(integerOf("99999999999999999999"), INT64_MAX);
  EXPECT_EQ(integerOf("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(integerOf("+7 apples"), 7);
  EXPECT_DOUBLE_EQ(send<double>(ns::string(" 2.5e3x"), "doubleValue"), 2500.0);
  EXPECT_DOUBLE_EQ(send<double>(ns::string("1e"), "doubleValue"), 1.0);
  EXPECT_EQ(send<double>(ns::string("e5"), "doubleValue"), 0.0);
  EXPECT_EQ(send<double>(ns::string("1e999"), "doubleValue"), HUGE_VAL);
}

TEST(NSNumberValues, NarrowingTruncatesAndTruthFollowsTheInteger) {
  ns::AutoreleasePool pool;
  EXPECT_EQ(send<int>(ns::integerNumber(4294967297LL), "intValue"), 1);
  EXPECT_EQ(send<int>(ns::integerNumber(INT64_MAX), "intValue"), -1);
  EXPECT_EQ(boolOf(ns::doubleNumber(0.5)), NO);
  EXPECT_EQ(boolOf(ns::doubleNumber(2.9)), YES);
  EXPECT_EQ(boolOf(ns::doubleNumber(-0.9)), NO);
  EXPECT_EQ(boolOf(ns::integerNumber(256)), YES);  // non-zero, not the low byte
  EXPECT_EQ(send<NSInteger>(ns::doubleNumber(-2.9), "integerValue"), -2);
  EXPECT_EQ(send<NSInteger>(ns::doubleNumber(1e300), "integerValue"), INT64_MAX);
  EXPECT_EQ(send<NSInteger>(ns::boolNumber(true), "integerValue"), 1);
}

// Small integers are one object per value, as the device's tagged numbers are; each keeps its
// own value, and the numbers outside that range are objects of their own.
TEST(NSNumberValues, SmallIntegersAreSharedAndEachKeepsItsValue) {
  ns::AutoreleasePool pool;
  for (int value : {-2, -1, 0, 1, 9, 1023, 1024}) {
    id number = send(cls("NSNumber"), "numberWithInt:", value);
    EXPECT_EQ(send<int>(number, "intValue"), value);
    EXPECT_EQ(send<BOOL>(number, "isEqual:", ns::integerNumber(value)), YES) << value;
    bool shared = value >= -1 && value <= 1023;
    EXPECT_EQ(number == ns::integerNumber(value), shared) << value;
  }
  id kept = ns::retain(ns::integerNumber(7));
  ns::release(kept);
  ns::release(kept);  // a shared number outlives any count of releases, as a tagged one does
  EXPECT_EQ(send<int>(ns::integerNumber(7), "intValue"), 7);
}

TEST(NSNumberValues, DescriptionsAreShortAndExact) {
  ns::AutoreleasePool pool;
  EXPECT_EQ(ns::describe(ns::integerNumber(-12)), "-12");
  EXPECT_EQ(ns::describe(ns::boolNumber(true)), "1");
  EXPECT_EQ(ns::describe(ns::doubleNumber(0.1)), "0.1");
  EXPECT_EQ(ns::describe(ns::doubleNumber(2.0)), "2");
  EXPECT_EQ(ns::describe(nil), "(null)");
}

TEST(StringFormat, PlacesDescriptionsAndNullLikeThePlatform) {
  ns::AutoreleasePool pool;
  id format = ns::string("/a////%@|%@|%@|%d|%5.2f|%s|%%|%ld");
  id text = sendVariadic(cls("NSString"), "stringWithFormat:", format, ns::string("x y"),
                         static_cast<id>(nil), ns::integerNumber(5), -3, 3.14159, "c", 9L);
  EXPECT_EQ(ns::utf8(text), "/a////x y|(null)|5|-3| 3.14|c|%|9");
}

// NSNumericSearch, with the cases of the platform notes.
TEST(NumericComparison, OrdersDigitRunsByValue) {
  ns::AutoreleasePool pool;
  using namespace std::string_literals;
  struct Case {
    std::string a;
    std::string b;
    NSComparisonResult expected;
  };
  for (const Case& c :
       std::vector<Case>{{"14.9", "14.10", NSOrderedAscending},
                         {"14", "14.0", NSOrderedAscending},
                         {"14.01", "14.1", NSOrderedSame},
                         {"014", "14", NSOrderedSame},
                         {"13.0b2", "13.0", NSOrderedDescending},
                         {"13.0b2", "13.0.1", NSOrderedDescending},
                         {"", "1", NSOrderedAscending},
                         {"1.19", "1.3", NSOrderedDescending},
                         {"14.4", "14.4", NSOrderedSame},
                         {"99999999999999999999", "99999999999999999998", NSOrderedDescending},
                         // Found by fuzzing: the text after U+0000 was left out on one side.
                         {"\0x"s, "\0"s, NSOrderedDescending}}) {
    NSComparisonResult result = send<NSComparisonResult>(
        ns::string(c.a), "compare:options:", ns::string(c.b), NSNumericSearch);
    EXPECT_EQ(result, c.expected) << c.a << " vs " << c.b;
    NSComparisonResult reverse = send<NSComparisonResult>(
        ns::string(c.b), "compare:options:", ns::string(c.a), NSNumericSearch);
    EXPECT_EQ(reverse, -c.expected) << c.b << " vs " << c.a;
  }
}

// A run of a list copied in one message, as a long settings pane copies its runs.
TEST(Arrays, ARangeIsCopiedWholeAndANilAmongObjectsRaises) {
  ns::AutoreleasePool pool;
  id a = ns::string("a"), b = ns::string("b"), c = ns::string("c");
  id list = ns::array({a, b, c});
  id got[2] = {nil, nil};
  msgSend<void>(list, sel("getObjects:range:"), got, NSRange{1, 2});
  EXPECT_EQ(got[0], b);
  EXPECT_EQ(got[1], c);
  id copy = msgSend(cls("NSMutableArray"), sel("arrayWithObjects:count:"),
                    static_cast<const id*>(got), NSUInteger{2});
  EXPECT_TRUE(ns::isKindOf(copy, "NSMutableArray"));
  EXPECT_EQ(ns::elements(copy), (std::vector<id>{b, c}));
  EXPECT_DEATH(msgSend<void>(list, sel("getObjects:range:"), got, NSRange{2, 2}),
               "getObjects:range:\\]: index 4 beyond bounds \\[0 .. 2\\]");
  const id withNil[] = {a, nil};
  try {
    msgSend(cls("NSArray"), sel("arrayWithObjects:count:"), withNil, NSUInteger{2});
    ADD_FAILURE() << "no exception";
  } catch (const ns::Exception& raised) {
    EXPECT_EQ(raised.name(), "NSInvalidArgumentException");
    EXPECT_NE(raised.reason().find("objects[1]"), std::string::npos);
  }
}

TEST(Ownership, PoolsReleaseWhatWasAutoreleasedAndRetainsKeepObjectsAlive) {
  id kept;
  {
    ns::AutoreleasePool pool;
    kept = ns::retain(ns::string("kept"));
    EXPECT_EQ(ns::retainCount(kept), 2u);
  }
  EXPECT_EQ(ns::retainCount(kept), 1u);
  ns::release(kept);
  // Messages to nil answer zero of every type.
  EXPECT_EQ(send<double>(nil, "doubleValue"), 0.0);
  EXPECT_EQ(send<id>(nil, "description"), nil);
}

// A dictionary made at its size keeps its entries in its own block and moves them when it
// grows; growing, removing and indexing must keep every entry, in insertion order.
TEST(Dictionaries, GrowingPastTheirMadeSizeAndRemovingKeepEveryEntryInOrder) {
  ns::AutoreleasePool pool;
  id made = ns::dictionary();
  for (const char* key : {"a", "b", "c"}) ns::setValue(made, key, ns::string(key));
  id dict = msgSend(cls("NSMutableDictionary"), sel("dictionaryWithDictionary:"), made);
  std::vector<std::string> expected = {"a", "b", "c"};
  for (int i = 0; i < 20; ++i) {
    std::string key = "k" + std::to_string(i);
    ns::setValue(dict, key, ns::string(key));
    expected.push_back(key);
  }
  for (const char* gone : {"b", "k0", "k19"}) {
    msgSend<void>(dict, sel("removeObjectForKey:"), ns::string(gone));
    expected.erase(std::find(expected.begin(), expected.end(), gone));
  }
  ns::setValue(dict, "k5", ns::string("five"));
  std::vector<std::string> keys;
  for (auto& [key, value] : ns::dictionaryEntries(dict)) keys.push_back(ns::utf8(key));
  EXPECT_EQ(keys, expected);
  for (const std::string& key : expected) {
    EXPECT_EQ(ns::utf8(ns::valueFor(dict, key)), key == "k5" ? "five" : key) << key;
  }
  EXPECT_EQ(ns::valueFor(dict, "b"), nil);
  EXPECT_EQ(msgSend<NSUInteger>(dict, sel("count")), expected.size());
  // The dictionary copied from keeps its own three.
  EXPECT_EQ(msgSend<NSUInteger>(made, sel("count")), 3u);
}

// Pools as the runtime keeps them: a pool drains what was autoreleased since it opened,
// including what a release autoreleases while it drains; closing an outer pool closes those
// opened inside it; a pool closed twice ends the process, as on the device.
TEST(Ownership, PoolsNestAndDrainWhatTheirOwnDrainingAutoreleases) {
  static id handedOn = nil;
  auto deallocHandingOn = [](id self, SEL) {
    ns::autorelease(handedOn);  // the last reference, given up while the pool drains
    handedOn = nil;
    sendSuper<void>(self, ns::classNamed("HandsOnWhenFreed"), "dealloc");
  };
  static Class handsOn = ClassBuilder("HandsOnWhenFreed", ns::classNamed("NSObject"))
                             .method("dealloc", static_cast<void (*)(id, SEL)>(deallocHandingOn))
                             .register_();
  id outerObject = send(cls("NSObject"), "new");
  id innerObject = send(cls("NSObject"), "new");
  id watched = send(cls("NSObject"), "new");
  void* outer = objc_autoreleasePoolPush();
  ns::autorelease(ns::retain(outerObject));
  void* inner = objc_autoreleasePoolPush();
  ns::autorelease(ns::retain(innerObject));
  objc_autoreleasePoolPop(inner);
  EXPECT_EQ(ns::retainCount(innerObject), 1u);
  EXPECT_EQ(ns::retainCount(outerObject), 2u);

  handedOn = ns::retain(watched);
  ns::autorelease(send(handsOn, "new"));
  objc_autoreleasePoolPush();  // left open: closing the outer pool closes it
  ns::autorelease(ns::retain(innerObject));
  objc_autoreleasePoolPop(outer);
  EXPECT_EQ(ns::retainCount(outerObject), 1u);
  EXPECT_EQ(ns::retainCount(innerObject), 1u);
  EXPECT_EQ(ns::retainCount(watched), 1u);
  EXPECT_DEATH(objc_autoreleasePoolPop(outer), "Invalid or prematurely-freed autorelease pool");
  for (id object : {outerObject, innerObject, watched}) ns::release(object);
}

TEST(Notifications, AnObserverRegisteredTwiceHearsEachPostTwice) {
  static int heard = 0;
  auto hear = [](id, SEL, id notification) {
    EXPECT_EQ(ns::utf8(send(notification, "name")), "Ping");
    ++heard;
  };
  ns::AutoreleasePool pool;
  Class listener = ClassBuilder("PingListener", ns::classNamed("NSObject"))
                       .method("hear:", static_cast<void (*)(id, SEL, id)>(hear))
                       .register_();
  id observer = ns::autorelease(send(listener, "new"));
  id center = send(cls("NSNotificationCenter"), "defaultCenter");
  for (int i = 0; i < 2; ++i) {
    msgSend<void>(center, sel("addObserver:selector:name:object:"), observer, sel("hear:"),
                  ns::string("Ping"), static_cast<id>(nil));
  }
  msgSend<void>(center, sel("postNotificationName:object:"), ns::string("Ping"),
                static_cast<id>(nil));
  msgSend<void>(center, sel("postNotificationName:object:"), ns::string("Pong"),
                static_cast<id>(nil));
  EXPECT_EQ(heard, 2);
  msgSend<void>(center, sel("removeObserver:"), observer);
}

}  // namespace
