// The bookkeeper's two checks in the main window: a run keyed in again (复核,
// K) and the total in capitals (大写, D).
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "app/calc_dialog.h"
#include "engine/capitals.h"
#include "engine/format.h"
#include "platform/desktop.h"

namespace zantor::app {
namespace {

const QString kNothingToCheck = QStringLiteral("没有可复核的记录");
const QString kCheckCaption = QStringLiteral("复核 %1/%2");
const QString kAmountTooLarge = QStringLiteral("金额过大，无法写成大写");
const QString kRoundedToFen = QStringLiteral("已四舍五入到分");
// Long enough to read a dozen characters twice.
constexpr int kCapitalsShownMs = 4000;

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

void CCalcDlg::CheckRun() { StartCheck(0); }

void CCalcDlg::StartCheck(long long stepId) {
  LeaveCheck();
  // Made now if it is not yet, so that it sees every mark of this check.
  tape();
  emit MarksCleared();
  const std::string total = engine::FormatTotal(state_.accumulator, state_.accScale);
  store::RecordedRun run;
  const long long id = stepId > 0 ? stepId : (store_ ? store_->LastStepId() : 0);
  // The current run is the one the current total ends: after a zeroing there is none yet.
  if (id <= 0 || !store_ || store_->RunHolding(id, &run) != store::RunStatus::kFound ||
      (stepId <= 0 && run.rows.back().re != total)) {
    ShowCheckText(kNothingToCheck);
    FocusEntryField();
    return;
  }
  const std::string before = run.before;
  check_.reset(new CheckSession{engine::RunCheck(std::move(run.rows), before), std::move(run.ids),
                                state_.pendingOp, windowTitle()});
  // A run is keyed in from its first operator, as a fresh column is.
  if (state_.pendingOp != '+') {
    state_.pendingOp = '*';
    OnCycleOperator();
  }
  setWindowTitle(kCheckCaption.arg(1).arg(check_->run.size()));
  ShowCheckText(Q(check_->run.total()));
  UpdateData(true);
  entryText_.clear();
  UpdateData(false);
  FocusEntryField();
}

void CCalcDlg::CheckStep() {
  UpdateData(true);
  UpdateData(false);
  engine::RunCheck& run = check_->run;
  const engine::RunCheck::Outcome o =
      run.Enter(state_.pendingOp, state_.entryMode, entryText_.toStdString());
  using V = engine::RunCheck::Outcome::Verdict;
  switch (o.verdict) {
    case V::kEmpty:
      return;
    case V::kRefused: {
      const std::string_view text = engine::MessageText(o.message);
      platform::MessageBox(this,
                           QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                           platform::MB_OK | platform::MB_ICONWARNING);
      return;
    }
    case V::kAgrees:
      emit Marked(check_->ids[o.step - 1], StepMark::kAgrees);
      ShowCheckText(Q(run.total()));
      break;
    case V::kDiffers:
      emit Marked(check_->ids[o.step - 1], StepMark::kDiffers);
      ShowCheckText(Q(engine::DifferenceText(o.step, o.recorded, o.typed)));
      break;
  }
  UpdateData(true);
  entryText_.clear();
  UpdateData(false);
  if (run.finished()) {
    ShowCheckText(Q(engine::SummaryText(run.size(), run.differing(), run.total())));
    EndCheck();
  } else {
    setWindowTitle(kCheckCaption.arg(run.checked() + 1).arg(run.size()));
  }
}

void CCalcDlg::LeaveCheck() {
  EndCheck();
  RestoreHeldResult();
}

void CCalcDlg::EndCheck() {
  if (!check_) return;
  setWindowTitle(check_->ownCaption);
  // Back to the operator the running total was waiting with.
  while (state_.pendingOp != check_->ownOp) OnCycleOperator();
  check_.reset();
}

void CCalcDlg::ShowCheckText(const QString& text) {
  if (!checkTextShown_) heldResult_ = GetDlgItemText(res::kResultField);
  checkTextShown_ = true;
  SetDlgItemText(res::kResultField, text);
}

void CCalcDlg::RestoreHeldResult() {
  if (!checkTextShown_) return;
  checkTextShown_ = false;
  SetDlgItemText(res::kResultField, heldResult_);
}

void CCalcDlg::CopyCapitals() {
  CopyCapitalsOf(Q(engine::FormatTotal(state_.accumulator, state_.accScale)));
}

void CCalcDlg::CopyCapitalsOf(const QString& amount) {
  const engine::Capitals c = engine::AmountInCapitals(amount.toStdString());
  if (c.status == engine::Capitals::Status::kNotANumber) return;  // a message, not a total
  if (c.status == engine::Capitals::Status::kTooLarge) {
    platform::MessageBox(this, kAmountTooLarge, platform::MB_OK | platform::MB_ICONWARNING);
    return;
  }
  const QString text = Q(c.text);
  QGuiApplication::clipboard()->setText(text);
  if (capitalsTip_ == nullptr) {
    capitalsTip_ = new QLabel(this, Qt::ToolTip);
    capitalsTip_->setObjectName(QStringLiteral("capitals"));
    capitalsTip_->setFrameShape(QFrame::Box);
    capitalsTip_->setMargin(3);
    capitalsTip_->setAutoFillBackground(true);
    QPalette palette = capitalsTip_->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    capitalsTip_->setPalette(palette);
    capitalsTimer_ = new QTimer(this);
    capitalsTimer_->setSingleShot(true);
    connect(capitalsTimer_, &QTimer::timeout, capitalsTip_, &QWidget::hide);
  }
  capitalsTip_->setText(c.rounded ? text + QLatin1Char('\n') + kRoundedToFen : text);
  capitalsTip_->setAccessibleName(capitalsTip_->text());
  capitalsTip_->adjustSize();
  // Under the result field: the window sits in the screen's top right corner,
  // so there is seldom room beside it.
  const QWidget* result = Item(res::kResultField);
  capitalsTip_->move(result->mapToGlobal(QPoint(0, result->height() + 2)));
  capitalsTip_->show();
  capitalsTimer_->start(kCapitalsShownMs);
  FocusEntryField();
}

}  // namespace zantor::app
