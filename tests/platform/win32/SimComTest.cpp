#include "platform/win32/simcom/SimComOutlook.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/sim/SimOutlook.h"
#include "platform/win32/com/ComApartment.h"
#include "platform/win32/com/DispatchObject.h"
#include "platform/win32/OutlookIds.h"
#include "tests/platform/win32/CaughtError.h"

namespace dwl::win32::simcom {

using namespace outlook_ids;  // Outlook's numbers
namespace {

using com::ComVariant;
using com::DispatchObject;
using Microsoft::WRL::ComPtr;
using Kind = sim::SimOutlook::ItemKind;

DispatchObject Object(const ComVariant& value) { return DispatchObject(value.ToObject()); }

// An event sink as an add-in writes one: it answers for one event interface
// and notes what arrives; it may write Cancel or fail.
class TestSink final : public IDispatch {
 public:
  static ComPtr<TestSink> Make(const IID& events) { return ComPtr<TestSink>(new TestSink(events)); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDispatch) && !IsEqualIID(iid, events_)) {
      return E_NOINTERFACE;
    }
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return DISP_E_BADINDEX; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    events.push_back(id);
    std::vector<VARTYPE> types;
    for (UINT i = 0; i < params->cArgs; ++i) types.push_back(params->rgvarg[i].vt);
    argumentTypes.push_back(types);
    // Cancel is always the last parameter, the object the first.
    if (params->cArgs >= 1 && params->rgvarg[0].vt == (VT_BOOL | VT_BYREF)) {
      cancelSeen.push_back(*params->rgvarg[0].pboolVal);
      if (writeCancel) *params->rgvarg[0].pboolVal = *writeCancel;
    }
    if (params->cArgs >= 1 && params->rgvarg[params->cArgs - 1].vt == VT_DISPATCH) {
      received = params->rgvarg[params->cArgs - 1].pdispVal;
    }
    return fail ? E_FAIL : S_OK;
  }

  std::vector<DISPID> events;
  std::vector<std::vector<VARTYPE>> argumentTypes;
  std::vector<VARIANT_BOOL> cancelSeen;
  std::optional<VARIANT_BOOL> writeCancel;
  ComPtr<IDispatch> received;
  bool fail = false;

 private:
  explicit TestSink(const IID& events) : events_(events) {}
  IID events_;
  ULONG references_ = 0;
};

HRESULT FindPoint(const DispatchObject& source, const IID& events, ComPtr<IConnectionPoint>& point) {
  ComPtr<IConnectionPointContainer> container;
  const HRESULT found = source.Interface().As(&container);
  if (FAILED(found)) return found;
  return container->FindConnectionPoint(events, &point);
}

// The point the sink follows, so that the test can unadvise; null on failure.
ComPtr<IConnectionPoint> Advise(const DispatchObject& source, const IID& events, TestSink* sink, DWORD& cookie) {
  ComPtr<IConnectionPoint> point;
  EXPECT_EQ(FindPoint(source, events, point), S_OK);
  if (!point.Get()) return nullptr;
  EXPECT_EQ(point->Advise(static_cast<IDispatch*>(sink), &cookie), S_OK);
  return point;
}

class SimComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    outlook = sim::SimOutlook::Create("11.0.8217", 1);
    outlook->Open("Report", Kind::Mail, false, false);
  }
  // Whatever a test took from the objects it has let go of by now.
  void TearDown() override { EXPECT_EQ(LiveObjectCount(), 0); }

  DispatchObject Application() { return DispatchObject(ExposeApplication(outlook)); }
  DispatchObject Mail(const std::string& window) {
    DispatchObject inspectors = Object(Application().Get("Inspectors"));
    for (int i = 1; i <= inspectors.Get("Count").ToInt32(); ++i) {
      DispatchObject inspector = Object(inspectors.Call("Item", i));
      if (inspector.Get("Caption").ToText() == window + " - Message") return Object(inspector.Get("CurrentItem"));
    }
    ADD_FAILURE() << "no window " << window;
    return {};
  }

  com::ComApartment apartment;
  std::shared_ptr<sim::SimOutlook> outlook;
};

// Members with several arguments, to see them arrive in the caller's order.
constexpr Member kJoinerMembers[] = {
    {L"Join", 7, MemberKind::Method, 3},
    {L"Note", 8, MemberKind::GetPut, 1},
};

class Joiner : public AutomationObject {
 public:
  Joiner() : AutomationObject(kJoinerMembers) {}

 private:
  ComVariant Call(const Member& member, bool put, std::span<const ComVariant> args) override {
    if (member.id == 7) return ComVariant(args[0].ToText() + args[1].ToText() + args[2].ToText());
    if (put) note_ = args[0].ToText() + "=" + args[1].ToText();
    return ComVariant(note_);
  }

  std::string note_;
};

TEST_F(SimComTest, ArgumentsArriveInTheCallersOrderAsValues) {
  DispatchObject joiner(AutomationObject::Make<Joiner>());
  ComVariant byReference("b");
  EXPECT_EQ(joiner.Call("join", "a", com::ByRef(byReference), 3).ToText(), "ab3");
  joiner.Put("Note", "key", "value");
  EXPECT_EQ(joiner.Get("Note", "key").ToText(), "key=value");
  EXPECT_EQ(testing::CaughtError([&] { joiner.Call("Join", "a", "b"); }).Number(), errc::kInvalidCall);
}

TEST_F(SimComTest, TheApplicationAndItsWindowsAnswerByOutlooksNames) {
  DispatchObject application = Application();
  EXPECT_EQ(application.Get("Version").ToText(), "11.0.8217");
  EXPECT_EQ(application.Get("ProductCode").ToText(), outlook->ProductCode());
  EXPECT_EQ(Object(application.Get("Explorers")).Get("Count").ToInt32(), 1);
  EXPECT_TRUE(Object(application.Call("GetNamespace", "MAPI")));
  EXPECT_TRUE(Object(application.Call("ActiveExplorer")));

  outlook->Open("Contact", Kind::Contact, false, false);
  DispatchObject inspectors = Object(application.Get("Inspectors"));
  EXPECT_EQ(inspectors.Get("Count").ToInt32(), 2);
  DispatchObject first = Object(inspectors.Call("Item", 1));
  EXPECT_EQ(first.Get("Caption").ToText(), "Report - Message");
  EXPECT_EQ(Object(first.Get("CurrentItem")).Get("Class").ToInt32(), kClassMail);
  EXPECT_EQ(Object(application.Call("ActiveInspector")).Get("Caption").ToText(), "Contact - Message");

  // The same DISPIDs whatever the case of the name.
  EXPECT_EQ(application.Id("version"), dispid::kVersion);
  EXPECT_EQ(first.Id("CURRENTITEM"), dispid::kCurrentItem);
  EXPECT_EQ(inspectors.Id("Item"), dispid::kItem);

  // Another kind of item has none of a mail item's members.
  DispatchObject contact = Object(Object(inspectors.Call("Item", 2)).Get("CurrentItem"));
  EXPECT_EQ(testing::CaughtError([&] { contact.Get("Class"); }).Number(), errc::kMemberNotSupported);
}

TEST_F(SimComTest, MailItemPropertiesReachTheSimsMail) {
  DispatchObject mail = Mail("Report");
  const auto simMail = outlook->Window("Report")->Mail();
  EXPECT_EQ(mail.Get("Class").ToInt32(), 43);
  EXPECT_FALSE(mail.Get("Sent").ToBool());
  EXPECT_EQ(mail.Get("Sent").Type(), VT_BOOL);

  mail.Put("Mileage", "7");
  EXPECT_EQ(simMail->mileage, "7");
  simMail->mileage = "12";
  EXPECT_EQ(mail.Get("mileage").ToText(), "12");
  mail.Call("Save");
  EXPECT_EQ(simMail->saves, 1);

  // Read-only properties refuse a put; methods need their arguments.
  EXPECT_EQ(testing::CaughtError([&] { mail.Put("Sent", true); }).Number(), errc::kMemberNotSupported);
  EXPECT_EQ(testing::CaughtError([&] { mail.Call("Save", 1); }).Number(), errc::kInvalidCall);
}

TEST_F(SimComTest, TheHostsFailuresArriveAsExceptionsWithTheirNumbers) {
  DispatchObject application = Application();
  const Error noSpace = testing::CaughtError([&] { application.Call("GetNamespace", "Other"); });
  EXPECT_EQ(noSpace.Number(), errc::kInvalidCall);
  EXPECT_EQ(noSpace.Source(), "SimOutlook");
  EXPECT_EQ(noSpace.Description(), "no namespace Other");

  const Error outOfRange = testing::CaughtError([&] { Object(application.Get("Inspectors")).Call("Item", 3); });
  EXPECT_EQ(outOfRange.Number(), errc::kInvalidCall);
  EXPECT_EQ(outOfRange.Description(), "Array index out of bounds");

  outlook->Window("Report")->Mail()->failOnSave = 1;
  const Error save = testing::CaughtError([&] { Mail("Report").Call("Save"); });
  EXPECT_EQ(save.Number(), errc::kUnknown);
  EXPECT_EQ(save.Source(), "MailItem.Save");
  EXPECT_EQ(save.Description(), "The operation failed.");
}

TEST_F(SimComTest, SendAndCloseGiveCancelToTheSinksAndTakeTheirAnswer) {
  DispatchObject mail = Mail("Report");
  auto sink = TestSink::Make(kItemEvents10);
  DWORD cookie = 0;
  ComPtr<IConnectionPoint> point = Advise(mail, kItemEvents10, sink.Get(), cookie);
  ASSERT_TRUE(point.Get());

  sink->writeCancel = VARIANT_TRUE;
  outlook->Send("Report");
  outlook->Close("Report");
  EXPECT_TRUE(outlook->SentMails().empty());
  EXPECT_TRUE(outlook->Window("Report"));
  ASSERT_EQ(sink->events, (std::vector<DISPID>{dispid::kSend, dispid::kItemClose}));
  EXPECT_EQ(sink->argumentTypes[0], (std::vector<VARTYPE>{VT_BOOL | VT_BYREF}));
  EXPECT_EQ(sink->cancelSeen, (std::vector<VARIANT_BOOL>{VARIANT_FALSE, VARIANT_FALSE}));

  // A second sink on the older interface comes after and has the last word.
  auto lenient = TestSink::Make(kItemEvents);
  DWORD lenientCookie = 0;
  ComPtr<IConnectionPoint> oldPoint = Advise(mail, kItemEvents, lenient.Get(), lenientCookie);
  lenient->writeCancel = VARIANT_FALSE;
  outlook->Send("Report");
  EXPECT_EQ(lenient->cancelSeen, (std::vector<VARIANT_BOOL>{VARIANT_TRUE}));
  EXPECT_EQ(outlook->SentMails().size(), 1u);

  // After Unadvise nothing more arrives.
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  outlook->Close("Report");
  EXPECT_EQ(sink->events.size(), 3u);
  EXPECT_EQ(lenient->events.size(), 2u);
  EXPECT_FALSE(outlook->Window("Report"));
}

TEST_F(SimComTest, AFailingSinkIsReportedToTheHostAndTheOthersStillHearIt) {
  DispatchObject explorer = Object(Application().Call("ActiveExplorer"));
  auto failing = TestSink::Make(kExplorerEvents10);
  auto listening = TestSink::Make(kExplorerEvents);
  failing->fail = true;
  DWORD cookies[2] = {};
  Advise(explorer, kExplorerEvents10, failing.Get(), cookies[0]);
  Advise(explorer, kExplorerEvents, listening.Get(), cookies[1]);

  outlook->CloseExplorer(1);
  EXPECT_EQ(failing->events, (std::vector<DISPID>{dispid::kExplorerClose}));
  EXPECT_EQ(listening->events, (std::vector<DISPID>{dispid::kExplorerClose}));
  EXPECT_TRUE(listening->argumentTypes[0].empty());
  const auto errors = outlook->TakeHostErrors();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_NE(errors[0].Source().find("ExplorerEvents_10"), std::string::npos);
}

TEST_F(SimComTest, NewInspectorAndActivateBringTheWindow) {
  DispatchObject inspectors = Object(Application().Get("Inspectors"));
  auto sink = TestSink::Make(kInspectorsEvents);
  DWORD cookie = 0;
  ComPtr<IConnectionPoint> point = Advise(inspectors, kInspectorsEvents, sink.Get(), cookie);
  ASSERT_TRUE(point.Get());

  outlook->Open("Draft", Kind::Mail, false, false);
  ASSERT_EQ(sink->events, (std::vector<DISPID>{dispid::kNewInspector}));
  EXPECT_EQ(sink->argumentTypes[0], (std::vector<VARTYPE>{VT_DISPATCH}));
  ASSERT_TRUE(sink->received.Get());
  DispatchObject window(sink->received);
  EXPECT_EQ(window.Get("Caption").ToText(), "Draft - Message");

  auto activate = TestSink::Make(kInspectorEvents10);
  DWORD activateCookie = 0;
  Advise(window, kInspectorEvents10, activate.Get(), activateCookie);
  outlook->Activate("Draft");
  outlook->Activate("Report");
  EXPECT_EQ(activate->events, (std::vector<DISPID>{dispid::kActivate}));

  // The point keeps its object alive: the collection may go first.
  inspectors = DispatchObject();
  outlook->Open("Later", Kind::Note, false, false);
  EXPECT_EQ(sink->events.size(), 2u);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
}

TEST_F(SimComTest, Outlook2000OffersOnlyTheOlderEventInterfaces) {
  outlook = sim::SimOutlook::Create("9.0.0.2711", 1);
  outlook->Open("Old", Kind::Mail, false, true);
  DispatchObject application = Application();
  DispatchObject inspector = Object(Object(application.Get("Inspectors")).Call("Item", 1));
  DispatchObject mail = Object(inspector.Get("CurrentItem"));
  DispatchObject explorer = Object(application.Call("ActiveExplorer"));

  const struct {
    DispatchObject* source;
    IID events10, events;
  } cases[] = {{&mail, kItemEvents10, kItemEvents},
               {&inspector, kInspectorEvents10, kInspectorEvents},
               {&explorer, kExplorerEvents10, kExplorerEvents}};
  for (const auto& each : cases) {
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(FindPoint(*each.source, each.events10, point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(FindPoint(*each.source, each.events, point), S_OK);
    IID offered{};
    ASSERT_TRUE(point.Get());
    EXPECT_EQ(point->GetConnectionInterface(&offered), S_OK);
    EXPECT_TRUE(IsEqualIID(offered, each.events));
  }

  auto sink = TestSink::Make(kItemEvents);
  DWORD cookie = 0;
  Advise(mail, kItemEvents, sink.Get(), cookie);
  outlook->Send("Old");
  EXPECT_EQ(sink->events, (std::vector<DISPID>{dispid::kSend}));
  EXPECT_EQ(outlook->SentMails().size(), 1u);
}

TEST_F(SimComTest, ASinkMustAnswerForTheInterfaceItFollows) {
  DispatchObject mail = Mail("Report");
  auto other = TestSink::Make(kInspectorEvents10);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(FindPoint(mail, kItemEvents10, point), S_OK);
  DWORD cookie = 77;
  EXPECT_EQ(point->Advise(static_cast<IDispatch*>(other.Get()), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  outlook->Send("Report");
  EXPECT_TRUE(other->events.empty());

  // Objects without events have no connection points at all.
  ComPtr<IConnectionPointContainer> container;
  EXPECT_EQ(Object(Application().Get("Explorers")).Interface().As(&container), E_NOINTERFACE);
}

TEST_F(SimComTest, EveryObjectGoesWithItsLastReference) {
  {
    DispatchObject application = Application();
    DispatchObject mail = Mail("Report");
    auto sink = TestSink::Make(kItemEvents10);
    DWORD cookie = 0;
    Advise(mail, kItemEvents10, sink.Get(), cookie);
    EXPECT_GE(LiveObjectCount(), 2);
    // Objects handed to a sink and kept by it live on with it.
    auto keeper = TestSink::Make(kInspectorsEvents);
    const auto keptPoint = Advise(Object(application.Get("Inspectors")), kInspectorsEvents, keeper.Get(), cookie);
    outlook->Open("Kept", Kind::Mail, false, false);
    EXPECT_TRUE(keeper->received.Get());
  }
  EXPECT_EQ(LiveObjectCount(), 0);
  // The host's events find nobody to call once the objects are gone.
  outlook->Send("Report");
  EXPECT_EQ(outlook->SentMails().size(), 1u);
}

TEST_F(SimComTest, CommandBarsAnswerToOfficesNumbersAndAButtonRaisesClick) {
  DispatchObject inspector = Object(Object(Application().Get("Inspectors")).Call("Item", 1));
  DispatchObject bars = Object(inspector.Get("CommandBars"));
  DispatchObject bar = Object(bars.Call("Add", "Tools", 1, false, true));
  DispatchObject controls = Object(bar.Get("Controls"));
  DispatchObject button = Object(controls.Call("Add", 1, 1, "", 1, true));
  const struct {
    DispatchObject* object;
    const char* name;
    DISPID id;
  } members[] = {{&inspector, "CommandBars", dispid::kCommandBars},
                 {&bars, "FindControl", office_ids::dispid::kFindControl},
                 {&bar, "Controls", office_ids::dispid::kBarControls},
                 {&bar, "Protection", office_ids::dispid::kBarProtection},
                 {&controls, "Count", office_ids::dispid::kControlsCount},
                 {&button, "Parent", office_ids::dispid::kControlParent},
                 {&button, "PasteFace", office_ids::dispid::kPasteFace}};
  for (const auto& member : members) EXPECT_EQ(member.object->Id(member.name), member.id) << member.name;
  EXPECT_EQ(button.Get("Type").ToInt32(), 1);
  EXPECT_EQ(testing::CaughtError([&] {
              bars.Call("FindControl", ComVariant::Missing(), ComVariant::Missing(), ComVariant::Missing(),
                        ComVariant::Missing());
            }).Number(),
            errc::kInvalidCall);

  // Another kind of control has neither the button's members nor its events.
  DispatchObject popup = Object(controls.Call("Add", 10, 1, "", 0, true));
  EXPECT_EQ(testing::CaughtError([&] { popup.Get("Style"); }).Number(), errc::kMemberNotSupported);
  ComPtr<IConnectionPoint> none;
  EXPECT_EQ(FindPoint(popup, office_ids::kCommandBarButtonEvents, none), E_NOINTERFACE);

  auto sink = TestSink::Make(office_ids::kCommandBarButtonEvents);
  DWORD cookie = 0;
  ComPtr<IConnectionPoint> point = Advise(button, office_ids::kCommandBarButtonEvents, sink.Get(), cookie);
  sink->writeCancel = VARIANT_TRUE;
  const auto simButton = outlook->Window("Report")->Bars().Bars().back()->Items().front();
  std::optional<bool> hostSees;
  auto hostSide = simButton->OnClick([&](host::CommandBarButton&, bool& cancelDefault) { hostSees = cancelDefault; });
  simButton->Click();
  EXPECT_EQ(sink->events, (std::vector<DISPID>{office_ids::dispid::kClick}));
  EXPECT_EQ(sink->argumentTypes[0], (std::vector<VARTYPE>{VT_BOOL | VT_BYREF, VT_DISPATCH}));
  EXPECT_EQ(sink->received.Get(), button.Interface().Get());
  EXPECT_EQ(sink->cancelSeen, (std::vector<VARIANT_BOOL>{VARIANT_FALSE}));
  EXPECT_EQ(hostSees, true);
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
}

}  // namespace
}  // namespace dwl::win32::simcom
