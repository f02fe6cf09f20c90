#include <pkprefs3/ZELLinkCells.h>

#include <Preferences/PSSpecifier.h>

#include <array>

#include "row_name.h"

namespace {

// What each cell of the family adds to the shared construction and selection.
enum class Opens { Nothing, Link, Invite, Profile };
struct Kind {
  const char* className;
  const char* accessoryImage;  // loaded by name from the bundle; null for none
  const char* property;        // the row property the address is made from; null for none
  Opens opens;
};
constexpr std::array<Kind, 4> kKinds = {{
    {"ZELButtonCell", nullptr, nullptr, Opens::Nothing},
    {"ZELLinkCell", "safari", "link", Opens::Link},
    {"ZELDiscordCell", "discord", "invite", Opens::Invite},
    {"ZELTwitterCell", "twitter", "user", Opens::Profile},
}};
constexpr size_t kButton = 0, kLink = 1, kDiscord = 2, kTwitter = 3;

// The client apps a profile opens in, probed in this order; the web site when none answers.
struct ProfileApp {
  const char* probe;
  const char* format;
};
constexpr std::array<ProfileApp, 5> kProfileApps = {{
    {"aphelion://", "aphelion://profile/%@"},
    {"tweetbot://", "tweetbot:///user_profile/%@"},
    {"twitterrific://", "twitterrific:///profile?screen_name=%@"},
    {"tweetings://", "tweetings:///user?screen_name=%@"},
    {"twitter://", "twitter://user?screen_name=%@"},
}};

std::array<Class, kKinds.size()> classes{};
ptrdiff_t userOffset = 0;

id& user(id self) {
  return *reinterpret_cast<id*>(reinterpret_cast<char*>(self) + userOffset);
}

id text(const char* utf8) {
  return send(cls("NSString"), "stringWithCString:encoding:", utf8, NSUTF8StringEncoding);
}

id property(id specifier, const char* key) {
  return send(send(specifier, "properties"), "objectForKey:", text(key));
}

bool isText(id value) {
  return value != nil && send<BOOL>(value, "isKindOfClass:", objc_getClass("NSString"));
}

// --- construction ---------------------------------------------------------------------------

void applyButtonLook(id self) {
  send<void>(self, "setAccessoryType:", NSInteger{0});
  send<void>(self, "setSelectionStyle:", NSInteger{1});
}

template <size_t K>
id initCell(id self, SEL, NSInteger, id reuseIdentifier, id specifier) {
  constexpr Kind kind = kKinds[K];
  id cell = sendSuper(self, classes[K], "initWithStyle:reuseIdentifier:specifier:", NSInteger{3},
                      reuseIdentifier, specifier);
  if (cell == nil) return nil;
  if constexpr (kind.accessoryImage != nullptr) {
    id bundle = send(cls("NSBundle"), "bundleWithPath:", NSSTR(BundleRoot));
    id image = send(cls("UIImage"), "imageNamed:inBundle:", text(kind.accessoryImage), bundle);
    id view = send(send(cls("UIImageView"), "alloc"), "initWithImage:", image);
    send<void>(cell, "setAccessoryView:", view);
    send<void>(view, "release");
  }
  if constexpr (kind.opens == Opens::Profile) {
    user(cell) = send(property(specifier, kind.property), "copy");
  }
  id subtitle = property(specifier, "subtitle");
  id detail = send(cell, "detailTextLabel");
  send<void>(detail, "setText:", subtitle != nil ? subtitle : NSSTR(""));
  send<void>(detail, "setTextColor:", send(cls("UIColor"), "systemGrayColor"));
  if constexpr (K == kButton) {
    send<void>(cell, "setSelectionStyle:", NSInteger{1});
    send<void>(cell, "setAccessoryType:", NSInteger{0});
  }
  id imageView = send(cell, "imageView");
  send<void>(imageView, "setClipsToBounds:", BOOL{YES});
  send<void>(imageView, "setContentMode:", NSInteger{2});
  return cell;
}

void buttonRefresh(id self, SEL, id specifier) {
  sendSuper<void>(self, classes[kButton], "refreshCellContentsWithSpecifier:", specifier);
  applyButtonLook(self);
}
void buttonDidMoveToSuperview(id self, SEL) {
  sendSuper<void>(self, classes[kButton], "didMoveToSuperview");
  applyButtonLook(self);
}

// --- selection ------------------------------------------------------------------------------

// The address a selected cell opens, or nil with the reason it has none.
id addressOf(id self, const Kind& kind, std::string& refusal) {
  id value =
      kind.opens == Opens::Profile ? user(self) : property(send(self, "specifier"), kind.property);
  if (!isText(value)) {
    refusal = std::string("the row has no \"") + kind.property + "\" text";
    return nil;
  }
  switch (kind.opens) {
    case Opens::Link:
      return value;
    case Opens::Invite:
      return send(NSSTR(InviteURLBase), "stringByAppendingString:", value);
    case Opens::Profile:
      if (id address = send(send(self, "class"), "_urlForUsername:", value)) return address;
      refusal = "_urlForUsername: gave no address";
      return nil;
    case Opens::Nothing:
      break;
  }
  return nil;
}

template <size_t K>
void setSelected(id self, SEL, BOOL selected, BOOL animated) {
  sendSuper<void>(self, classes[K], "setSelected:animated:", selected, animated);
  if (!selected) return;
  std::string refusal;
  id address = addressOf(self, kKinds[K], refusal);
  id url = address != nil ? send(cls("NSURL"), "URLWithString:", address) : nil;
  if (address != nil && url == nil) {
    refusal = "\"" + std::string(send<const char*>(address, "UTF8String")) + "\" is no valid URL";
  }
  if (url == nil) {
    // Handing the system no URL would fail where nobody sees it: say why nothing opens.
    NSLog(NSSTR("open refused for %@: %s"),
          cells::rowName(send(self, "specifier"), NSSTR("(unnamed row)")), refusal.c_str());
    return;
  }
  id application = send(cls("UIApplication"), "sharedApplication");
  send<void>(application, "openURL:options:completionHandler:", url,
             send(cls("NSDictionary"), "dictionary"), id{nil});
}

id urlForUsername(id, SEL, id name) {
  id encoded = send(name, "stringByAddingPercentEncodingWithAllowedCharacters:",
                    send(cls("NSCharacterSet"), "URLQueryAllowedCharacterSet"));
  id application = send(cls("UIApplication"), "sharedApplication");
  id format = NSSTR(ProfileWebURLFormat);
  for (const ProfileApp& app : kProfileApps) {
    if (send<BOOL>(application,
                   "canOpenURL:", send(cls("NSURL"), "URLWithString:", text(app.probe)))) {
      format = text(app.format);
      break;
    }
  }
  return sendVariadic(cls("NSString"), "stringWithFormat:", format, encoded);
}

void deallocTwitter(id self, SEL) {
  send<void>(user(self), "release");
  user(self) = nil;
  sendSuper<void>(self, classes[kTwitter], "dealloc");
}

template <size_t K>
ClassBuilder buildCell(Class base) {
  ClassBuilder builder(kKinds[K].className, base);
  if (builder) builder.method("initWithStyle:reuseIdentifier:specifier:", initCell<K>);
  if (builder && kKinds[K].opens != Opens::Nothing) {
    builder.method("setSelected:animated:", setSelected<K>);
  }
  return builder;
}

__attribute__((constructor)) void registerLinkCells() {
  Class base = objc_getClass("PSTableCell");
  if (base == Nil) return;
  ClassBuilder button = buildCell<kButton>(base);
  if (!button) return;  // already registered
  button.method("refreshCellContentsWithSpecifier:", buttonRefresh)
      .method("didMoveToSuperview", buttonDidMoveToSuperview);
  classes[kButton] = button.register_();
  classes[kLink] = buildCell<kLink>(base).register_();
  classes[kDiscord] = buildCell<kDiscord>(base).register_();
  ClassBuilder twitter = buildCell<kTwitter>(base);
  twitter.ivar("_user", sizeof(id), 3, "@")
      .classMethod("_urlForUsername:", urlForUsername)
      .method("dealloc", deallocTwitter);
  classes[kTwitter] = twitter.register_();
  userOffset = ivar_getOffset(class_getInstanceVariable(classes[kTwitter], "_user"));
}

}  // namespace

Class ZELButtonCell::runtimeClass() {
  return objc_getClass("ZELButtonCell");
}
Class ZELLinkCell::runtimeClass() {
  return objc_getClass("ZELLinkCell");
}
Class ZELDiscordCell::runtimeClass() {
  return objc_getClass("ZELDiscordCell");
}
Class ZELTwitterCell::runtimeClass() {
  return objc_getClass("ZELTwitterCell");
}
