// The words of a `dwl sim` script line and the small checks of its commands.
// A wrong line throws SimUsageError, which stops the run with the line number.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace dwl::cli {

class SimUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits a script line into words: blanks separate, double or single quotes
// group (each may hold the other), and "#" outside quotes starts a comment.
// Throws SimUsageError for an open quote.
std::vector<std::string> SplitScriptLine(const std::string& line);

// Throws SimUsageError with `message` unless `condition` holds.
void Require(bool condition, const std::string& message);
// `text` as a whole number; `what` names it in the error.
int WholeNumber(const std::string& text, const std::string& what);
// The value of `word` when it reads NAME=VALUE, else nullopt.
std::optional<std::string> Option(const std::string& word, const std::string& name);
// A UTF-8 path as the system's path (on Windows a plain string would be read
// in the ANSI code page).
std::filesystem::path PathOf(const std::string& utf8);
// A file as it is, line breaks included.
std::string FileBytes(const std::string& path);

}  // namespace dwl::cli
