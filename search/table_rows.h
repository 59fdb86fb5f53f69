// Read access to the rows of a history query, shared by the report and the
// export. Every statement selects ID, oP, mdata, re, in that order.
#pragma once

#include <algorithm>
#include <string>

#include "store/history_store.h"

namespace zantor::search {

struct HistoryCells {
  const std::string& id;
  const std::string& op;
  const std::string& mdata;
  const std::string& re;
};

// The rows that are actually present: a table too short for its row count,
// or with fewer than four columns, is read only as far as it goes.
inline int UsableRows(const store::Table& t) {
  if (t.columns < 4 || t.rows <= 0) return 0;
  const size_t columns = static_cast<size_t>(t.columns);
  const size_t present = t.cells.size() / columns;
  return present == 0 ? 0 : std::min(t.rows, static_cast<int>(present - 1));
}

// Data row r counts from 1; row 0 holds the column names.
inline HistoryCells CellsOfRow(const store::Table& t, int r) {
  const size_t base = static_cast<size_t>(r) * static_cast<size_t>(t.columns);
  return {t.cells[base], t.cells[base + 1], t.cells[base + 2], t.cells[base + 3]};
}

}  // namespace zantor::search
