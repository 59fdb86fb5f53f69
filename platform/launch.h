// Opening the help page with the desktop's viewer and starting a calculator.
// Both say whether something was started; the commands tell the user when not.
#pragma once

#include <QString>
#include <QStringList>

namespace zantor::platform {

// The directory holding the running executable.
QString ExecutableDir();

// help.html beside the executable, else in the installed data directory
// (<prefix>/share/zantor/help.html); the first of these that exists.
QString FindHelpPage(const QString& executableDir);

// Opens `path` with the desktop's handler: xdg-open on PATH, else the
// toolkit's own way. False when the file is missing or nothing could open it.
bool OpenDocument(const QString& path);

// Desktop calculators, in the order they are looked for.
QStringList CalculatorCandidates();
// Starts the first calculator found on PATH; false when none is installed.
bool StartCalculator();

}  // namespace zantor::platform
