#include "platform/win32/simcom/SimComOutlook.h"

#include <cctype>
#include <functional>

#include "platform/win32/simcom/ConnectionPoint.h"
#include "platform/win32/OutlookIds.h"

namespace dwl::win32::simcom {

using namespace outlook_ids;  // Outlook's numbers

using com::ComVariant;
using Microsoft::WRL::ComPtr;

namespace {

class ComNameSpace : public AutomationObject {
 public:
  explicit ComNameSpace(std::shared_ptr<host::NameSpace> space) : AutomationObject({}), space_(std::move(space)) {}

 private:
  ComVariant Call(const Member&, bool, std::span<const ComVariant>) override { return {}; }

  std::shared_ptr<host::NameSpace> space_;
};

constexpr Member kCountMembers[] = {
    {L"Count", dispid::kCount, MemberKind::Get, 0},
};

class ComCount : public AutomationObject {
 public:
  explicit ComCount(std::function<int()> count) : AutomationObject(kCountMembers), count_(std::move(count)) {}

 private:
  ComVariant Call(const Member&, bool, std::span<const ComVariant>) override {
    return ComVariant(static_cast<std::int32_t>(count_()));
  }

  std::function<int()> count_;
};

class ComExplorer : public AutomationObject {
 public:
  ComExplorer(std::shared_ptr<host::Explorer> explorer, bool events10)
      : AutomationObject({}),
        explorer_(std::move(explorer)),
        events10_(*this, kExplorerEvents10, "ExplorerEvents_10"),
        events_(*this, kExplorerEvents, "ExplorerEvents") {
    if (events10) Offer(events10_);
    Offer(events_);
    close_ = explorer_->OnClose([this] {
      if (auto failure = Fire(dispid::kExplorerClose, {})) throw *failure;
    });
  }

 private:
  ComVariant Call(const Member&, bool, std::span<const ComVariant>) override { return {}; }

  std::shared_ptr<host::Explorer> explorer_;
  ConnectionPoint events10_;
  ConnectionPoint events_;
  host::EventConnection close_;
};

constexpr Member kApplicationMembers[] = {
    {L"GetNamespace", dispid::kGetNamespace, MemberKind::Method, 1},
    {L"ActiveExplorer", dispid::kActiveExplorer, MemberKind::Method, 0},
    {L"ActiveInspector", dispid::kActiveInspector, MemberKind::Method, 0},
    {L"Version", dispid::kVersion, MemberKind::Get, 0},
    {L"ProductCode", dispid::kProductCode, MemberKind::Get, 0},
    {L"Explorers", dispid::kExplorers, MemberKind::Get, 0},
    {L"Inspectors", dispid::kInspectors, MemberKind::Get, 0},
};

class ComApplication : public AutomationObject {
 public:
  explicit ComApplication(std::shared_ptr<host::Application> application)
      : AutomationObject(kApplicationMembers),
        application_(std::move(application)),
        events10_(HasEvents10(application_->Version())) {}

 private:
  ComVariant Call(const Member& member, bool, std::span<const ComVariant> args) override {
    switch (member.id) {
      case dispid::kGetNamespace: {
        auto space = application_->GetNamespace(args[0].ToText());
        return ObjectResult(space ? Make<ComNameSpace>(std::move(space)) : nullptr);
      }
      case dispid::kActiveExplorer: return ObjectResult(ExposeExplorer(application_->ActiveExplorer(), events10_));
      case dispid::kActiveInspector:
        return ObjectResult(ExposeInspector(application_->ActiveInspector(), events10_));
      case dispid::kVersion: return ComVariant(application_->Version());
      case dispid::kProductCode: return ComVariant(application_->ProductCode());
      case dispid::kExplorers: {
        auto explorers = application_->GetExplorers();
        return ObjectResult(explorers ? ExposeCount([explorers] { return explorers->Count(); }) : nullptr);
      }
      case dispid::kInspectors: return ObjectResult(ExposeInspectors(application_->GetInspectors(), events10_));
    }
    return {};
  }

  std::shared_ptr<host::Application> application_;
  bool events10_;
};

// The add-in instance the host passes on connection. Its ProgId is read by
// name; the number is the add-in object's own.
constexpr Member kAddInInstanceMembers[] = {
    {L"ProgId", 3, MemberKind::Get, 0},
};

class ComAddInInstance : public AutomationObject {
 public:
  explicit ComAddInInstance(std::shared_ptr<host::AddInInstance> instance)
      : AutomationObject(kAddInInstanceMembers), instance_(std::move(instance)) {}

 private:
  ComVariant Call(const Member&, bool, std::span<const ComVariant>) override { return ComVariant(instance_->ProgId()); }

  std::shared_ptr<host::AddInInstance> instance_;
};

}  // namespace

bool HasEvents10(const std::string& version) {
  int major = 0;
  for (std::size_t i = 0; i < version.size() && std::isdigit(static_cast<unsigned char>(version[i])); ++i) {
    major = major * 10 + (version[i] - '0');
    if (major >= 10) return true;
  }
  return false;
}

ComPtr<IDispatch> ExposeApplication(std::shared_ptr<host::Application> application) {
  return application ? AutomationObject::Make<ComApplication>(std::move(application)) : nullptr;
}

ComPtr<IDispatch> ExposeCount(std::function<int()> count) {
  return AutomationObject::Make<ComCount>(std::move(count));
}

ComPtr<IDispatch> ExposeExplorer(std::shared_ptr<host::Explorer> explorer, bool events10) {
  return explorer ? AutomationObject::Make<ComExplorer>(std::move(explorer), events10) : nullptr;
}

ComPtr<IDispatch> ExposeAddInInstance(std::shared_ptr<host::AddInInstance> instance) {
  return instance ? AutomationObject::Make<ComAddInInstance>(std::move(instance)) : nullptr;
}

}  // namespace dwl::win32::simcom
