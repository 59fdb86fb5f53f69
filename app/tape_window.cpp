#include "app/tape_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/desktop.h"
#include "store/history_store.h"

namespace zantor::app {
namespace {

constexpr int kMinLines = 12;
constexpr int kGap = 6;  // between columns, in pixels
const QColor kDiffersColor(200, 0, 0);

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Where the fields of a line go, from the font: room for a seven-digit item
// number, an operator, entries and totals into the billions, a mark, and the
// note in the rest.
struct Columns {
  int item, op, entry, total, mark, note;  // left edges
  int right;                               // of the note

  Columns(const QFontMetrics& fm, int width) {
    item = kGap;
    op = item + fm.horizontalAdvance(QStringLiteral("0000000")) + kGap;
    entry = op +
            std::max(fm.horizontalAdvance(QStringLiteral("运算")),
                     fm.horizontalAdvance(QStringLiteral("＋"))) +
            kGap;
    total = entry + fm.horizontalAdvance(QStringLiteral("000,000,000.00")) + kGap;
    mark = total + fm.horizontalAdvance(QStringLiteral("0,000,000,000.00")) + kGap;
    note = mark + fm.horizontalAdvance(QStringLiteral("✓")) + kGap;
    right = std::max(note + fm.horizontalAdvance(QStringLiteral("备注备注")), width - kGap);
  }
  static int MinimumWidth(const QFontMetrics& fm) { return Columns(fm, 0).right + kGap; }
};

void DrawFields(QPainter* p, const QRect& r, const QFontMetrics& fm, const QStringList& fields,
                const QColor& color) {
  const Columns c(fm, r.width());
  p->setPen(color);
  const int x = r.left();
  auto cell = [&](int left, int right, const QString& text, Qt::Alignment align) {
    const QRect box(x + left, r.top(), right - left - kGap, r.height());
    p->drawText(
        box, align | Qt::AlignVCenter,
        fm.elidedText(text, align == Qt::AlignRight ? Qt::ElideLeft : Qt::ElideRight, box.width()));
  };
  cell(c.item, c.op, fields.value(0), Qt::AlignRight);
  cell(c.op, c.entry, fields.value(1), Qt::AlignHCenter);
  cell(c.entry, c.total, fields.value(2), Qt::AlignRight);
  cell(c.total, c.mark, fields.value(3), Qt::AlignRight);
  cell(c.note, c.right + kGap, fields.value(4), Qt::AlignLeft);
}

class TapeDelegate : public QStyledItemDelegate {
 public:
  explicit TapeDelegate(TapeModel* model, QObject* parent)
      : QStyledItemDelegate(parent), model_(model) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    o.text.clear();
    const QWidget* w = option.widget;
    QStyle* style = w != nullptr ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &o, p, w);
    const store::TapeLine* line = model_->Line(index.row());
    if (line == nullptr) return;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QColor text = option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    p->save();
    const QFontMetrics fm(option.font);
    const QRect r = option.rect;
    if (line->rule) {
      const Columns c(fm, r.width());
      p->setPen(text);
      p->drawLine(r.left() + c.item, r.top() + 1, r.left() + c.mark, r.top() + 1);
      const QRect box(r.left(), r.top(), c.mark - kGap, r.height());
      p->drawText(box, Qt::AlignRight | Qt::AlignVCenter,
                  Q(store::RuleText(line->item, line->total)));
    } else {
      DrawFields(p, r, fm,
                 {QString::number(line->item), Q(store::OperatorGlyph(line->op)), Q(line->entry),
                  Q(line->total), Q(line->note)},
                 text);
      const StepMark mark = model_->MarkOf(line->id);
      if (mark != StepMark::kNone) {
        const Columns c(fm, r.width());
        p->setPen(mark == StepMark::kDiffers ? kDiffersColor : text);
        p->drawText(QRect(r.left() + c.mark, r.top(), c.note - c.mark, r.height()), Qt::AlignCenter,
                    mark == StepMark::kDiffers ? QStringLiteral("✗") : QStringLiteral("✓"));
      }
    }
    p->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    const QFontMetrics fm(option.font);
    return {Columns::MinimumWidth(fm), fm.height() + 4};
  }

 private:
  TapeModel* model_;
};

class TapeHeader : public QWidget {
 public:
  explicit TapeHeader(QTableView* view) : QWidget(view->parentWidget()), view_(view) {
    setFixedHeight(fontMetrics().height() + 6);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QRect r = rect();
    r.setLeft(view_->viewport()->mapTo(window(), QPoint(0, 0)).x() -
              mapTo(window(), QPoint(0, 0)).x());
    r.setWidth(view_->viewport()->width());
    DrawFields(&p, r, fontMetrics(),
               {QStringLiteral("序号"), QStringLiteral("运算"), QStringLiteral("数据"),
                QStringLiteral("结果"), QStringLiteral("备注")},
               palette().color(QPalette::WindowText));
    p.drawLine(r.bottomLeft(), r.bottomRight());
  }

 private:
  QTableView* view_;
};

// A table view tells assistive technology that its current line has the focus
// whenever the line changes, focused or not; the tape moves to its end on
// every step while hidden or behind the main window, and a screen reader
// would follow it there away from the control the user is on.
class TapeView : public QTableView {
 public:
  using QTableView::QTableView;

 protected:
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
    if (hasFocus()) {
      QTableView::currentChanged(current, previous);
    } else {
      QAbstractItemView::currentChanged(current, previous);
    }
  }
};

// 备注第 N 步: one line, Enter saves, Esc leaves.
class NoteDialog : public QDialog {
 public:
  NoteDialog(long long id, const QString& note, QWidget* owner) : QDialog(owner) {
    setWindowTitle(NoteCaption(id));
    field_ = new QLineEdit(note, this);
    field_->setMaxLength(static_cast<int>(store::kMaxNoteLength));
    field_->setAccessibleName(QStringLiteral("备注"));
    field_->setMinimumWidth(field_->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 30);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(field_);
    layout->addWidget(buttons);
  }
  QString note() const { return field_->text().trimmed(); }

 private:
  QLineEdit* field_;
};

}  // namespace

TapeWindow::TapeWindow(QWidget* mainWindow, store::HistoryStore* store)
    : QWidget(mainWindow, Qt::Window), store_(store), model_(new TapeModel(this)) {
  setWindowTitle(kTapeCaption);
  setAttribute(Qt::WA_ShowWithoutActivating);
  // One column of whole lines at one fixed height: a line added at the end
  // of a million costs the view no layout of the others.
  view_ = new TapeView(this);
  view_->setModel(model_);
  view_->setItemDelegate(new TapeDelegate(model_, view_));
  view_->horizontalHeader()->hide();
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  view_->setShowGrid(false);
  view_->setWordWrap(false);
  view_->setCornerButtonEnabled(false);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  view_->setAccessibleName(kTapeCaption);
  view_->installEventFilter(this);
  view_->viewport()->installEventFilter(this);
  header_ = new TapeHeader(view_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(header_);
  layout->addWidget(view_);
  connect(view_, &QWidget::customContextMenuRequested, this, &TapeWindow::ShowMenu);
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
          [this] { rowBeforeReset_ = view_->currentIndex().row(); });
  connect(model_, &TapeModel::Indexed, this, [this] {
    // The first time, and after the file was made anew, the tape opens at its
    // end; after a correction it stays where it was.
    const int rows = model_->rowCount();
    if (!sawIndexed_ || rowBeforeReset_ < 0 || rows == 0) {
      ScrollToEnd();
    } else {
      const QModelIndex at = model_->index(std::min(rowBeforeReset_, rows - 1));
      view_->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
      view_->scrollTo(at);
    }
    sawIndexed_ = true;
  });
  auto shortcut = [this](const QKeySequence& keys, void (TapeWindow::*slot)()) {
    auto* action = new QAction(this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, slot);
    addAction(action);
  };
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_C), &TapeWindow::CopySelection);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_P), &TapeWindow::PrintAsked);
  shortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &TapeWindow::ExportPdfAsked);
  resize(Columns::MinimumWidth(view_->fontMetrics()) +
             view_->verticalScrollBar()->sizeHint().width() + 4,
         400);
  if (store_ != nullptr) model_->Open(store_->dbPath());
}

void TapeWindow::ShowDocked() {
  QWidget* main = parentWidget();
  const QRect frame = main->frameGeometry();
  const int titleHeight = main->geometry().top() - frame.top();
  const QScreen* screen = main->screen();
  const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
  const int lineHeight = view_->verticalHeader()->defaultSectionSize();
  const int least = header_->height() + kMinLines * lineHeight + 4;
  const int w = std::max(width(), main->width());
  const int top = frame.bottom() + 1 + titleHeight;
  const int h =
      std::max(least, available.bottom() - top - (frame.bottom() - main->geometry().bottom()));
  setGeometry(frame.right() - (frame.width() - main->width()) / 2 - w + 1, top, w, h);
  show();
  ScrollToEnd();
}

void TapeWindow::ScrollToEnd() {
  const int rows = model_->rowCount();
  if (rows == 0) return;
  const QModelIndex last = model_->index(rows - 1);
  view_->selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect);
  view_->scrollToBottom();
}

void TapeWindow::StepAdded() {
  model_->CatchUp();
  ScrollToEnd();
}

void TapeWindow::RunClosed() {
  model_->CloseRun();
  ScrollToEnd();
}

void TapeWindow::Reopen() {
  sawIndexed_ = false;
  if (store_ != nullptr) model_->Open(store_->dbPath());
}

void TapeWindow::SetMark(long long step_id, StepMark mark) {
  model_->SetMark(step_id, mark);
  view_->viewport()->update();
}

void TapeWindow::ClearMarks() {
  model_->ClearMarks();
  view_->viewport()->update();
}

QString TapeWindow::SelectedText() const {
  QString text;
  const QItemSelection selection = view_->selectionModel()->selection();
  std::vector<std::pair<int, int>> ranges;
  for (const QItemSelectionRange& r : selection) ranges.emplace_back(r.top(), r.bottom());
  if (ranges.empty() && view_->currentIndex().isValid()) {
    ranges.emplace_back(view_->currentIndex().row(), view_->currentIndex().row());
  }
  std::sort(ranges.begin(), ranges.end());
  for (const auto& [first, last] : ranges) text += model_->CopyText(first, last);
  return text;
}

long long TapeWindow::CurrentStep() const {
  const store::TapeLine* line = model_->Line(view_->currentIndex().row());
  return line != nullptr && !line->rule ? line->id : 0;
}

std::vector<std::pair<int, int>> TapeWindow::SelectedRuns() const {
  std::vector<std::pair<int, int>> rows;
  for (const QItemSelectionRange& r : view_->selectionModel()->selection()) {
    rows.emplace_back(r.top(), r.bottom());
  }
  if (rows.empty()) {
    const int current =
        view_->currentIndex().isValid() ? view_->currentIndex().row() : model_->rowCount() - 1;
    if (current >= 0) rows.emplace_back(current, current);
  }
  std::vector<std::pair<int, int>> runs;
  for (const auto& [top, bottom] : rows) {
    for (int row = top; row <= bottom;) {
      int first = 0;
      int last = 0;
      model_->RunRows(row, &first, &last);
      if (first < 0) break;
      runs.emplace_back(first, last);
      row = last + 1;
    }
  }
  std::sort(runs.begin(), runs.end());
  runs.erase(std::unique(runs.begin(), runs.end()), runs.end());
  return runs;
}

void TapeWindow::CopySelection() { QApplication::clipboard()->setText(SelectedText()); }

void TapeWindow::EditNote() {
  const long long id = CurrentStep();
  if (id == 0 || store_ == nullptr) return;
  const store::TapeLine* line = model_->Line(view_->currentIndex().row());
  NoteDialog dialog(id, line != nullptr ? Q(line->note) : QString(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const store::CorrectionStatus status = store_->SetNote(id, dialog.note().toStdString());
  if (status != store::CorrectionStatus::kDone) {
    platform::MessageBox(this, QStringLiteral("备注没有保存。"),
                         platform::MB_OK | platform::MB_ICONWARNING);
    return;
  }
  model_->Refresh();
}

void TapeWindow::PaintRuns(QPagedPaintDevice* device) {
  QPainter p(device);
  QFont font(QStringLiteral("WenQuanYi Micro Hei"));
  font.setPointSizeF(8);
  p.setFont(font);
  const QFontMetrics fm(font, device);
  const QRect page = p.viewport();
  const int lineHeight = fm.height() + fm.height() / 4;
  const int itemRight = fm.horizontalAdvance(QStringLiteral("0000000"));
  const int opLeft = itemRight + fm.horizontalAdvance(QLatin1Char(' '));
  const int amountLeft = opLeft + fm.horizontalAdvance(QStringLiteral("× "));
  int y = 0;
  auto newLine = [&] {
    y += lineHeight;
    if (y + lineHeight > page.height()) {
      device->newPage();
      y = lineHeight;
    }
  };
  auto text = [&](int left, int right, const QString& t, Qt::Alignment align) {
    p.drawText(QRect(left, y - lineHeight, right - left, lineHeight), align | Qt::AlignVCenter, t);
  };
  newLine();
  text(0, page.width(),
       kTapeCaption + QStringLiteral("  ") +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
       Qt::AlignLeft);
  std::vector<store::TapeLine> lines;
  for (const auto& [first, last] : SelectedRuns()) {
    newLine();
    const store::TapeLine* end = nullptr;
    store::TapeLine lastStep;
    for (int row = first; row <= last; ++row) {
      const store::TapeLine* line = model_->Line(row);
      if (line == nullptr) break;
      newLine();
      if (line->rule) {
        p.drawLine(0, y - lineHeight, page.width(), y - lineHeight);
        text(0, page.width(), Q(store::RuleText(line->item, line->total)), Qt::AlignRight);
        end = line;
        continue;
      }
      text(0, itemRight, QString::number(line->item), Qt::AlignRight);
      text(opLeft, amountLeft, Q(store::OperatorGlyph(line->op)), Qt::AlignLeft);
      text(amountLeft, page.width(), Q(line->entry), Qt::AlignRight);
      if (!line->note.empty()) {
        newLine();
        text(amountLeft, page.width(), Q(line->note), Qt::AlignLeft);
      }
      lastStep = *line;
    }
    if (end == nullptr && lastStep.item > 0) {
      // The run still open: its count and total so far.
      newLine();
      p.drawLine(0, y - lineHeight, page.width(), y - lineHeight);
      text(0, page.width(), Q(store::RuleText(lastStep.item, lastStep.total)), Qt::AlignRight);
    }
  }
}

bool TapeWindow::ExportPdf(const QString& path) {
  QPdfWriter writer(path);
  if (!writer.setPageSize(QPageSize(QSizeF(80, 297), QPageSize::Millimeter))) return false;
  writer.setPageMargins(QMarginsF(5, 5, 5, 5), QPageLayout::Millimeter);
  writer.setTitle(kTapeCaption);
  writer.setCreator(QStringLiteral("Zantor"));
  PaintRuns(&writer);
  return true;
}

void TapeWindow::ExportPdfAsked() {
  const QString suggested =
      QDateTime::currentDateTime().toString(QStringLiteral("'纸带-'yyyyMMdd-HHmmss'.pdf'"));
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出 PDF"), suggested,
                                                    QStringLiteral("PDF (*.pdf)"));
  if (path.isEmpty()) return;
  if (!ExportPdf(path)) {
    platform::MessageBox(this, QStringLiteral("无法写入 %1").arg(path),
                         platform::MB_OK | platform::MB_ICONWARNING);
  }
}

void TapeWindow::PrintAsked() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  dialog.setWindowTitle(QStringLiteral("打印纸带"));
  if (dialog.exec() != QDialog::Accepted) return;
  PaintRuns(&printer);
}

void TapeWindow::ShowMenu(const QPoint& at) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("复制"), QKeySequence(Qt::CTRL | Qt::Key_C), this,
                 &TapeWindow::CopySelection);
  menu.addAction(QStringLiteral("备注..."), QKeySequence(Qt::Key_N), this, &TapeWindow::EditNote);
  menu.addAction(QStringLiteral("改正..."), QKeySequence(Qt::Key_Return), this, [this] {
    if (const long long id = CurrentStep(); id != 0) emit CorrectRequested(id);
  });
  const store::TapeLine* line = model_->Line(view_->currentIndex().row());
  const QString total = line != nullptr ? Q(line->total) : QString();
  menu.addAction(QStringLiteral("复制大写金额"), this,
                 [this, total] { emit CapitalsRequested(total); })
      ->setEnabled(!total.isEmpty());
  menu.addSeparator();
  menu.addAction(QStringLiteral("打印..."), QKeySequence(Qt::CTRL | Qt::Key_P), this,
                 &TapeWindow::PrintAsked);
  menu.addAction(QStringLiteral("导出 PDF..."), QKeySequence(Qt::CTRL | Qt::Key_S), this,
                 &TapeWindow::ExportPdfAsked);
  menu.exec(view_->viewport()->mapToGlobal(at));
}

void TapeWindow::SelectToEdge(bool first) {
  const int rows = model_->rowCount();
  const QModelIndex from = view_->currentIndex();
  if (rows == 0 || !from.isValid()) return;
  const QModelIndex to = model_->index(first ? 0 : rows - 1);
  QItemSelectionModel* selection = view_->selectionModel();
  selection->select(first ? QItemSelection(to, from) : QItemSelection(from, to),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  selection->setCurrentIndex(to, QItemSelectionModel::NoUpdate);
  view_->scrollTo(to);
}

bool TapeWindow::OnNoteColumn(const QPoint& viewportPos) const {
  const Columns c(view_->fontMetrics(), view_->viewport()->width());
  return viewportPos.x() >= c.note - kGap / 2;
}

bool TapeWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
    if (key->matches(QKeySequence::Copy)) {
      CopySelection();
      return true;
    }
    switch (key->key()) {
      case Qt::Key_Home:
      case Qt::Key_End:
        // To the tape's first or last line, as in a list (a table's Home and
        // End stay in the row); with Ctrl a view never selects, so Shift
        // selects here.
        if ((key->modifiers() & Qt::ControlModifier) == 0) {
          if ((key->modifiers() & Qt::ShiftModifier) != 0) {
            SelectToEdge(key->key() == Qt::Key_Home);
          } else {
            QKeyEvent toEnd(QEvent::KeyPress, key->key(), key->modifiers() | Qt::ControlModifier);
            QCoreApplication::sendEvent(view_, &toEnd);
          }
          return true;
        }
        break;
      case Qt::Key_Escape:
        emit HideRequested();
        return true;
      case Qt::Key_T:
        // Hidden on release, so the release does not reach the entry field
        // and show the tape again.
        return plain;
      case Qt::Key_N:
        if (!plain) break;
        EditNote();
        return true;
      case Qt::Key_K:
        if (!plain) break;
        if (const long long id = CurrentStep(); id != 0) emit CheckRequested(id);
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (const long long id = CurrentStep(); id != 0) emit CorrectRequested(id);
        return true;
      default:
        break;
    }
  } else if (watched == view_ && event->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_T && !key->isAutoRepeat() &&
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0) {
      emit HideRequested();
      return true;
    }
  } else if (watched == view_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QModelIndex at = view_->indexAt(mouse->position().toPoint());
    if (!at.isValid()) return false;
    view_->setCurrentIndex(at);
    if (OnNoteColumn(mouse->position().toPoint())) {
      EditNote();
    } else if (const long long id = CurrentStep(); id != 0) {
      emit CorrectRequested(id);
    }
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TapeWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  emit HideRequested();
}

}  // namespace zantor::app
