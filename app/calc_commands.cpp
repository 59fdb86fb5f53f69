// The main dialog's commands: buttons, hotkeys and menu.
#include <QLineEdit>
#include <QRadioButton>

#include "app/calc_dialog.h"
#include "app/messages.h"
#include "app/tape_window.h"
#include "engine/step.h"
#include "platform/desktop.h"
#include "platform/launch.h"

namespace zantor::app {

using platform::MB_ICONWARNING;
using platform::MB_OK;

void CCalcDlg::OnCycleOperator() {
  switch (state_.pendingOp) {
    case '+':
      state_.pendingOp = '-';
      SetDlgItemText(res::kOperatorButton, QStringLiteral("－"));
      Item(res::kOperatorButton)->setAccessibleName(kOperatorName.arg(QStringLiteral("减")));
      break;
    case '-':
      state_.pendingOp = '*';
      SetDlgItemText(res::kOperatorButton, QStringLiteral("×"));
      Item(res::kOperatorButton)->setAccessibleName(kOperatorName.arg(QStringLiteral("乘")));
      break;
    default:
      state_.pendingOp = '+';
      SetDlgItemText(res::kOperatorButton, QStringLiteral("＋"));
      Item(res::kOperatorButton)->setAccessibleName(kOperatorName.arg(QStringLiteral("加")));
      break;
  }
  FocusEntryField();
}

void CCalcDlg::OnFastMode() {
  state_.entryMode = 'k';
  UpdateData(true);
  UpdateData(false);
  entryText_.remove(QLatin1Char('.'));
  SetDlgItemText(res::kEntryField, entryText_);
  FocusEntryField();
}

void CCalcDlg::OnNormalMode() {
  state_.entryMode = 'z';
  UpdateData(true);
  UpdateData(false);
  FocusEntryField();
}

void CCalcDlg::ToggleEntryMode() {
  const bool toNormal = state_.entryMode == 'k';
  ItemAs<QRadioButton>(res::kFastModeRadio)->setChecked(!toNormal);
  ItemAs<QRadioButton>(res::kNormalModeRadio)->setChecked(toNormal);
  if (toNormal) {
    OnNormalMode();
  } else {
    OnFastMode();
  }
}

void CCalcDlg::OnViewLast() { FocusEntryField(); }

void CCalcDlg::OnStore() {
  const QString text = GetDlgItemText(res::kResultField);
  if (!text.isEmpty() && (text[0].isDigit() || text[0] == QLatin1Char('-')) &&
      text[0].unicode() < 128) {
    SetDlgItemText(res::kMemoryField, text);
    Item(res::kMemoryField)
        ->setAccessibleName(kMemoryName.arg(AccessibleText(res::kMemoryField).name, text));
  }
  FocusEntryField();
}

void CCalcDlg::OnRecall() {
  QString text = GetDlgItemText(res::kMemoryField);
  text.remove(QLatin1Char(','));
  if (state_.entryMode == 'k' && !text.contains(QLatin1Char('.'))) text += QStringLiteral("00");
  SetDlgItemText(res::kEntryField, text);
  FocusEntryField();
}

void CCalcDlg::OnEquals() {
  EvaluateStep();
  FocusEntryField();
}

void CCalcDlg::OnHelp() {
  if (!platform::OpenDocument(helpPath_)) {
    platform::MessageBox(this, kHelpCannotOpen.arg(helpPath_), MB_OK | MB_ICONWARNING);
  }
}

void CCalcDlg::OnSystemCalculator() {
  if (!platform::StartCalculator()) {
    platform::MessageBox(
        this, kCalculatorMissing.arg(platform::CalculatorCandidates().join(QStringLiteral(", "))),
        MB_OK | MB_ICONWARNING);
  }
}

void CCalcDlg::OnAboutAuthor() {
  platform::TemplateDialog about(res::kAboutBoxTemplate, this);
  about.DoModal();
}

void CCalcDlg::OnSysCommand(int command) {
  if ((command & 0xFFF0) == res::kAboutCommand) OnAboutAuthor();
}

void CCalcDlg::OnZeroResult() {
  if (platform::MessageBox(this, kZeroResultQuestion,
                           platform::MB_YESNO | platform::MB_ICONINFORMATION) != res::IDYES) {
    return;
  }
  LeaveCheck();
  emit MarksCleared();
  engine::ZeroResult(state_);
  SetDlgItemText(res::kResultField, QStringLiteral("0.00"));
  store_->RecordTotal(state_.accScale, "0.00");
  if (tape_ != nullptr) tape_->RunClosed();
}

void CCalcDlg::OnClearAll() {
  if (platform::MessageBox(this, kClearAllQuestion,
                           platform::MB_YESNO | platform::MB_ICONEXCLAMATION) != res::IDYES) {
    return;
  }
  // The tape reads the file on a connection of its own: it lets go first.
  if (tape_ != nullptr) tape_->model()->Clear();
  LeaveCheck();
  emit MarksCleared();
  SaveTotal();
  engine::ReleaseChains(state_);
  store_->CloseHistoryDatabase();
  SetDlgItemText(res::kResultField, QStringLiteral("0.00"));
  ClearHistoryFile();
  engine::ZeroResult(state_);
  OpenHistory();
  if (tape_ != nullptr) tape_->Reopen();
  FocusEntryField();
}

}  // namespace zantor::app
