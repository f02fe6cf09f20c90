// NSError.
//
// Mirrors: +[NSError errorWithDomain:code:userInfo:], -domain, -code, -localizedDescription.
// Simplified: no user info is kept.
#pragma once

#include <Foundation/Foundation.h>

#include <string_view>

namespace ns {

// An autoreleased NSError (domain, code; no user info).
id error(std::string_view domain, NSInteger code);

}  // namespace ns
