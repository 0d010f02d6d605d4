#include "platform/win32/Win32SettingsStore.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/Error.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Shell.h"

namespace dwl::win32 {
namespace {

// Under an application name of the test's own, removed afterwards.
class Win32SettingsStoreTest : public ::testing::Test {
 protected:
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, Wide("Software\\VB and VBA Program Settings\\" + app).c_str());
  }
  LSTATUS SetRaw(const std::string& key, DWORD type, const void* data, DWORD bytes) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, Wide(Win32SettingsStore::SectionKey(app, "Settings")).c_str(),
                           Wide(key).c_str(), type, data, bytes);
  }

  const std::string app = "DropwellTest" + Win32Shell().NewGuid();
  Win32SettingsStore store;
};

TEST_F(Win32SettingsStoreTest, KeepsValuesWhereTheRuntimeKeepsThem) {
  EXPECT_EQ(store.GetSetting(app, "Settings", "DisplayOnConnect", "0"), "0") << "no key yet";
  store.SaveSetting(app, "Settings", "DisplayOnConnect", "1");
  store.SaveSetting(app, "Other", "DisplayOnConnect", "2");
  store.SaveSetting(app, "Settings", "Text", "Grüße €\r\nzweite Zeile");
  store.SaveSetting(app, "Settings", "DisplayOnConnect", "3");
  EXPECT_EQ(store.GetSetting(app, "Settings", "DisplayOnConnect", ""), "3");
  EXPECT_EQ(store.GetSetting(app, "Other", "DisplayOnConnect", ""), "2");
  EXPECT_EQ(store.GetSetting(app, "Settings", "Text", ""), "Grüße €\r\nzweite Zeile");
  EXPECT_EQ(store.GetSetting(app, "Settings", "Missing", "none"), "none");

  wchar_t text[8] = {};
  DWORD bytes = sizeof text;
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER,
                         (L"Software\\VB and VBA Program Settings\\" + Wide(app) + L"\\Settings").c_str(),
                         L"DisplayOnConnect", RRF_RT_REG_SZ, nullptr, text, &bytes),
            ERROR_SUCCESS);
  EXPECT_STREQ(text, L"3");
}

TEST_F(Win32SettingsStoreTest, OnlyTextOfBoundedLengthIsReadOrSaved) {
  const DWORD number = 1;
  const std::wstring huge(Win32SettingsStore::kMaxValueChars + 1, L'x');
  ASSERT_EQ(SetRaw("Number", REG_DWORD, &number, sizeof number), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw("Expandable", REG_EXPAND_SZ, L"1", sizeof L"1"), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw("Huge", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * 2)), ERROR_SUCCESS);
  ASSERT_EQ(SetRaw("Unterminated", REG_SZ, L"12", 2), ERROR_SUCCESS);  // "1" without its NUL
  for (const char* key : {"Number", "Expandable", "Huge"}) {
    EXPECT_EQ(store.GetSetting(app, "Settings", key, "default"), "default") << key;
  }
  EXPECT_EQ(store.GetSetting(app, "Settings", "Unterminated", "default"), "1");

  const std::string longest(Win32SettingsStore::kMaxValueChars, 'y');
  store.SaveSetting(app, "Settings", "Longest", longest);
  EXPECT_TRUE(store.GetSetting(app, "Settings", "Longest", "") == longest);
  try {
    store.SaveSetting(app, "Settings", "Longest", longest + "y");
    ADD_FAILURE() << "saved a value too long to be read back";
  } catch (const Error& failure) {
    EXPECT_EQ(failure.Number(), errc::kOverflow);
  }
  // No key name is longer than 255 characters.
  EXPECT_THROW(store.SaveSetting(app, std::string(300, 's'), "DisplayOnConnect", "1"), Error);
}

}  // namespace
}  // namespace dwl::win32
