#include "tape/store_recorder.h"

namespace zantor::tape {

StoreRecorder::StoreRecorder(store::HistoryStore& store, long commitEvery)
    : store_(store), commitEvery_(commitEvery < 1 ? 1 : commitEvery) {}

void StoreRecorder::Step(const engine::HistoryRow& row, int accScale) {
  if (commitEvery_ == 1) {
    store_.RecordStep(row, accScale);
    return;
  }
  store_.AppendStep(row);
  if (++pending_ >= commitEvery_) {
    store_.RecordTotal(accScale, row.re);
    pending_ = 0;
  }
}

void StoreRecorder::Zeroed() {
  // The zero-result command: accScale 0 and "0.00" in the result field.
  store_.RecordTotal(0, "0.00");
  pending_ = 0;
}

void StoreRecorder::Finish(int accScale, const std::string& resultText) {
  finishNotice_ = store_.SaveLastTotal(accScale, resultText);
  store_.CloseHistoryDatabase();
  pending_ = 0;
}

}  // namespace zantor::tape
