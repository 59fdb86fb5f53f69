// A tape of steps, operator and mode changes, zero results, recalls and
// restores, run through the engine and through the fuzzers' own decimal
// arithmetic side by side. Every completed step must show the same total,
// record the same entry texts and leave the same registers; every refused
// step must leave the registers as they were, also when the node pool runs
// dry part-way through a step.
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "exact_decimal.h"
#include "failing_new.h"
#include "fuzz_support.h"
#include "node_heap_check.h"

namespace zantor::fuzz {
namespace {

using engine::CalcState;
using engine::StepMessage;
using engine::StepResult;

constexpr int kMaxSteps = 64;
constexpr size_t kMaxEntryLength = 40;

struct Registers {
  std::string accumulator;  // sign followed by every digit node
  int accScale;
  int workScale;
  char operandSign;
  std::string operandDigits;
  char pendingOp;
  char entryMode;
  bool operator==(const Registers&) const = default;
};

Registers Snapshot(const CalcState& s) {
  return {s.accumulator.sign() + s.accumulator.DigitsText(),
          s.accScale,
          s.workScale,
          s.operand.sign(),
          s.operand.DigitsText(),
          s.pendingOp,
          s.entryMode};
}

std::string Describe(const Registers& r) {
  return "acc=" + r.accumulator + " accScale=" + std::to_string(r.accScale) +
         " workScale=" + std::to_string(r.workScale) + " operand=" + r.operandSign +
         r.operandDigits + " op=" + r.pendingOp + " mode=" + r.entryMode;
}

std::string Describe(const Decimal& d) {
  return std::string(d.negative ? "-" : "+") + d.digits + " scale " + std::to_string(d.scale);
}

// Mostly well-formed numbers of every length around the 40-character limit,
// with room for misplaced signs and points and the odd foreign byte.
std::string DecodeEntry(ByteReader& in) {
  const uint8_t shape = in.Byte();
  std::string s;
  auto digits = [&](int n) {
    for (int i = 0; i < n; ++i) {
      const uint8_t b = in.Byte();
      // Zeros are where leading-zero removal and trailing-zero trimming live.
      s.push_back(static_cast<char>(b >= 200 ? '0' : '0' + b % 10));
    }
  };
  switch (shape % 4) {
    case 0: {  // free text over the number alphabet, sometimes any byte
      static constexpr char kAlphabet[] = "0123456789.-00";
      const int n = in.Below(46);
      for (int i = 0; i < n; ++i) {
        const uint8_t b = in.Byte();
        s.push_back(b == 0xFF ? static_cast<char>(in.Byte())
                              : kAlphabet[b % (sizeof kAlphabet - 1)]);
      }
      break;
    }
    case 1:  // a whole number
      if (shape & 0x10) s.push_back('-');
      digits(1 + in.Below(44));
      break;
    default:  // a number with a point; the 0x40 bit gives short ones
      if (shape & 0x10) s.push_back('-');
      digits(1 + in.Below((shape & 0x40) ? 4 : 24));
      s.push_back('.');
      digits(1 + in.Below((shape & 0x40) ? 4 : 24));
      break;
  }
  return s;
}

bool HasForeignByte(std::string_view t) {
  for (char c : t) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-')) return true;
  }
  return false;
}

class Tape {
 public:
  // `budget` caps the digit nodes the step may take, `allocations` the
  // other heap blocks (its texts); negative: no cap.
  void Step(const std::string& entry, long long budget, long long allocations = -1) {
    const Registers before = Snapshot(state_);
    StepResult r;
    bool escaped = false;
    engine::SetNodeBudgetForTesting(budget);
    {
      testing::FailingAllocations heap(allocations);
      try {
        r = engine::EvaluateStep(state_, entry);
      } catch (const std::bad_alloc&) {
        escaped = true;
      }
    }
    engine::SetNodeBudgetForTesting(-1);
    const Registers after = Snapshot(state_);
    const std::string context = "entry '" + entry + "' budget " + std::to_string(budget) +
                                " allocations " + std::to_string(allocations) +
                                " before: " + Describe(before) + " after: " + Describe(after);
    Require(!escaped, "std::bad_alloc escaped the step", context);

    if (entry.empty()) {
      Require(r.status == StepResult::Status::kEmpty, "an empty entry is not ignored", context);
      Require(after == before, "an empty entry changed the registers", context);
      return;
    }
    const bool fast = state_.entryMode == 'k';
    const bool wellFormed = IsNumberText(entry);
    if (!wellFormed || BareEntry(entry, false).size() > kMaxEntryLength) {
      Require(r.status == StepResult::Status::kRefused, "a bad entry was not refused", context);
      if (wellFormed) {
        // Its length is seen only once a copy of it is made, which the heap
        // may refuse.
        Require(r.message == StepMessage::kTooLong ||
                    (allocations >= 0 && r.message == StepMessage::kOutOfMemory),
                "a long entry gave another message", context);
      } else {
        Require(r.message != StepMessage::kTooLong && r.message != StepMessage::kOutOfMemory &&
                    r.message != StepMessage::kNone,
                "a malformed entry gave no check's message", context);
        Require((r.message == StepMessage::kForeignCharacter) == HasForeignByte(entry),
                "foreign bytes and their message disagree", context);
      }
      Require(after == before, "a refused entry changed the registers", context);
      return;
    }
    if (r.status == StepResult::Status::kRefused && r.message == StepMessage::kOutOfMemory) {
      Require(budget >= 0 || allocations >= 0, "out of memory without a budget", context);
      Registers expected = before;
      // The operand is a zero either way; which sign the zero carries is not kept.
      expected.operandSign = after.operandSign;
      Require(after == expected, "an out-of-memory step changed the registers", context);
      return;
    }
    Require(r.status == StepResult::Status::kDone, "a good entry was not computed", context);

    const Decimal value = EntryValue(entry, fast);
    switch (state_.pendingOp) {
      case '+':
        total_ = Add(total_, value);
        break;
      case '-':
        total_ = Subtract(total_, value);
        break;
      default:
        total_ = Multiply(total_, value);
        break;
    }
    shown_ = Displayed(total_);
    const std::string expect = "\n  expected total " + Describe(total_) + " shown " + shown_;
    const std::string fdata = BareEntry(entry, fast);
    Require(r.row.oP == before.pendingOp, "the row has another operator", context);
    Require(r.row.fdata == fdata, "fdata differs", context + " fdata " + r.row.fdata);
    Require(r.row.mdata == Grouped(fdata), "mdata differs", context + " mdata " + r.row.mdata);
    Require(r.row.re == shown_, "the shown total differs", context + " re " + r.row.re + expect);
    Require(state_.accumulator.DigitsText() == total_.digits && state_.accScale == total_.scale,
            "the accumulator differs", context + expect);
    Require(total_.IsZero() || (state_.accumulator.sign() == '-') == total_.negative,
            "the accumulator's sign differs", context + expect);
    Require(state_.workScale == state_.accScale, "workScale and accScale part", context);
    Require(state_.operand.DigitsText() == "0", "the operand is not a zero", context);
    Require(after.pendingOp == before.pendingOp && after.entryMode == before.entryMode,
            "a step changed the operator or the mode", context);
  }

  void CycleOperator(int which) { state_.pendingOp = "+-*"[which]; }
  void ToggleMode() { state_.entryMode = state_.entryMode == 'k' ? 'z' : 'k'; }

  void ZeroResult() {
    engine::ZeroResult(state_);
    total_ = Decimal{};
    shown_ = "0.00";
    Require(state_.accumulator.DigitsText() == "0" && state_.accScale == 0 &&
                state_.operand.DigitsText() == "0",
            "zero result left a number behind", Describe(Snapshot(state_)));
  }

  // Memory recall brings the shown total back without its commas.
  std::string RecalledEntry() const {
    std::string s;
    for (char c : shown_) {
      if (c != ',') s.push_back(c);
    }
    return s;
  }

  // The start-up restore from the saved total text and its scale.
  void Restore() {
    const Registers before = Snapshot(state_);
    engine::RestoreAccumulator(state_, state_.accScale, shown_);
    const std::string context = "restore '" + shown_ + "' before: " + Describe(before) +
                                " after: " + Describe(Snapshot(state_)) + " expected " +
                                Describe(total_);
    Require(state_.accumulator.DigitsText() == total_.digits && state_.accScale == total_.scale,
            "restore rebuilt another total", context);
    Require(total_.IsZero() || (state_.accumulator.sign() == '-') == total_.negative,
            "restore rebuilt another sign", context);
  }

 private:
  CalcState state_;
  Decimal total_;
  std::string shown_ = "0";
};

}  // namespace
}  // namespace zantor::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zantor::fuzz::RequireNodesFromHeap();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zantor::fuzz;
  ByteReader in(data, size);
  Tape tape;
  for (int i = 0; i < kMaxSteps && !in.empty(); ++i) {
    const uint8_t op = in.Byte();
    switch (op % 8) {
      case 4:
        tape.CycleOperator(in.Below(3));
        break;
      case 5:
        tape.ToggleMode();
        break;
      case 6:
        tape.ZeroResult();
        break;
      case 7:
        if (op & 0x80) {
          tape.Restore();
        } else {
          tape.Step(tape.RecalledEntry(), -1);
        }
        break;
      default: {
        // The high bit caps the nodes this step may allocate, and with
        // 0x40 also its other heap blocks.
        const long long budget = (op & 0x80) ? in.Below(64) : -1;
        const long long allocations = (op & 0xC0) == 0xC0 ? in.Below(8) : -1;
        tape.Step(DecodeEntry(in), budget, allocations);
        break;
      }
    }
  }
  return 0;
}
