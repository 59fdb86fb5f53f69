#include "search/correct_dialog.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <algorithm>

#include "engine/messages.h"
#include "input/key_filter.h"
#include "platform/desktop.h"
#include "search/value_key_filter.h"
#include "store/history_store.h"

namespace zantor::search {
namespace {

constexpr int kTab = 9;

// The operators in the list's order, as the engine writes them.
constexpr char kOperators[] = {'+', '-', '*'};

// Keys that only move, select, copy or delete: the field's own handling of
// them cannot put a character into it.
bool IsEditingKey(int vk, bool ctrl) {
  constexpr int kEnd = 35, kHome = 36, kDelete = 46;
  constexpr int kA = 65, kC = 67, kX = 88, kZ = 90;
  if (vk == kEnd || vk == kHome || vk == kDelete) return true;
  return ctrl && (vk == kA || vk == kC || vk == kX || vk == kZ);
}

// The entry field takes what the value field of the search takes; Enter
// confirms and Esc leaves, as in any dialog (the value field swallows both).
class CorrectionEntryFilter : public ValueKeyFilter {
 public:
  CorrectionEntryFilter(QLineEdit* field, CCorrectDlg* dialog)
      : ValueKeyFilter(field, dialog), dialog_(dialog) {}

 protected:
  input::KeyDecision Decide(input::KeyMessage message, int vk, bool shift,
                            bool ctrl) const override {
    if (message == input::KeyMessage::kKeyDown && !ctrl) {
      if (vk == input::vk::kReturn) return {input::Outcome::kDrop, input::KeyAction::kEvaluate};
      if (vk == input::vk::kEscape) return {input::Outcome::kDefault, input::KeyAction::kNone};
      // Tab leaves for the operator list and the buttons, as in any dialog.
      if (vk == kTab) return {input::Outcome::kDefault, input::KeyAction::kNone};
    }
    if (message == input::KeyMessage::kKeyDown && IsEditingKey(vk, ctrl)) {
      return {input::Outcome::kDefault, input::KeyAction::kNone};
    }
    // The entry opens selected: a point typed over the selection replaces
    // it, so only the point outside it counts.
    if (message == input::KeyMessage::kKeyDown && vk == input::vk::kDecimal) {
      QString kept = field()->text();
      if (field()->hasSelectedText()) {
        kept.remove(field()->selectionStart(), field()->selectedText().size());
      }
      return input::DecideValueKey(message, vk, shift, ctrl, kept.toStdString());
    }
    return ValueKeyFilter::Decide(message, vk, shift, ctrl);
  }
  void Act(input::KeyAction action) override {
    if (action == input::KeyAction::kEvaluate) dialog_->accept();
    ValueKeyFilter::Act(action);
  }

 private:
  CCorrectDlg* dialog_;
};

}  // namespace

CCorrectDlg::CCorrectDlg(long long id, char op, const QString& entry, QWidget* owner)
    : platform::TemplateDialog(res::kCorrectTemplate, owner) {
  setWindowTitle(CorrectCaption(id));
  int index = 0;
  for (int i = 0; i < 3; ++i) {
    if (kOperators[i] == op) index = i;
  }
  operatorList()->setCurrentIndex(index);
  QString typed = entry;
  typed.remove(QLatin1Char(','));
  entryField()->setText(typed);
  new CorrectionEntryFilter(entryField(), this);
  entryField()->setFocus();
  entryField()->selectAll();
}

void CCorrectDlg::PlaceBeside(const QRect& row) {
  const QScreen* screen = QGuiApplication::screenAt(row.center());
  if (screen == nullptr) screen = this->screen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  adjustSize();
  // Before it is first shown the window's frame is not known: a title bar
  // and borders are allowed for.
  QSize outer = frameGeometry().size();
  if (outer == size()) outer += QSize(2 * kFrameAllowance, kTitleAllowance + kFrameAllowance);
  constexpr int kGap = 4;
  int y = row.bottom() + 1 + kGap;
  if (y + outer.height() > area.bottom() + 1) y = row.top() - kGap - outer.height();
  y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() + 1 - outer.height()));
  const int x =
      std::clamp(row.left(), area.left(), std::max(area.left(), area.right() + 1 - outer.width()));
  move(x, y);
}

void CCorrectDlg::showEvent(QShowEvent* event) {
  platform::TemplateDialog::showEvent(event);
  // Typing replaces the entry at once, as in any dialog that offers a value.
  entryField()->setFocus();
  entryField()->selectAll();
}

char CCorrectDlg::op() const {
  const int i = operatorList()->currentIndex();
  return i >= 0 && i < 3 ? kOperators[i] : '+';
}

QString CCorrectDlg::entry() const { return entryField()->text(); }
QComboBox* CCorrectDlg::operatorList() const {
  return ItemAs<QComboBox>(res::kCorrectOperatorList);
}
QLineEdit* CCorrectDlg::entryField() const { return ItemAs<QLineEdit>(res::kCorrectEntryField); }

void TellCorrectionRefused(QWidget* owner, const store::CorrectionOutcome& out, long long id) {
  using store::CorrectionStatus;
  QString why;
  switch (out.status) {
    case CorrectionStatus::kDone:
      return;
    case CorrectionStatus::kEntryRefused: {
      // An empty entry has no message, as Enter on an empty entry field has
      // none: the dialog simply comes back.
      const std::string_view text = engine::MessageText(out.message);
      if (text.empty()) return;
      why = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
      break;
    }
    case CorrectionStatus::kUnknownId:
      why = kCorrectUnknownStep.arg(id);
      break;
    case CorrectionStatus::kNoBase:
      why = kCorrectNoBase.arg(id);
      break;
    case CorrectionStatus::kInUse:
      why = kCorrectInUse;
      break;
    default:
      why = kCorrectFailed;
      break;
  }
  platform::MessageBox(owner, why, platform::MB_OK | platform::MB_ICONWARNING);
}

bool CorrectStepFromTape(QWidget* owner, store::HistoryStore& store, long long id) {
  const store::Table row =
      store.Query("SELECT oP,mdata FROM MyData WHERE ID=" + std::to_string(id) + ";");
  if (row.rows < 1 || row.columns < 2) return false;
  const char op = row.cells[2].empty() ? '+' : row.cells[2][0];
  const QString entry = QString::fromStdString(row.cells[3]);
  QString typed = entry;
  typed.remove(QLatin1Char(','));
  CCorrectDlg dialog(id, op, entry, owner);
  while (dialog.DoModal() == res::IDOK) {
    if (dialog.op() == op && dialog.entry() == typed) return false;
    const store::CorrectionOutcome out =
        store.Correct({id, dialog.op(), dialog.entry().toStdString()});
    if (out.status == store::CorrectionStatus::kDone) return true;
    TellCorrectionRefused(owner, out, id);
    if (out.status != store::CorrectionStatus::kEntryRefused) return false;
  }
  return false;
}

}  // namespace zantor::search
