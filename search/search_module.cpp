// The search dialog as a module of its own: the program loads it at the first
// search, so the browser engine is not paid for at start-up.
#include <QtGlobal>

#include "search/find_dialog.h"

extern "C" Q_DECL_EXPORT bool zantor_run_search(QWidget* owner, zantor::store::HistoryStore* store,
                                                const QString* finalResultText) {
  Q_UNUSED(owner);
  zantor::search::CFindDlg dialog(*store, *finalResultText);
  dialog.DoModal();
  return true;
}
