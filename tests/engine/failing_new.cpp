#include "failing_new.h"

#include <cstdlib>
#include <new>

namespace zantor::testing {
namespace {

thread_local long long allowed = -1;
thread_local bool failed = false;

// Counts one allocation; false when it is to fail.
bool Permit() noexcept {
  if (allowed == 0) {
    failed = true;
    return false;
  }
  if (allowed > 0) --allowed;
  return true;
}

}  // namespace

void FailAllocationsAfter(long long n) {
  allowed = n;
  failed = false;
}

bool AnAllocationFailed() { return failed; }

}  // namespace zantor::testing

namespace {

void* Allocate(std::size_t size) noexcept {
  return zantor::testing::Permit() ? std::malloc(size == 0 ? 1 : size) : nullptr;
}

void* AllocateAligned(std::size_t size, std::align_val_t alignment) noexcept {
  const auto a = static_cast<std::size_t>(alignment);
  return zantor::testing::Permit() ? std::aligned_alloc(a, (size + a) / a * a) : nullptr;
}

template <typename... Args>
void* OrThrow(void* (*allocate)(std::size_t, Args...) noexcept, std::size_t size, Args... args) {
  void* p = allocate(size, args...);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

// Every form the program can reach, so that new and delete always pair up (a
// sanitizer's own forms would otherwise meet blocks from malloc).
void* operator new(std::size_t size) { return OrThrow(Allocate, size); }
void* operator new[](std::size_t size) { return OrThrow(Allocate, size); }
void* operator new(std::size_t size, std::align_val_t a) {
  return OrThrow(AllocateAligned, size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return OrThrow(AllocateAligned, size, a);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, a);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
