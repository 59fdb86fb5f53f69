// The search dialog's statement for any filter entry, value and sort order.
// A statement is one of five fixed shapes; the only quotes are the shapes'
// own, there is never a ';', and a value only ever enters it as a number
// text (grouped with commas for '='). Every statement must also prepare on
// the history table's schema, select four columns and run to the end.
#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "exact_decimal.h"
#include "fuzz_support.h"
#include "search/query.h"

namespace zantor::fuzz {
namespace {

using search::BuiltQuery;
using search::SortOrder;

constexpr std::string_view kSelect = "SELECT ID,oP,mdata,re FROM MyData";

sqlite3* HistoryDatabase() {
  static sqlite3* db = [] {
    sqlite3* d = nullptr;
    Require(sqlite3_open(":memory:", &d) == SQLITE_OK, "no in-memory database");
    const char* setup =
        "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),"
        "re TEXT);"
        "INSERT INTO MyData VALUES(NULL,'+',12.34,'12.34','12.34');"
        "INSERT INTO MyData VALUES(NULL,'*',-0.05,'-0.05','-0.617');"
        "INSERT INTO MyData VALUES(NULL,'-',1234567.5,'1,234,567.5','-1,234,568.117');";
    Require(sqlite3_exec(d, setup, nullptr, nullptr, nullptr) == SQLITE_OK,
            "the history table could not be made");
    return d;
  }();
  return db;
}

void CheckRuns(const std::string& sql) {
  sqlite3_stmt* stmt = nullptr;
  const char* tail = nullptr;
  const int rc = sqlite3_prepare_v2(HistoryDatabase(), sql.c_str(), -1, &stmt, &tail);
  Require(rc == SQLITE_OK && stmt != nullptr, "the statement does not prepare", sql);
  Require(*tail == '\0', "the statement leaves text behind", sql);
  Require(sqlite3_column_count(stmt) == 4, "the statement does not select four columns", sql);
  int step = SQLITE_ROW;
  for (int rows = 0; step == SQLITE_ROW && rows < 10; ++rows) step = sqlite3_step(stmt);
  sqlite3_finalize(stmt);
  Require(step == SQLITE_DONE, "the statement does not run to its end", sql);
}

bool GroupedNumberBytes(std::string_view s) {
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || c == ',' || c == '.' || c == '-')) return false;
  }
  return true;
}

void Check(const std::string& filter, const std::string& value, SortOrder order) {
  const std::string_view clause = search::OrderClause(order);
  const BuiltQuery q = search::BuildQuery(filter, value, clause);
  const std::string context = "filter '" + filter + "' value '" + value + "' -> " +
                              (q.sql ? "'" + *q.sql + "'" : "none") + " invalid " +
                              std::to_string(q.showInvalidMessage) + " clear " +
                              std::to_string(q.clearRequery);
  if (filter.empty()) {
    Require(!q.sql && !q.showInvalidMessage && !q.clearRequery,
            "no selected filter still did something", context);
    return;
  }
  const char kind = filter.front();
  const bool usesValue = kind == '<' || kind == '>' || kind == '=';
  if (!q.sql) {
    Require(usesValue, "a filter without a value gave no statement", context);
    Require(q.clearRequery, "a refused value leaves the report to be rebuilt", context);
    Require(q.showInvalidMessage == !value.empty(), "the message and the value disagree", context);
    Require(value.empty() || !IsNumberText(value), "a number text was refused", context);
    return;
  }
  Require(!q.showInvalidMessage && !q.clearRequery, "a statement came with a refusal", context);
  const std::string& sql = *q.sql;
  Require(sql.find(';') == std::string::npos, "a ';' in the statement", context);
  Require(sql.size() >= kSelect.size() + clause.size() && sql.starts_with(kSelect) &&
              sql.ends_with(clause),
          "the statement lost its fixed head or its order clause", context);
  const std::string_view where =
      std::string_view(sql).substr(kSelect.size(), sql.size() - kSelect.size() - clause.size());
  std::string_view rest;
  size_t quotes = 0;
  switch (kind) {
    case '*':
    case '+':
    case '-':
      Require(where == " WHERE oP='" + std::string(1, kind) + "'", "wrong operator filter",
              context);
      quotes = 2;
      break;
    case '<':
    case '>':
      Require(where.starts_with(" WHERE fdata" + std::string(1, kind)), "wrong comparison",
              context);
      rest = where.substr(13);
      Require(IsNumberText(value) && rest == value, "a value other than a number went in", context);
      break;
    case '=':
      Require(where.starts_with(" WHERE mdata='") && where.ends_with("'"), "wrong equality",
              context);
      rest = where.substr(14, where.size() - 15);
      Require(IsNumberText(value) && GroupedNumberBytes(rest) && rest == Grouped(value),
              "the value went in other than grouped", context);
      quotes = 2;
      break;
    default:
      Require(where.empty(), "the filter for all rows has a condition", context);
      break;
  }
  Require(static_cast<size_t>(std::count(sql.begin(), sql.end(), '\'')) == quotes,
          "a quote besides the fixed ones", context);
  CheckRuns(sql);
}

}  // namespace
}  // namespace zantor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zantor::fuzz;
  ByteReader in(data, size);
  const uint8_t flags = in.Byte();
  static const std::vector<std::string> entries = zantor::search::FilterEntries();
  std::string filter;
  const int pick = flags % 16;
  if (pick < static_cast<int>(entries.size())) {
    filter = entries[static_cast<size_t>(pick)];
  } else if (pick > 8) {
    filter = in.Bytes(4);
  }
  const auto order = static_cast<SortOrder>(in.Below(3));
  std::string value = in.Rest();
  // Most values keep to the number alphabet, where the checks have work to do.
  if (flags & 0x80) {
    for (char& c : value) c = "0123456789.-0-."[static_cast<uint8_t>(c) % 15];
  }
  Check(filter, value, order);
  return 0;
}
