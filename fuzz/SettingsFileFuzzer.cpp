// The settings-file reader on any bytes: AppSettings::RefreshSettings with
// settings.cfg holding the input never fails (a file it cannot use is
// dropped), a kept file never leaves the account at "ERROR", a dropped one
// clears it, and what SaveSettings then writes reads back the same.
#include <filesystem>

#include "fuzz/FuzzSupport.h"
#include "support/AppSettings.h"

namespace dwl::fuzz {
namespace {

const std::string& SettingsFile() {
  static const std::string path = [] {
    Sandbox();
    const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
    settings->RefreshSettings();
    return settings->getSettingsFilePath();
  }();
  return path;
}

// A refreshed settings object of its own, as the add-in makes at start-up.
std::shared_ptr<AppSettings> Refreshed() {
  AppSettings::ReleaseInstance();
  const std::shared_ptr<AppSettings> settings = AppSettings::Instance();
  try {
    settings->RefreshSettings();
  } catch (const Error& failure) {
    Broken(__FILE__, __LINE__, "RefreshSettings failed: " + failure.Description());
  }
  FUZZ_CHECK(settings->getSettingsFilePath() == SettingsFile(),
             "the settings moved to " + settings->getSettingsFilePath());
  return settings;
}

std::string Values(const AppSettings& settings) {
  return "user=[" + Shown(settings.getUsername()) + "] password=[" + Shown(settings.getPassword()) +
         "] guid=[" + Shown(settings.getAccountGUID()) + "] minimal=" +
         std::to_string(settings.getMinimalFileSize()) +
         " popup=" + (settings.getDisplayProgressPopup() ? "1" : "0");
}

}  // namespace
}  // namespace dwl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace dwl::fuzz;
  const std::string& file = SettingsFile();
  dwl::testing::WriteBytes(file, Text(data, size));

  const std::shared_ptr<dwl::AppSettings> read = Refreshed();
  if (std::filesystem::exists(file)) {
    FUZZ_CHECK(read->getUsername() != "ERROR", "a kept file whose user name does not decrypt");
  } else {
    FUZZ_CHECK(read->getUsername().empty() && read->getPassword().empty() &&
                   read->getMinimalFileSize() == 0,
               "a dropped file left " + Values(*read));
  }

  try {
    read->SaveSettings();
  } catch (const dwl::Error& failure) {
    Broken(__FILE__, __LINE__, "SaveSettings failed: " + failure.Description());
  }
  const std::shared_ptr<dwl::AppSettings> again = Refreshed();
  FUZZ_CHECK(std::filesystem::exists(file), "a saved file was dropped: " + Values(*read));
  FUZZ_CHECK(Values(*again) == Values(*read),
             "saved: " + Values(*read) + "\nread back: " + Values(*again));
  return 0;
}
