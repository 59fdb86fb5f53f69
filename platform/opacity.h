// See-through dialogs: a slider (75..255, start 200, steps of 5) whose
// position is the window's alpha, stepped by the mouse wheel with wrap-around.
#pragma once

#include <QObject>
#include <vector>

class QSlider;
class QWidget;

namespace zantor::platform {

inline constexpr int kMinAlpha = 75;
inline constexpr int kMaxAlpha = 255;
inline constexpr int kStartAlpha = 200;
// The wheel delta of one notch of a mouse wheel.
inline constexpr int kWheelNotch = 120;

// One wheel notch from `position`: away from the user (delta > 0) raises by 5
// and wraps 255 -> 75; toward the user lowers and wraps 75 -> 255. A zero
// delta changes nothing; the result always lies in 75..255.
int WheelStep(int position, int delta);

void SetWindowOpacity(QWidget* dialog, int alpha);

// Wires a dialog's slider: range, position, steps, the window's alpha, and the
// wheel anywhere over the dialog, one step per notch of turn.
class OpacityControl : public QObject {
  Q_OBJECT
 public:
  OpacityControl(QWidget* dialog, QSlider* slider);

  QSlider* slider() const { return slider_; }
  // The wheel over `area` (a report, a list) is the area's own: it scrolls
  // there instead of stepping the opacity.
  void LeaveWheelTo(QWidget* area) { ownWheel_.push_back(area); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* dialog_;
  QSlider* slider_;
  int wheelDelta_ = 0;  // turned but not yet a whole notch
  std::vector<QWidget*> ownWheel_;
};

}  // namespace zantor::platform
