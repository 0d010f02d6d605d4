// The process-wide settings: the service's compiled-in addresses, the user's
// account (stored encrypted in settings.cfg) and two preferences, and the
// per-user folders: the application folder with settings.cfg and MailQueue/.
// RefreshSettings must run before anything copies the queue folder.
// Single-threaded; the setters change memory only until SaveSettings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "support/ApplicationLog.h"

namespace dwl {

class AppSettings {
 public:
  // Encrypts and decrypts the account values in settings.cfg.
  static constexpr const char* kSettingsKey = "ginkgoKEY407162385";
  static constexpr const char* kSettingsFileName = "settings.cfg";

  AppSettings();
  ~AppSettings();
  AppSettings(const AppSettings&) = delete;
  AppSettings& operator=(const AppSettings&) = delete;

  // The process-wide settings, made at the first request.
  static std::shared_ptr<AppSettings> Instance();
  static void ReleaseInstance();

  // Sets the compiled-in values, chooses, tests and creates the folders, and
  // reads settings.cfg. Throws when a folder or the file cannot be made or
  // opened; a file that cannot be parsed is dropped instead.
  void RefreshSettings();
  // Writes settings.cfg anew; the old file stays until the new one is whole.
  void SaveSettings();

  std::int32_t getNumericVersion() const { return numericVersion_; }
  const std::string& getRemoteServerAddress() const { return remoteServerAddress_; }
  const std::string& getResellerHeaderLocation() const { return resellerHeaderLocation_; }
  std::int16_t getRemoteServerPort() const { return remoteServerPort_; }
  // Another transfer server than the compiled-in one, until the next
  // RefreshSettings (tools, tests). A port above 32767 keeps its 16 bits.
  void setRemoteServer(const std::string& address, std::uint16_t port) {
    remoteServerAddress_ = address;
    remoteServerPort_ = static_cast<std::int16_t>(port);
  }
  bool getDebugMode() const { return debugMode_; }
  const std::string& getUsername() const { return username_; }
  void setUsername(const std::string& Username) { username_ = Username; }
  const std::string& getAccountGUID() const { return accountGUID_; }
  void setAccountGUID(const std::string& AccountGUID) { accountGUID_ = AccountGUID; }
  const std::string& getPassword() const { return password_; }
  void setPassword(const std::string& Password) { password_ = Password; }
  const std::string& getUpdateLatestVersionUrl() const { return updateLatestVersionUrl_; }
  const std::string& getUpdateDownloadUrl() const { return updateDownloadUrl_; }
  const std::string& getUpdateHeaderImageCheckUrl() const { return updateHeaderImageCheckUrl_; }
  std::int32_t getMinimalFileSize() const { return minimalFileSize_; }
  void setMinimalFileSize(std::int32_t MinimalFileSize) { minimalFileSize_ = MinimalFileSize; }
  bool getDisplayProgressPopup() const { return displayProgressPopup_; }
  void setDisplayProgressPopup(bool DisplayProgressPopup) {
    displayProgressPopup_ = DisplayProgressPopup;
  }
  const std::string& getFileDownloadUrl() const { return fileDownloadUrl_; }
  // Ends with the separator.
  const std::string& getMailQueueDirectory() const { return mailQueueDirectory_; }
  const std::string& getOnlineSystemRoot() const { return onlineSystemRoot_; }
  const std::string& getCommercialWebsiteRoot() const { return commercialWebsiteRoot_; }

  // Where the user's files are, for tools that report it. Ends with the separator.
  const std::string& getApplicationDirectory() const { return applicationDirectory_; }
  const std::string& getSettingsFilePath() const { return settingsFilePath_; }

 private:
  void ReadSettingsFile();
  void AddProgrammToUserApplicationData();
  bool TestApplicationDirectory(const std::string& strAppDir);
  void Log(const std::string& message);

  std::string remoteServerAddress_;
  std::int16_t remoteServerPort_ = 0;
  std::string accountGUID_;
  std::string username_;
  std::string password_;
  std::string updateLatestVersionUrl_;
  std::string updateDownloadUrl_;
  std::string fileDownloadUrl_;
  std::int32_t minimalFileSize_ = 0;
  std::string settingsFilePath_;
  std::string onlineSystemRoot_;
  std::string commercialWebsiteRoot_;
  bool debugMode_ = false;
  std::string updateHeaderImageCheckUrl_;
  std::string resellerHeaderLocation_;
  std::int32_t numericVersion_ = 0;
  bool displayProgressPopup_ = false;
  std::shared_ptr<ApplicationLog> log_;
  std::string mailQueueDirectory_;
  std::string applicationDirectory_;
};

}  // namespace dwl
