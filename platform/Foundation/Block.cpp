// NSBlock: the class of every block object.
#include <Foundation/Block.h>

namespace ns {

BlockState::~BlockState() = default;

namespace {

// A block of no arguments runs when sent `invoke`; any other block ignores it.
void invokeBlock(id self, SEL) {
  callBlock(self);
}

}  // namespace

Class blockClass() {
  static Class cls = [] {
    Class existing = objc_getClass("NSBlock");
    if (existing != Nil) return existing;
    return ClassBuilder("NSBlock", rootClass()).method("invoke", invokeBlock).register_();
  }();
  return cls;
}

}  // namespace ns
