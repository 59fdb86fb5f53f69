#include "platform/corner.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <optional>

#include "platform/window_x11.h"

namespace zantor::platform {
namespace {

// The window's width with the window manager's side borders. Some window
// managers never tell the toolkit their frame, so the borders are measured:
// where the server has the client area against where the frame was put.
int OuterWidth(const QWidget* window) {
  int client = window->mapToGlobal(QPoint(0, 0)).x();
  if (const std::optional<QPoint> server = ServerPosition(window)) {
    // The server counts device pixels; the toolkit keeps a screen's origin
    // and scales the rest (QT_SCALE_FACTOR, a high-density screen).
    const QScreen* screen = window->screen();
    const int origin = screen != nullptr ? screen->geometry().x() : 0;
    client = origin + qRound((server->x() - origin) / window->devicePixelRatioF());
  }
  const int border = std::max(0, client - window->pos().x());
  return window->width() + 2 * border;
}

void MoveToCorner(QWidget* window, int outerWidth) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  // Where the primary screen lies on the desktop: beside another screen its
  // left edge need not be at 0.
  const QRect area = screen != nullptr ? screen->geometry() : QRect();
  window->move(area.left() + CornerX(area.width(), outerWidth), area.top() + 1);
}

// Looks at the frame for a moment after the window is shown and moves the
// window once if the frame made it wider; after that it is the user's.
class FrameWatcher : public QObject {
 public:
  FrameWatcher(QWidget* window, int placedWidth)
      : QObject(window), window_(window), placedWidth_(placedWidth) {
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, &FrameWatcher::Look);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_) return false;
    if (event->type() == QEvent::Show && !timer_.isActive()) {
      looks_ = 0;
      timer_.start();
    } else if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
      QTimer::singleShot(0, this, &FrameWatcher::Look);
    }
    return false;
  }

 private:
  void Look() {
    if (done_) return;
    const int outer = OuterWidth(window_);
    if (outer != placedWidth_) {
      MoveToCorner(window_, outer);
      Done();
    } else if (++looks_ >= 20) {
      Done();
    }
  }

  void Done() {
    done_ = true;
    timer_.stop();
    window_->removeEventFilter(this);
    deleteLater();
  }

  QWidget* window_;
  int placedWidth_;
  QTimer timer_;
  int looks_ = 0;
  bool done_ = false;
};

}  // namespace

int CornerX(int screenWidth, int frameWidth) {
  return std::max(0, screenWidth - std::max(355, frameWidth));
}

void PlaceInTopRightCorner(QWidget* window) {
  const int outer = window->frameGeometry().width();
  MoveToCorner(window, outer);
  window->installEventFilter(new FrameWatcher(window, outer));
}

}  // namespace zantor::platform
