#include "input/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/text/gbk.h"

namespace zantor::input {

ClipboardView ReadClipboard(QClipboard::Mode mode) {
  ClipboardView view;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData(mode);
  if (data == nullptr) return view;
  view.hasFormats = !data->formats().isEmpty();
  view.hasText = data->hasText();
  if (view.hasText) view.gbk = platform::ToGbk(data->text().toStdString());
  return view;
}

void WriteClipboard(const std::string& gbk, QClipboard::Mode mode) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(platform::FromGbk(gbk)), mode);
}

}  // namespace zantor::input
