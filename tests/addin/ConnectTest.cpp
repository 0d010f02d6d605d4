#include "addin/Connect.h"

#include <gtest/gtest.h>

#include "tests/addin/SimHost.h"

namespace dwl {
namespace {

// tests/sim/display remembers a window shown from the start, and one never
// shown; here one shown and hidden again.
TEST(ConnectTest, DisconnectingRemembersWhetherTheWindowIsShownAndReleasesIt) {
  testing::SimHost host;
  auto connect = host.ConnectAddIn(1);
  connect->Show();
  connect->Hide();
  host.outlook->DisconnectAddIn(*connect);
  EXPECT_EQ(host.settingsStore.GetSetting(Connect::kSettingsAppTitle, Connect::kSettingsSection,
                                          Connect::kDisplayOnConnect, "(none)"),
            "0");
  EXPECT_EQ(connect->OwnHubWindow(), nullptr) << "the window was unloaded and released";
  EXPECT_FALSE(frmAddIn::Instance()->Listening());
}

}  // namespace
}  // namespace dwl
