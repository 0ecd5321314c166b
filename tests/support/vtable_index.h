// Where a virtual function sits in its class's virtual table, read from a pointer to member.
//
// Itanium C++ ABI (GCC, Clang on Linux and macOS): a pointer to a virtual member function holds
// the function's byte offset in the table plus one (x86, x86-64), or the offset with the
// virtual flag moved into the low bit of the adjustment (32- and 64-bit ARM). The table of a
// class with a virtual destructor in slot 0 has two destructor entries there, so host slot s > 0
// is table index s + 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vtable {

#if defined(__GNUC__) && !defined(_MSC_VER)
inline constexpr bool kSupported = true;
#else
inline constexpr bool kSupported = false;
#endif

// The table index of `member`, or -1 when it is not virtual (or the ABI is not Itanium).
template <class Member>
std::ptrdiff_t IndexOf(Member member) {
  struct Representation {
    std::uintptr_t ptr;
    std::ptrdiff_t adj;
  };
  static_assert(sizeof(Member) == sizeof(Representation), "not an Itanium member pointer");
  if (!kSupported) return -1;
  Representation rep;
  std::memcpy(&rep, &member, sizeof rep);
#if defined(__arm__) || defined(__aarch64__)
  if ((rep.adj & 1) == 0) return -1;
  return static_cast<std::ptrdiff_t>(rep.ptr / sizeof(void*));
#else
  if ((rep.ptr & 1) == 0) return -1;
  return static_cast<std::ptrdiff_t>((rep.ptr - 1) / sizeof(void*));
#endif
}

// The table index that host slot `slot` has on this ABI, for a class whose destructor is slot 0.
constexpr std::ptrdiff_t IndexForSlot(int slot) {
  return slot == 0 ? 0 : slot + 1;
}

}  // namespace vtable
