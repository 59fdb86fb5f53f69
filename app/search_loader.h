// Opens the search dialog from its own module, loaded on first use: the
// browser engine it needs is paid for only when the user searches.
#pragma once

#include <QString>

class QWidget;

namespace zantor::store {
class HistoryStore;
}

namespace zantor::app {

// False when the module could not be loaded (nothing was shown).
bool RunSearchModule(QWidget* owner, store::HistoryStore& store, const QString& finalResultText);

}  // namespace zantor::app
