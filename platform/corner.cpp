#include "platform/corner.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
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

// Where the primary screen lies on the desktop (beside another screen its
// left edge need not be at 0), less the panels a desktop keeps on it.
QRect CornerArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->availableGeometry() : QRect();
}

QPoint CornerFor(int outerWidth) {
  const QRect area = CornerArea();
  return {area.left() + CornerX(area.width(), outerWidth), area.top() + 1};
}

void MoveToCorner(QWidget* window, int outerWidth) { window->move(CornerFor(outerWidth)); }

// With a window manager that names its frame, the frame itself is put in the
// corner: the toolkit may have placed the client there instead, leaving the
// title bar above the screen. False when the frame is not known (yet).
bool PlaceFrame(QWidget* window) {
  const std::optional<QMargins> device = FrameExtents(window);
  const std::optional<QPoint> server = ServerPosition(window);
  if (!device || !server || window->windowHandle() == nullptr) return false;
  // The server counts device pixels; the toolkit keeps a screen's origin and
  // scales the rest (QT_SCALE_FACTOR, a high-density screen).
  const qreal ratio = window->devicePixelRatioF();
  const QMargins frame(qRound(device->left() / ratio), qRound(device->top() / ratio),
                       qRound(device->right() / ratio), qRound(device->bottom() / ratio));
  const QScreen* screen = window->screen();
  const QPoint origin = screen != nullptr ? screen->geometry().topLeft() : QPoint();
  const QPoint client = origin + QPoint(qRound((server->x() - origin.x()) / ratio),
                                        qRound((server->y() - origin.y()) / ratio));
  const QPoint corner = CornerFor(window->width() + frame.left() + frame.right());
  const QPoint wanted = corner + QPoint(frame.left(), frame.top());
  // The client's own position, which the window manager keeps as asked.
  if (client != wanted) window->windowHandle()->setPosition(wanted);
  return true;
}

// Looks at the frame for a moment after the window is shown and moves the
// window when the frame is named or made it wider; after that it is the user's.
class FrameWatcher : public QObject {
 public:
  FrameWatcher(QWidget* window, int placedWidth)
      : QObject(window), window_(window), placedWidth_(placedWidth) {
    timer_.setInterval(50);
    connect(&timer_, &QTimer::timeout, this, [this] { Look(true); });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != window_) return false;
    if (event->type() == QEvent::Show && !timer_.isActive()) {
      looks_ = 0;
      timer_.start();
    } else if (event->type() == QEvent::Move || event->type() == QEvent::Resize) {
      QTimer::singleShot(0, this, [this] { Look(false); });
    }
    return false;
  }

 private:
  // Only the timer's looks count towards the end.
  void Look(bool counted) {
    if (done_) return;
    if (PlaceFrame(window_)) {
      Done();
      return;
    }
    const int outer = OuterWidth(window_);
    if (outer != placedWidth_) {
      MoveToCorner(window_, outer);
      placedWidth_ = outer;
    }
    // A frame named late is still put in place, within the first second.
    if (counted && ++looks_ >= 20) Done();
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
