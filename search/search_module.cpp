// The search dialog as a module of its own: the program loads it at the first
// search, so the browser engine is not paid for at start-up.
#include <QAccessible>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtGlobal>

#include "search/correct_dialog.h"
#include "search/find_dialog.h"

// Exported by QtGui without a public declaration.
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

// The browser engine composes its pages through a GL context shared with the
// application. The window does not ask for one at start-up (that would load
// the GL stack at every start), so the module makes it on first use. Where
// no GL context can be made (no GL driver, a remote display without GL), the
// engine and the view draw in software instead: without that the dialog
// would come up blank, or not at all.
void EnsureShareContext() {
  static const bool done = [] {
    // The engine reports its GL set-up on the standard error stream at every
    // start; the program writes nothing there in normal use.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false"));
    if (QOpenGLContext* shared = qt_gl_global_share_context(); shared != nullptr) {
      if (shared->isValid()) return true;
    } else {
      auto* context = new QOpenGLContext(qApp);
      if (context->create()) {
        qt_gl_set_global_share_context(context);
        return true;
      }
      delete context;
    }
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --disable-gpu";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    return true;
  }();
  (void)done;
}

// A screen reader sees the report's rows only when the engine builds its
// pages' accessibility; that costs time on every page, so it is asked for
// only when assistive technology is listening, before the engine starts.
void ExposePagesToAssistiveTechnology() {
  static const bool done = [] {
    if (!QAccessible::isActive()) return false;
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    flags += " --force-renderer-accessibility";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    return true;
  }();
  (void)done;
}

}  // namespace

extern "C" Q_DECL_EXPORT bool zantor_run_search(QWidget* owner, zantor::store::HistoryStore* store,
                                                const QString* finalResultText) {
  EnsureShareContext();
  ExposePagesToAssistiveTechnology();
  zantor::search::CFindDlg dialog(*store, *finalResultText, owner);
  dialog.DoModal();
  return true;
}

// The tape's way to 改正第 N 步, which needs no browser engine.
extern "C" Q_DECL_EXPORT bool zantor_correct_step(QWidget* owner,
                                                  zantor::store::HistoryStore* store,
                                                  long long id) {
  return zantor::search::CorrectStepFromTape(owner, *store, id);
}
