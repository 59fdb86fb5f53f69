// The search dialog: filter, value, three sort buttons, the report in the
// browser control, export to a file.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "platform/template_dialog.h"
#include "store/history_store.h"

class QComboBox;
class QLineEdit;

namespace zantor::search {

class ReportView;

// Set at start and after any change of filter or value; the sort buttons
// rebuild the report only while it is set. It outlives each opening.
bool& RequeryPending();

// Asks for the export path; nullopt when the user cancels. The default runs
// the save dialog; tests answer it.
using SavePathChooser = std::function<std::optional<QString>(QWidget* owner)>;
std::optional<QString> ChooseExportPath(QWidget* owner);

// The wait cursor over the program while the dialog works, on the dialog's
// thread and then in the browser: shown at once, so any wait long enough to
// notice has it.
class BusyCursor {
 public:
  BusyCursor() = default;
  ~BusyCursor() { Stop(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  void Start();
  void Stop();
  bool on() const { return on_; }

 private:
  bool on_ = false;
};

class CFindDlg : public platform::TemplateDialog {
  Q_OBJECT
 public:
  // `owner` is the window the dialog is modal over and stays above.
  CFindDlg(store::HistoryStore& store, QString finalResultText, QWidget* owner = nullptr);

  void OnSortDescending();
  void OnSortNone();
  void OnSortAscending();
  void OnExportData();
  void OnFilterChange();
  void OnValueChange();
  void OnLeave();
  void FocusValueField();
  // Opens the correction dialog for step `id`; after a correction the report
  // is shown again with the statement it was last built from.
  void CorrectRow(long long id);

  // Writes the current filter's rows to `path`; false (and a message) when
  // the file could not be written.
  bool ExportTo(const QString& path);

  ReportView* reportView() const { return view_; }
  bool busy() const { return busy_.on(); }
  QComboBox* filterList() const;
  QLineEdit* valueField() const;
  const QString& finalResultText() const { return finalResultText_; }
  void SetSavePathChooser(SavePathChooser chooser) { choosePath_ = std::move(chooser); }

 protected:
  void OnCommand(int id) override;
  void closeEvent(QCloseEvent* event) override;

 public slots:
  void reject() override;
  void accept() override;

 private:
  void Sort(std::string_view orderClause);
  void ShowRows(const std::optional<std::string>& sql);
  // Corrects step `id` through the window's own connection, telling the
  // user why when nothing was changed.
  store::CorrectionOutcome Correct(long long id, char op, const QString& entry);
  // After a correction: its rows put into the report shown, when that cannot
  // move or drop rows; false when it must be shown again instead.
  bool ShowCorrectedRows(const store::CorrectionOutcome& done);
  void ShowCorrectedEntries();
  std::optional<std::string> CurrentQuery(std::string_view orderClause);
  void Leave();

  store::HistoryStore& store_;
  QString finalResultText_;
  QString valueText_;
  ReportView* view_ = nullptr;
  SavePathChooser choosePath_;
  BusyCursor busy_;
  bool left_ = false;
  // The statement of the report shown last, for showing it again.
  std::optional<std::optional<std::string>> shownSql_;
};

}  // namespace zantor::search
