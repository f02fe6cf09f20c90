// NSError.
//
// Mirrors: +[NSError errorWithDomain:code:userInfo:], -domain, -code, -localizedDescription.
// Simplified: no user info is kept; a stand-in may give the description the user would read.
#pragma once

#include <Foundation/Foundation.h>

#include <string_view>

namespace ns {

// An autoreleased NSError (domain, code; no user info). Its localizedDescription is the given
// description, or "Error Domain=D Code=C" without one.
id error(std::string_view domain, NSInteger code);
id error(std::string_view domain, NSInteger code, std::string description);

}  // namespace ns
