// The table markup the on-screen report and the exported page have in
// common. Each piece closes the cell and row the previous one left open.
#pragma once

#include <string>
#include <string_view>

#include "search/table_rows.h"

namespace zantor::search::html {

inline constexpr std::string_view kRowOpen = "</td></tr><tr><td>";
inline constexpr std::string_view kCell = "</td><td>";
inline constexpr std::string_view kBlueCell = "</td><td style='color:blue'>";
inline constexpr std::string_view kFinalRow =
    "</td></tr><tr><td></td><td style='color:red'>最终结果:</td><td style='color:red'>";
inline constexpr std::string_view kNotFoundRow =
    "</td></tr><tr><td></td><td style='color:red'>没有查</td><td style='color:red'>找到！";
inline constexpr std::string_view kClose = "</td></tr></table></body></html>";

// Bytes AppendRow adds, for reserving the whole document up front.
inline size_t RowSize(const HistoryCells& c) {
  return kRowOpen.size() + c.id.size() + 1 + c.op.size() + kCell.size() + c.mdata.size() +
         kBlueCell.size() + c.re.size();
}

// "ID oP | mdata | re"; `markUnchanged` colours a total that equals its entry
// (the first step after a zero total), which only the on-screen report does.
inline void AppendRow(std::string& out, const HistoryCells& c, bool markUnchanged) {
  out.append(kRowOpen).append(c.id).append(" ").append(c.op).append(kCell).append(c.mdata);
  out.append(markUnchanged && c.re == c.mdata ? kBlueCell : kCell).append(c.re);
}

// The rows, the final total and, for an empty result, the not-found row.
inline void AppendBody(std::string& out, const store::Table& t, std::string_view finalResultText,
                       bool markUnchanged) {
  const int rows = UsableRows(t);
  for (int r = 1; r <= rows; ++r) AppendRow(out, CellsOfRow(t, r), markUnchanged);
  out.append(kFinalRow).append(finalResultText);
  if (rows == 0) out.append(kNotFoundRow);
  out.append(kClose);
}

inline size_t BodySize(const store::Table& t, std::string_view finalResultText) {
  const int rows = UsableRows(t);
  size_t n = kFinalRow.size() + finalResultText.size() + kNotFoundRow.size() + kClose.size();
  for (int r = 1; r <= rows; ++r) n += RowSize(CellsOfRow(t, r));
  return n;
}

}  // namespace zantor::search::html
