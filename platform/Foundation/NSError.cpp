// NSError: a domain and a code, as the platform reports failures.
#include <Foundation/NSError.h>
#include <Foundation/ObjectState.h>

#include "internal.h"

namespace ns {
namespace {

struct ErrorState : ObjectState {
  std::string domain;
  NSInteger code = 0;
  std::string description;  // empty: the generic form
};

id errorWithDomain(id self, SEL, id domain, NSInteger code, id) {
  auto state = std::make_unique<ErrorState>();
  state->domain = utf8(domain);
  state->code = code;
  return autorelease(newObject(reinterpret_cast<Class>(self), std::move(state)));
}
id domainOf(id self, SEL) {
  ErrorState* state = stateOf<ErrorState>(self);
  return state != nullptr ? string(state->domain) : nil;
}
NSInteger codeOf(id self, SEL) {
  ErrorState* state = stateOf<ErrorState>(self);
  return state != nullptr ? state->code : 0;
}
id describeError(id self, SEL) {
  ErrorState* state = stateOf<ErrorState>(self);
  if (state != nullptr && !state->description.empty()) return string(state->description);
  return string("Error Domain=" + utf8(domainOf(self, nullptr)) +
                " Code=" + std::to_string(codeOf(self, nullptr)));
}

}  // namespace

id error(std::string_view domain, NSInteger code) {
  return errorWithDomain(asId(classNamed("NSError")), nullptr, string(domain), code, nil);
}

id error(std::string_view domain, NSInteger code, std::string description) {
  id made = error(domain, code);
  if (ErrorState* state = stateOf<ErrorState>(made)) state->description = std::move(description);
  return made;
}

void internal::registerErrorClass() {
  ClassBuilder("NSError", rootClass())
      .classMethod("errorWithDomain:code:userInfo:", errorWithDomain)
      .method("domain", domainOf)
      .method("code", codeOf)
      .method("description", describeError)
      .method("localizedDescription", describeError)
      .register_();
}

}  // namespace ns
