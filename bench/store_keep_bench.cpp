// The keep start on a big history: RestoreLastTotal plus OpenHistoryDatabase,
// as the window runs them at start-up. The file is $ZANTOR_BENCH_DB (for
// example the one bench/store_bench.sh records with zantor-tape), or a
// 1,000,000-row file made here. Each iteration starts from a file that was
// closed cleanly with a saved total (the preparation is not timed).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "bench/bench_history.h"
#include "engine/calc_state.h"
#include "engine/step.h"
#include "store/history_store.h"

namespace {

using zantor::store::HistoryStore;
using zantor::store::Notice;

const std::string& BenchFile() {
  static zantor::bench::MadeFile made;
  static const std::string path = [] {
    if (const char* env = std::getenv("ZANTOR_BENCH_DB"); env != nullptr && env[0] != '\0') {
      return std::string(env);
    }
    made.path = zantor::bench::MakeHistoryFile("zantor-keep-bench", 1000000);
    return made.path;
  }();
  return path;
}

// A file as a clean close leaves it: the restored total saved again.
void CloseCleanly(HistoryStore& store, const zantor::store::SavedTotal& saved) {
  store.SaveLastTotal(saved.pos, saved.found ? saved.resu : "0.00");
  store.CloseHistoryDatabase();
}

void BM_KeepStart(benchmark::State& st) {
  const std::string& path = BenchFile();
  struct stat info {};
  ::stat(path.c_str(), &info);
  st.counters["file_MiB"] = static_cast<double>(info.st_size) / 1048576.0;
  for (auto _ : st) {
    HistoryStore store(path);
    const auto start = std::chrono::steady_clock::now();
    const bool ask = store.NeedsSizeQuestion();
    const zantor::store::SavedTotal saved = store.RestoreLastTotal();
    zantor::engine::CalcState state;
    zantor::engine::RestoreAccumulator(state, saved.pos, saved.resu);
    const Notice notice = store.OpenHistoryDatabase();
    const auto end = std::chrono::steady_clock::now();
    st.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (!saved.found || notice != Notice::kNone) st.SkipWithError("the keep start failed");
    benchmark::DoNotOptimize(ask);
    CloseCleanly(store, saved);
  }
}
BENCHMARK(BM_KeepStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// With the file's pages dropped from the page cache first (as after a reboot).
void DropFromPageCache(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const int fd = ::open((path + suffix).c_str(), O_RDONLY);
    if (fd < 0) continue;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
  }
}

void BM_KeepStartCold(benchmark::State& st) {
  const std::string& path = BenchFile();
  for (auto _ : st) {
    DropFromPageCache(path);
    HistoryStore store(path);
    const auto start = std::chrono::steady_clock::now();
    const bool ask = store.NeedsSizeQuestion();
    const zantor::store::SavedTotal saved = store.RestoreLastTotal();
    const Notice notice = store.OpenHistoryDatabase();
    const auto end = std::chrono::steady_clock::now();
    st.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (!saved.found || notice != Notice::kNone) st.SkipWithError("the keep start failed");
    benchmark::DoNotOptimize(ask);
    CloseCleanly(store, saved);
  }
}
BENCHMARK(BM_KeepStartCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The same after the last run was killed: a child records one step and ends
// with _exit, so nothing is closed; the -wal file and the live row stay behind.
void BM_KeepStartAfterKill(benchmark::State& st) {
  const std::string& path = BenchFile();
  for (auto _ : st) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      auto* run = new HistoryStore(path);  // never destroyed: as if killed
      run->OpenHistoryDatabase();
      run->RecordStep(zantor::engine::HistoryRow{'+', "1", "1", "1"}, 0);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    HistoryStore store(path);
    const auto start = std::chrono::steady_clock::now();
    const zantor::store::SavedTotal saved = store.RestoreLastTotal();
    const Notice notice = store.OpenHistoryDatabase();
    const auto end = std::chrono::steady_clock::now();
    st.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (!saved.found || saved.resu != "1" || notice != Notice::kNone) {
      st.SkipWithError("the keep start after a kill failed");
    }
    CloseCleanly(store, saved);
  }
}
BENCHMARK(BM_KeepStartAfterKill)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
