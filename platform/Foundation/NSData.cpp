// NSData.
#include <Foundation/ObjectState.h>

#include <cstdint>
#include <string>

#include "internal.h"

namespace ns {
namespace {

struct DataState : ObjectState {
  std::vector<uint8_t> bytes;
};
std::vector<uint8_t>& dataBytes(id self) {
  static std::vector<uint8_t> none;
  DataState* state = stateOf<DataState>(self);
  return state != nullptr ? state->bytes : none;
}
id makeData(Class cls, const void* bytes, size_t length) {
  auto state = std::make_unique<DataState>();
  if (bytes != nullptr && length > 0) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    state->bytes.assign(first, first + length);
  }
  return newObject(cls, std::move(state));
}
id classDataWithBytes(id self, SEL, const void* bytes, NSUInteger length) {
  return autorelease(makeData(reinterpret_cast<Class>(self), bytes, length));
}
id classData(id self, SEL) {
  return classDataWithBytes(self, nullptr, nullptr, 0);
}
const void* dataPointer(id self, SEL) {
  return dataBytes(self).data();
}
NSUInteger dataLength(id self, SEL) {
  return dataBytes(self).size();
}
BOOL dataIsEqual(id self, SEL, id other) {
  return other != nil && stateOf<DataState>(other) != nullptr && dataBytes(self) == dataBytes(other)
             ? YES
             : NO;
}
id copyData(id self, SEL) {
  return retain(self);
}
id describeData(id self, SEL) {
  return string("{length = " + std::to_string(dataBytes(self).size()) + "}");
}

}  // namespace

id data(const void* bytes, size_t length) {
  return autorelease(makeData(objc_getClass("NSData"), bytes, length));
}
std::vector<uint8_t> bytes(id dataObject) {
  return dataBytes(dataObject);
}

void internal::registerDataClass() {
  ClassBuilder("NSData", rootClass())
      .classMethod("data", classData)
      .classMethod("dataWithBytes:length:", classDataWithBytes)
      .method("bytes", dataPointer)
      .method("length", dataLength)
      .method("isEqual:", dataIsEqual)
      .method("copy", copyData)
      .method("description", describeData)
      .register_();
}

}  // namespace ns
