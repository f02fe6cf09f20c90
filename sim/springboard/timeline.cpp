#include "timeline.h"

#include <cstdio>

namespace springboard {
namespace {

std::string text(const journal::Entry& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_null()) return "nil";
  if (value.is_boolean()) return value.get<bool>() ? "YES" : "NO";
  if (value.is_object() && value.contains("x") && value.contains("y")) {
    return "(" + value["x"].dump() + ", " + value["y"].dump() + ")";
  }
  return value.dump();
}

std::string method(const journal::Entry& e, bool classMethod = false) {
  return std::string(classMethod ? "+[" : "-[") + text(e.value("class", journal::Entry())) + " " +
         text(e.value("selector", journal::Entry())) + "]";
}

std::string arguments(const journal::Entry& e) {
  std::string out;
  if (!e.contains("args")) return out;
  for (const auto& arg : e["args"]) out += " " + text(arg);
  return out;
}

std::string soundName(const journal::Entry& id) {
  return "#" + (id.is_number() ? id.dump() : text(id));
}

std::string details(const journal::Entry& e) {
  const std::string kind = e.value("kind", "");
  if (kind == "launch") return "home-screen process " + e["process"].dump() + " starts";
  if (kind == "load") {
    return text(e["library"]) +
           (e.value("loaded", false) ? " loaded" : " not loaded: " + text(e["reason"]));
  }
  if (kind == "hook") return method(e);
  if (kind == "hook-failed") return method(e) + " (nothing to hook)";
  if (kind == "add-method") return method(e) + " types " + text(e["types"]);
  if (kind == "class-missing") return text(e["class"]) + " looked up, not found";
  if (kind == "call") {
    return method(e) + arguments(e) + (e.value("missing", false) ? "  (class missing)" : "");
  }
  if (kind == "stock") {
    bool classMethod = e["receiver"] == e["class"];
    std::string line = method(e, classMethod) + arguments(e);
    if (e.contains("result")) line += " -> " + text(e["result"]);
    if (e.contains("sent")) line += "  (sent as " + text(e["sent"]) + ")";
    return line;
  }
  if (kind == "observe") {
    return text(e["observer"]) + " observes " + text(e["name"]) + " with " + text(e["selector"]);
  }
  if (kind == "battery-monitoring") return e.value("enabled", false) ? "on" : "off";
  if (kind == "post") return text(e["name"]);
  if (kind == "query") return method(e) + " -> " + text(e["result"]);
  if (kind == "sound-create") {
    std::string status = e["status"].dump();
    return text(e["path"]) +
           (e["status"] == 0 ? " -> " + soundName(e["id"]) : " failed (status " + status + ")");
  }
  if (kind == "sound-play") {
    std::string ringer = e.contains("ringer") ? " (silent: the ringer is off)" : "";
    if (ringer.empty() && e.value("silent", false)) return soundName(e["id"]) + " (silence)";
    if (e.contains("path")) return soundName(e["id"]) + " " + text(e["path"]) + ringer;
    return soundName(e["id"]) + " (built-in)" + ringer;
  }
  if (kind == "sound-dispose") return soundName(e["id"]);
  if (kind == "pref")
    return text(e["key"]) + " = " + (e["value"].is_null() ? "(removed)" : e["value"].dump());
  if (kind == "set") return text(e["name"]) + " " + e["value"].dump();
  if (kind == "fault") return text(e["disk"]);
  if (kind == "without" || kind == "register") return text(e["class"]);
  if (kind == "settings-read") {
    std::string keys = std::to_string(e["keys"].size()) + " keys";
    std::string file = e.value("file", "read");
    if (file == "missing") return text(e["identifier"]) + ": no settings file; " + keys + " asked";
    if (file == "unreadable") {
      return text(e["identifier"]) + ": settings file unreadable; " + keys + " asked";
    }
    return text(e["identifier"]) + ": " + keys + " read";
  }
  if (kind == "kept-aside")
    return text(e["file"]) + " unreadable, kept aside as " + text(e["aside"]);
  if (kind == "store-failed") {
    return text(e["key"]) + " not stored in " + text(e["file"]) + ": " + text(e["reason"]);
  }
  journal::Entry rest = e;
  rest.erase("kind");
  rest.erase("t");
  return rest.dump();
}

}  // namespace

std::string timelineLine(const journal::Entry& entry) {
  char time[32];
  std::snprintf(time, sizeof time, "%8.2fs  ", entry.value("t", 0.0));
  std::string kind = entry.value("kind", "?");
  if (kind == "note") return std::string(time) + "# " + entry.value("text", "");
  if (kind == "user") {
    std::string action = entry.value("action", "");
    journal::Entry rest = entry;
    for (const char* drop : {"kind", "t", "action"}) rest.erase(drop);
    std::string extra;
    for (auto& [name, value] : rest.items()) extra += " " + text(value);
    return std::string(time) + "> " + action + extra;
  }
  char padded[32];
  std::snprintf(padded, sizeof padded, "  %-19s", kind.c_str());
  return std::string(time) + padded + details(entry);
}

std::string timeline(const std::vector<journal::Entry>& entries) {
  std::string out;
  for (const journal::Entry& entry : entries) out += timelineLine(entry) + "\n";
  return out;
}

}  // namespace springboard
