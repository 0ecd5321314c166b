#include "counting_new.h"

#include <cstdlib>
#include <new>

namespace codec_test {
std::atomic<bool> g_counting{false};
std::atomic<size_t> g_allocations{0};
std::atomic<size_t> g_bytes{0};
}  // namespace codec_test

void* operator new(std::size_t size) {
  if (codec_test::g_counting.load(std::memory_order_relaxed)) {
    codec_test::g_allocations.fetch_add(1, std::memory_order_relaxed);
    codec_test::g_bytes.fetch_add(size, std::memory_order_relaxed);
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return ::operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
