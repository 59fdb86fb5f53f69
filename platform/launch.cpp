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

void OpenDocument(const QString& path) {
  if (path.isEmpty()) return;
  QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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
