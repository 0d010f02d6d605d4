#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/win32/com/ComApartment.h"
#include "platform/win32/com/ComString.h"
#include "platform/win32/com/ComVariant.h"
#include "platform/win32/outlook/OutlookApplication.h"
#include "platform/win32/outlook/OutlookEvents.h"
#include "platform/win32/outlook/OutlookItems.h"
#include "platform/win32/outlook/OutlookWindows.h"

namespace dwl::win32::outlook {
namespace {

using com::ComVariant;
using Microsoft::WRL::ComPtr;

// One connection point of a fake host object. Like the host's, it asks the
// sink for the event interface before it keeps it, and Fire calls the sink
// as the host raises an event.
class FakePoint final : public IConnectionPoint {
 public:
  explicit FakePoint(const IID& events) : events_(events) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *out = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = events_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(events.GetAddressOf())))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    sinks_[++lastCookie_] = events;
    *cookie = lastCookie_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    unadvised.push_back(cookie);
    return sinks_.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  // `arguments` as the host passes them, the last parameter first.
  HRESULT Fire(DISPID event, std::vector<VARIANTARG> arguments = {}, EXCEPINFO* exception = nullptr) {
    DISPPARAMS params{arguments.data(), nullptr, static_cast<UINT>(arguments.size()), 0};
    HRESULT result = S_OK;
    const auto sinks = sinks_;  // a handler may unadvise
    for (const auto& [cookie, sink] : sinks) {
      const HRESULT one = sink->Invoke(event, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                       exception, nullptr);
      if (FAILED(one)) result = one;
    }
    return result;
  }
  std::size_t Sinks() const { return sinks_.size(); }
  IDispatch* Sink() const { return sinks_.empty() ? nullptr : sinks_.begin()->second.Get(); }
  ULONG References() const { return references_; }

  std::vector<DWORD> unadvised;

 private:
  ULONG references_ = 0;
  IID events_;
  DWORD lastCookie_ = 0;
  std::map<DWORD, ComPtr<IDispatch>> sinks_;
};

// A host object without type information: properties hold values (Put
// changes them), methods run the test's code, and the event interfaces it
// offers have a connection point each. It records the names it is asked
// for and the connection points looked for.
class FakeObject final : public IDispatch, public IConnectionPointContainer {
 public:
  static ComPtr<FakeObject> Make() { return ComPtr<FakeObject>(new FakeObject); }

  void Property(const std::string& name, ComVariant value) { values_[Member(name)] = std::move(value); }
  void Method(const std::string& name, std::function<ComVariant(DISPPARAMS&)> body) {
    methods_[Member(name)] = std::move(body);
  }
  FakePoint& Offer(const IID& events) {
    ComPtr<FakePoint>& point = points_[Key(events)];
    point = new FakePoint(events);
    return *point.Get();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
    } else if (IsEqualIID(iid, IID_IConnectionPointContainer) && !points_.empty()) {
      *out = static_cast<IConnectionPointContainer*>(this);
    } else {
      return E_NOINTERFACE;
    }
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
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1) return E_INVALIDARG;
    const std::string name = com::ComString(std::wstring_view(names[0])).Utf8();
    asked.push_back(name);
    const auto id = ids_.find(name);
    *ids = id == ids_.end() ? DISPID_UNKNOWN : id->second;
    return id == ids_.end() ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (const auto method = methods_.find(id); method != methods_.end()) {
      ComVariant value = method->second(*params);
      if (result) *result = value.Release();
      return S_OK;
    }
    const auto value = values_.find(id);
    if (value == values_.end()) return DISP_E_MEMBERNOTFOUND;
    if (flags & DISPATCH_PROPERTYPUT) return VariantCopy(value->second.Receive(), &params->rgvarg[0]);
    if (result) *result = value->second.Copy().Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    looked.push_back(iid);
    *point = nullptr;
    const auto found = points_.find(Key(iid));
    if (found == points_.end()) return CONNECT_E_NOCONNECTION;
    *point = found->second.Get();
    (*point)->AddRef();
    return S_OK;
  }

  ULONG References() const { return references_; }
  int Asked(const std::string& name) const { return static_cast<int>(std::count(asked.begin(), asked.end(), name)); }

  std::vector<std::string> asked;
  std::vector<IID> looked;

 private:
  static std::string Key(const IID& iid) {
    return std::string(reinterpret_cast<const char*>(&iid), sizeof iid);
  }
  DISPID Member(const std::string& name) {
    auto [entry, added] = ids_.emplace(name, static_cast<DISPID>(ids_.size() + 100));
    return entry->second;
  }

  ULONG references_ = 0;
  std::map<std::string, DISPID> ids_;
  std::map<DISPID, ComVariant> values_;
  std::map<DISPID, std::function<ComVariant(DISPPARAMS&)>> methods_;
  std::map<std::string, ComPtr<FakePoint>> points_;
};

template <typename Call>
Error Failure(Call&& call) {
  try {
    call();
  } catch (const Error& failure) {
    return failure;
  }
  ADD_FAILURE() << "no dwl::Error";
  return Error(0, "", "");
}

VARIANTARG ObjectArgument(IDispatch* object) {
  VARIANTARG argument;
  VariantInit(&argument);
  argument.vt = VT_DISPATCH;
  argument.pdispVal = object;  // lent for the call, as the host lends it
  return argument;
}

VARIANTARG FlagReference(VARIANT_BOOL* flag) {
  VARIANTARG argument;
  VariantInit(&argument);
  argument.vt = VT_BYREF | VT_BOOL;
  argument.pboolVal = flag;
  return argument;
}

class OutlookAdaptersTest : public ::testing::Test {
 protected:
  com::ComApartment apartment_;
};

TEST_F(OutlookAdaptersTest, ApplicationMembersAreReadByNameOncePerObject) {
  auto inspector = FakeObject::Make();
  inspector->Property("Caption", "Untitled - Message");
  auto inspectors = FakeObject::Make();
  inspectors->Property("Count", 1);
  std::vector<int> items;
  inspectors->Method("Item", [&](DISPPARAMS& params) {
    items.push_back(params.rgvarg[0].lVal);
    return ComVariant(inspector.Get());
  });
  auto explorers = FakeObject::Make();
  explorers->Property("Count", 2);
  auto nameSpace = FakeObject::Make();
  auto application = FakeObject::Make();
  application->Property("Version", "11.0.8217");
  application->Property("ProductCode", "{90110409-6000-11D3-8CFE-0150048383C9}");
  application->Property("Explorers", explorers.Get());
  application->Property("Inspectors", inspectors.Get());
  std::string namespaceType;
  application->Method("GetNamespace", [&](DISPPARAMS& params) {
    namespaceType = com::ComString::Utf8Of(params.rgvarg[0].bstrVal);
    return ComVariant(nameSpace.Get());
  });
  application->Method("ActiveExplorer", [](DISPPARAMS&) { return ComVariant(nullptr); });
  application->Method("ActiveInspector", [&](DISPPARAMS&) { return ComVariant(inspector.Get()); });
  const std::vector<FakeObject*> fakes{inspector.Get(), inspectors.Get(), explorers.Get(), nameSpace.Get(),
                                       application.Get()};
  std::vector<ULONG> start;
  for (FakeObject* fake : fakes) start.push_back(fake->References());

  {
    const auto host = ApplicationFrom(application.Get());
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->Version(), "11.0.8217");
    EXPECT_EQ(host->Version(), "11.0.8217");
    EXPECT_EQ(application->Asked("Version"), 1);
    EXPECT_EQ(host->ProductCode(), "{90110409-6000-11D3-8CFE-0150048383C9}");
    const auto mapi = host->GetNamespace("MAPI");
    EXPECT_NE(mapi, nullptr);
    EXPECT_EQ(namespaceType, "MAPI");
    EXPECT_EQ(host->ActiveExplorer(), nullptr);  // Nothing: no main window
    EXPECT_EQ(host->GetExplorers()->Count(), 2);
    const auto windows = host->GetInspectors();
    EXPECT_EQ(windows->Count(), 1);
    EXPECT_EQ(windows->Item(1)->Caption(), "Untitled - Message");
    EXPECT_EQ(items, std::vector<int>{1});
    EXPECT_EQ(host->ActiveInspector()->Caption(), "Untitled - Message");
    // A member the object lacks.
    EXPECT_EQ(Failure([&] { host->ActiveInspector()->CurrentItem(); }).Number(), errc::kMemberNotSupported);
  }
  for (std::size_t i = 0; i < fakes.size(); ++i) EXPECT_EQ(fakes[i]->References(), start[i]) << "fake " << i;
  EXPECT_EQ(ApplicationFrom(nullptr), nullptr);
}

TEST_F(OutlookAdaptersTest, OnlyAMailItemIsTakenAsOne) {
  auto mail = FakeObject::Make();
  mail->Property("Class", 43);
  mail->Property("Sent", false);
  mail->Property("Mileage", "");
  int saved = 0;
  mail->Method("Save", [&](DISPPARAMS&) { ++saved; return ComVariant(); });
  auto contact = FakeObject::Make();
  contact->Property("Class", 40);
  auto window = FakeObject::Make();
  window->Property("CurrentItem", mail.Get());
  {
    auto inspector = InspectorFrom(window);
    const auto item = inspector->CurrentItem()->AsMailItem();
    EXPECT_FALSE(item->Sent());
    item->SetMileage("3");
    EXPECT_EQ(item->Mileage(), "3");
    item->Save();
    EXPECT_EQ(saved, 1);

    window->Property("CurrentItem", contact.Get());
    const auto other = inspector->CurrentItem();
    const Error mismatch = Failure([&] { other->AsMailItem(); });
    EXPECT_EQ(mismatch.Number(), errc::kTypeMismatch);
    window->Property("CurrentItem", ComVariant());
    EXPECT_EQ(inspector->CurrentItem(), nullptr);
  }
  // The window holds neither item any more: only the test does.
  EXPECT_EQ(mail->References(), 1u);
  EXPECT_EQ(contact->References(), 1u);
  EXPECT_EQ(window->References(), 1u);
}

TEST_F(OutlookAdaptersTest, EventsTakeTheNewerInterfaceFirstAndTheOlderWhenRefused) {
  auto newer = FakeObject::Make();
  FakePoint& newerPoint = newer->Offer(events::kExplorerEvents10);
  FakePoint& newerOld = newer->Offer(events::kExplorerEvents);
  auto older = FakeObject::Make();
  FakePoint& olderPoint = older->Offer(events::kExplorerEvents);
  int closed = 0;
  {
    const auto first = ExplorerFrom(newer)->OnClose([&] { ++closed; });
    ASSERT_EQ(newer->looked.size(), 1u);
    EXPECT_TRUE(IsEqualIID(newer->looked[0], events::kExplorerEvents10));
    EXPECT_EQ(newerPoint.Sinks(), 1u);
    EXPECT_EQ(newerOld.Sinks(), 0u);

    const auto second = ExplorerFrom(older)->OnClose([&] { ++closed; });
    ASSERT_EQ(older->looked.size(), 2u);
    EXPECT_TRUE(IsEqualIID(older->looked[0], events::kExplorerEvents10));
    EXPECT_TRUE(IsEqualIID(older->looked[1], events::kExplorerEvents));
    EXPECT_EQ(olderPoint.Sinks(), 1u);

    EXPECT_EQ(newerPoint.Fire(0xF001), S_OK);  // Activate: not followed
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(newerPoint.Fire(events::kExplorerClose), S_OK);
    EXPECT_EQ(olderPoint.Fire(events::kExplorerClose), S_OK);
    EXPECT_EQ(closed, 2);
  }
  // An object without events, or without the one asked for.
  auto plain = FakeObject::Make();
  EXPECT_NE(Failure([&] { InspectorFrom(plain)->OnActivate([] {}); }).Number(), 0);
  EXPECT_NE(Failure([&] { InspectorFrom(older)->OnActivate([] {}); }).Number(), 0);
  EXPECT_EQ(olderPoint.Sinks(), 0u);
  EXPECT_EQ(newer->References(), 1u);
  EXPECT_EQ(older->References(), 1u);
  EXPECT_EQ(plain->References(), 1u);
}

TEST_F(OutlookAdaptersTest, NewInspectorHandsTheNewWindow) {
  auto inspectors = FakeObject::Make();
  FakePoint& point = inspectors->Offer(events::kInspectorsEvents);
  auto window = FakeObject::Make();
  window->Property("Caption", "Meeting notes - Message");
  std::vector<std::string> captions;
  std::shared_ptr<host::Inspector> kept;
  {
    auto connection = std::make_shared<InspectorsAdapter>(com::DispatchObject(inspectors))
                          ->OnNewInspector([&](std::shared_ptr<host::Inspector> inspector) {
                            captions.push_back(inspector->Caption());
                            kept = std::move(inspector);
                          });
    EXPECT_EQ(point.Fire(events::kNewInspector, {ObjectArgument(window.Get())}), S_OK);
    EXPECT_EQ(captions, std::vector<std::string>{"Meeting notes - Message"});
    EXPECT_GT(window->References(), 1u);  // the core keeps the window
    kept.reset();
  }
  EXPECT_EQ(window->References(), 1u);
  EXPECT_EQ(inspectors->References(), 1u);
  EXPECT_EQ(point.References(), 1u);
}

TEST_F(OutlookAdaptersTest, CancelIsWrittenBackThroughTheReference) {
  auto mail = FakeObject::Make();
  mail->Property("Class", 43);
  FakePoint& point = mail->Offer(events::kItemEvents10);
  const auto item = std::make_shared<ItemAdapter>(com::DispatchObject(mail))->AsMailItem();
  std::vector<bool> seen;
  auto send = item->OnSend([&](bool& cancel) {
    seen.push_back(cancel);
    cancel = true;
  });
  auto close = item->OnClose([&](bool& cancel) { seen.push_back(cancel); });

  VARIANT_BOOL flag = VARIANT_FALSE;
  EXPECT_EQ(point.Fire(events::kItemSend, {FlagReference(&flag)}), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  flag = VARIANT_TRUE;  // another add-in cancelled already: the host's value stays
  EXPECT_EQ(point.Fire(events::kItemClose, {FlagReference(&flag)}), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  flag = VARIANT_FALSE;
  EXPECT_EQ(point.Fire(events::kItemClose, {FlagReference(&flag)}), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);
  EXPECT_EQ(seen, (std::vector<bool>{false, true, false}));

  // Without the argument the handler does not run and the host hears of it.
  EXPECT_TRUE(FAILED(point.Fire(events::kItemSend)));
  EXPECT_EQ(seen.size(), 3u);
}

TEST_F(OutlookAdaptersTest, AFailingHandlerReturnsAFailureAndNoException) {
  auto window = FakeObject::Make();
  FakePoint& point = window->Offer(events::kInspectorEvents);
  const auto inspector = InspectorFrom(window);
  int calls = 0;
  std::function<void()> fail;
  auto connection = inspector->OnActivate([&] {
    ++calls;
    fail();
  });

  fail = [] { throw Error(errc::kPathNotFound, "frmAddIn", "Path not found"); };
  EXCEPINFO exception{};
  EXPECT_EQ(point.Fire(events::kActivate, {}, &exception), DISP_E_EXCEPTION);
  EXPECT_EQ(exception.wCode, errc::kPathNotFound);
  EXPECT_EQ(com::ComString::Attach(exception.bstrDescription).Utf8(), "Path not found");
  EXPECT_EQ(com::ComString::Attach(exception.bstrSource).Utf8(), "frmAddIn");

  fail = [] { throw std::runtime_error("bad"); };
  EXPECT_TRUE(FAILED(point.Fire(events::kActivate)));
  fail = [] { throw 42; };
  EXPECT_TRUE(FAILED(point.Fire(events::kActivate)));
  EXPECT_EQ(calls, 3);
}

TEST_F(OutlookAdaptersTest, DroppingTheConnectionUnadvisesAndFreesTheSink) {
  auto window = FakeObject::Make();
  FakePoint& point = window->Offer(events::kInspectorEvents10);
  const auto inspector = InspectorFrom(window);
  int activated = 0;
  host::EventConnection connection = inspector->OnActivate([&] { ++activated; });
  ComPtr<IDispatch> sink = point.Sink();
  ASSERT_NE(sink, nullptr);

  connection.Disconnect();
  EXPECT_EQ(point.unadvised, std::vector<DWORD>{1});
  EXPECT_EQ(point.Sinks(), 0u);
  // A host that calls late reaches nothing.
  EXPECT_EQ(sink->Invoke(events::kActivate, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(activated, 0);
  EXPECT_EQ(sink.Detach()->Release(), 0u);

  // A handler that lets go of its own connection while it runs.
  host::EventConnection self;
  self = inspector->OnActivate([&] {
    ++activated;
    self.Disconnect();
  });
  EXPECT_EQ(point.Fire(events::kActivate), S_OK);
  EXPECT_EQ(point.Fire(events::kActivate), S_OK);
  EXPECT_EQ(activated, 1);
  EXPECT_EQ(point.unadvised.size(), 2u);
  EXPECT_EQ(point.References(), 1u);
  EXPECT_EQ(window->References(), 2u);  // the test's and the adapter's
}

}  // namespace
}  // namespace dwl::win32::outlook
