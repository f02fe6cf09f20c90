// NSError, and what the journal says about data.
//
// Mirrors: +[NSError errorWithDomain:code:userInfo:], -domain, -code, -localizedDescription.
// Simplified: no user info is kept.
#pragma once

#include <Foundation/Foundation.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ns {

// An autoreleased NSError (domain, code; no user info).
id error(std::string_view domain, NSInteger code);

// What image bytes are, by their signature: "png", "jpeg", "gif", "heic" or "other". The journal
// shows data as {"bytes": N, "format": F} with this F.
std::string imageFormat(const std::vector<uint8_t>& bytes);

}  // namespace ns
