#include "app/search_loader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QStringList>

#include "app/messages.h"
#include "platform/desktop.h"
#include "platform/launch.h"

namespace zantor::app {
namespace {

using RunSearch = bool (*)(QWidget*, store::HistoryStore*, const QString*);
using CorrectStep = bool (*)(QWidget*, store::HistoryStore*, long long);

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

struct Loaded {
  RunSearch run = nullptr;
  CorrectStep correct = nullptr;
  QString why;  // for the user, when run is null
};

// The shared library a failed load could not find, from the loader's own
// words ("libX.so.6: cannot open shared object file: ..."); empty when that
// was not the trouble.
QString MissingLibrary(const QString& loaderError) {
  static const QRegularExpression missing(
      QStringLiteral("([^\\s:()]+): cannot open shared object file"));
  const QRegularExpressionMatch m = missing.match(loaderError);
  return m.hasMatch() ? m.captured(1) : QString();
}

Loaded Load(const QStringList& candidates) {
  static bool quietEngine = false;
  if (!quietEngine) {
    previousHandler = qInstallMessageHandler(DropEngineStartNotes);
    quietEngine = true;
  }
  Loaded out;
  QString firstError;
  for (const QString& path : candidates) {
    if (!QFileInfo::exists(path + QStringLiteral(".so")) && !QFileInfo::exists(path)) continue;
    QLibrary library(path);
    if (!library.load()) {
      if (firstError.isEmpty()) firstError = library.errorString();
      continue;
    }
    out.run = reinterpret_cast<RunSearch>(library.resolve("zantor_run_search"));
    out.correct = reinterpret_cast<CorrectStep>(library.resolve("zantor_correct_step"));
    if (out.run != nullptr) return out;
    out.why = kSearchModuleMismatch;
    return out;
  }
  if (firstError.isEmpty()) {
    out.why = kSearchModuleMissing;
  } else if (const QString lib = MissingLibrary(firstError); !lib.isEmpty()) {
    out.why = kSearchLibraryMissing.arg(lib);
  } else {
    out.why = kSearchModuleUnloadable.arg(firstError);
  }
  return out;
}

}  // namespace

QStringList SearchModuleCandidates() {
  const QString dir = platform::ExecutableDir();
  return {
      dir + QStringLiteral("/zantor-search"),
      dir + QStringLiteral("/" ZANTOR_MODULE_DIR_FROM_BIN "/zantor-search"),
  };
}

namespace {

// The module's entry point, or null once the user was told why there is none.
RunSearch LoadOrTell(const QStringList& candidates, QWidget* owner) {
  const Loaded loaded = Load(candidates);
  if (loaded.run == nullptr) {
    platform::MessageBox(owner, kSearchUnavailable.arg(loaded.why),
                         platform::MB_OK | platform::MB_ICONWARNING);
  }
  return loaded.run;
}

}  // namespace

bool RunSearchModuleFrom(const QStringList& candidates, QWidget* owner, store::HistoryStore& store,
                         const QString& finalResultText) {
  const RunSearch run = LoadOrTell(candidates, owner);
  return run != nullptr && run(owner, &store, &finalResultText);
}

bool RunSearchModule(QWidget* owner, store::HistoryStore& store, const QString& finalResultText) {
  // Kept once found; a failure is looked into again at the next search (the
  // missing file may have been put back meanwhile).
  static RunSearch run = nullptr;
  if (run == nullptr) run = LoadOrTell(SearchModuleCandidates(), owner);
  return run != nullptr && run(owner, &store, &finalResultText);
}

bool RunCorrectionModule(QWidget* owner, store::HistoryStore& store, long long id) {
  static CorrectStep correct = nullptr;
  if (correct == nullptr) {
    const Loaded loaded = Load(SearchModuleCandidates());
    correct = loaded.correct;
    if (correct == nullptr) {
      platform::MessageBox(
          owner, kSearchUnavailable.arg(loaded.run == nullptr ? loaded.why : kSearchModuleMismatch),
          platform::MB_OK | platform::MB_ICONWARNING);
      return false;
    }
  }
  return correct(owner, &store, id);
}

}  // namespace zantor::app
