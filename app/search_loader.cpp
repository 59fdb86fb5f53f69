#include "app/search_loader.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QStringList>

#include "app/platform/launch.h"

namespace zantor::app {
namespace {

using RunSearch = bool (*)(QWidget*, store::HistoryStore*, const QString*);

RunSearch LoadModule() {
  static RunSearch run = [] {
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
