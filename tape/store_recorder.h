// A tape's steps into a history file, as the window records them.
#pragma once

#include <string>

#include "store/history_store.h"
#include "tape/tape.h"

namespace zantor::tape {

class StoreRecorder : public Recorder {
 public:
  // commitEvery 1 is the window's path: each step is durable when it has been
  // recorded (HistoryStore::RecordStep). With N > 1 the rows are appended to
  // the open transaction and committed, with the live total, every N steps:
  // a kill loses at most the last N - 1 steps, a normal end loses nothing.
  StoreRecorder(store::HistoryStore& store, long commitEvery);

  void Step(const engine::HistoryRow& row, int accScale) override;
  void Zeroed() override;
  // Saves the total as the window does at close, then closes the file.
  void Finish(int accScale, const std::string& resultText) override;

  // What the final save returned (kSaveFailed when something was not saved).
  store::Notice finishNotice() const { return finishNotice_; }

 private:
  store::HistoryStore& store_;
  long commitEvery_;
  long pending_ = 0;
  store::Notice finishNotice_ = store::Notice::kNone;
};

}  // namespace zantor::tape
