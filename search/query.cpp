#include "search/query.h"

#include <initializer_list>
#include <utility>

#include "engine/entry.h"
#include "engine/format.h"

namespace zantor::search {
namespace {

constexpr std::string_view kSelect = "SELECT ID,oP,mdata,re FROM MyData";

// Besides the entry checks, any character other than a digit, '.' or '-' is
// refused: the value goes into the statement unescaped.
bool ValueIsValid(std::string_view v) {
  return engine::CheckCharacters(v) && engine::CheckPointCount(v) &&
         engine::CheckPointPlacement(v) && engine::CheckMinusPlacement(v);
}

std::string Concat(std::initializer_list<std::string_view> parts) {
  size_t n = 0;
  for (std::string_view p : parts) n += p.size();
  std::string s;
  s.reserve(n);
  for (std::string_view p : parts) s.append(p);
  return s;
}

BuiltQuery Statement(std::string sql) {
  BuiltQuery q;
  q.sql = std::move(sql);
  return q;
}

// An empty or invalid value: no statement, and the report is not rebuilt.
BuiltQuery Refused(bool invalid) {
  BuiltQuery q;
  q.showInvalidMessage = invalid;
  q.clearRequery = true;
  return q;
}

}  // namespace

std::string_view OrderClause(SortOrder order) {
  switch (order) {
    case SortOrder::kDescending:
      return "  order by fdata Desc";
    case SortOrder::kAscending:
      return "  order By fdata Asc";
    case SortOrder::kNone:
      break;
  }
  return {};
}

std::vector<std::string> FilterEntries() { return {"*", "+", "-", "<", "=", ">", "全"}; }

BuiltQuery BuildQuery(std::string_view filterEntry, std::string_view valueText,
                      std::string_view orderClause) {
  if (filterEntry.empty()) return {};
  const char kind = filterEntry.front();
  const std::string_view op = filterEntry.substr(0, 1);
  switch (kind) {
    case '*':
    case '+':
    case '-':
      return Statement(Concat({kSelect, " WHERE oP='", op, "'", orderClause}));
    case '<':
    case '>':
    case '=':
      break;
    default:
      return Statement(Concat({kSelect, orderClause}));
  }
  if (valueText.empty()) return Refused(false);
  if (!ValueIsValid(valueText)) return Refused(true);
  if (kind == '=') {
    const std::string grouped = engine::GroupThousands(valueText);
    return Statement(Concat({kSelect, " WHERE mdata='", grouped, "'", orderClause}));
  }
  return Statement(Concat({kSelect, " WHERE fdata", op, valueText, orderClause}));
}

}  // namespace zantor::search
