// ZELButtonCell, ZELLinkCell, ZELDiscordCell and ZELTwitterCell: the settings pane's button,
// link, chat-invite and profile rows.
//
// Classes of the object runtime, registered when libpkprefs3 loads, each deriving directly from
// the Preferences framework's PSTableCell. A row names one in its `cellClass` attribute and the
// framework makes its cell. All four:
//
//   -initWithStyle:reuseIdentifier:specifier:
//       Initialises the base with style 3 (subtitle) whatever style is passed, so the cell always
//       has a detail line; nil when the base gives nil. Then, in this order: the accessory image
//       (link, invite and profile cells: "safari", "discord" or "twitter", loaded by name from
//       the bundle at BundleRoot, in an image view sized to it; an image that is missing leaves
//       the view empty), the profile cell's copy of the row's "user" in `_user`, the detail line's
//       text (the row's "subtitle", "" without one) in the system grey colour, the button cell's
//       look (selection style 1, blue; accessory type 0, none), and the image view set to clip
//       to its bounds with content mode 2 (aspect fill).
//
// ZELButtonCell keeps that look: after the base's -refreshCellContentsWithSpecifier: and after
// the base's -didMoveToSuperview it sets accessory type 0, then selection style 1, again.
//
// The link, invite and profile cells open an address each time they are selected:
//   -setSelected:animated:  passes both arguments to the base; then, when selected, opens the
//                           class's address with -[UIApplication openURL:options:
//                           completionHandler:] (no options, no completion):
//     ZELLinkCell     the row's "link", unchanged, read from the cell's specifier at each
//                     selection
//     ZELDiscordCell  InviteURLBase with the row's "invite" appended as it is, read at each
//                     selection
//     ZELTwitterCell  +[[self class] _urlForUsername:_user]: the user copied when the cell was
//                     made, whatever specifier the cell holds later
//   A row without its "link", "invite" or "user" text, or an address that makes no URL, opens
//   nothing, and says so through NSLog: "open refused for ROW: REASON", the row named by its
//   label, else its "key" or "id" property, else "(unnamed row)".
//
//   +[ZELTwitterCell _urlForUsername:]
//       The user name percent-encoded with the URL-query character set, put in the profile
//       format of the first client app that -canOpenURL: its probe ("aphelion://",
//       "tweetbot://", "twitterrific://", "tweetings://", "twitter://", in that order; later ones
//       are not asked), else in ProfileWebURLFormat. Probed afresh on every call.
//
// The C++ classes below only name the runtime classes for C++ callers; subclasses are made in
// the runtime, as a settings bundle's are.
#pragma once

#include <Foundation/Foundation.h>
#include <plinka/bundle.h>  // BundleRoot: the accessory images are loaded from it

// The chat service's invite address; the invite code follows the last "/".
constexpr const char* InviteURLBase = "https://discord.gg/";
// The social network's mobile-site profile address; `%@` is the encoded user name.
constexpr const char* ProfileWebURLFormat = "https://mobile.twitter.com/%@";

class __attribute__((visibility("default"))) ZELButtonCell {
 public:
  static Class runtimeClass();
};
class __attribute__((visibility("default"))) ZELLinkCell {
 public:
  static Class runtimeClass();
};
class __attribute__((visibility("default"))) ZELDiscordCell {
 public:
  static Class runtimeClass();
};
class __attribute__((visibility("default"))) ZELTwitterCell {
 public:
  static Class runtimeClass();
};
