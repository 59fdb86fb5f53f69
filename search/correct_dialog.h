// The small dialog that corrects one step of the report: the step's operator
// and entry, changed and confirmed (确定 or Enter) or left (取消 or Esc).
#pragma once

#include <QRect>
#include <QString>

#include "platform/template_dialog.h"
#include "store/correction.h"

class QComboBox;
class QLineEdit;
class QShowEvent;

namespace zantor::store {
class HistoryStore;
}

namespace zantor::search {

class CCorrectDlg : public platform::TemplateDialog {
  Q_OBJECT
 public:
  // `op` is the row's operator ('+', '-' or '*'), `entry` its entry as the
  // report shows it; the field offers it without the group commas, as it
  // would be typed.
  CCorrectDlg(long long id, char op, const QString& entry, QWidget* owner = nullptr);

  // The chosen operator: '+', '-' or '*'.
  char op() const;
  QString entry() const;
  QComboBox* operatorList() const;
  QLineEdit* entryField() const;

  // Moves the dialog above or below `row` (a band in screen coordinates),
  // within the screen, so that the row it corrects stays in sight.
  void PlaceBeside(const QRect& row);

  // Allowed for the window manager's frame while it is not known yet.
  static constexpr int kTitleAllowance = 32;
  static constexpr int kFrameAllowance = 4;

 protected:
  void showEvent(QShowEvent* event) override;
};

// Ours: why a correction was not made (the engine's own messages say why an
// entry is refused). %1 is the step's ID.
inline const QString kCorrectUnknownStep = QStringLiteral("找不到第 %1 步，没有改正。");
inline const QString kCorrectNoBase =
    QStringLiteral("第 %1 步的结果不是由前一步算出的，\n无法改正。");
inline const QString kCorrectInUse = QStringLiteral("历史数据文件正被其他程序使用，\n没有改正。");
inline const QString kCorrectFailed = QStringLiteral("改正没有成功，历史数据没有改变。");

// Opens 改正第 N 步 for step `id` of `store` over `owner` and corrects the step
// on 确定, telling the user why when it cannot; a refused entry brings the
// dialog back with what was typed. True when the history changed.
// Says why a correction was not made, in a box over `owner` (nothing for one
// made, or for an empty entry).
void TellCorrectionRefused(QWidget* owner, const store::CorrectionOutcome& out, long long id);
bool CorrectStepFromTape(QWidget* owner, store::HistoryStore& store, long long id);

// The caption for step `id`: "改正第 N 步".
inline QString CorrectCaption(long long id) { return QStringLiteral("改正第 %1 步").arg(id); }

}  // namespace zantor::search
