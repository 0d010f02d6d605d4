// The add-in DLL's platform: while the DLL is referenced the core finds the
// Windows services with the host's safe mail item, and afterwards what was
// there before.
#include "apps/addin/ServerModule.h"

// Before <windows.h>: Asio needs <winsock2.h> first.
#include "tests/TestPlatform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/win32/com/ComApartment.h"
#include "platform/win32/outlook/OutlookSafeMailItem.h"

namespace dwl::addin {
namespace {

TEST(ServerModuleTest, TheDllsPlatformMakesSafeMailItemsAndLeavesInOrder) {
  testing::TestPlatform platform;
  win32::com::ComApartment apartment;
  const Platform before = ThePlatform();

  ServerModule::AddReference();
  ServerModule::AddReference();
  const Platform during = ThePlatform();
  ServerModule::ReleaseReference();
  EXPECT_EQ(ThePlatform().objects, during.objects);  // still referenced
  ASSERT_NE(during.objects, nullptr);
  EXPECT_NE(during.files, before.files);
  const auto safe = during.objects->CreateSafeMailItem("RedemptionDWL.DWLSafeMailItem");
  EXPECT_NE(dynamic_cast<win32::outlook::OutlookSafeMailItem*>(safe.get()), nullptr);
  ServerModule::ReleaseReference();

  EXPECT_TRUE(ServerModule::CanUnload());
  EXPECT_EQ(ThePlatform().files, before.files);
  EXPECT_EQ(ThePlatform().objects, before.objects);
}

}  // namespace
}  // namespace dwl::addin
