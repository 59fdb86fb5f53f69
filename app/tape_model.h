// The tape's lines as a list model over the history file: only the lines in
// sight are read, a block at a time; the run index is built on a thread of
// its own, so a long history never holds up the window.
#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/step_marks.h"
#include "store/tape_lines.h"

namespace zantor::app {

class TapeModel : public QAbstractListModel {
  Q_OBJECT
 public:
  explicit TapeModel(QObject* parent = nullptr);
  ~TapeModel() override;

  // Indexes the history at `path` (again) in the background; the lines show
  // when it is done. Until then the model is empty, or keeps the lines it had.
  void Open(const std::string& path);
  // Forgets the history (it is being deleted).
  void Clear();
  bool ready() const { return reader_ != nullptr; }
  // Takes the steps recorded since.
  void CatchUp();
  // The last run has ended (a zeroing): its rule line shows.
  void CloseRun();
  // A note changed: the lines are read again.
  void Refresh();
  // Steps were rewritten (a correction): they show at once, their runs once
  // indexed again.
  void Reindex();

  // Line `row`, read from the file when it is not among the lines read last;
  // null when it cannot be read.
  const store::TapeLine* Line(int row) const;
  // A line as copied: 序号, 运算, 数据, 结果, 备注, tab-separated; a rule line as shown.
  static QString CopyText(const store::TapeLine& line);
  // Lines [first, last] as copied, one a line.
  QString CopyText(int first, int last) const;
  // The lines of the run that holds `row`, its rule line included.
  void RunRows(int row, int* first, int* last) const;
  int RowOfStep(long long id) const;

  void SetMark(long long stepId, StepMark mark);
  void ClearMarks();
  StepMark MarkOf(long long stepId) const { return marks_.value(stepId, StepMark::kNone); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 signals:
  // The lines are there (after Open or Reindex).
  void Indexed();

 private:
  void Adopt(std::shared_ptr<store::TapeReader> built, unsigned generation, bool keepClosed);
  void StopWorker();
  void Forget();
  void EmitAllChanged();

  std::unique_ptr<store::TapeReader> reader_;
  std::string path_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  unsigned generation_ = 0;
  int rows_ = 0;
  bool closed_ = false;  // the last run was closed without a step after it
  mutable std::vector<store::TapeLine> cache_;
  mutable long long cacheFirst_ = 0;
  QHash<long long, StepMark> marks_;
};

}  // namespace zantor::app
