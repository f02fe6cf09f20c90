// NSNumber: a boolean, a 64-bit integer or a double.
#include <Foundation/ObjectState.h>

#include <array>
#include <atomic>
#include <charconv>
#include <cmath>

#include "internal.h"

namespace ns {
namespace {

struct NumberState : ObjectState {
  enum class Kind { Boolean, Integer, Real } kind = Kind::Integer;
  int64_t integer = 0;
  double real = 0.0;
};

const NumberState& number(id self) {
  static const NumberState zero;
  NumberState* state = stateOf<NumberState>(self);
  return state != nullptr ? *state : zero;
}

// A double converted toward zero into 64 bits, without undefined behaviour at the edges.
int64_t truncated(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9223372036854775807.0) return INT64_MAX;
  if (value <= -9223372036854775808.0) return INT64_MIN;
  return static_cast<int64_t>(value);
}

int64_t asInteger(const NumberState& n) {
  return n.kind == NumberState::Kind::Real ? truncated(n.real) : n.integer;
}
double asReal(const NumberState& n) {
  return n.kind == NumberState::Kind::Real ? n.real : static_cast<double>(n.integer);
}

Class numberClass() {
  static Class cls = objc_getClass("NSNumber");
  return cls;
}

id make(NumberState::Kind kind, int64_t integer, double real) {
  id number = newObjectWith<NumberState>(numberClass());
  auto* state = static_cast<NumberState*>(objectState(number));
  state->kind = kind;
  state->integer = integer;
  state->real = real;
  return number;
}

id classWithBool(id, SEL, BOOL value) {
  return boolNumber(value != NO);
}
id classWithInt(id, SEL, int value) {
  return integerNumber(value);
}
id classWithInteger(id, SEL, NSInteger value) {
  return integerNumber(value);
}
id classWithUnsignedInt(id, SEL, unsigned int value) {
  return integerNumber(value);
}
id classWithDouble(id, SEL, double value) {
  return doubleNumber(value);
}
id classWithFloat(id, SEL, float value) {
  return doubleNumber(value);
}

// A boolean reads as 1/0; a double's truth is that of its 64-bit integer (0.5 is NO).
BOOL boolValue(id self, SEL) {
  return asInteger(number(self)) != 0 ? YES : NO;
}
// Narrowing truncates like a C cast (4294967297 is 1); it does not clamp.
int intValue(id self, SEL) {
  return static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(asInteger(number(self)))));
}
unsigned int unsignedIntValue(id self, SEL) {
  return static_cast<uint32_t>(static_cast<uint64_t>(asInteger(number(self))));
}
NSInteger integerValue(id self, SEL) {
  return asInteger(number(self));
}
double doubleValue(id self, SEL) {
  return asReal(number(self));
}
float floatValue(id self, SEL) {
  return static_cast<float>(asReal(number(self)));
}

std::string text(const NumberState& n) {
  if (n.kind != NumberState::Kind::Real) return std::to_string(n.integer);
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, n.real);
  return std::string(buffer, result.ptr);
}
id description(id self, SEL) {
  return string(text(number(self)));
}

NSComparisonResult compare(id self, SEL, id other) {
  const NumberState& a = number(self);
  const NumberState& b = number(other);
  if (a.kind != NumberState::Kind::Real && b.kind != NumberState::Kind::Real) {
    return a.integer < b.integer ? NSOrderedAscending
                                 : (a.integer > b.integer ? NSOrderedDescending : NSOrderedSame);
  }
  double x = asReal(a);
  double y = asReal(b);
  return x < y ? NSOrderedAscending : (x > y ? NSOrderedDescending : NSOrderedSame);
}
BOOL isEqual(id self, SEL, id other) {
  if (self == other) return YES;
  if (other == nil || !isKindOf(other, "NSNumber")) return NO;
  return compare(self, nullptr, other) == NSOrderedSame ? YES : NO;
}
NSUInteger hash(id self, SEL) {
  return static_cast<NSUInteger>(asInteger(number(self)));
}
id copy(id self, SEL) {
  return retain(self);
}

}  // namespace

id boolNumber(bool value) {
  static id yes = makeImmortal(make(NumberState::Kind::Boolean, 1, 1.0));
  static id no = makeImmortal(make(NumberState::Kind::Boolean, 0, 0.0));
  return value ? yes : no;
}
id integerNumber(int64_t value) {
  // The device answers a small integer with a tagged pointer: the same value is the same
  // object, and costs no memory. Here small integers are shared objects that never go, made on
  // first use; a long row list then holds a handful of numbers instead of one per row.
  constexpr int64_t kFirstShared = -1;
  constexpr int64_t kLastShared = 1023;
  if (value < kFirstShared || value > kLastShared) {
    return autorelease(make(NumberState::Kind::Integer, value, static_cast<double>(value)));
  }
  static std::array<std::atomic<id>, kLastShared - kFirstShared + 1> shared{};
  std::atomic<id>& slot = shared[static_cast<size_t>(value - kFirstShared)];
  id number = slot.load(std::memory_order_acquire);
  if (number != nil) return number;
  id made = make(NumberState::Kind::Integer, value, static_cast<double>(value));
  if (slot.compare_exchange_strong(number, made, std::memory_order_acq_rel)) {
    return makeImmortal(made);
  }
  release(made);  // another thread made it first
  return number;
}
id doubleNumber(double value) {
  return autorelease(make(NumberState::Kind::Real, truncated(value), value));
}

bool isBooleanNumber(id object) {
  NumberState* state = stateOf<NumberState>(object);
  return state != nullptr && state->kind == NumberState::Kind::Boolean;
}
bool isRealNumber(id object) {
  NumberState* state = stateOf<NumberState>(object);
  return state != nullptr && state->kind == NumberState::Kind::Real;
}

void internal::registerNumberClass() {
  ClassBuilder("NSNumber", rootClass())
      .classMethod("numberWithBool:", classWithBool)
      .classMethod("numberWithInt:", classWithInt)
      .classMethod("numberWithInteger:", classWithInteger)
      .classMethod("numberWithLongLong:", classWithInteger)
      .classMethod("numberWithUnsignedInt:", classWithUnsignedInt)
      .classMethod("numberWithDouble:", classWithDouble)
      .classMethod("numberWithFloat:", classWithFloat)
      .method("boolValue", boolValue)
      .method("intValue", intValue)
      .method("unsignedIntValue", unsignedIntValue)
      .method("integerValue", integerValue)
      .method("longLongValue", integerValue)
      .method("doubleValue", doubleValue)
      .method("floatValue", floatValue)
      .method("description", description)
      .method("stringValue", description)
      .method("compare:", compare)
      .method("isEqual:", isEqual)
      .method("isEqualToNumber:", isEqual)
      .method("hash", hash)
      .method("copy", copy)
      .register_();
}

}  // namespace ns
