#include "platform/launch.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace zantor::platform {

QString ExecutableDir() { return QCoreApplication::applicationDirPath(); }

QString FindHelpPage(const QString& executableDir) {
  const QString beside = executableDir + QStringLiteral("/help.html");
  const QString installed =
      QDir(executableDir).absoluteFilePath(QStringLiteral("../share/zantor/help.html"));
  if (!QFileInfo::exists(beside) && QFileInfo::exists(installed)) {
    return QDir::cleanPath(installed);
  }
  return beside;
}

bool OpenDocument(const QString& path) {
  if (path.isEmpty() || !QFileInfo::exists(path)) return false;
  // Asked first and every time: the toolkit remembers the handler it found,
  // or that it found none, for the rest of the run.
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (!opener.isEmpty() && QProcess::startDetached(opener, {path})) return true;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QStringList CalculatorCandidates() {
  return {QStringLiteral("gnome-calculator"),
          QStringLiteral("kcalc"),
          QStringLiteral("mate-calc"),
          QStringLiteral("galculator"),
          QStringLiteral("qalculate-gtk"),
          QStringLiteral("qalculate-qt"),
          QStringLiteral("xcalc")};
}

bool StartCalculator() {
  for (const QString& name : CalculatorCandidates()) {
    const QString path = QStandardPaths::findExecutable(name);
    if (!path.isEmpty()) return QProcess::startDetached(path, {});
  }
  return false;
}

}  // namespace zantor::platform
