// Files and GBK for the tests that have the toolkit: one copy each, and a
// file that cannot be read or text that has no GBK form fails the test
// instead of comparing as empty.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringEncoder>

namespace zantor::testsupport {

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "cannot read " << path.toStdString() << ": " << f.errorString().toStdString();
    return {};
  }
  return f.readAll();
}

inline QByteArray Gbk(const QString& text) {
  QStringEncoder toGbk("GBK");
  QByteArray bytes = toGbk(text);
  EXPECT_FALSE(toGbk.hasError()) << text.toStdString();
  return bytes;
}

}  // namespace zantor::testsupport
