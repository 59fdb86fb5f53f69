#include "app/search_loader.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

#include "app/platform/launch.h"

namespace zantor::app {
namespace {

using RunSearch = bool (*)(QWidget*, store::HistoryStore*, const QString*);

// The browser engine greets every start with notes meant for programs that
// link it from the start (and, as root, that its sandbox is off). The program
// writes nothing on the standard error stream in normal use: those two are
// dropped, anything else goes through.
QtMessageHandler previousHandler = nullptr;

void DropEngineStartNotes(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
  if (message.startsWith(QLatin1String("Qt WebEngine seems to be initialized from a plugin")) ||
      message.startsWith(QLatin1String("Sandboxing disabled by user"))) {
    return;
  }
  if (previousHandler != nullptr) previousHandler(type, context, message);
}

RunSearch LoadModule() {
  static RunSearch run = [] {
    previousHandler = qInstallMessageHandler(DropEngineStartNotes);
    const QString dir = platform::ExecutableDir();
    const QStringList candidates = {
        dir + QStringLiteral("/zantor-search"),
        dir + QStringLiteral("/" ZANTOR_MODULE_DIR_FROM_BIN "/zantor-search"),
    };
    for (const QString& path : candidates) {
      QLibrary library(path);
      if (library.load()) return reinterpret_cast<RunSearch>(library.resolve("zantor_run_search"));
    }
    return RunSearch{nullptr};
  }();
  return run;
}

}  // namespace

bool RunSearchModule(QWidget* owner, store::HistoryStore& store, const QString& finalResultText) {
  const RunSearch run = LoadModule();
  return run != nullptr && run(owner, &store, &finalResultText);
}

}  // namespace zantor::app
