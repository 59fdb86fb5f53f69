// Makes the program's own heap allocations fail on demand: linked into a
// binary, it replaces the global operator new and delete, so that every
// std::string, vector and node allocation can be driven into std::bad_alloc
// (or a null from the nothrow forms) at a chosen count.
#pragma once

namespace zantor::testing {

// From now on on this thread, `n` more allocations succeed and every later one
// fails; negative: none fails (the default).
void FailAllocationsAfter(long long n);
// Whether an allocation failed since the last FailAllocationsAfter.
bool AnAllocationFailed();

// Arms the countdown for its lifetime.
class FailingAllocations {
 public:
  explicit FailingAllocations(long long n) { FailAllocationsAfter(n); }
  ~FailingAllocations() { FailAllocationsAfter(-1); }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;
};

}  // namespace zantor::testing
