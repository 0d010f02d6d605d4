#include <iterator>

#include "apps/dwl/Subcommands.h"

namespace dwl::cli {

namespace {

const Subcommand kSubcommands[] = {
    {"config", "show and change the user's Dropwell settings", RunConfig},
    {"sim", "run the add-in in a simulated Outlook, driven by a script", RunSim},
    {"server", "run a transfer server for trying and testing the client", RunServer},
    {"upload", "upload files as one e-mail to the transfer server", RunUpload},
};

void PrintHelp(std::ostream& out) {
  out << "usage: dwl SUBCOMMAND [ARGS...]\n\n"
         "The Dropwell add-in's command-line tool.\n\nsubcommands:\n";
  for (const Subcommand& command : kSubcommands) {
    out << "  " << command.name << std::string(10 - std::char_traits<char>::length(command.name), ' ')
        << command.summary << "\n";
  }
  out << "\n'dwl SUBCOMMAND --help' tells more about one.\n";
}

}  // namespace

int RunDwl(const Arguments& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "dwl: missing subcommand (see dwl --help)\n";
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintHelp(out);
    return 0;
  }
  for (const Subcommand& command : kSubcommands) {
    if (args[0] == command.name) {
      return command.run(Arguments(std::next(args.begin()), args.end()), out, err);
    }
  }
  err << "dwl: unknown subcommand '" << args[0] << "' (see dwl --help)\n";
  return 2;
}

}  // namespace dwl::cli
