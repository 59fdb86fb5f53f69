#include "search/find_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSaveFile>
#include <QSlider>
#include <cstdlib>
#include <map>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "engine/messages.h"
#include "platform/desktop.h"
#include "platform/opacity.h"
#include "search/correct_dialog.h"
#include "search/export_text.h"
#include "search/query.h"
#include "search/report_document.h"
#include "search/report_view.h"
#include "search/value_key_filter.h"

namespace zantor::search {
namespace {

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The save dialog's three types, each with the extension it adds to a name
// typed without one.
struct FileType {
  const char* filter;
  const char* extension;
};
constexpr FileType kFileTypes[] = {
    {"网页文件 (*.html)", "html"},
    {"数据文件(*.csv)", "csv"},
    {"文本文件(*.txt)", "txt"},
};

const QString kCannotWrite = QStringLiteral("无法写入文件：\n%1");

}  // namespace

void BusyCursor::Start() {
  if (on_) return;
  on_ = true;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void BusyCursor::Stop() {
  if (!on_) return;
  on_ = false;
  QGuiApplication::restoreOverrideCursor();
}

bool& RequeryPending() {
  static bool pending = true;
  return pending;
}

std::optional<QString> ChooseExportPath(QWidget* owner) {
  QFileDialog dialog(owner);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  QStringList filters;
  for (const FileType& t : kFileTypes) filters << QString::fromUtf8(t.filter);
  dialog.setNameFilters(filters);
  dialog.selectNameFilter(filters.first());
  if (platform::RunModal(dialog) != res::IDOK || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  QString path = dialog.selectedFiles().first();
  if (QFileInfo(path).suffix().isEmpty()) {
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    path += QLatin1Char('.') +
            QString::fromLatin1(kFileTypes[chosen < 0 ? 0 : static_cast<size_t>(chosen)].extension);
  }
  return path;
}

CFindDlg::CFindDlg(store::HistoryStore& store, QString finalResultText, QWidget* owner)
    : platform::TemplateDialog(res::kFindTemplate, owner,
                               [](const res::ControlTemplate&, QWidget* parent) -> QWidget* {
                                 return new ReportView(parent);
                               }),
      store_(store),
      finalResultText_(std::move(finalResultText)),
      choosePath_(ChooseExportPath) {
  view_ = ItemAs<ReportView>(res::kReportView);
  BindText(res::kValueField, &valueText_);
  new ValueKeyFilter(valueField(), this);
  auto* opacity = new platform::OpacityControl(this, ItemAs<QSlider>(res::kOpacitySlider));
  opacity->LeaveWheelTo(view_);
  filterList()->setCurrentIndex(kInitialFilterIndex);
  connect(filterList(), &QComboBox::activated, this, [this] { OnFilterChange(); });
  connect(valueField(), &QLineEdit::textChanged, this, [this] { OnValueChange(); });
  connect(view_, &QWebEngineView::loadFinished, this, [this] {
    busy_.Stop();
    // The engine's widget inside the view takes the focus for it: a screen
    // reader hears the view's name there.
    if (QWidget* inner = view_->focusProxy()) inner->setAccessibleName(view_->accessibleName());
  });
  connect(view_, &ReportView::rowDoubleClicked, this, [this](qlonglong id) { CorrectRow(id); });
  valueField()->setFocus();
}

QComboBox* CFindDlg::filterList() const { return ItemAs<QComboBox>(res::kFilterList); }
QLineEdit* CFindDlg::valueField() const { return ItemAs<QLineEdit>(res::kValueField); }

void CFindDlg::OnCommand(int id) {
  switch (id) {
    case res::kDescendingButton:
      OnSortDescending();
      break;
    case res::kUnsortedButton:
      OnSortNone();
      break;
    case res::kAscendingButton:
      OnSortAscending();
      break;
    case res::kExportDataButton:
      OnExportData();
      break;
    case res::kLeaveButton:
      OnLeave();
      break;
    default:
      break;
  }
}

std::optional<std::string> CFindDlg::CurrentQuery(std::string_view orderClause) {
  UpdateData(true);
  const std::string filter =
      filterList()->currentIndex() < 0 ? std::string() : filterList()->currentText().toStdString();
  const BuiltQuery q = BuildQuery(filter, valueText_.toStdString(), orderClause);
  if (q.clearRequery) RequeryPending() = false;
  if (q.showInvalidMessage) platform::MessageBox(this, Q(kInvalidValueMessage), platform::MB_OK);
  return q.sql;
}

void CFindDlg::Sort(std::string_view orderClause) {
  const std::optional<std::string> sql = CurrentQuery(orderClause);
  FocusValueField();
  // Without a change the report is not read again, unless what is shown is
  // not what this button asks for: another order, or no report at all.
  const bool shownAsAsked = shownSql_.has_value() && *shownSql_ == sql;
  if (!RequeryPending() && (!sql || shownAsAsked)) return;
  ShowRows(sql);
}

void CFindDlg::ShowRows(const std::optional<std::string>& sql) {
  // A long history keeps the user waiting: the busy cursor until the
  // browser has the report shown.
  busy_.Start();
  const std::string finalResult = finalResultText_.toStdString();
  ReportDocument report(finalResult);
  const bool ok =
      sql && store_.ForEachRow(*sql, [&report](std::span<const std::string_view> cells) {
        if (cells.size() >= 4) report.AddRow(cells[0], cells[1], cells[2], cells[3]);
      });
  // A statement that failed part way shows no rows, as one rejected at once.
  if (!ok) report = ReportDocument(finalResult);
  RequeryPending() = false;
  shownSql_ = sql;
  ShowCorrectedEntries();
  view_->ShowReport(std::move(report));
}

void CFindDlg::ShowCorrectedEntries() {
  std::map<long long, std::string> before;
  for (store::CorrectionEntry& c : store_.Corrections()) before[c.stepId] = std::move(c.oldEntry);
  std::map<long long, std::string> notes;
  const store::Table t = store_.Query("SELECT ID,note FROM notes;");
  for (int r = 1; r <= t.rows && t.columns == 2; ++r) {
    notes[std::atoll(t.cells[static_cast<size_t>(2 * r)].c_str())] =
        t.cells[static_cast<size_t>(2 * r + 1)];
  }
  view_->SetCorrectedEntries(before, notes);
}

bool CFindDlg::ShowCorrectedRows(const store::CorrectionOutcome& done) {
  // Only the whole history, unsorted, keeps every row where it was whatever
  // a correction changes: a filter or a sort may take rows in or out, or
  // move them.
  static const std::optional<std::string> whole =
      BuildQuery("全", "", OrderClause(SortOrder::kNone)).sql;
  // Past this many rows the page takes longer over them than over reading
  // the report again.
  constexpr long long kMaxRows = 20000;
  if (!shownSql_ || !whole || *shownSql_ != whole || done.lastId < done.firstId ||
      done.lastId - done.firstId >= kMaxRows) {
    return false;
  }
  std::vector<ReportDocument::RowCells> rows;
  const bool ok = store_.ForEachRow(
      "SELECT ID,oP,mdata,re FROM MyData WHERE ID BETWEEN " + std::to_string(done.firstId) +
          " AND " + std::to_string(done.lastId) + " ORDER BY ID;",
      [&rows](std::span<const std::string_view> cells) {
        if (cells.size() >= 4) {
          rows.push_back({std::string(cells[0]), std::string(cells[1]), std::string(cells[2]),
                          std::string(cells[3])});
        }
      });
  if (!ok || rows.empty()) return false;
  ShowCorrectedEntries();
  return view_->ReplaceRows(rows, finalResultText_.toStdString());
}

void CFindDlg::CorrectRow(long long id) {
  const store::Table row =
      store_.Query("SELECT oP,mdata FROM MyData WHERE ID=" + std::to_string(id) + ";");
  if (row.rows < 1 || row.columns < 2) return;
  const std::string& op = row.cells[2];
  const QString entry = QString::fromStdString(row.cells[3]);
  CCorrectDlg dialog(id, op.empty() ? '+' : op[0], entry, this);
  const QRect band = view_->lastRowBand();
  if (!band.isEmpty()) dialog.PlaceBeside(QRect(view_->mapToGlobal(band.topLeft()), band.size()));
  // A refused entry keeps the dialog open with what was typed.
  while (dialog.DoModal() == res::IDOK) {
    QString typed = entry;
    typed.remove(QLatin1Char(','));
    if (dialog.op() == (op.empty() ? '+' : op[0]) && dialog.entry() == typed) break;
    const store::CorrectionOutcome done = Correct(id, dialog.op(), dialog.entry());
    if (done.status == store::CorrectionStatus::kDone && shownSql_ && !ShowCorrectedRows(done)) {
      ShowRows(*shownSql_);
    }
    if (done.status != store::CorrectionStatus::kEntryRefused) break;
  }
  FocusValueField();
}

store::CorrectionOutcome CFindDlg::Correct(long long id, char op, const QString& entry) {
  busy_.Start();
  const store::CorrectionOutcome out = store_.Correct({id, op, entry.toStdString()});
  busy_.Stop();
  if (out.status == store::CorrectionStatus::kDone) {
    if (out.totalChanged) finalResultText_ = QString::fromStdString(out.total);
  } else {
    TellCorrectionRefused(this, out, id);
  }
  return out;
}

void CFindDlg::OnSortDescending() { Sort(OrderClause(SortOrder::kDescending)); }
void CFindDlg::OnSortNone() { Sort(OrderClause(SortOrder::kNone)); }
void CFindDlg::OnSortAscending() { Sort(OrderClause(SortOrder::kAscending)); }

void CFindDlg::OnExportData() {
  if (const std::optional<QString> path = choosePath_(this)) ExportTo(*path);
  FocusValueField();
}

bool CFindDlg::ExportTo(const QString& path) {
  // Written aside and renamed into place: a failed write never leaves a
  // half-written file, and the old one survives it.
  auto open = [&path]() {
    auto file = std::make_unique<QSaveFile>(path);
    // A folder where the user may not make files (shared, or mounted from
    // elsewhere) can still hold a file the user may write: that one is then
    // written in place, at the cost of the old contents on a failed write.
    file->setDirectWriteFallback(true);
    if (!file->open(QIODevice::WriteOnly)) file.reset();
    return file;
  };
  std::unique_ptr<QSaveFile> file = open();
  if (!file) {
    platform::MessageBox(this, kCannotWrite.arg(path), platform::MB_OK | platform::MB_ICONWARNING);
    return false;
  }
  const char separator = SeparatorForPath(path.toStdString());
  const std::optional<std::string> sql = CurrentQuery(OrderClause(SortOrder::kNone));
  busy_.Start();
  // The rows go from the statement into the file as they come. A statement
  // that fails part way exports no rows: the file is begun again without them.
  auto write = [&](bool withRows) {
    ExportWriter writer(separator, [&file](std::string_view bytes) {
      return file->write(bytes.data(), static_cast<qint64>(bytes.size())) ==
             static_cast<qint64>(bytes.size());
    });
    if (withRows && sql &&
        !store_.ForEachRow(*sql, [&writer](std::span<const std::string_view> cells) {
          if (cells.size() >= 4) writer.AddRow(cells[0], cells[1], cells[2], cells[3]);
        })) {
      return std::optional<bool>();
    }
    return std::optional<bool>(writer.Finish(finalResultText_.toStdString()));
  };
  std::optional<bool> rowsWritten = write(true);
  if (!rowsWritten) {
    file->cancelWriting();
    file = open();
    if (file) rowsWritten = write(false);
  }
  RequeryPending() = false;
  // flush() before commit(): the bytes wait in the device's buffer, and a
  // failure to write them out at commit's close goes unnoticed there, so a
  // full disk would put a short file in place of the old one.
  const bool written = file && rowsWritten.value_or(false) && file->flush() && file->commit();
  busy_.Stop();
  if (!written) {
    platform::MessageBox(this, kCannotWrite.arg(path), platform::MB_OK | platform::MB_ICONWARNING);
    return false;
  }
  setWindowTitle(QStringLiteral("保存到：") + path);
  return true;
}

void CFindDlg::OnFilterChange() {
  RequeryPending() = true;
  FocusValueField();
}

void CFindDlg::OnValueChange() { RequeryPending() = true; }

void CFindDlg::FocusValueField() {
  UpdateData(true);
  QLineEdit* field = valueField();
  field->setFocus();
  field->deselect();
  field->setCursorPosition(static_cast<int>(valueText_.size()));
}

void CFindDlg::Leave() {
  if (!left_) store_.BeginTransaction();
  left_ = true;
}

void CFindDlg::OnLeave() {
  Leave();
  done(res::IDCANCEL);
}

// Every way out (close box, leave button, Esc, Enter) begins the next history
// transaction, so the main window's next save has something to commit.
void CFindDlg::closeEvent(QCloseEvent* event) {
  Leave();
  TemplateDialog::closeEvent(event);
}

void CFindDlg::reject() { OnLeave(); }
void CFindDlg::accept() { OnLeave(); }

}  // namespace zantor::search
