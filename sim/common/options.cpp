#include "options.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace sim {
namespace {

namespace fs = std::filesystem;

bool isNumber(const std::string& word) {
  if (word.empty()) return false;
  char* end = nullptr;
  std::strtod(word.c_str(), &end);
  return end == word.c_str() + word.size();
}

std::string formatted(const std::string& format, const std::string& word) {
  std::string out = format;
  size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, word);
  return out;
}

}  // namespace

OptionParser& OptionParser::flag(const char* name, bool& into) {
  Option option;
  option.name = name;
  option.flag = &into;
  options_.push_back(std::move(option));
  return *this;
}

OptionParser& OptionParser::value(const char* name, std::string& into, std::string missing,
                                  Check check) {
  Option option;
  option.name = name;
  option.value = &into;
  option.missing = std::move(missing);
  option.check = std::move(check);
  options_.push_back(std::move(option));
  return *this;
}

OptionParser& OptionParser::output(const char* name, std::string& into, std::string missing) {
  std::string empty = missing;
  value(name, into, std::move(missing),
        [empty](const std::string& path) { return path.empty() ? empty : std::string(); });
  options_.back().output = true;
  return *this;
}

OptionParser& OptionParser::operands(std::vector<std::string>& into, size_t least, size_t most,
                                     std::string none, std::string tooMany) {
  operands_ = &into;
  least_ = least;
  most_ = most;
  none_ = std::move(none);
  tooMany_ = std::move(tooMany);
  return *this;
}

OptionParser& OptionParser::unknown(std::string format) {
  unknown_ = std::move(format);
  return *this;
}

OptionParser& OptionParser::numberOperands() {
  numberOperands_ = true;
  return *this;
}

bool OptionParser::parse(const std::vector<std::string>& args, std::string& problem) const {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    const Option* option = nullptr;
    for (const Option& candidate : options_) {
      if (candidate.name == word) option = &candidate;
    }
    if (option != nullptr && option->flag != nullptr) {
      *option->flag = true;
      continue;
    }
    if (option != nullptr) {
      if (i + 1 >= args.size()) {
        problem = option->missing;
        return false;
      }
      *option->value = args[++i];
      if (option->check) {
        problem = option->check(*option->value);
        if (!problem.empty()) return false;
      }
      continue;
    }
    bool looksLikeOption = word.size() > 1 && word[0] == '-';
    if (looksLikeOption && !(numberOperands_ && isNumber(word))) {
      problem = formatted(unknown_, word);
      return false;
    }
    if (operands_ == nullptr || operands_->size() >= most_) {
      problem = formatted(tooMany_.empty() ? unknown_ : tooMany_, word);
      size_t first = problem.find("%1");
      if (first != std::string::npos && operands_ != nullptr && !operands_->empty())
        problem.replace(first, 2, operands_->front());
      return false;
    }
    operands_->push_back(word);
  }
  if (operands_ != nullptr && operands_->size() < least_) {
    problem = none_;
    return false;
  }
  return true;
}

std::vector<std::string> OptionParser::outputs() const {
  std::vector<std::string> paths;
  for (const Option& option : options_) {
    if (option.output && !option.value->empty()) paths.push_back(*option.value);
  }
  return paths;
}

bool checkOutput(const std::string& path, std::string& problem) {
  std::error_code error;
  fs::path folder = fs::path(path).parent_path();
  if (folder.empty()) folder = ".";
  std::string why;
  if (!fs::exists(folder, error)) {
    why = "no folder " + folder.string();
  } else if (!fs::is_directory(folder, error)) {
    why = folder.string() + " is not a folder";
  } else if (access(folder.c_str(), W_OK | X_OK) != 0) {
    why = "the folder " + folder.string() + " is not writable";
  } else if (fs::is_directory(path, error)) {
    why = "it is a folder";
  } else if (fs::exists(path, error) && access(path.c_str(), W_OK) != 0) {
    why = "the file is not writable";
  }
  if (why.empty()) return true;
  problem = "cannot write " + path + ": " + why;
  return false;
}

bool checkOutputs(const std::vector<std::string>& paths, std::string& problem) {
  for (const std::string& path : paths) {
    if (!checkOutput(path, problem)) return false;
  }
  return true;
}

}  // namespace sim
