// dwl sim: drives the add-in through a simulated Outlook with a script.
#include <fstream>
#include <iostream>

#include "apps/sim/InProcessAddIn.h"
#include "apps/sim/SimSession.h"
#ifdef _WIN32
#include "apps/sim/DllAddIn.h"
#endif
#include "apps/dwl/Subcommands.h"

namespace dwl::cli {

namespace {

constexpr const char* kDescription =
    "Runs the add-in in a simulated Outlook, one command per line, and prints\n"
    "what the script asks to print. A wrong command stops the run with its line\n"
    "number (exit 2); a failure the add-in returns to the host is printed as\n"
    "'host got error: <number> <description>' and the run goes on.";

}  // namespace

int RunSim(const Arguments& args, std::ostream& out, std::ostream& err) {
  CLI::App app(kDescription, "dwl sim");
  app.footer(SimSession::Help());
  std::string path;
  app.add_option("SCRIPT", path, "the script; - reads it from standard input")->type_name("")->required();
#ifdef _WIN32
  std::string addInPath;
  app.add_option("--addin", addInPath,
                 "load the add-in from this DWLOutlookAddin.dll, registered for this user, as Outlook does")
      ->type_name("PATH");
#endif
  if (const std::optional<int> done = Parse(app, args, out, err)) return *done;

  std::ifstream file;
  std::istream* script = &std::cin;
  const std::string name = path == "-" ? "<stdin>" : path;
  if (path != "-") {
    file.open(path);
    if (!file) return Fail(err, "dwl sim", "cannot read " + path);
    script = &file;
  }

  try {
    std::unique_ptr<SimAddIn> addIn;
#ifdef _WIN32
    if (!addInPath.empty()) addIn = std::make_unique<DllAddIn>(addInPath, out, err);
#endif
    if (!addIn) addIn = std::make_unique<InProcessAddIn>(out, err);
    SimSession session(out, std::move(addIn));
    std::string line;
    for (int number = 1; std::getline(*script, line); ++number) {
      try {
        const std::vector<std::string> words = SplitScriptLine(line);
        if (!words.empty()) session.Execute(words);
      } catch (const SimUsageError& problem) {
        out.flush();
        err << "dwl sim: " << name << ":" << number << ": " << problem.what() << "\n";
        return kWrongUsage;
      }
    }
  } catch (const Error& failure) {
    return Fail(err, "dwl sim", failure.Description());
  }
  return 0;
}

}  // namespace dwl::cli
