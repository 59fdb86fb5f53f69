#include "app/calc_dialog.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QToolTip>

#include "app/messages.h"
#include "app/search_loader.h"
#include "app/tape_window.h"
#include "engine/step.h"
#include "platform/corner.h"
#include "platform/desktop.h"
#include "platform/launch.h"
#include "platform/numlock.h"
#include "platform/opacity.h"

namespace zantor::app {

using platform::MB_ICONWARNING;
using platform::MB_OK;

namespace {

// The operator button's tip comes 150 ms after the pointer and, like any tip
// whose delays follow from that one, goes again ten times as long after that.
constexpr int kTipDelayMs = 150;
constexpr int kTipShownMs = 10 * kTipDelayMs;
// The tape indexes a long history on a thread of its own; it starts once the
// window is up, so that the start itself is not slowed by it.
constexpr int kTapeStartMs = 1000;

}  // namespace

CCalcDlg::CCalcDlg() : platform::TemplateDialog(res::kMainTemplate) {
  BindText(res::kEntryField, &entryText_);
  BindText(res::kResultField, &resultText_);
  new input::EntryKeyFilter(ItemAs<QLineEdit>(res::kEntryField), this);
  connect(ItemAs<QRadioButton>(res::kFastModeRadio), &QRadioButton::clicked, this,
          [this] { OnFastMode(); });
  connect(ItemAs<QRadioButton>(res::kNormalModeRadio), &QRadioButton::clicked, this,
          [this] { OnNormalMode(); });
  // The last-entry field follows the pointer: every control reports its mouse moves.
  setMouseTracking(true);
  client()->setMouseTracking(true);
  client()->installEventFilter(this);
  for (QWidget* w : client()->findChildren<QWidget*>()) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }
  // A button ignores a move made without a pressed button, and the toolkit
  // then hands it on to the client area, which would hide the last-entry field again.
  Item(res::kLastEntryButton)->setAttribute(Qt::WA_NoMousePropagation);
  client()->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(client(), &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    QAction* about = menu.addAction(QString::fromUtf8(res::String(101)));
    if (menu.exec(client()->mapToGlobal(at)) == about) OnSysCommand(res::kAboutCommand);
  });
  searchRunner_ = RunSearchModule;
}

CCalcDlg::~CCalcDlg() = default;

void CCalcDlg::OnInitDialog(const QString& executableDir) {
  const std::string dataDir = store::ResolveDataDirectory(executableDir.toStdString());
  store_ = std::make_unique<store::HistoryStore>(dataDir + "/" + store::kDbFileName);
  helpPath_ = platform::FindHelpPage(executableDir);

  platform::TemplateDialog choice(res::kStartModeTemplate);
  // Every window manager here puts a close box on this window; closing it
  // must not be the choice that deletes the history, which only Esc and the
  // button make.
  choice.SetCloseAnswer(res::IDOK);
  int answer = choice.DoModal();
  // Every other command that deletes data asks first; so does this one, when
  // there is something to lose. No keeps the history, as 保留上次数据 does.
  if (answer != res::IDOK) {
    if (const long long steps = store_->StepCount();
        steps > 0 && platform::MessageBox(this, kClearLastQuestion.arg(steps),
                                          platform::MB_YESNO | platform::MB_ICONWARNING |
                                              platform::MB_DEFBUTTON2) != res::IDYES) {
      answer = res::IDOK;
    }
  }

  state_.accumulator = engine::SignedNumber::Zero();
  if (answer == res::IDOK) {
    if (store_->NeedsSizeQuestion() &&
        platform::MessageBox(this, kTooMuchData,
                             platform::MB_YESNO | platform::MB_ICONINFORMATION) == res::IDYES) {
      ClearHistoryFile();
    }
    const store::SavedTotal saved = store_->RestoreLastTotal();
    if (saved.found) {
      SetDlgItemText(res::kResultField, QString::fromStdString(saved.resu));
      engine::RestoreAccumulator(state_, saved.pos, saved.resu);
    } else if (!saved.openFailed) {
      SetDlgItemText(res::kResultField, QStringLiteral("0.00"));
    }
    ReportStoreNotice(saved.notice);
  } else {
    SetDlgItemText(res::kResultField, QStringLiteral("0.00"));
    ClearHistoryFile();
  }

  // Further left than 355 pixels from the right edge when this desktop's
  // dialog font or window frame makes the window wider than that.
  platform::PlaceInTopRightCorner(this);

  opacity_ = new platform::OpacityControl(this, ItemAs<QSlider>(res::kOpacitySlider));
  state_.operand = engine::SignedNumber::Zero();
  ItemAs<QRadioButton>(res::kFastModeRadio)->setChecked(true);
  SetUpToolTip();

  OpenHistory();
  UpdateData(true);
  ItemAs<QLineEdit>(res::kEntryField)->setFocus();
  QTimer::singleShot(kTapeStartMs, this, [this] {
    if (!closed_) tape();
  });
}

TapeWindow* CCalcDlg::tape() {
  if (tape_ == nullptr && store_) {
    tape_ = new TapeWindow(this, store_.get());
    connect(tape_, &TapeWindow::HideRequested, this, [this] { HideTape(); });
    connect(tape_, &TapeWindow::CorrectRequested, this,
            [this](long long id) { CorrectFromTape(id); });
    // K on a line: its run is keyed in here, so the entry field takes the keys.
    connect(tape_, &TapeWindow::CheckRequested, this, [this](long long id) {
      activateWindow();
      StartCheck(id);
    });
    connect(tape_, &TapeWindow::CapitalsRequested, this, &CCalcDlg::CopyCapitalsOf);
    connect(this, &CCalcDlg::Marked, tape_, &TapeWindow::SetMark);
    connect(this, &CCalcDlg::MarksCleared, tape_, &TapeWindow::ClearMarks);
    if (opacity_ != nullptr) {
      connect(opacity_->slider(), &QSlider::valueChanged, tape_,
              [this](int alpha) { platform::SetWindowOpacity(tape_, alpha); });
    }
  }
  return tape_;
}

void CCalcDlg::OnToggleTape() {
  TapeWindow* t = tape();
  if (t == nullptr) return;
  if (t->isVisible()) {
    HideTape();
    return;
  }
  if (opacity_ != nullptr) platform::SetWindowOpacity(t, opacity_->slider()->value());
  t->ShowDocked();
  // Some platforms activate a window they show whatever it asks.
  activateWindow();
  FocusEntryField();
}

void CCalcDlg::HideTape() {
  if (tape_ != nullptr) tape_->hide();
  activateWindow();
  FocusEntryField();
}

void CCalcDlg::CorrectFromTape(long long id) {
  if (!store_ || !RunCorrectionModule(tape_, *store_, id)) return;
  // The run being keyed in again is not the recorded one any more; the
  // corrected step's mark was about the figure it had.
  LeaveCheck();
  tape_->SetMark(id, StepMark::kNone);
  TakeCorrectedTotal();
  tape_->model()->Reindex();
}

void CCalcDlg::TakeCorrectedTotal() {
  int accScale = 0;
  std::string total;
  if (!store_->TakeCorrectedTotal(&accScale, &total)) return;
  engine::RestoreAccumulator(state_, accScale, total);
  SetDlgItemText(res::kResultField, QString::fromStdString(total));
  UpdateData(true);
}

void CCalcDlg::SetUpToolTip() {
  QWidget* button = Item(res::kOperatorButton);
  button->setToolTip(kOperatorTip);
  QPalette tip = QToolTip::palette();
  tip.setColor(QPalette::ToolTipBase, Qt::white);
  tip.setColor(QPalette::ToolTipText, Qt::black);
  QToolTip::setPalette(tip);
}

void CCalcDlg::ClearHistoryFile() {
  const std::string aside = store_->DeleteHistoryFile();
  if (!aside.empty()) {
    platform::MessageBox(this, kMovedAside.arg(QString::fromStdString(aside)),
                         MB_OK | platform::MB_ICONINFORMATION);
  } else if (store_->clearFoundBusy()) {
    // Says that nothing is recorded: the open that follows fails quietly.
    platform::MessageBox(this, kHistoryBusy, MB_OK | MB_ICONWARNING);
    toldUnrecorded_ = true;
  }
}

void CCalcDlg::OpenHistory() {
  const store::Notice notice = store_->OpenHistoryDatabase();
  // Recording works again: a later loss is a new one, and is told.
  if (store_->isOpen()) toldUnrecorded_ = false;
  ReportStoreNotice(notice);
}

void CCalcDlg::ReportStoreNotice(store::Notice notice) {
  switch (notice) {
    case store::Notice::kSaveFailed:
      platform::MessageBox(this, kSaveFailed, MB_OK);
      break;
    case store::Notice::kHistoryUnavailable:
    case store::Notice::kDamagedFile:
      if (!toldUnrecorded_) {
        platform::MessageBox(
            this, notice == store::Notice::kDamagedFile ? kDamagedHistory : kHistoryUnavailable,
            MB_OK | MB_ICONWARNING);
        toldUnrecorded_ = true;
      }
      break;
    case store::Notice::kNone:
      break;
  }
}

void CCalcDlg::EvaluateStep() {
  if (check_) {
    CheckStep();
    return;
  }
  UpdateData(true);
  UpdateData(false);
  const engine::StepResult r = engine::EvaluateStep(state_, entryText_.toStdString());
  if (r.status == engine::StepResult::Status::kEmpty) return;
  if (r.status == engine::StepResult::Status::kRefused) {
    const std::string_view text = engine::MessageText(r.message);
    platform::MessageBox(this, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                         MB_OK | MB_ICONWARNING);
    return;
  }
  lastEntryText_ = QString::fromStdString(r.row.mdata);
  SetDlgItemText(res::kLastEntryField, lastEntryText_);
  SetDlgItemText(res::kResultField, QString::fromStdString(r.row.re));
  checkTextShown_ = false;
  // A screen reader speaks the description of the field that has the focus
  // when it changes: the new total is heard without leaving the entry field.
  Item(res::kEntryField)
      ->setAccessibleDescription(kTotalDescription.arg(
          QString::fromStdString(r.row.re), AccessibleText(res::kEntryField).description));
  if (store_) store_->RecordStep(r.row, state_.accScale);
  if (tape_ != nullptr) tape_->StepAdded();
  UpdateData(true);
  entryText_.clear();
  UpdateData(false);
}

void CCalcDlg::FocusEntryField() {
  UpdateData(true);
  auto* entry = ItemAs<QLineEdit>(res::kEntryField);
  entry->setFocus();
  entry->deselect();
  entry->setCursorPosition(static_cast<int>(entryText_.size()));
}

void CCalcDlg::SaveTotal() {
  RestoreHeldResult();
  UpdateData(true);
  ReportStoreNotice(store_->SaveLastTotal(state_.accScale, resultText_.toStdString()));
}

void CCalcDlg::Shutdown() {
  if (closed_) return;
  closed_ = true;
  helpPath_.clear();
  SaveTotal();
  engine::ReleaseChains(state_);
  // The store's connection is to be the file's last, so that it closes it cleanly.
  if (tape_ != nullptr) tape_->model()->Clear();
  store_->CloseHistoryDatabase();
}

void CCalcDlg::closeEvent(QCloseEvent* event) {
  Shutdown();
  QDialog::closeEvent(event);
}

// Every way out of the dialog goes through the shutdown, which saves the total.
void CCalcDlg::reject() {
  Shutdown();
  done(res::IDCANCEL);
}

void CCalcDlg::keyPressEvent(QKeyEvent* event) {
  // Esc, and Enter on a control that is not a push button, do not end the
  // dialog: closing is the close box's job, and it saves the total.
  if (event->key() == Qt::Key_Escape) return;
  TemplateDialog::keyPressEvent(event);
}

bool CCalcDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Item(res::kOpacitySlider) && event->type() == QEvent::MouseButtonRelease) {
    // The slider would keep the focus, and the figures typed next would go
    // nowhere; it keeps its place in the tab order for the keyboard.
    QTimer::singleShot(0, this, [this] { FocusEntryField(); });
  }
  if (event->type() == QEvent::MouseMove) {
    const bool onLastEntry =
        watched == Item(res::kLastEntryField) || watched == Item(res::kLastEntryButton);
    Item(res::kLastEntryField)->setVisible(onLastEntry);
  } else if (watched == Item(res::kOperatorButton) && event->type() == QEvent::Enter) {
    QTimer::singleShot(kTipDelayMs, this, [this] {
      QWidget* button = Item(res::kOperatorButton);
      if (button->underMouse()) {
        QToolTip::showText(QCursor::pos(), button->toolTip(), button, {}, kTipShownMs);
      }
    });
  } else if (watched == Item(res::kOperatorButton) && event->type() == QEvent::ToolTip) {
    return true;  // shown by the Enter handler instead, after its own delay
  }
  return TemplateDialog::eventFilter(watched, event);
}

void CCalcDlg::OnCommand(int id) {
  switch (id) {
    case res::kFindButton:
      OnFind();
      break;
    case res::kExportButton:
      OnExport();
      break;
    case res::kOperatorButton:
      OnCycleOperator();
      break;
    case res::kLastEntryButton:
      OnViewLast();
      break;
    case res::kMemoryStoreButton:
      OnStore();
      break;
    case res::kMemoryRecallButton:
      OnRecall();
      break;
    case res::kEqualsButton:
      OnEquals();
      break;
    case res::kHelpCommand:
      OnHelp();
      break;
    case res::kCalculatorCommand:
      OnSystemCalculator();
      break;
    case res::kAboutAuthorCommand:
      OnAboutAuthor();
      break;
    case res::kZeroResultCommand:
      OnZeroResult();
      break;
    case res::kClearAllCommand:
      OnClearAll();
      break;
    default:
      break;
  }
}

void CCalcDlg::ShowPasteMessage(const QString& message) {
  checkTextShown_ = false;
  SetDlgItemText(res::kResultField, message);
}

void CCalcDlg::HoldNumLockOn() { platform::HoldNumLockOn(); }

void CCalcDlg::OpenSearch() {
  LeaveCheck();  // a correction may change the run
  UpdateData(true);
  SaveTotal();
  const QString finalResultText = resultText_;
  const size_t corrections = tape_ != nullptr ? store_->Corrections().size() : 0;
  if (!searchRunner_ || !searchRunner_(this, *store_, finalResultText)) {
    store_->BeginTransaction();  // the search dialog would have begun it on closing
  }
  TakeCorrectedTotal();
  if (tape_ != nullptr && store_->Corrections().size() != corrections) tape_->model()->Reindex();
  FocusEntryField();
}

void CCalcDlg::OnFind() { OpenSearch(); }
void CCalcDlg::OnExport() { OpenSearch(); }

}  // namespace zantor::app
