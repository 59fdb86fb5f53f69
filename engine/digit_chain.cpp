#include "engine/digit_chain.h"

#include <new>

namespace zantor::engine {
namespace {

constexpr signed char kZero = '0';

int Value(const DigitNode* n) { return n->character - kZero; }
signed char Digit(int v) { return static_cast<signed char>(kZero + v); }

// Nodes are tiny and a long total has hundreds of thousands of them: a
// free-list pool keeps one allocation per node as cheap as a pointer swap.
// Sanitizer builds allocate each node from the heap so that use-after-free
// and leaks stay visible.
// GCC announces AddressSanitizer with a macro, clang only through
// __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define ZANTOR_NODES_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZANTOR_NODES_FROM_HEAP 1
#endif
#endif
#if defined(ZANTOR_NODES_FROM_HEAP)
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif

// The pool is never torn down: the registers can be objects of static storage
// duration, destroyed at exit after thread-local storage, and their chains
// must still be releasable then. Blocks stay with the process; each keeps the
// previous one in its first node's link, so they remain reachable.
struct NodePool {
  DigitNode* free;
  DigitNode* blocks;
  size_t next_block;
  long long budget;

  bool Grow() {
    DigitNode* block = new (std::nothrow) DigitNode[next_block + 1];
    if (block == nullptr) return false;
    block[0].link = blocks;
    blocks = block;
    for (size_t i = 1; i <= next_block; ++i) {
      block[i].link = free;
      free = &block[i];
    }
    if (next_block < (size_t{1} << 20)) next_block *= 2;
    return true;
  }
};

// Trivially destructible and constant-initialised: no guard on each use and
// nothing that runs at thread exit.
thread_local NodePool pool{nullptr, nullptr, 256, -1};

// Appends fresh '0' nodes behind a cursor; remembers the head so that a
// failed allocation releases everything built so far.
class ChainBuilder {
 public:
  bool Start() {
    head_ = NewDigitNode();
    tail_ = head_;
    return head_ != nullptr;
  }
  DigitNode* head() const { return head_; }
  Chain Fail() {
    ReleaseChain(head_);
    head_ = nullptr;
    return nullptr;
  }
  Chain Finish() {
    DigitNode* h = head_;
    head_ = nullptr;
    return Chain(h);
  }

 private:
  DigitNode* head_ = nullptr;
  DigitNode* tail_ = nullptr;
};

// Creates the node behind `r` when it has none; false when memory ran out.
bool EnsureNext(DigitNode* r) {
  if (r->link != nullptr) return true;
  r->link = NewDigitNode();
  return r->link != nullptr;
}

}  // namespace

DigitNode* NewDigitNode() {
  if (pool.budget == 0) return nullptr;
  DigitNode* n;
  if constexpr (kPooled) {
    if (pool.free == nullptr && !pool.Grow()) return nullptr;
    n = pool.free;
    pool.free = n->link;
  } else {
    n = new (std::nothrow) DigitNode;
    if (n == nullptr) return nullptr;
  }
  if (pool.budget > 0) --pool.budget;
  n->character = kZero;
  n->link = nullptr;
  return n;
}

void ReleaseChain(DigitNode* first) noexcept {
  while (first != nullptr) {
    DigitNode* next = first->link;
    if constexpr (kPooled) {
      first->link = pool.free;
      pool.free = first;
    } else {
      delete first;
    }
    first = next;
  }
}

void SetNodeBudgetForTesting(long long budget) { pool.budget = budget; }

SignedNumber SignedNumber::Zero(char sign) {
  Chain s(NewDigitNode());
  if (!s) return {};
  s->link = NewDigitNode();
  if (s->link == nullptr) return {};
  s->character = static_cast<signed char>(sign);
  return SignedNumber(std::move(s));
}

SignedNumber SignedNumber::FromDigits(char sign, std::string_view digits) {
  SignedNumber n = Zero(sign);
  if (n.empty() || digits.empty()) return n;
  DigitNode* top = n.digits();
  top->character = static_cast<signed char>(digits.back());
  for (size_t i = digits.size() - 1; i-- > 0;) {
    top->link = NewDigitNode();
    if (top->link == nullptr) return {};
    top = top->link;
    top->character = static_cast<signed char>(digits[i]);
  }
  return n;
}

bool SignedNumber::IsZero() const {
  const DigitNode* d = digits();
  return d->link == nullptr && d->character == kZero;
}

size_t SignedNumber::DigitCount() const {
  size_t n = 0;
  for (const DigitNode* d = digits(); d != nullptr; d = d->link) ++n;
  return n;
}

std::string SignedNumber::DigitsText() const {
  std::string text(DigitCount(), '0');
  size_t i = text.size();
  for (const DigitNode* d = digits(); d != nullptr; d = d->link) {
    text[--i] = static_cast<char>(d->character);
  }
  return text;
}

int CompareMagnitudes(const SignedNumber& x, const SignedNumber& y) {
  int verdict = 1;
  const DigitNode* a = x.digits();
  const DigitNode* b = y.digits();
  for (; a != nullptr && b != nullptr; a = a->link, b = b->link) {
    if (a->character != b->character) verdict = a->character - b->character;
  }
  if (a != nullptr) return 1;
  if (b != nullptr) return 2;
  return verdict < 0 ? 2 : 1;
}

Chain AddMagnitudes(const DigitNode* a, const DigitNode* b) {
  ChainBuilder out;
  if (!out.Start()) return nullptr;
  DigitNode* r = out.head();
  auto place = [&](int s) {
    r->character = Digit(s % 10);
    r->link = NewDigitNode();
    if (r->link == nullptr) return false;
    r = r->link;
    r->character = Digit(s / 10);
    return true;
  };
  for (; a != nullptr && b != nullptr; a = a->link, b = b->link) {
    if (!place(Value(r) + Value(a) + Value(b))) return out.Fail();
  }
  for (const DigitNode* rest = a != nullptr ? a : b; rest != nullptr; rest = rest->link) {
    if (!place(Value(r) + Value(rest))) return out.Fail();
  }
  return out.Finish();
}

Chain SubtractMagnitudes(const DigitNode* a, const DigitNode* b) {
  ChainBuilder out;
  if (!out.Start()) return nullptr;
  DigitNode* r = out.head();
  // r holds '0' or the borrow marker '/', whose value is -1.
  auto place = [&](int t) {
    const bool borrow = t < 0;
    if (borrow) t += 10;
    r->character = Digit(t);
    r->link = NewDigitNode();
    if (r->link == nullptr) return false;
    r = r->link;
    r->character = borrow ? '/' : kZero;
    return true;
  };
  for (; b != nullptr; b = b->link) {
    if (!place(Value(r) + Value(a) - Value(b))) return out.Fail();
    a = a->link;
    if (a == nullptr) return out.Finish();
  }
  for (; a != nullptr; a = a->link) {
    if (!place(Value(r) + Value(a))) return out.Fail();
  }
  return out.Finish();
}

Chain MultiplyMagnitudes(const DigitNode* a, const DigitNode* b) {
  ChainBuilder out;
  if (!out.Start()) return nullptr;
  DigitNode* r = out.head();
  for (; b != nullptr; b = b->link) {
    const int d = Value(b);
    if (d != 0) {
      DigitNode* s = r;
      for (const DigitNode* e = a; e != nullptr; e = e->link) {
        const int t = d * Value(e) + Value(s);
        s->character = Digit(t % 10);
        if (!EnsureNext(s)) return out.Fail();
        s = s->link;
        s->character = static_cast<signed char>(s->character + t / 10);
      }
    } else if (!EnsureNext(r)) {
      return out.Fail();
    }
    r = r->link;  // a pass, or EnsureNext above, always leaves a successor
  }
  return out.Finish();
}

namespace {

SignedNumber Assemble(char sign, Chain digits) {
  if (!digits) return {};
  Chain s(NewDigitNode());
  if (!s) return {};
  s->character = static_cast<signed char>(sign);
  s->link = digits.release();
  return SignedNumber(std::move(s));
}

}  // namespace

SignedNumber SignedAdd(const SignedNumber& x, const SignedNumber& y, int k) {
  if (x.sign() == y.sign()) return Assemble(x.sign(), AddMagnitudes(x.digits(), y.digits()));
  if (k == 1) return Assemble(x.sign(), SubtractMagnitudes(x.digits(), y.digits()));
  return Assemble(y.sign(), SubtractMagnitudes(y.digits(), x.digits()));
}

SignedNumber SignedSubtract(const SignedNumber& x, const SignedNumber& y, int k) {
  if (x.sign() != y.sign()) return Assemble(x.sign(), AddMagnitudes(x.digits(), y.digits()));
  if (k == 1) return Assemble(x.sign(), SubtractMagnitudes(x.digits(), y.digits()));
  return Assemble(x.sign() == '+' ? '-' : '+', SubtractMagnitudes(y.digits(), x.digits()));
}

SignedNumber SignedMultiply(const SignedNumber& x, const SignedNumber& y) {
  const char sign = x.sign() == y.sign() ? '+' : '-';
  return Assemble(sign, MultiplyMagnitudes(x.digits(), y.digits()));
}

void TrimLeadingZeros(SignedNumber& n) {
  DigitNode* keep = n.digits();
  for (DigitNode* d = n.digits(); d != nullptr; d = d->link) {
    if (d->character != kZero) keep = d;
  }
  ReleaseChain(keep->link);
  keep->link = nullptr;
}

void ReduceToZero(SignedNumber& n) {
  DigitNode* first = n.digits();
  ReleaseChain(first->link);
  first->link = nullptr;
  first->character = kZero;
}

}  // namespace zantor::engine
