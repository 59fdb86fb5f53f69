// Dialog units: a quarter of the dialog font's average character width
// horizontally, an eighth of its character height vertically.
#pragma once

#include <QFont>
#include <QRect>

namespace zantor::platform {

struct BaseUnits {
  int x = 0;  // average character width in pixels
  int y = 0;  // character height in pixels
};

// Rounds a * b / c to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c);

BaseUnits BaseUnitsFor(const QFont& font);
QRect MapDialogRect(const BaseUnits& units, int x, int y, int width, int height);

// The dialog font for a template's face and size, with CJK fallbacks so that
// Chinese captions never show as boxes.
QFont DialogFont(const QString& face, int pointSize);

}  // namespace zantor::platform
