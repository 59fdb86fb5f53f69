#include "platform/dialog_units.h"

#include <QFontMetrics>
#include <QStringList>

namespace zantor::platform {

int MulDiv(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(p >= 0 ? (p + half) / c : (p - half) / c);
}

BaseUnits BaseUnitsFor(const QFont& font) {
  const QFontMetrics m(font);
  // The average over the 52 Latin letters, rounded as the classic dialog
  // manager does, so that layouts keep their proportions.
  const int cx =
      m.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return BaseUnits{(cx / 26 + 1) / 2, m.height()};
}

QRect MapDialogRect(const BaseUnits& u, int x, int y, int width, int height) {
  return QRect(MulDiv(x, u.x, 4), MulDiv(y, u.y, 8), MulDiv(width, u.x, 4), MulDiv(height, u.y, 8));
}

QFont DialogFont(const QString& face, int pointSize) {
  QFont font;
  font.setFamilies({face, QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Droid Sans Fallback")});
  font.setPointSize(pointSize);
  return font;
}

}  // namespace zantor::platform
