// The dwl tool: one table of subcommands, each a name, a one-line summary and
// a handler. Each handler reads its arguments with apps/CommandLine.h and
// returns 0 on success, 1 on failure and 2 on wrong usage, printing one clear
// line for either.
#pragma once

#include <ostream>

#include "apps/CommandLine.h"

namespace dwl::cli {

struct Subcommand {
  const char* name;
  const char* summary;
  int (*run)(const Arguments& args, std::ostream& out, std::ostream& err);
};

// `dwl config ...`: shows and changes the user's settings.
int RunConfig(const Arguments& args, std::ostream& out, std::ostream& err);

// `dwl sim SCRIPT`: drives the add-in through a simulated Outlook.
int RunSim(const Arguments& args, std::ostream& out, std::ostream& err);
// `dwl server ...`: the reference transfer server.
int RunServer(const Arguments& args, std::ostream& out, std::ostream& err);

// `dwl upload ...`: uploads files as one e-mail.
int RunUpload(const Arguments& args, std::ostream& out, std::ostream& err);

// The whole tool: args[0] is the subcommand.
int RunDwl(const Arguments& args, std::ostream& out, std::ostream& err);

}  // namespace dwl::cli
