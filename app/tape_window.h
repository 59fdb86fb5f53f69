// 纸带: the tape beside the main window. Every step with its item number in
// its run, operator, entry, new total and note, a rule line after each run;
// the whole history, newest at the bottom, read from the file as it scrolls.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "app/step_marks.h"
#include "app/tape_model.h"

class QTableView;
class QPagedPaintDevice;

namespace zantor::store {
class HistoryStore;
}

namespace zantor::app {

inline const QString kTapeCaption = QStringLiteral("纸带");
// "备注第 N 步", N the step's ID.
inline QString NoteCaption(long long id) { return QStringLiteral("备注第 %1 步").arg(id); }

class TapeWindow : public QWidget {
  Q_OBJECT
 public:
  // A window of its own, owned by `mainWindow` (so that the main window's
  // modal loop lets it take input).
  TapeWindow(QWidget* mainWindow, store::HistoryStore* store);

  TapeModel* model() const { return model_; }
  QTableView* view() const { return view_; }

  // Under the main window, same right edge, down to the bottom of the screen
  // (at least 12 lines); scrolled to the end. The focus stays where it is.
  void ShowDocked();
  void ScrollToEnd();
  // A step was recorded, the run closed (a zeroing), the file made anew.
  void StepAdded();
  void RunClosed();
  void Reopen();

  void SetMark(long long step_id, StepMark mark);
  void ClearMarks();

  // The selected lines as copied (the current one when none is selected).
  QString SelectedText() const;
  // The step of the current line; 0 on a rule line or an empty tape.
  long long CurrentStep() const;
  // The runs that hold the selection, or the current run: [first, last] rows.
  std::vector<std::pair<int, int>> SelectedRuns() const;

  void CopySelection();
  void EditNote();
  // Writes the selected runs as a paper tape; false when it could not.
  bool ExportPdf(const QString& path);
  void ExportPdfAsked();
  void PrintAsked();

 signals:
  // T, Esc or the close box: the main window hides the tape and takes the focus.
  void HideRequested();
  void CorrectRequested(long long step_id);
  // K on a line: check its run by keying it in again.
  void CheckRequested(long long step_id);
  // 复制大写金额: the total of the current line, in capitals on the clipboard.
  void CapitalsRequested(const QString& total);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PaintRuns(QPagedPaintDevice* device);
  void ShowMenu(const QPoint& at);
  // Shift+Home/End: selects from the current line to the first or last.
  void SelectToEdge(bool first);
  // Which column a point of the view is in: true for the note's.
  bool OnNoteColumn(const QPoint& viewportPos) const;

  store::HistoryStore* store_;
  TapeModel* model_;
  QTableView* view_;
  QWidget* header_;
  bool sawIndexed_ = false;
  int rowBeforeReset_ = -1;
};

}  // namespace zantor::app
