#include <algorithm>
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

}  // namespace

int RunDwl(const Arguments& args, std::ostream& out, std::ostream& err) {
  CLI::App app("The Dropwell add-in's command-line tool.", "dwl");
  app.footer("'dwl SUBCOMMAND --help' tells more about one.");
  app.require_subcommand(1);
  CLI::App* chosen[std::size(kSubcommands)];
  for (std::size_t i = 0; i < std::size(kSubcommands); ++i) {
    chosen[i] = app.add_subcommand(kSubcommands[i].name, kSubcommands[i].summary);
  }
  // The first word chooses the subcommand, which reads the rest as they are.
  const Arguments first(args.begin(), args.begin() + std::min<std::size_t>(args.size(), 1));
  if (const std::optional<int> done = Parse(app, first, out, err)) return *done;
  for (std::size_t i = 0; i < std::size(kSubcommands); ++i) {
    if (chosen[i]->parsed()) return kSubcommands[i].run(Arguments(std::next(args.begin()), args.end()), out, err);
  }
  return kWrongUsage;  // require_subcommand(1) chose one
}

}  // namespace dwl::cli
