// What a test makes the simulated Outlook do wrong: hand back an empty
// reference where a real host may (Outlook started by another program has
// no main window, an item window may have no item or no command bars, ...),
// or fail a call. One set for the simulation, which every simulated object
// asks; a new SimOutlook starts with none. Host thread only.
#pragma once

#include <array>
#include <memory>
#include <set>
#include <string>

namespace dwl::sim {

class SimFaults {
 public:
  // Every member of the simulated host that hands back a reference.
  static constexpr std::array<const char*, 17> kReferences = {
      "Application.GetNamespace", "Application.ActiveExplorer", "Application.Explorers",
      "Application.Inspectors",   "Application.ActiveInspector", "Inspectors.Item",
      "Inspector.CurrentItem",    "Inspector.CommandBars",      "CommandBars.FindControl",
      "CommandBars.Add",          "CommandBar.Controls",        "CommandBarControls.Add",
      "CommandBarControl.Parent", "CreateObject",               "SafeMailItem.Recipients",
      "Recipients.Item",          "SafeMailItem.Attachments"};

  static SimFaults& Current();

  void Clear();
  // `member` (one of kReferences) hands back an empty reference from now on.
  void SetEmpty(const std::string& member) { empty_.insert(member); }
  // `member` fails from now on, as a host call may; for events, connecting
  // a handler fails ("MailItem.Send", "MailItem.Close").
  void SetFailing(const std::string& member) { failing_.insert(member); }

  // `reference`, or an empty one while `member` is set empty.
  template <class T>
  std::shared_ptr<T> Hand(const std::string& member, std::shared_ptr<T> reference) const {
    return empty_.contains(member) ? nullptr : reference;
  }
  // Fails while `member` is set failing.
  void Check(const std::string& member) const;

 private:
  std::set<std::string> empty_;
  std::set<std::string> failing_;
};

}  // namespace dwl::sim
