// The bookkeeper's checks: an amount in capitals, one Enter of a 10,000-step
// run keyed in again, and the start of a check of that run at the end of a
// 1,000,000-row history against the same run alone. Baselines from the same
// run: an evaluation step (what Enter costs outside a check) and the run
// alone in its own history.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_history.h"
#include "engine/capitals.h"
#include "engine/run_check.h"
#include "engine/step.h"
#include "store/history_store.h"
#include "store/recorded_run.h"

namespace {

using zantor::engine::CalcState;
using zantor::engine::EvaluateStep;
using zantor::engine::HistoryRow;

constexpr long long kRunSteps = 10000;

std::string Entry(long long i) { return std::to_string((i * 7919) % 100000); }
char Op(long long i) { return i % 5 == 4 ? '-' : '+'; }

// `rows` steps, the last kRunSteps of them a run of their own after a zeroing.
std::string MakeFile(const std::string& name, long long rows, zantor::bench::MadeFile* made) {
  const char* base = std::getenv("TMPDIR");
  std::string dir =
      std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/" + name + "-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) std::abort();
  made->path = zantor::store::DatabasePath(dir);
  zantor::store::HistoryStore store(made->path);
  if (store.OpenHistoryDatabase() != zantor::store::Notice::kNone) std::abort();
  CalcState state;
  std::string last;
  for (long long i = 0; i < rows; ++i) {
    if (i == rows - kRunSteps) zantor::engine::ZeroResult(state);
    state.pendingOp = Op(i);
    const auto r = EvaluateStep(state, Entry(i));
    store.AppendStep(r.row);
    last = r.row.re;
    if (i % 10000 == 9999) store.RecordTotal(state.accScale, last);
  }
  store.SaveLastTotal(state.accScale, last);
  return made->path;
}

void BM_EvaluateStepBaseline(benchmark::State& st) {
  CalcState state;
  long long i = 0;
  for (auto _ : st) {
    state.pendingOp = Op(i);
    benchmark::DoNotOptimize(EvaluateStep(state, Entry(i++)));
  }
}
BENCHMARK(BM_EvaluateStepBaseline);

void BM_Capitals(benchmark::State& st) {
  const std::vector<std::string> amounts = {"9,999,999,999,999,999.99",
                                            "1,000,000,000,000,001.01",
                                            "-1,234.567",
                                            "100,000,001",
                                            "0.05",
                                            "10,010,000.5"};
  size_t i = 0;
  for (auto _ : st) {
    benchmark::DoNotOptimize(zantor::engine::AmountInCapitals(amounts[i++ % amounts.size()]));
  }
}
BENCHMARK(BM_Capitals);

// One Enter of the check: the typed step, its comparison and the texts.
void BM_CheckEnterIn10000StepRun(benchmark::State& st) {
  std::vector<HistoryRow> rows;
  CalcState state;
  for (long long i = 0; i < kRunSteps; ++i) {
    state.pendingOp = Op(i);
    rows.push_back(EvaluateStep(state, Entry(i)).row);
  }
  zantor::engine::RunCheck check(rows, "");
  long long i = 0;
  for (auto _ : st) {
    if (check.finished()) {
      st.PauseTiming();
      check = zantor::engine::RunCheck(rows, "");
      i = 0;
      st.ResumeTiming();
    }
    // Every 100th step typed wrong.
    const std::string typed = i % 100 == 50 ? "1" : Entry(i);
    benchmark::DoNotOptimize(check.Enter(Op(i), 'k', typed));
    ++i;
  }
}
BENCHMARK(BM_CheckEnterIn10000StepRun);

// From K to the first step awaited: the run read around the last step, and
// the check made from it.
void StartCheck(benchmark::State& st, long long historyRows) {
  static zantor::bench::MadeFile made[2];
  zantor::bench::MadeFile& file = made[historyRows > kRunSteps ? 1 : 0];
  const std::string path =
      file.path.empty() ? MakeFile("zantor-check-bench", historyRows, &file) : file.path;
  zantor::store::HistoryStore store(path);
  store.RestoreLastTotal();
  if (store.OpenHistoryDatabase() != zantor::store::Notice::kNone) std::abort();
  for (auto _ : st) {
    zantor::store::RecordedRun run;
    if (store.RunHolding(store.LastStepId(), &run) != zantor::store::RunStatus::kFound ||
        static_cast<long long>(run.rows.size()) != kRunSteps) {
      st.SkipWithError("not the last run");
      break;
    }
    zantor::engine::RunCheck check(std::move(run.rows), run.before);
    benchmark::DoNotOptimize(check.size());
  }
}

void BM_StartCheckRunAlone(benchmark::State& st) { StartCheck(st, kRunSteps); }
BENCHMARK(BM_StartCheckRunAlone)->Unit(benchmark::kMillisecond);

void BM_StartCheckRunAfter990000Rows(benchmark::State& st) { StartCheck(st, 1000000); }
BENCHMARK(BM_StartCheckRunAfter990000Rows)->Unit(benchmark::kMillisecond);

}  // namespace
