#include "res/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <algorithm>

namespace zantor::res {

QImage DrawAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // A paper tape on a dark body: the adding machine's two halves.
  QPainterPath body;
  body.addRoundedRect(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88), s * 0.16, s * 0.16);
  p.fillPath(body, QColor(0x2f, 0x4f, 0x8f));
  const QRectF tape(s * 0.22, s * 0.14, s * 0.56, s * 0.40);
  p.fillRect(tape, QColor(0xfa, 0xfa, 0xf2));
  p.setPen(QPen(QColor(0x2f, 0x4f, 0x8f), std::max(1.0, s / 24)));
  for (int i = 1; i <= 3; ++i) {
    const qreal y = tape.top() + tape.height() * i / 4.0;
    p.drawLine(QPointF(tape.left() + s * 0.06, y), QPointF(tape.right() - s * 0.06, y));
  }
  // The plus key.
  p.setPen(QPen(QColor(0xff, 0xc8, 0x3c), std::max(1.5, s / 10), Qt::SolidLine, Qt::RoundCap));
  const QPointF c(s * 0.5, s * 0.74);
  p.drawLine(c - QPointF(s * 0.13, 0), c + QPointF(s * 0.13, 0));
  p.drawLine(c - QPointF(0, s * 0.13), c + QPointF(0, s * 0.13));
  p.end();
  return image;
}

QIcon AppIcon() {
  static const QIcon icon = [] {
    QIcon i;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
      i.addPixmap(QPixmap::fromImage(DrawAppIcon(size)));
    return i;
  }();
  return icon;
}

}  // namespace zantor::res
