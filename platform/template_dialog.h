// A dialog built from one of our templates: controls addressed by numeric id,
// placed in dialog units, tab order as in the template, bound edits exchanged
// with QString members, Esc ending the dialog with IDCANCEL.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "platform/dialog_units.h"
#include "res/dialog_templates.h"

class QMenuBar;
class QAction;

namespace zantor::platform {

// Makes the controls the toolkit has no plain widget for (the browser).
using CustomControlFactory =
    std::function<QWidget*(const res::ControlTemplate& control, QWidget* parent)>;

class TemplateDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TemplateDialog(int templateId, QWidget* parent = nullptr,
                          const CustomControlFactory& makeCustom = {});

  const res::DialogTemplate& dialogTemplate() const { return *template_; }
  BaseUnits baseUnits() const { return units_; }
  // The area the template describes, below the menu bar if there is one.
  QWidget* client() const { return client_; }

  // The first control with this id, or null.
  QWidget* Item(int id) const;
  template <class T>
  T* ItemAs(int id) const {
    return qobject_cast<T*>(Item(id));
  }
  // What the template tells assistive technology of the control `id`
  // (empty texts for an unknown id).
  struct AccessibleTexts {
    QString name, description;
  };
  AccessibleTexts AccessibleText(int id) const;
  void SetDlgItemText(int id, const QString& text);
  QString GetDlgItemText(int id) const;

  // Data exchange: TRUE copies the bound edits into their members, FALSE
  // writes the members back, touching only edits whose text differs.
  void BindText(int id, QString* member);
  void UpdateData(bool saveAndValidate);

  QAction* MenuCommand(int commandId) const;

  int DoModal();

  // A close request from the window manager ends the dialog with `id`
  // instead of IDCANCEL; Esc still cancels.
  void SetCloseAnswer(int id) { closeAnswer_ = id; }

 public slots:
  void accept() override;
  void reject() override;

 protected:
  // Called when a push button of the template is clicked.
  virtual void OnCommand(int id);
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildControls(const CustomControlFactory& makeCustom);

  const res::DialogTemplate* template_;
  BaseUnits units_;
  QMenuBar* menuBar_ = nullptr;
  QWidget* client_ = nullptr;
  std::vector<std::pair<int, QWidget*>> items_;
  std::vector<std::pair<int, QAction*>> commands_;
  std::vector<std::pair<int, QString*>> bound_;
  std::optional<int> closeAnswer_;
};

}  // namespace zantor::platform
