// The host's windows over IDispatch: main windows (explorers), item windows
// (inspectors) and their collections, with their events. Each adapter holds
// one reference to its object and lets go of it when it goes; an event
// connection holds the object until it is dropped. Host thread only.
#pragma once

#include <memory>
#include <string>

#include "platform/OutlookObjects.h"
#include "platform/win32/com/DispatchObject.h"

namespace dwl::win32::outlook {

class ExplorerAdapter final : public host::Explorer {
 public:
  explicit ExplorerAdapter(com::DispatchObject explorer) : explorer_(std::move(explorer)) {}

  host::EventConnection OnClose(std::function<void()> handler) override;

 private:
  com::DispatchObject explorer_;
};

class ExplorersAdapter final : public host::Explorers {
 public:
  explicit ExplorersAdapter(com::DispatchObject explorers) : explorers_(std::move(explorers)) {}

  int Count() override;

 private:
  com::DispatchObject explorers_;
};

class InspectorAdapter final : public host::Inspector {
 public:
  explicit InspectorAdapter(com::DispatchObject inspector) : inspector_(std::move(inspector)) {}

  // nullptr when the window shows no item.
  std::shared_ptr<host::OutlookItem> CurrentItem() override;
  std::string Caption() override;
  // nullptr when the window has none.
  std::shared_ptr<host::CommandBars> GetCommandBars() override;
  host::EventConnection OnActivate(std::function<void()> handler) override;

 private:
  com::DispatchObject inspector_;
};

class InspectorsAdapter final : public host::Inspectors {
 public:
  explicit InspectorsAdapter(com::DispatchObject inspectors) : inspectors_(std::move(inspectors)) {}

  int Count() override;
  std::shared_ptr<host::Inspector> Item(int index) override;
  host::EventConnection OnNewInspector(std::function<void(std::shared_ptr<host::Inspector>)> handler) override;

 private:
  com::DispatchObject inspectors_;
};

// An adapter for `object`, or nullptr for Nothing.
std::shared_ptr<host::Explorer> ExplorerFrom(Microsoft::WRL::ComPtr<IDispatch> object);
std::shared_ptr<host::Inspector> InspectorFrom(Microsoft::WRL::ComPtr<IDispatch> object);

}  // namespace dwl::win32::outlook
