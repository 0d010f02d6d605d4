// Using an object reference that may be empty, as host-facing code does: an
// empty one fails like any other host call, so tolerant mode handles it.
#pragma once

#include <memory>

#include "platform/Error.h"

namespace dwl {

inline constexpr long kObjectNotSet = 91;

template <class T>
T& Use(T* object) {
  if (object == nullptr) {
    throw Error(kObjectNotSet, "", "Object variable or With block variable not set");
  }
  return *object;
}

// Returns the reference itself, so that what it names lives as long as the
// caller holds it.
template <class T>
std::shared_ptr<T> Use(std::shared_ptr<T> object) {
  Use(object.get());
  return object;
}

}  // namespace dwl
