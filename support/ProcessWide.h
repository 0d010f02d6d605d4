// A process-wide object made at the first request and shared by reference
// until released (the add-in unloads, a test starts afresh).
#pragma once

#include <memory>

namespace dwl {

template <class T>
class ProcessWide {
 public:
  static std::shared_ptr<T> Get() {
    std::shared_ptr<T>& instance = Slot();
    if (!instance) instance = std::make_shared<T>();
    return instance;
  }
  static void Release() { Slot().reset(); }

 private:
  static std::shared_ptr<T>& Slot() {
    static std::shared_ptr<T> instance;
    return instance;
  }
};

}  // namespace dwl
