// The safe mail item of the Windows host: the wrapper over the simulated
// Outlook shown over COM, held against the simulated safe mail item, and the
// factory that chooses between it and a registered component.
#include "platform/win32/outlook/OutlookSafeMailItem.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/sim/SimOutlook.h"
#include "platform/sim/SimSafeMailItem.h"
#include "platform/win32/com/ComApartment.h"
#include "platform/win32/outlook/OutlookItems.h"
#include "platform/win32/outlook/OutlookObjectFactory.h"
#include "platform/win32/simcom/SimComOutlook.h"
#include "tests/platform/win32/CaughtError.h"

namespace dwl::win32::outlook {
namespace {

using com::ComVariant;

// A component with the safe mail item's Item and Subject, which answers
// from the item it was given in words of its own.
constexpr simcom::Member kComponentMembers[] = {{L"Item", 1, simcom::MemberKind::GetPut, 0},
                                                {L"Subject", 2, simcom::MemberKind::Get, 0}};
class FakeComponent : public simcom::AutomationObject {
 public:
  FakeComponent() : AutomationObject(kComponentMembers) {}

 private:
  ComVariant Call(const simcom::Member&, bool put, std::span<const ComVariant> args) override {
    if (put) item_ = com::DispatchObject(args.back().ToObject());
    return put ? ComVariant() : ComVariant("component: " + item_.Get("Subject").ToText());
  }
  com::DispatchObject item_;
};

// A registered class whose factory refuses to make it. Lives on the stack.
class RefusingFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override {
    *out = nullptr;
    return E_ACCESSDENIED;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

class OutlookSafeMailItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    outlook = sim::SimOutlook::Create("12.0.6423", 1);
    mail = outlook->Open("Report", sim::SimOutlook::ItemKind::Mail, false, false)->Mail();
    mail->subject = "Plans";
    mail->to = {"a@example.com", "b@example.com"};
    mail->cc = {"c@example.com"};
    mail->bcc = {"d@example.com"};
    mail->hostAttachments = 2;
  }
  // Every COM object taken has been let go of.
  void TearDown() override { EXPECT_EQ(simcom::LiveObjectCount(), 0); }

  // The mail item as the add-in has it from the host.
  std::shared_ptr<host::MailItem> HostMail() {
    return ItemAdapter(com::DispatchObject(simcom::ExposeItem(mail, true))).AsMailItem();
  }

  com::ComApartment apartment;
  std::shared_ptr<sim::SimOutlook> outlook;
  std::shared_ptr<sim::SimMailItem> mail;
};

TEST_F(OutlookSafeMailItemTest, ReadsTheMessageAsTheSimulatedOneDoes) {
  sim::SimSafeMailItem simulated;
  simulated.SetItem(mail);
  OutlookSafeMailItem wrapper;
  wrapper.SetItem(HostMail());
  for (host::SafeMailItem* safe : std::vector<host::SafeMailItem*>{&simulated, &wrapper}) {
    SCOPED_TRACE(safe == &wrapper ? "wrapper" : "simulated");
    EXPECT_EQ(safe->Subject(), "Plans");
    EXPECT_EQ(safe->Attachments()->Count(), 2);
    const auto recipients = safe->Recipients();
    std::vector<std::string> addresses;
    for (int i = 1; i <= recipients->Count(); ++i) addresses.push_back(recipients->Item(i)->Address());
    EXPECT_EQ(addresses, (std::vector<std::string>{"a@example.com", "b@example.com", "c@example.com",
                                                   "d@example.com"}));
    EXPECT_EQ(testing::CaughtError([&] { recipients->Item(5); }).Number(), errc::kInvalidCall);
  }
}

TEST_F(OutlookSafeMailItemTest, WritesTheItemAndReadsItBackFromTheItem) {
  OutlookSafeMailItem safe;
  EXPECT_EQ(testing::CaughtError([&] { safe.Body(); }).Number(), 91);
  // Only the host's own mail item will do.
  EXPECT_EQ(testing::CaughtError([&] { safe.SetItem(mail); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(testing::CaughtError([&] { safe.SetItem(nullptr); }).Number(), errc::kTypeMismatch);
  safe.SetItem(HostMail());
  safe.SetBody("plain");
  safe.SetHTMLBody("<p>rich</p>");
  safe.SetBodyFormat(sim::kFormatHTML);
  safe.Save();
  EXPECT_EQ(mail->body, "plain");
  EXPECT_EQ(mail->htmlBody, "<p>rich</p>");
  EXPECT_EQ(mail->bodyFormat, sim::kFormatHTML);
  EXPECT_EQ(mail->saves, 1);
  mail->body = "edited";
  mail->htmlBody = "<p>edited</p>";
  EXPECT_EQ(safe.Body(), "edited");
  EXPECT_EQ(safe.HTMLBody(), "<p>edited</p>");
}

TEST_F(OutlookSafeMailItemTest, AComponentIsGivenTheItemAndAnswersInItsPlace) {
  OutlookSafeMailItem safe(com::DispatchObject(simcom::AutomationObject::Make<FakeComponent>()));
  safe.SetItem(HostMail());
  EXPECT_EQ(safe.Subject(), "component: Plans");
  EXPECT_EQ(testing::CaughtError([&] { safe.Attachments(); }).Number(), errc::kMemberNotSupported);
}

TEST_F(OutlookSafeMailItemTest, TheFactoryCreatesARegisteredClassAndFallsBackToTheWrapper) {
  const auto wrapper = OutlookObjectFactory().CreateSafeMailItem("RedemptionDWL.DWLSafeMailItem");
  wrapper->SetItem(HostMail());
  EXPECT_EQ(wrapper->Subject(), "Plans");
  // The dictionary's Item wants a key, which the wrapper would not.
  const auto dictionary = OutlookObjectFactory().CreateSafeMailItem("Scripting.Dictionary");
  EXPECT_THROW(dictionary->SetItem(HostMail()), Error);
}

TEST_F(OutlookSafeMailItemTest, AClassThatFailsToStartIsAnErrorWithItsHresult) {
  const wchar_t* key = L"Software\\Classes\\Dwl.Test.Refusing";
  const wchar_t* clsid = L"{5B1C3F58-7D0E-4C55-9E43-0D7C1A2B3C4D}";
  const auto size = static_cast<DWORD>((wcslen(clsid) + 1) * sizeof(wchar_t));
  const std::wstring classKey = std::wstring(key) + L"\\CLSID";
  if (RegSetKeyValueW(HKEY_LOCAL_MACHINE, classKey.c_str(), nullptr, REG_SZ, clsid, size) != ERROR_SUCCESS) {
    GTEST_SKIP() << "HKLM cannot be written here";
  }
  CLSID id{};
  CLSIDFromString(clsid, &id);
  RefusingFactory refusing;
  DWORD cookie = 0;
  const HRESULT registered =
      CoRegisterClassObject(id, &refusing, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
  const Error failure =
      testing::CaughtError([] { OutlookObjectFactory().CreateSafeMailItem("Dwl.Test.Refusing"); });
  if (SUCCEEDED(registered)) CoRevokeClassObject(cookie);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
  ASSERT_EQ(registered, S_OK);
  EXPECT_EQ(failure.Number(), static_cast<long>(E_ACCESSDENIED));
  EXPECT_NE(failure.Description().find("Dwl.Test.Refusing"), std::string::npos) << failure.Description();
}

}  // namespace
}  // namespace dwl::win32::outlook
