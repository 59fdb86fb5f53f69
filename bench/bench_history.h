// A big history file for the store benchmarks, made through the store as the
// window records it, in a folder of its own that goes when the program ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "store/history_store.h"

namespace zantor::bench {

// Removes the folder of a file made here when the program ends.
struct MadeFile {
  std::string path;
  ~MadeFile() {
    if (!path.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(std::filesystem::path(path).parent_path(), ec);
    }
  }
};

// One run of `rows` fast-mode amounts, mostly added (totals of nine to ten
// digits at 1,000,000 rows), with a total kept every 10,000 steps and saved
// at the end, in a fresh folder "<name>-XXXXXX" under $TMPDIR or /tmp.
// Returns the file's path.
inline std::string MakeHistoryFile(const std::string& name, long long rows) {
  const char* base = std::getenv("TMPDIR");
  std::string dir =
      std::string(base != nullptr && base[0] == '/' ? base : "/tmp") + "/" + name + "-XXXXXX";
  if (::mkdtemp(dir.data()) == nullptr) std::abort();
  const std::string path = store::DatabasePath(dir);
  store::HistoryStore store(path);
  if (store.OpenHistoryDatabase() != store::Notice::kNone) std::abort();
  engine::CalcState state;
  std::string last = "0.00";
  for (long long i = 0; i < rows; ++i) {
    state.pendingOp = i % 5 == 4 ? '-' : '+';
    const auto r = engine::EvaluateStep(state, std::to_string((i * 7919) % 100000));
    store.AppendStep(r.row);
    last = r.row.re;
    if (i % 10000 == 9999) store.RecordTotal(state.accScale, last);
  }
  store.SaveLastTotal(state.accScale, last);
  return path;
}

}  // namespace zantor::bench
