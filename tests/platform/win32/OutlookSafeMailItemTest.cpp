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
using Microsoft::WRL::ComPtr;

// A component with the safe mail item's Item and Subject: it answers from
// the item it was given, marked as its own answer.
constexpr simcom::Member kComponentMembers[] = {
    {L"Item", 1, simcom::MemberKind::GetPut, 0},
    {L"Subject", 2, simcom::MemberKind::Get, 0},
};
class FakeComponent : public simcom::AutomationObject {
 public:
  FakeComponent() : AutomationObject(kComponentMembers) {}

 private:
  ComVariant Call(const simcom::Member& member, bool put, std::span<const ComVariant> args) override {
    if (put) item_ = com::DispatchObject(args.back().ToObject());
    if (member.id == 1) return simcom::ObjectResult(item_.Interface());
    return ComVariant("component: " + item_.Get("Subject").ToText());
  }
  com::DispatchObject item_;
};

// A registered class whose factory refuses to make it.
class RefusingFactory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the test's stack
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
    for (int outside : {0, 5}) {
      EXPECT_EQ(testing::CaughtError([&] { recipients->Item(outside); }).Number(), errc::kInvalidCall);
    }
  }
}

TEST_F(OutlookSafeMailItemTest, WritesTheBodiesAndFormatAndSavesTheItem) {
  OutlookSafeMailItem safe;
  safe.SetItem(HostMail());
  safe.SetBody("plain");
  safe.SetHTMLBody("<p>rich</p>");
  safe.SetBodyFormat(sim::kFormatHTML);
  safe.Save();
  EXPECT_EQ(mail->body, "plain");
  EXPECT_EQ(mail->htmlBody, "<p>rich</p>");
  EXPECT_EQ(mail->bodyFormat, sim::kFormatHTML);
  EXPECT_EQ(mail->saves, 1);
  // Read from the item each time, not remembered.
  mail->body = "edited";
  mail->htmlBody = "<p>edited</p>";
  EXPECT_EQ(safe.Body(), "edited");
  EXPECT_EQ(safe.HTMLBody(), "<p>edited</p>");

  mail->failOnSave = 2;
  const Error save = testing::CaughtError([&] { safe.Save(); });
  EXPECT_EQ(save.Number(), errc::kUnknown);
  EXPECT_EQ(save.Source(), "MailItem.Save");
}

TEST_F(OutlookSafeMailItemTest, TakesOnlyTheHostsMailItem) {
  OutlookSafeMailItem safe;
  EXPECT_EQ(testing::CaughtError([&] { safe.Subject(); }).Number(), 91);
  EXPECT_EQ(testing::CaughtError([&] { safe.SetItem(mail); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(testing::CaughtError([&] { safe.SetItem(nullptr); }).Number(), errc::kTypeMismatch);
  EXPECT_EQ(testing::CaughtError([&] { safe.Body(); }).Number(), 91);
}

TEST_F(OutlookSafeMailItemTest, AComponentIsGivenTheItemAndAnswersInItsPlace) {
  OutlookSafeMailItem safe(com::DispatchObject(simcom::AutomationObject::Make<FakeComponent>()));
  safe.SetItem(HostMail());
  EXPECT_EQ(safe.Subject(), "component: Plans");
  EXPECT_EQ(testing::CaughtError([&] { safe.Attachments(); }).Number(), errc::kMemberNotSupported);
}

TEST_F(OutlookSafeMailItemTest, TheFactoryFallsBackToTheWrapperWithoutTheComponent) {
  OutlookObjectFactory factory;
  const auto safe = factory.CreateSafeMailItem("RedemptionDWL.DWLSafeMailItem");
  ASSERT_NE(safe, nullptr);
  safe->SetItem(HostMail());
  EXPECT_EQ(safe->Subject(), "Plans");
}

TEST_F(OutlookSafeMailItemTest, TheFactoryCreatesARegisteredClass) {
  // The dictionary is no safe mail item: its Item wants a key, which the
  // wrapper would never have asked for.
  const auto safe = OutlookObjectFactory().CreateSafeMailItem("Scripting.Dictionary");
  ASSERT_NE(safe, nullptr);
  EXPECT_THROW(safe->SetItem(HostMail()), Error);
}

TEST_F(OutlookSafeMailItemTest, AClassThatFailsToStartIsAnErrorWithItsHresult) {
  const wchar_t* key = L"Software\\Classes\\Dwl.Test.Refusing";
  HKEY progId = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &progId, nullptr) != 0) {
    GTEST_SKIP() << "HKLM cannot be written here";
  }
  const wchar_t* clsid = L"{5B1C3F58-7D0E-4C55-9E43-0D7C1A2B3C4D}";
  RegSetKeyValueW(progId, L"CLSID", nullptr, REG_SZ, clsid, static_cast<DWORD>((wcslen(clsid) + 1) * sizeof(wchar_t)));
  RegCloseKey(progId);
  CLSID id{};
  CLSIDFromString(clsid, &id);
  RefusingFactory refusing;
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(id, &refusing, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);

  const Error failure = testing::CaughtError([] { OutlookObjectFactory().CreateSafeMailItem("Dwl.Test.Refusing"); });
  CoRevokeClassObject(cookie);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
  EXPECT_EQ(failure.Number(), static_cast<long>(E_ACCESSDENIED));
  EXPECT_EQ(failure.Source(), "CreateObject");
  EXPECT_NE(failure.Description().find("Dwl.Test.Refusing"), std::string::npos) << failure.Description();
}

}  // namespace
}  // namespace dwl::win32::outlook
