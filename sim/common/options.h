// The option parser of plinka-sim's commands: each command declares its options, then parses
// its arguments once. Messages are the command's own; the parser only finds the words.
//
//   std::string root, png;
//   bool json = false;
//   sim::OptionParser parser;
//   parser.value("--device-root", root, "--device-root needs a folder")
//       .output("--png", png, "--png needs a file")
//       .flag("--json", json)
//       .operands(scripts, 1, "no script given", "one script at a time");
//   if (std::string problem; !parser.parse(args, problem)) return sim::argumentError(...);
//   if (std::string problem; !sim::checkOutputs(parser.outputs(), problem)) ...
//
// A word is an option when it starts with '-' and is more than "-" (standard input); with
// numberOperands(), a word that reads as a number ("-0.5") is an operand. A value option takes
// the next word, whatever it is. Declared checks run on each value as it is read; the first
// problem ends the parse. Options may come in any order, before or after the operands.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace sim {

class OptionParser {
 public:
  // A check of a value: "" when it is good, else the whole message.
  using Check = std::function<std::string(const std::string&)>;

  // An option without a value.
  OptionParser& flag(const char* name, bool& into);
  // An option with a value; `missing` is the message when the value is missing. A repeated
  // option keeps its last value.
  OptionParser& value(const char* name, std::string& into, std::string missing,
                      Check check = nullptr);
  // A value option naming a file the command writes: listed by outputs(), and an empty value
  // gets the `missing` message too.
  OptionParser& output(const char* name, std::string& into, std::string missing);
  // The words that are not options: at most `most` (`tooMany` beyond that: "%s" stands for the
  // word, "%1" for the first operand); `none` is the message when there are fewer than `least`.
  OptionParser& operands(std::vector<std::string>& into, size_t least, size_t most,
                         std::string none, std::string tooMany);
  // The message for a word that looks like an option and is none; "%s" stands for the word.
  OptionParser& unknown(std::string format);
  // Words that read as numbers are operands even when they start with '-'.
  OptionParser& numberOperands();

  // Reads `args`; false, with `problem`, at the first bad word.
  bool parse(const std::vector<std::string>& args, std::string& problem) const;
  // The output files given (non-empty values of output() options), in declaration order.
  std::vector<std::string> outputs() const;

 private:
  struct Option {
    std::string name;
    bool* flag = nullptr;
    std::string* value = nullptr;
    std::string missing;
    Check check;
    bool output = false;
  };
  std::vector<Option> options_;
  std::vector<std::string>* operands_ = nullptr;
  size_t least_ = 0;
  size_t most_ = 0;
  std::string none_;
  std::string tooMany_;
  std::string unknown_ = "unknown option %s";
  bool numberOperands_ = false;
};

// True when `path` can be created or replaced: its folder exists, is a folder, and this process
// may write into it, and `path` itself is not a folder. Otherwise false, with `problem` set to
// "cannot write PATH: WHY".
bool checkOutput(const std::string& path, std::string& problem);
// The same for each path; the first problem.
bool checkOutputs(const std::vector<std::string>& paths, std::string& problem);

}  // namespace sim
