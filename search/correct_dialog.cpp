#include "search/correct_dialog.h"

#include <QComboBox>
#include <QLineEdit>

#include "input/key_filter.h"
#include "platform/desktop.h"
#include "search/value_key_filter.h"

namespace zantor::search {
namespace {

constexpr int kTab = 9;

// The operators in the list's order, as the engine writes them.
constexpr char kOperators[] = {'+', '-', '*'};

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

char CCorrectDlg::op() const {
  const int i = operatorList()->currentIndex();
  return i >= 0 && i < 3 ? kOperators[i] : '+';
}

QString CCorrectDlg::entry() const { return entryField()->text(); }
QComboBox* CCorrectDlg::operatorList() const {
  return ItemAs<QComboBox>(res::kCorrectOperatorList);
}
QLineEdit* CCorrectDlg::entryField() const { return ItemAs<QLineEdit>(res::kCorrectEntryField); }

}  // namespace zantor::search
