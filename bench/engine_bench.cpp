// Cost of one evaluation step, on everyday totals and on very long ones.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "engine/calc_state.h"
#include "engine/step.h"

namespace {

using zantor::engine::CalcState;
using zantor::engine::EvaluateStep;
using zantor::engine::RestoreAccumulator;
using zantor::engine::StepResult;

// n digits, the first and last non-zero so the scale survives as given.
std::string LongTotal(size_t n) {
  std::mt19937 gen(12345);
  std::uniform_int_distribution<int> digit(0, 9);
  std::string s(n, '0');
  for (char& c : s) c = static_cast<char>('0' + digit(gen));
  s.front() = '7';
  s.back() = '3';
  return s;
}

void Check(benchmark::State& state, const StepResult& r) {
  if (r.status != StepResult::Status::kDone) state.SkipWithError("step refused");
}

// Everyday use: a few digits either side of the point, fast mode.
void BM_StepSmallTotal(benchmark::State& state) {
  CalcState s;
  RestoreAccumulator(s, 2, "12,345.67");
  bool add = true;
  for (auto _ : state) {
    s.pendingOp = add ? '+' : '-';
    add = !add;
    const StepResult r = EvaluateStep(s, "123456");
    benchmark::DoNotOptimize(r.row.re.data());
  }
}
BENCHMARK(BM_StepSmallTotal);

// '+' and '-' in turn keep the total at its length from one step to the next.
void BM_StepAddLongTotal(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  CalcState s;
  RestoreAccumulator(s, 2, LongTotal(n));
  bool add = true;
  for (auto _ : state) {
    s.pendingOp = add ? '+' : '-';
    add = !add;
    const StepResult r = EvaluateStep(s, "123456789");
    Check(state, r);
    benchmark::DoNotOptimize(r.row.re.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_StepAddLongTotal)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A product lengthens the total, so each step starts again from the same one.
void BM_StepMultiplyLongTotal(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  const std::string total = LongTotal(n);
  CalcState s;
  s.pendingOp = '*';
  for (auto _ : state) {
    state.PauseTiming();
    RestoreAccumulator(s, 2, total);
    state.ResumeTiming();
    const StepResult r = EvaluateStep(s, "123456789");
    Check(state, r);
    benchmark::DoNotOptimize(r.row.re.data());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_StepMultiplyLongTotal)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
