// The SELECT statement behind each filter of the search dialog. The value is
// checked here, so only digits, '.' and '-' can ever become part of the SQL.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zantor::search {

inline constexpr std::string_view kInvalidValueMessage = "请检查数据是否合理。";

enum class SortOrder { kDescending, kNone, kAscending };

// The text appended to the statement; spelled as the report buttons always had it.
std::string_view OrderClause(SortOrder order);

// The filter list's entries in byte order: "*", "+", "-", "<", "=", ">", "全".
std::vector<std::string> FilterEntries();
// The entry selected when the dialog opens ("<").
inline constexpr int kInitialFilterIndex = 3;

struct BuiltQuery {
  // No statement: the caller treats it as a result without rows.
  std::optional<std::string> sql;
  bool showInvalidMessage = false;  // show kInvalidValueMessage
  bool clearRequery = false;        // the value was empty or invalid
};

// `filterEntry` is the selected entry's text, empty when nothing is selected.
// Only "<", ">" and "=" look at `valueText`; "=" matches the displayed entry,
// so the value is grouped in thousands first.
BuiltQuery BuildQuery(std::string_view filterEntry, std::string_view valueText,
                      std::string_view orderClause);

}  // namespace zantor::search
