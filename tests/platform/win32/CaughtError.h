// The dwl::Error a call throws, for tests that look at its number, source and
// description; a call that throws none fails the test.
#pragma once

#include <gtest/gtest.h>

#include "platform/Error.h"

namespace dwl::testing {

template <typename Call>
Error CaughtError(Call&& call) {
  try {
    call();
  } catch (const Error& failure) {
    return failure;
  }
  ADD_FAILURE() << "no dwl::Error";
  return Error(0, "", "");
}

}  // namespace dwl::testing
