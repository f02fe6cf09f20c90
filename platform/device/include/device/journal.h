// The journal: every effect on the simulated platform, in the order it happened.
//
// Stand-ins record what the product does to the platform (a hook installed, a sound created or
// played, a value stored, a notification posted); the host records its own calls and the stock
// implementations that ran. Tests and the simulator read it; nothing in the product does.
//
// An entry is a JSON object: "kind" first, then the entry's fields in the order given, then
// "t", the simulated time in seconds. Every string in an entry is well-formed UTF-8, whatever
// bytes it was recorded with (each ill-formed sequence reads U+FFFD), so any entry can be
// written as JSON.
//
// Entries are kept in memory (entries()) until a sink is set: from then on each entry goes to
// the sink as it is made and nothing is kept, so a long session costs no memory for its
// journal. The simulator streams; tests read entries().
#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

namespace journal {

using Entry = nlohmann::ordered_json;

void record(const std::string& kind, const Entry& fields = Entry::object());

// The entry record() would make of `kind` and `fields` now ("t" stamped, every string made
// well-formed), neither kept nor passed to the sink: for a host that writes out an entry too
// long to hold at once in parts, as one line of its own output.
Entry made(const std::string& kind, const Entry& fields = Entry::object());
// `value` with every string made well-formed UTF-8, as record() makes it.
void repair(Entry& value);

// Appends an entry made elsewhere (another process's), kept as it is.
void append(const Entry& entry);

const std::vector<Entry>& entries();
void clear();

// Where entries go from now on; an empty sink keeps them in memory again. Answers the sink it
// replaces, so that a caller can hold entries back for a while and then pass them on.
using Sink = std::function<void(const Entry&)>;
Sink exchangeSink(Sink sink);

// While a Pause is alive nothing is recorded: the host uses it while it builds its own classes.
class Pause {
 public:
  Pause();
  ~Pause();
  Pause(const Pause&) = delete;
  Pause& operator=(const Pause&) = delete;
};
bool recording();

}  // namespace journal
