#include "app/search_loader.h"

namespace zantor::app {

bool RunSearchModule(QWidget*, store::HistoryStore&, const QString&) { return false; }

}  // namespace zantor::app
