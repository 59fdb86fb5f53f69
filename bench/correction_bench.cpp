// Correcting a past step in a history of one 1,000,000-row run: row 1 (the
// whole run recomputed and rewritten, in one transaction) and one of the last
// 100 rows. The window's path corrects on its open connection; the command
// line's path opens the file, corrects and closes it (its checkpoint included).
// Each correction toggles the row between two entries, so that every
// iteration rewrites the same rows.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>

#include "bench/bench_history.h"
#include "store/correction.h"
#include "store/history_store.h"

namespace {

using zantor::store::CorrectionStatus;
using zantor::store::HistoryStore;
using zantor::store::Notice;

constexpr long long kRows = 1000000;

const std::string& BenchFile() {
  static zantor::bench::MadeFile made;
  static const std::string path = [] {
    made.path = zantor::bench::MakeHistoryFile("zantor-correct-bench", kRows);
    return made.path;
  }();
  return path;
}

void Check(benchmark::State& st, const zantor::store::CorrectionOutcome& out, long long rows) {
  if (out.status != CorrectionStatus::kDone) st.SkipWithError("correction refused");
  if (out.lastId - out.firstId + 1 != rows) st.SkipWithError("not the whole rest of the run");
  if (!out.totalChanged) st.SkipWithError("the current total did not follow");
}

void BM_CorrectRow1(benchmark::State& st) {
  HistoryStore store(BenchFile());
  const zantor::store::SavedTotal saved = store.RestoreLastTotal();
  if (store.OpenHistoryDatabase() != Notice::kNone) std::abort();
  store.SaveLastTotal(saved.pos, saved.resu);  // as when the search dialog opens
  bool flip = false;
  for (auto _ : st) {
    flip = !flip;
    Check(st, store.Correct({1, 0, flip ? "1" : "2"}), kRows);
  }
  st.counters["rows"] = static_cast<double>(kRows);
}
BENCHMARK(BM_CorrectRow1)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_CorrectRow1FromCommandLine(benchmark::State& st) {
  bool flip = false;
  for (auto _ : st) {
    flip = !flip;
    Check(st, zantor::store::CorrectStepInFile(BenchFile(), {1, 0, flip ? "3" : "4"}), kRows);
  }
}
BENCHMARK(BM_CorrectRow1FromCommandLine)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_CorrectOneOfTheLast100(benchmark::State& st) {
  HistoryStore store(BenchFile());
  store.RestoreLastTotal();
  if (store.OpenHistoryDatabase() != Notice::kNone) std::abort();
  std::mt19937 rng(7);
  std::uniform_int_distribution<long long> back(0, 99);
  long long entry = 10;  // a new entry each time, so no correction leaves a row as it was
  for (auto _ : st) {
    const long long id = kRows - back(rng);
    Check(st, store.Correct({id, 0, std::to_string(++entry)}), kRows - id + 1);
  }
}
BENCHMARK(BM_CorrectOneOfTheLast100)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace
