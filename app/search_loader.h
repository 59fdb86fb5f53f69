// Opens the search dialog from its own module, loaded on first use: the
// browser engine it needs is paid for only when the user searches.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace zantor::store {
class HistoryStore;
}

namespace zantor::app {

// Where the module is looked for: beside the program, then in the installed
// module directory. Names without the ".so" the loader adds.
QStringList SearchModuleCandidates();

// Loads the first candidate that loads and runs its search dialog. When none
// can be run, the user is told why in a message box and false is returned
// (the caller then goes on recording). A loaded module stays loaded.
bool RunSearchModuleFrom(const QStringList& candidates, QWidget* owner, store::HistoryStore& store,
                         const QString& finalResultText);
// The same with SearchModuleCandidates().
bool RunSearchModule(QWidget* owner, store::HistoryStore& store, const QString& finalResultText);

// Opens 改正第 N 步 for step `id` from the same module (the tape's way to a
// correction). True when the history changed.
bool RunCorrectionModule(QWidget* owner, store::HistoryStore& store, long long id);

}  // namespace zantor::app
