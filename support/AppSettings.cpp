#include "support/AppSettings.h"

#include "platform/Platform.h"
#include "support/DeploymentConfig.h"
#include "support/FindSystemFolders.h"
#include "support/GUID.h"
#include "support/ProcessWide.h"
#include "support/TaggedFile.h"
#include "support/TolerantRun.h"
#include "support/ValueText.h"
#include "support/modCryptText.h"

namespace dwl {

namespace {

constexpr const char* kTestLine = "<DwlEmailId>1</DwlEmailId>";

// An empty value is stored as an empty line: the cipher cannot encrypt it.
std::string EncryptValue(const std::string& value) {
  return value.empty() ? "" : modCryptText::EncryptString(value, AppSettings::kSettingsKey);
}

std::string DecryptValue(const std::string& value) {
  return value.empty() ? "" : modCryptText::DecryptString(value, AppSettings::kSettingsKey);
}

std::string SecureWebAddress(const std::string& path) {
  return std::string("https://") + deployment::kSecureWebHost + path;
}

}  // namespace

AppSettings::AppSettings() : log_(ApplicationLog::Instance()) { Log("AppSettings.Initialize()"); }

AppSettings::~AppSettings() { Log("AppSettings.ClassTerminate()"); }

std::shared_ptr<AppSettings> AppSettings::Instance() { return ProcessWide<AppSettings>::Get(); }

void AppSettings::ReleaseInstance() { ProcessWide<AppSettings>::Release(); }

void AppSettings::Log(const std::string& message) {
  if (PlatformInstalled()) log_->AddDebugMessage(message);
}

void AppSettings::RefreshSettings() {
  debugMode_ = true;
  displayProgressPopup_ = true;

  remoteServerAddress_ = deployment::kTransferHost;
  updateLatestVersionUrl_ = SecureWebAddress("/website/pages/updates/clientversion.asp");
  updateDownloadUrl_ = SecureWebAddress("/website/pages/updates/downloadupdates.asp");
  fileDownloadUrl_ = deployment::kFileDownloadUrl;
  onlineSystemRoot_ = SecureWebAddress("/");
  commercialWebsiteRoot_ = SecureWebAddress("/website/");
  updateHeaderImageCheckUrl_ = SecureWebAddress("/pages/updates/headerupdate.asp");
  remoteServerPort_ = static_cast<std::int16_t>(deployment::kTransferPort);
  numericVersion_ = 3002002;

  AddProgrammToUserApplicationData();
  ReadSettingsFile();
}

void AppSettings::AddProgrammToUserApplicationData() {
  const Platform& platform = ThePlatform();
  FileSystem& files = *platform.files;
  const char sep = files.Separator();
  Log("Start AppSettings.AddProgrammToUserApplicationData()");

  const std::string appData = FindSystemFolder(csidl::kAppData);
  std::string appDir = appData + sep + "Dropwell" + sep;
  // Without an application-data folder the candidate would be a folder in
  // the file system's root: go to the fallback at once.
  if (!appData.empty()) Log("TestAppDir: " + appDir);
  if (!appData.empty() && TestApplicationDirectory(appDir)) {
    Log("TestAppDir completed succesfully");
  } else {
    // The fallback is named for the folder above the application-data folder
    // (the user's home, or the profile's AppData on Windows).
    const auto last = appData.rfind(sep);
    const std::string parent = last == std::string::npos ? "" : appData.substr(0, last);
    const auto cut = parent.rfind(sep);
    const std::string component = cut == std::string::npos ? parent : parent.substr(cut + 1);
    appDir = platform.shell->ModuleFolder() + sep + "temp" + sep + "UserData" + sep;
    if (!component.empty()) appDir += component + sep;
    Log("TestAppDir failed, AppDir reset: " + appDir);
    if (!TestApplicationDirectory(appDir)) Log("New TestAppDir also failed");
  }

  applicationDirectory_ = appDir;
  settingsFilePath_ = appDir + kSettingsFileName;
  resellerHeaderLocation_ = appDir + "dialog_banner_reseller.jpg";
  mailQueueDirectory_ = appDir + "MailQueue" + sep;

  if (!files.FolderExists(appDir)) files.CreateFolder(appDir, FileAccess::Private);
  if (!files.FolderExists(mailQueueDirectory_)) {
    files.CreateFolder(mailQueueDirectory_, FileAccess::Private);
  }
  if (!files.FileExists(settingsFilePath_)) {
    files.OpenTextForAppending(settingsFilePath_, FileAccess::Private);
  }
  Log("Finished AppSettings.AddProgrammToUserApplicationData()");
}

bool AppSettings::TestApplicationDirectory(const std::string& strAppDir) {
  const Platform& platform = ThePlatform();
  FileSystem& files = *platform.files;
  const std::string testFolder = strAppDir + "testQueue" + files.Separator();
  mailQueueDirectory_ = testFolder;

  TolerantRun run("AppSettings.TestApplicationDirectory");
  std::string testFile;
  run.Run([&] { testFile = testFolder + GuidWithoutBraces(CreateGuidString()) + ".txt"; });
  run.Run([&] {
    if (!files.FolderExists(strAppDir)) files.CreateFolder(strAppDir, FileAccess::Private);
  });
  run.Run([&] {
    if (!files.FolderExists(testFolder)) files.CreateFolder(testFolder, FileAccess::Private);
  });
  run.Run([&] {
    files.OpenTextForAppending(testFile, FileAccess::Private)->WriteLine(kTestLine);
  });
  // Only our own file: whatever else lies in the folder says nothing about it.
  run.Run([&] {
    if (files.OpenTextForReading(testFile)->ReadLine() != kTestLine) {
      throw Error(errc::kPathFileAccess, "AppSettings.TestApplicationDirectory",
                  "The test file reads back differently: " + testFile);
    }
  });
  run.Run([&] { files.RemoveFile(testFile); });

  if (!run.HasPending()) return true;
  Log("TestApplicationDirectory() error-strAppDir: " + strAppDir);
  Log("TestApplicationDirectory() error-message: " + run.Pending()->Description());
  Log("TestApplicationDirectory() error-source: " + run.Pending()->Source());
  return false;
}

void AppSettings::ReadSettingsFile() {
  FileSystem& files = *ThePlatform().files;
  TolerantRun run("AppSettings.ReadSettingsFile");
  {
    const std::unique_ptr<TextReader> file = files.OpenTextForReading(settingsFilePath_);
    TaggedFileReader in(*file);
    for (;;) {
      std::optional<std::string> line;
      if (!run.Run([&] { line = in.NextLine(); }) || !line) break;
      if (*line == "<UserName>") {
        run.Run([&] { username_ = DecryptValue(in.ReadValue()); });
      } else if (*line == "<Password>") {
        run.Run([&] { password_ = DecryptValue(in.ReadValue()); });
      } else if (*line == "<MinimalFileSize>") {
        run.Run([&] { minimalFileSize_ = ToWholeNumber(in.ReadValue()); });
      } else if (*line == "<DisplayProgressPopup>") {
        run.Run([&] { displayProgressPopup_ = ToFlag(in.ReadValue()); });
      } else if (*line == "<AccountGUID>") {
        run.Run([&] { accountGUID_ = DecryptValue(in.ReadValue()); });
      }
    }
  }

  if (!run.HasPending() && username_ != "ERROR") return;
  username_.clear();
  password_.clear();
  minimalFileSize_ = 0;
  Log("AppSettings.ReadSettingsFile() dropped " + settingsFilePath_ + ": " +
      (run.HasPending() ? run.Pending()->Description() : "the user name does not decrypt"));
  try {
    files.RemoveFile(settingsFilePath_);
  } catch (const Error& failure) {
    Log("AppSettings.ReadSettingsFile() could not delete it: " + failure.Description());
  }
}

void AppSettings::SaveSettings() {
  WriteTaggedFile(settingsFilePath_, settingsFilePath_ + ".new", FileAccess::Private,
                  [this](TaggedFileWriter& out) {
                    out.WriteEntry("UserName", EncryptValue(username_));
                    out.WriteEntry("Password", EncryptValue(password_));
                    out.WriteEntry("MinimalFileSize", std::to_string(minimalFileSize_));
                    out.WriteEntry("DisplayProgressPopup", FlagText(displayProgressPopup_));
                    out.WriteEntry("AccountGUID", EncryptValue(accountGUID_));
                  });
}

}  // namespace dwl
