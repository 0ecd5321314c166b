// Checks a class's virtual-table layout against the host's: each named function in its slot,
// and nothing after the last one.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <typeinfo>
#include <vector>

#include "support/vtable_index.h"

namespace vtable {

struct Slot {
  Slot(const char* n, std::ptrdiff_t i, int s = -1) : name(n), index(i), slot(s) {}
  std::string name;
  std::ptrdiff_t index;  // what the compiler made of it
  int slot;              // the host's slot; -1: the one after the previous entry's
};

// Each entry of `table` in its slot and `C`'s table `slots` long: a virtual a derived class adds
// comes right after it. The destructor sits first, or after the operations (slot 0 is then the
// first operation).
template <class C>
void ExpectLayout(std::vector<Slot> table, int slots, bool destructor_last = false) {
  if (!vtable::kSupported) GTEST_SKIP() << "layout is read through the Itanium member pointer";
  int next = destructor_last ? 0 : 1;
  for (Slot& s : table) {
    if (s.slot < 0) s.slot = next;
    next = s.slot + 1;
    EXPECT_EQ(s.index, destructor_last ? s.slot : vtable::IndexForSlot(s.slot))
        << typeid(C).name() << "::" << s.name << " should be slot " << s.slot;
  }
  struct Probe : C {
    virtual void ProbeSlot() = 0;
  };
  // Slot count plus the second destructor entry.
  EXPECT_EQ(vtable::IndexOf(&Probe::ProbeSlot), slots + 1)
      << typeid(C).name() << ": unexpected entries after the last";
}

}  // namespace vtable

#define S(fn) vtable::Slot(#fn, vtable::IndexOf(&T::fn))
#define AT(fn, n) vtable::Slot(#fn, vtable::IndexOf(&T::fn), n)
