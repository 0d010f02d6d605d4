// The programs' arguments, read with CLI11, and the exit codes README.md
// states: 0 on success (and after --help, which prints the help to standard
// output), 1 on failure and 2 on wrong usage, each failure or wrong usage with
// one line on standard error.
#pragma once

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "platform/win32/CommandLineArguments.h"
#endif

namespace dwl::cli {

// A program's arguments, without its name.
using Arguments = std::vector<std::string>;

// What main() was given, without the program's name, in UTF-8.
inline Arguments ProgramArguments([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
  return win32::CommandLineArguments();
#else
  return Arguments(argv + 1, argv + argc);
#endif
}

constexpr int kFailure = 1;
constexpr int kWrongUsage = 2;

// A failure while running: "PROGRAM: problem"; returns kFailure.
inline int Fail(std::ostream& err, const std::string& program, const std::string& problem) {
  err << program << ": " << problem << "\n";
  return kFailure;
}

namespace detail {

// "dwl config set" for the subcommand set of the app named "dwl config".
inline std::string FullName(const CLI::App& app) {
  const CLI::App* parent = app.get_parent();
  return parent == nullptr ? app.get_name() : FullName(*parent) + " " + app.get_name();
}

// The innermost subcommand the arguments reached: the one whose usage was wrong.
inline const CLI::App& Innermost(const CLI::App& app) {
  const std::vector<CLI::App*> chosen = app.get_subcommands();
  return chosen.empty() ? app : Innermost(*chosen.front());
}

// What is wrong, in one line. CLI11's own words, but clearer in three cases:
// "A subcommand is required" lists the choices; a required argument missing
// after an unknown word ("dwl sim --bogus") names that word too; and
// "--port: 1 required N missing" becomes "--port: needs a value".
inline std::string Problem(const CLI::App& app, const CLI::ParseError& error) {
  std::string problem = error.what();
  const std::vector<std::string> unknown = app.remaining();
  const auto choices = app.get_subcommands([](const CLI::App*) { return true; });
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    if (!choices.empty() && app.get_subcommands().empty()) {
      problem = "expected one of";
      for (const CLI::App* choice : choices) problem += (choice == choices.front() ? " " : ", ") + choice->get_name();
    }
    if (!unknown.empty()) problem = "unknown '" + unknown.front() + "'; " + problem;
  }
  const std::size_t colon = problem.find(": ");
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr && colon != std::string::npos &&
      problem.ends_with(" missing")) {
    problem = problem.substr(0, colon) + ": needs a value";
  }
  std::replace(problem.begin(), problem.end(), '\n', ' ');
  return problem;
}

}  // namespace detail

// Reads `args` into `app`, whose name is the program's ("dwl server"). Returns
// the exit code when the program is done already: 0 after printing the help
// to `out`, kWrongUsage after printing "PROGRAM: <what is wrong> (see PROGRAM
// --help)" to `err`; nothing when it goes on.
inline std::optional<int> Parse(CLI::App& app, Arguments args, std::ostream& out, std::ostream& err) {
  std::reverse(args.begin(), args.end());  // CLI11 takes them last first
  try {
    app.parse(args);
    return std::nullopt;
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    const CLI::App& where = detail::Innermost(app);
    const std::string program = detail::FullName(where);
    err << program << ": " << detail::Problem(where, error) << " (see " << program << " --help)\n";
    return kWrongUsage;
  }
}

// A whole decimal number from `least` to `most`, for Option::transform. It
// hands CLI11 the number without leading zeros, which CLI11 would read as
// octal (and 0x10 as hexadecimal).
template <class Number>
CLI::Validator WholeNumber(Number least, Number most) {
  return CLI::Validator(
      [least, most](std::string& text) -> std::string {
        Number value{};
        const char* end = text.data() + text.size();
        const auto result = std::from_chars(text.data(), end, value);
        if (text.empty() || result.ec != std::errc() || result.ptr != end || value < least || value > most) {
          return "takes a whole number from " + std::to_string(least) + " to " + std::to_string(most) +
                 ", not '" + text + "'";
        }
        text = std::to_string(value);
        return {};
      },
      "");
}

// For Option::check: the value must not be empty.
inline CLI::Validator NotEmpty() {
  return CLI::Validator([](std::string& text) { return text.empty() ? "must not be empty" : std::string(); },
                        "");
}

}  // namespace dwl::cli
