// dwl sim: drives the add-in through a simulated Outlook with a script.
#include <fstream>
#include <iostream>

#include "apps/dwl/SimSession.h"
#include "apps/dwl/Subcommands.h"

namespace dwl::cli {

namespace {

constexpr const char* kUsage =
    "usage: dwl sim SCRIPT     (- reads the script from standard input)\n"
    "\n"
    "Runs the add-in in a simulated Outlook, one command per line, and prints\n"
    "what the script asks to print. A wrong command stops the run with its line\n"
    "number (exit 2); a failure the add-in returns to the host is printed as\n"
    "'host got error: <number> <description>' and the run goes on.\n\n";

}  // namespace

int RunSim(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    out << kUsage << SimSession::Help();
    return 0;
  }
  if (args.size() != 1) {
    err << "dwl sim: give one script, or - for standard input (see dwl sim --help)\n";
    return 2;
  }
  std::ifstream file;
  std::istream* script = &std::cin;
  const std::string name = args[0] == "-" ? "<stdin>" : args[0];
  if (args[0] != "-") {
    file.open(args[0]);
    if (!file) {
      err << "dwl sim: cannot read " << args[0] << "\n";
      return 1;
    }
    script = &file;
  }

  try {
    SimSession session(out);
    std::string line;
    for (int number = 1; std::getline(*script, line); ++number) {
      try {
        const std::vector<std::string> words = SplitScriptLine(line);
        if (!words.empty()) session.Execute(words);
      } catch (const SimUsageError& problem) {
        out.flush();
        err << "dwl sim: " << name << ":" << number << ": " << problem.what() << "\n";
        return 2;
      }
    }
  } catch (const Error& failure) {
    err << "dwl sim: " << failure.Description() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace dwl::cli
