// The main dialog: entry and result fields bound to the engine's texts,
// the commands, start-up and shutdown.
#pragma once

#include <QString>
#include <memory>

#include "engine/calc_state.h"
#include "input/entry_key_filter.h"
#include "platform/opacity.h"
#include "platform/template_dialog.h"
#include "store/history_store.h"

class QCloseEvent;
class QKeyEvent;

namespace zantor::app {

class TapeWindow;

// Opens the search dialog over the main one; the default loads the search
// module on first use, so that the browser engine costs nothing until then.
using SearchRunner =
    std::function<bool(QWidget* owner, store::HistoryStore& store, const QString& finalResultText)>;

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

  engine::CalcState state_;
  std::unique_ptr<store::HistoryStore> store_;
  QString entryText_;
  QString resultText_;
  QString lastEntryText_;
  QString helpPath_;
  platform::OpacityControl* opacity_ = nullptr;
  SearchRunner searchRunner_;
  TapeWindow* tape_ = nullptr;
  bool toldUnrecorded_ = false;
  bool closed_ = false;
};

}  // namespace zantor::app
