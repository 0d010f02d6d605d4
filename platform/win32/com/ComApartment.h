// Puts the calling thread in a single-threaded apartment for the guard's
// life, as a program's main thread or a test does before it touches COM.
// Code inside the host's process does not need one: the host owns the
// apartment of the thread that calls it. Not copied or moved; the guard must
// go on the thread that made it.
#pragma once

namespace dwl::win32::com {

class ComApartment {
 public:
  // Throws dwl::Error when the thread is already in a multithreaded apartment.
  ComApartment();
  ~ComApartment();

  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

}  // namespace dwl::win32::com
