#include "platform/opacity.h"

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QScrollBar>
#include <QSlider>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

namespace zantor::platform {

int WheelStep(int position, int delta) {
  if (delta == 0) return position;
  const unsigned b = static_cast<unsigned>(position - kMinAlpha) & 0xFFu;
  const unsigned v = (((delta > 0 ? b + 5 : b + 180) % 185) + kMinAlpha) & 0xFFu;
  // Positions off the grid of fives could step past the range; keep to it.
  return std::clamp(static_cast<int>(v), kMinAlpha, kMaxAlpha);
}

void SetWindowOpacity(QWidget* dialog, int alpha) {
  // A Wayland client cannot make its window see-through, and the toolkit
  // would say so at every step of the slider: there the slider moves and the
  // window stays opaque, without a word.
  static const bool seeThrough =
      !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
  if (!seeThrough) return;
  dialog->setWindowOpacity(static_cast<qreal>(alpha & 0xFF) / 255.0);
}

OpacityControl::OpacityControl(QWidget* dialog, QSlider* slider)
    : QObject(dialog), dialog_(dialog), slider_(slider) {
  slider_->setRange(kMinAlpha, kMaxAlpha);
  slider_->setValue(kStartAlpha);
  slider_->setSingleStep(5);
  slider_->setPageStep(5);
  connect(slider_, &QSlider::valueChanged, dialog_,
          [this](int value) { SetWindowOpacity(dialog_, value); });
  SetWindowOpacity(dialog_, kStartAlpha);
  dialog_->installEventFilter(this);
  for (QWidget* child : dialog_->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool OpacityControl::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::Wheel) return false;
  // Looked up by where the pointer is, not by who is told: an area that does
  // not use a turn hands it on to the dialog.
  const QPointF at = static_cast<QWheelEvent*>(event)->globalPosition();
  if (const QWidget* under = dialog_->childAt(dialog_->mapFromGlobal(at).toPoint())) {
    for (const QWidget* area : ownWheel_) {
      if (area == under || area->isAncestorOf(under)) return false;
    }
  }
  // A result field that can scroll keeps its own wheel.
  for (QObject* o = watched; o != nullptr && o != dialog_; o = o->parent()) {
    if (auto* area = qobject_cast<QAbstractScrollArea*>(o)) {
      if (area->verticalScrollBar()->maximum() > 0) return false;
    }
  }
  // A touchpad or a free-spinning wheel sends many small deltas per gesture;
  // one step per whole notch (120) of their sum keeps a notch one step.
  wheelDelta_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
  for (; wheelDelta_ >= kWheelNotch; wheelDelta_ -= kWheelNotch) {
    slider_->setValue(WheelStep(slider_->value(), 1));
  }
  for (; wheelDelta_ <= -kWheelNotch; wheelDelta_ += kWheelNotch) {
    slider_->setValue(WheelStep(slider_->value(), -1));
  }
  return true;
}

}  // namespace zantor::platform
