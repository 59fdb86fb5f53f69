// The per-step cost of the durable step (HistoryStore::RecordStep: row, live
// total, COMMIT, BEGIN in WAL mode with synchronous=NORMAL) against a
// plain insert into one open transaction (HistoryStore::AppendStep), on a real
// file in $TMPDIR (default /tmp). The ratio of the two is the price of the mend.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "store/history_store.h"

namespace {

std::string TempDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/zantor-store-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  return pattern;
}

// Rows as the engine makes them: a few thousand distinct steps, reused.
const std::vector<zantor::engine::HistoryRow>& SampleRows() {
  static const std::vector<zantor::engine::HistoryRow> rows = [] {
    std::vector<zantor::engine::HistoryRow> out;
    zantor::engine::CalcState state;
    for (long i = 0; i < 4096; ++i) {
      state.pendingOp = i % 5 == 4 ? '-' : '+';
      const auto r = zantor::engine::EvaluateStep(state, std::to_string((i * 7919) % 100000));
      out.push_back(r.row);
    }
    return out;
  }();
  return rows;
}

void BM_DurableRecordStep(benchmark::State& st) {
  const std::string dir = TempDirectory();
  const auto& rows = SampleRows();
  {
    zantor::store::HistoryStore store(zantor::store::DatabasePath(dir));
    if (store.OpenHistoryDatabase() != zantor::store::Notice::kNone) std::abort();
    size_t i = 0;
    for (auto _ : st) {
      store.RecordStep(rows[i], 2);
      i = (i + 1) % rows.size();
    }
    store.SaveLastTotal(2, rows[i].re);  // after the timed loop
    store.CloseHistoryDatabase();
  }
  st.SetItemsProcessed(st.iterations());
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_DurableRecordStep)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_PlainInsertInOneTransaction(benchmark::State& st) {
  const std::string dir = TempDirectory();
  const auto& rows = SampleRows();
  {
    zantor::store::HistoryStore store(zantor::store::DatabasePath(dir));
    if (store.OpenHistoryDatabase() != zantor::store::Notice::kNone) std::abort();
    size_t i = 0;
    for (auto _ : st) {
      store.AppendStep(rows[i]);  // the insert into the open transaction
      i = (i + 1) % rows.size();
    }
    store.SaveLastTotal(2, rows[i].re);  // after the timed loop
    store.CloseHistoryDatabase();
  }
  st.SetItemsProcessed(st.iterations());
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_PlainInsertInOneTransaction)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

// zantor-tape's batched path: rows appended, live total and commit every N.
void BM_BatchedAppend(benchmark::State& st) {
  const std::string dir = TempDirectory();
  const auto& rows = SampleRows();
  const long every = st.range(0);
  {
    zantor::store::HistoryStore store(zantor::store::DatabasePath(dir));
    if (store.OpenHistoryDatabase() != zantor::store::Notice::kNone) std::abort();
    size_t i = 0;
    long pending = 0;
    for (auto _ : st) {
      store.AppendStep(rows[i]);
      if (++pending == every) {
        store.RecordTotal(2, rows[i].re);
        pending = 0;
      }
      i = (i + 1) % rows.size();
    }
    store.SaveLastTotal(2, rows[i].re);  // after the timed loop
    store.CloseHistoryDatabase();
  }
  st.SetItemsProcessed(st.iterations());
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_BatchedAppend)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace
