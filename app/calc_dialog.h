// The main dialog: entry and result fields bound to the engine's texts,
// the commands, start-up and shutdown.
#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "app/step_marks.h"
#include "engine/calc_state.h"
#include "engine/run_check.h"
#include "input/entry_key_filter.h"
#include "platform/opacity.h"
#include "platform/template_dialog.h"
#include "store/history_store.h"

class QCloseEvent;
class QKeyEvent;
class QLabel;
class QTimer;

namespace zantor::app {

class TapeWindow;

// Opens the search dialog over the main one; the default loads the search
// module on first use, so that the browser engine costs nothing until then.
using SearchRunner =
    std::function<bool(QWidget* owner, store::HistoryStore& store, const QString& finalResultText)>;

// A recorded run being keyed in again (复核), and what it put aside.
struct CheckSession {
  engine::RunCheck run;
  std::vector<long long> ids;
  char ownOp = '+';
  QString ownCaption;
};

class CCalcDlg : public platform::TemplateDialog, public input::EntryCommands {
  Q_OBJECT
 public:
  CCalcDlg();
  ~CCalcDlg() override;

  // The start-up sequence; `executableDir` is where the program lives.
  void OnInitDialog(const QString& executableDir);

  // The evaluation step on the entry field's text.
  void EvaluateStep() override;

  // Commands (buttons, hotkeys, menu).
  void OnCycleOperator() override;
  void OnFastMode();
  void OnNormalMode();
  void ToggleEntryMode() override;
  void OnFind() override;
  void OnToggleTape() override;
  void OnExport();
  void OnViewLast();
  void OnStore() override;
  void OnRecall() override;
  void OnEquals();
  void OnHelp();
  void OnSystemCalculator();
  void OnAboutAuthor();
  void OnSysCommand(int command);
  void OnZeroResult();
  void OnClearAll();
  void FocusEntryField();

  char entryMode() const override { return state_.entryMode; }
  char pendingOp() const override { return state_.pendingOp; }
  void ShowPasteMessage(const QString& message) override;
  void HoldNumLockOn() override;
  // K: keys the current run in again; D: the total in capitals; Esc: leaves
  // the check (app/calc_check.cpp).
  void CheckRun() override;
  void CopyCapitals() override;
  void LeaveCheck() override;
  bool checking() const { return check_ != nullptr; }

  const engine::CalcState& state() const { return state_; }
  store::HistoryStore* historyStore() const { return store_.get(); }
  const QString& helpPath() const { return helpPath_; }
  const QString& lastEntryText() const { return lastEntryText_; }
  platform::OpacityControl* opacity() const { return opacity_; }
  void SetSearchRunner(SearchRunner runner) { searchRunner_ = std::move(runner); }
  // The tape window, made at the first T (or soon after start-up).
  TapeWindow* tape();

 protected:
  void OnCommand(int id) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 public slots:
  void reject() override;
  // Keys the run holding step `stepId` in again; 0 for the current run: the
  // one the current total ends.
  void StartCheck(long long stepId);
  // A total (as the result field shows one) in capitals onto the clipboard,
  // shown for a few seconds under the result field; D does it for the current total.
  void CopyCapitalsOf(const QString& amount);

 signals:
  // Step `stepId` of the run being keyed in again has been compared.
  void Marked(long long stepId, zantor::app::StepMark mark);
  // A new check begins or the run has ended: no step is marked any more.
  void MarksCleared();

 private:
  void Shutdown();
  void OpenSearch();
  void SaveTotal();
  // Opens the history and tells the user when steps will not be recorded.
  void OpenHistory();
  // Deletes the history file, or tells where a file that was not ours went.
  void ClearHistoryFile();
  void ReportStoreNotice(store::Notice notice);
  void SetUpToolTip();
  void HideTape();
  void CorrectFromTape(long long id);
  // A correction of the last run has made its new last total the current one.
  void TakeCorrectedTotal();
  // One Enter while checking.
  void CheckStep();
  void EndCheck();
  // A check's text in the result field in place of `heldResult_`.
  void ShowCheckText(const QString& text);
  // Puts the total back where a check's text stands.
  void RestoreHeldResult();

  engine::CalcState state_;
  std::unique_ptr<store::HistoryStore> store_;
  QString entryText_;
  QString resultText_;
  QString lastEntryText_;
  QString helpPath_;
  platform::OpacityControl* opacity_ = nullptr;
  SearchRunner searchRunner_;
  TapeWindow* tape_ = nullptr;
  std::unique_ptr<CheckSession> check_;
  QString heldResult_;
  bool checkTextShown_ = false;
  QLabel* capitalsTip_ = nullptr;
  QTimer* capitalsTimer_ = nullptr;
  bool toldUnrecorded_ = false;
  bool closed_ = false;
};

}  // namespace zantor::app
