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
  testing::SimHost host;
};

// tests/sim/display remembers a window shown from the start, and one never shown.
TEST_F(ConnectTest, DisconnectingRemembersWhetherTheWindowIsShownAndReleasesIt) {
  auto connect = host.ConnectAddIn(1);
  connect->Show();
  host.outlook->DisconnectAddIn(*connect);
  EXPECT_EQ(Stored(), "1");
  EXPECT_EQ(connect->OwnHubWindow(), nullptr) << "the window was unloaded and released";
  EXPECT_FALSE(frmAddIn::Instance()->Listening());

  connect = host.ConnectAddIn(1);
  connect->Show();
  connect->Hide();
  host.outlook->DisconnectAddIn(*connect);
  EXPECT_EQ(Stored(), "0");
}

}  // namespace
}  // namespace dwl
