// dwl: the Dropwell add-in's command-line tool.
#include <iostream>

#include "apps/dwl/Subcommands.h"
#include "platform/SystemPlatform.h"
#include "support/AppSettings.h"

int main(int argc, char** argv) {
  dwl::SystemPlatform platform;
  const int code = dwl::cli::RunDwl(dwl::cli::ProgramArguments(argc, argv), std::cout, std::cerr);
  // The singletons log as they go; let them go while the platform is here.
  dwl::AppSettings::ReleaseInstance();
  dwl::ApplicationLog::ReleaseInstance();
  return code;
}
