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

// A history cell is text, whatever it holds: the markup carries it with its
// four special characters as entities. Number texts have none of them, so
// every real history's markup is what it always was.
inline void AppendText(std::string& out, std::string_view text) {
  size_t from = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view entity;
    switch (text[i]) {
      case '&':
        entity = "&amp;";
        break;
      case '<':
        entity = "&lt;";
        break;
      case '>':
        entity = "&gt;";
        break;
      case '"':
        entity = "&quot;";
        break;
      default:
        continue;
    }
    out.append(text.substr(from, i - from)).append(entity);
    from = i + 1;
  }
  out.append(text.substr(from));
}
inline std::string Escaped(std::string_view text) {
  std::string out;
  AppendText(out, text);
  return out;
}

// Bytes AppendRow adds, for reserving the whole document up front.
inline size_t RowSize(const HistoryCells& c) {
  return kRowOpen.size() + c.id.size() + 1 + c.op.size() + kCell.size() + c.mdata.size() +
         kBlueCell.size() + c.re.size();
}

// "ID oP | mdata | re"; `markUnchanged` colours a total that equals its entry
// (the first step after a zero total), which only the on-screen report does.
inline void AppendRow(std::string& out, std::string_view id, std::string_view op,
                      std::string_view mdata, std::string_view re, bool markUnchanged) {
  out.append(kRowOpen);
  AppendText(out, id);
  out.append(" ");
  AppendText(out, op);
  out.append(kCell);
  AppendText(out, mdata);
  out.append(markUnchanged && re == mdata ? kBlueCell : kCell);
  AppendText(out, re);
}
inline void AppendRow(std::string& out, const HistoryCells& c, bool markUnchanged) {
  AppendRow(out, c.id, c.op, c.mdata, c.re, markUnchanged);
}

// The rows, the final total and, for an empty result, the not-found row.
inline void AppendBody(std::string& out, const store::Table& t, std::string_view finalResultText,
                       bool markUnchanged) {
  const int rows = UsableRows(t);
  for (int r = 1; r <= rows; ++r) AppendRow(out, CellsOfRow(t, r), markUnchanged);
  out.append(kFinalRow);
  AppendText(out, finalResultText);
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
