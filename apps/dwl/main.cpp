// dwl: the Dropwell add-in's command-line tool.
#include <iostream>

#include "apps/dwl/Subcommands.h"
#include "platform/portable/PortablePlatform.h"
#include "support/AppSettings.h"

int main(int argc, char** argv) {
  dwl::portable::PortablePlatform platform;
  const int code = dwl::cli::RunDwl(dwl::cli::Arguments(argv + 1, argv + argc), std::cout, std::cerr);
  // The singletons log as they go; let them go while the platform is here.
  dwl::AppSettings::ReleaseInstance();
  dwl::ApplicationLog::ReleaseInstance();
  return code;
}
