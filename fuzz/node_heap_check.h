// The fuzzers find leaked and reused digit nodes only when every node comes
// from the sanitizer's heap; a pooled node that is released stays readable
// and is never reported lost. This makes sure the pool is out of the way.
#pragma once

#include <sanitizer/asan_interface.h>

#include "engine/digit_chain.h"
#include "fuzz_support.h"

namespace zantor::fuzz {

inline void RequireNodesFromHeap() {
  engine::DigitNode* n = engine::NewDigitNode();
  Require(n != nullptr, "no digit node could be allocated");
  engine::ReleaseChain(n);
  Require(__asan_address_is_poisoned(n) != 0,
          "a released digit node is still addressable: nodes are pooled in this build");
}

}  // namespace zantor::fuzz
