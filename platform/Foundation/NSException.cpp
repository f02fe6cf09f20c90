// NSException: what the platform raises where the device raises.
#include <Foundation/Foundation.h>

namespace ns {

Exception::Exception(std::string name, std::string reason)
    : name_(std::move(name)), reason_(std::move(reason)), what_(name_ + ": " + reason_) {}

void raise(const std::string& name, const std::string& reason) {
  throw Exception(name, reason);
}

}  // namespace ns
