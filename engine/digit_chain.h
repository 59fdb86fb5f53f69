// Exact decimal numbers as singly linked chains of digit characters, least
// significant digit first. The scale (digits after the point) lives beside the
// number, in the calculator's registers.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace zantor::engine {

struct DigitNode {
  signed char character;  // '0'..'9' in a chain; '+' or '-' in a sign node
  DigitNode* link;        // next more significant digit, null at the top
};

// A node holding '0' with no link, or null when memory is exhausted.
DigitNode* NewDigitNode();
// Releases a whole chain, node by node, starting at `first`.
void ReleaseChain(DigitNode* first) noexcept;

// Caps the number of nodes that may still be allocated on this thread, so that
// tests can drive every operation into the exhausted-heap path. Negative: no cap.
void SetNodeBudgetForTesting(long long budget);

struct ChainDeleter {
  void operator()(DigitNode* first) const noexcept { ReleaseChain(first); }
};
using Chain = std::unique_ptr<DigitNode, ChainDeleter>;

// Owns a sign node and the digit chain behind it. An empty SignedNumber
// (no sign node) only ever stands for "no number", the result of an
// allocation failure.
class SignedNumber {
 public:
  SignedNumber() = default;
  explicit SignedNumber(Chain sign) : sign_(std::move(sign)) {}

  // A zero of the given sign, or empty when memory is exhausted.
  static SignedNumber Zero(char sign = '+');
  // From digits written most significant first, e.g. ('-', "1234"). Test helper.
  static SignedNumber FromDigits(char sign, std::string_view digits);

  bool empty() const { return !sign_; }
  char sign() const { return static_cast<char>(sign_->character); }
  void set_sign(char sign) { sign_->character = static_cast<signed char>(sign); }
  DigitNode* node() const { return sign_.get(); }
  DigitNode* digits() const { return sign_->link; }

  // A chain that is the single node '0'.
  bool IsZero() const;
  size_t DigitCount() const;
  // Digits most significant first, leading zero nodes included.
  std::string DigitsText() const;

 private:
  Chain sign_;
};

// 1 when |x| >= |y|, 2 when |x| < |y|; length decides before digits.
int CompareMagnitudes(const SignedNumber& x, const SignedNumber& y);

// Magnitude operations: new chains, never canonical (a leading '0' node may
// remain), null when memory runs out. Inputs are never modified.
Chain AddMagnitudes(const DigitNode* a, const DigitNode* b);
// Requires a >= b and a at least as long as b.
Chain SubtractMagnitudes(const DigitNode* a, const DigitNode* b);
Chain MultiplyMagnitudes(const DigitNode* a, const DigitNode* b);

// Signed operations; k is CompareMagnitudes(x, y). A result whose digits could
// not be allocated comes back empty.
SignedNumber SignedAdd(const SignedNumber& x, const SignedNumber& y, int k);
SignedNumber SignedSubtract(const SignedNumber& x, const SignedNumber& y, int k);
SignedNumber SignedMultiply(const SignedNumber& x, const SignedNumber& y);

// Removes leading zero nodes in place; zero becomes the single node '0'.
void TrimLeadingZeros(SignedNumber& n);

// Cuts a number back to its sign node and one '0' node.
void ReduceToZero(SignedNumber& n);

}  // namespace zantor::engine
