// Blocks: the closures that device code hands the platform as handlers and completions.
//
// Mirrors: an Objective-C block object (`^(NSData *data, NSString *type, ...) { ... }`): an
// object that is retained and released like any other, keeps what it captured alive for as long
// as it lives, and is called with the arguments of its declared type. A block of no arguments
// also answers `invoke`, which is how the platform runs completions.
//
// Faithful: a block is an object (class NSBlock) the platform may keep, hand to another thread
// and release there; captured references (ns::Ref) live exactly as long as the block. Simplified:
// the argument types are checked at the call: the platform calling a block with arguments of
// other types than it was made with calls nothing and answers false (on the device that is
// undefined behaviour).
#pragma once

#include <Foundation/ObjectState.h>

#include <functional>
#include <type_traits>
#include <typeinfo>

namespace ns {

// The state of every block; the typed body is in the derived BlockBody below.
struct BlockState : ObjectState {
  ~BlockState() override;
  virtual const std::type_info& signature() const = 0;
};

template <typename... Args>
struct BlockBody : BlockState {
  explicit BlockBody(std::function<void(Args...)> f) : body(std::move(f)) {}
  const std::type_info& signature() const override { return typeid(void (*)(Args...)); }
  std::function<void(Args...)> body;
};

// Registers the class NSBlock (done when the Foundation library loads).
Class blockClass();

// A new block (autoreleased) that runs `body` with the arguments it is called with.
template <typename... Args>
id block(std::type_identity_t<std::function<void(Args...)>> body) {
  return autorelease(
      newObject(blockClass(), std::make_unique<BlockBody<Args...>>(std::move(body))));
}

// Calls a block with these arguments; false (and nothing called) for nil, for an object that is
// no block, or for a block made for other argument types.
template <typename... Args>
bool callBlock(id block, Args... args) {
  ObjectState* state = objectState(block);
  auto* typed = dynamic_cast<BlockState*>(state);
  if (typed == nullptr || typed->signature() != typeid(void (*)(Args...))) return false;
  static_cast<BlockBody<Args...>*>(typed)->body(args...);
  return true;
}

}  // namespace ns
