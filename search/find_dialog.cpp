#include "search/find_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>
#include <QSlider>

#include "platform/desktop.h"
#include "platform/opacity.h"
#include "search/export_text.h"
#include "search/query.h"
#include "search/report.h"
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
  new platform::OpacityControl(this, ItemAs<QSlider>(res::kOpacitySlider));
  filterList()->setCurrentIndex(kInitialFilterIndex);
  connect(filterList(), &QComboBox::activated, this, [this] { OnFilterChange(); });
  connect(valueField(), &QLineEdit::textChanged, this, [this] { OnValueChange(); });
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
  if (!RequeryPending()) return;
  const store::Table table = sql ? store_.Query(*sql) : store::Table{};
  std::string document = BuildReportGbk(table, finalResultText_.toStdString());
  RequeryPending() = false;
  view_->ShowDocument(QByteArray::fromStdString(document));
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
  QSaveFile file(path);
  // A folder where the user may not make files (shared, or mounted from
  // elsewhere) can still hold a file the user may write: that one is then
  // written in place, at the cost of the old contents on a failed write.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) {
    platform::MessageBox(this, kCannotWrite.arg(path), platform::MB_OK | platform::MB_ICONWARNING);
    return false;
  }
  const std::string utf8Path = path.toStdString();
  const char separator = SeparatorForPath(utf8Path);
  const std::optional<std::string> sql = CurrentQuery(OrderClause(SortOrder::kNone));
  const store::Table table = sql ? store_.Query(*sql) : store::Table{};
  const std::string bytes =
      ToFileBytes(BuildExportText(table, finalResultText_.toStdString(), separator));
  RequeryPending() = false;
  // flush() before commit(): the bytes wait in the device's buffer, and a
  // failure to write them out at commit's close goes unnoticed there, so a
  // full disk would put a short file in place of the old one.
  const bool written = file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                           static_cast<qint64>(bytes.size()) &&
                       file.flush() && file.commit();
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
