// History rows as the store's query gives them, written out in a test.
#pragma once

#include <initializer_list>

#include "store/history_store.h"

namespace zantor::search {

inline store::Table Rows(std::initializer_list<std::initializer_list<const char*>> rows) {
  store::Table t;
  t.columns = 4;
  t.cells = {"ID", "oP", "mdata", "re"};
  for (const auto& row : rows) {
    for (const char* cell : row) t.cells.emplace_back(cell);
    ++t.rows;
  }
  return t;
}

}  // namespace zantor::search
