#include "addin/Connect.h"

#include <gtest/gtest.h>

#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

class ConnectTest : public ::testing::Test {
 protected:
  std::string Stored() {
    return host.settingsStore.GetSetting(Connect::kSettingsAppTitle, Connect::kSettingsSection,
                                         Connect::kDisplayOnConnect, "(none)");
  }
  void Store(const std::string& value) {
    host.settingsStore.SaveSetting(Connect::kSettingsAppTitle, Connect::kSettingsSection,
                                   Connect::kDisplayOnConnect, value);
  }
  bool Shown(const Connect& connect) {
    return connect.OwnHubWindow() && connect.OwnHubWindow()->Visible();
  }
  testing::SimHost host;
};

TEST_F(ConnectTest, AtHostStartUpNoWindowShowsWhateverIsStored) {
  Store("1");
  const auto connect = host.ConnectAddIn(1);
  EXPECT_FALSE(Shown(*connect));
  EXPECT_TRUE(frmAddIn::Instance()->Listening());
  EXPECT_TRUE(frmAddIn::Instance()->Loaded()) << "initialising loads the hub";
}

TEST_F(ConnectTest, AfterStartUpOnlyAStoredOneShowsTheWindow) {
  for (const char* value : {"0", " 1", "1 ", "true", ""}) {
    Store(value);
    const auto connect = host.ConnectAddIn(0);
    EXPECT_FALSE(Shown(*connect)) << "'" << value << "'";
    host.DisconnectAddIn(connect);
  }
  Store("1");
  const auto connect = host.ConnectAddIn(0);
  EXPECT_TRUE(Shown(*connect));
  EXPECT_NE(connect->OwnHubWindow(), frmAddIn::Instance()) << "its own window, not the hub";
}

TEST_F(ConnectTest, AnExternalClientAlwaysShowsTheWindow) {
  const auto connect = host.ConnectAddIn(2);
  EXPECT_TRUE(Shown(*connect));
}

TEST_F(ConnectTest, DisconnectingRemembersWhetherTheWindowWasShown) {
  auto connect = host.ConnectAddIn(1);
  host.DisconnectAddIn(connect);
  EXPECT_EQ(Stored(), "0");
  EXPECT_FALSE(frmAddIn::Instance()->Listening());

  connect = host.ConnectAddIn(1);
  connect->Show();
  host.DisconnectAddIn(connect);
  EXPECT_EQ(Stored(), "1");
  EXPECT_EQ(connect->OwnHubWindow(), nullptr) << "the window was unloaded and released";

  connect = host.ConnectAddIn(1);
  connect->Show();
  connect->Hide();
  host.DisconnectAddIn(connect);
  EXPECT_EQ(Stored(), "0");
}

}  // namespace
}  // namespace dwl
