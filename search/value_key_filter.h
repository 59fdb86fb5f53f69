// The search dialog's value field: digits, one keypad point, the keypad minus
// as a sign toggle, and a cleaned paste; nothing else gets in.
#pragma once

#include <QObject>

class QLineEdit;

namespace zantor::search {

class ValueKeyFilter : public QObject {
  Q_OBJECT
 public:
  ValueKeyFilter(QLineEdit* field, QObject* parent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* field_;
  bool swallowContextMenu_ = false;
};

}  // namespace zantor::search
