#include "search/query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace zantor::search {
namespace {

const SortOrder kOrders[] = {SortOrder::kDescending, SortOrder::kNone, SortOrder::kAscending};
const char* const kInvalidValues[] = {
    ".5",           "5.",  "-.5", "5.-",   "1.2.3",
    "5-",           "--5", "-",   "abc",   "5'",
    "1 2",          "1e3", "+5",  "1,234", "'; DELETE FROM MyData; --",
    "\xEF\xBC\x95",  // a full-width 5
};

TEST(OrderClauseTest, ExactSpelling) {
  EXPECT_EQ(OrderClause(SortOrder::kDescending), "  order by fdata Desc");
  EXPECT_EQ(OrderClause(SortOrder::kNone), "");
  EXPECT_EQ(OrderClause(SortOrder::kAscending), "  order By fdata Asc");
}

TEST(FilterEntriesTest, SortedWithLessThanSelectedAtStart) {
  const std::vector<std::string> entries = FilterEntries();
  EXPECT_EQ(entries, (std::vector<std::string>{"*", "+", "-", "<", "=", ">", "全"}));
  EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end()));
  EXPECT_EQ(entries.at(kInitialFilterIndex), "<");
}

TEST(BuildQueryTest, WorkedStatements) {
  EXPECT_EQ(BuildQuery("<", "12.5", OrderClause(SortOrder::kDescending)).sql,
            "SELECT ID,oP,mdata,re FROM MyData WHERE fdata<12.5  order by fdata Desc");
  EXPECT_EQ(BuildQuery("=", "-1234567.5", "").sql,
            "SELECT ID,oP,mdata,re FROM MyData WHERE mdata='-1,234,567.5'");
  EXPECT_EQ(BuildQuery("=", "-123456", "").sql,
            "SELECT ID,oP,mdata,re FROM MyData WHERE mdata='-123,456'");
  EXPECT_EQ(BuildQuery("=", "123", "").sql, "SELECT ID,oP,mdata,re FROM MyData WHERE mdata='123'");
  EXPECT_EQ(BuildQuery("+", ".5.", OrderClause(SortOrder::kNone)).sql,
            "SELECT ID,oP,mdata,re FROM MyData WHERE oP='+'");
  EXPECT_EQ(BuildQuery("全", "", OrderClause(SortOrder::kAscending)).sql,
            "SELECT ID,oP,mdata,re FROM MyData  order By fdata Asc");
  EXPECT_EQ(BuildQuery(">", "-0.5", OrderClause(SortOrder::kAscending)).sql,
            "SELECT ID,oP,mdata,re FROM MyData WHERE fdata>-0.5  order By fdata Asc");
}

TEST(BuildQueryTest, OperatorAndAllFiltersIgnoreTheValue) {
  for (SortOrder order : kOrders) {
    const std::string tail(OrderClause(order));
    for (const char* op : {"*", "+", "-"}) {
      for (const char* value : {"", "12", "--5", "abc'"}) {
        SCOPED_TRACE(std::string(op) + " value " + value + tail);
        const BuiltQuery q = BuildQuery(op, value, tail);
        EXPECT_EQ(q.sql,
                  "SELECT ID,oP,mdata,re FROM MyData WHERE oP='" + std::string(op) + "'" + tail);
        EXPECT_FALSE(q.showInvalidMessage);
        EXPECT_FALSE(q.clearRequery);
      }
    }
    const BuiltQuery all = BuildQuery("全", "5.-", tail);
    EXPECT_EQ(all.sql, "SELECT ID,oP,mdata,re FROM MyData" + tail);
    EXPECT_FALSE(all.showInvalidMessage);
    EXPECT_FALSE(all.clearRequery);
  }
}

TEST(BuildQueryTest, ComparisonsNeedAValidValue) {
  for (SortOrder order : kOrders) {
    const std::string tail(OrderClause(order));
    for (const char* cmp : {"<", ">", "="}) {
      SCOPED_TRACE(std::string(cmp) + tail);
      const BuiltQuery empty = BuildQuery(cmp, "", tail);
      EXPECT_FALSE(empty.sql.has_value());
      EXPECT_FALSE(empty.showInvalidMessage);
      EXPECT_TRUE(empty.clearRequery);

      for (const char* value : kInvalidValues) {
        SCOPED_TRACE(value);
        const BuiltQuery bad = BuildQuery(cmp, value, tail);
        EXPECT_FALSE(bad.sql.has_value());
        EXPECT_TRUE(bad.showInvalidMessage);
        EXPECT_TRUE(bad.clearRequery);
      }
      for (const char* value : {"0.5", "-0.5", "7", "-7", "1000", "0012.50"}) {
        SCOPED_TRACE(value);
        const BuiltQuery ok = BuildQuery(cmp, value, tail);
        ASSERT_TRUE(ok.sql.has_value());
        EXPECT_FALSE(ok.showInvalidMessage);
        EXPECT_FALSE(ok.clearRequery);
        EXPECT_TRUE(ok.sql->ends_with(tail));
      }
    }
  }
  EXPECT_EQ(BuildQuery(">", "1000", "").sql, "SELECT ID,oP,mdata,re FROM MyData WHERE fdata>1000");
  EXPECT_EQ(BuildQuery("=", "1000", "").sql,
            "SELECT ID,oP,mdata,re FROM MyData WHERE mdata='1,000'");
}

TEST(BuildQueryTest, NoSelectionBuildsNothing) {
  const BuiltQuery q = BuildQuery("", "12", OrderClause(SortOrder::kDescending));
  EXPECT_FALSE(q.sql.has_value());
  EXPECT_FALSE(q.showInvalidMessage);
  EXPECT_FALSE(q.clearRequery);
}

// The dialog grouped the value by inserting commas from the point leftwards,
// counting the sign as a digit, and then deleting a comma right after the sign.
std::string GroupInPlace(std::string v) {
  const size_t point = v.find('.');
  long n = static_cast<long>(point == std::string::npos ? v.size() : point) - 3;
  while (n > 0) {
    v.insert(static_cast<size_t>(n), ",");
    n -= 3;
  }
  if (v.starts_with("-,")) v.erase(1, 1);
  return v;
}

TEST(BuildQueryTest, EqualsGroupsLikeTheInPlaceInsertion) {
  const std::string digits = "1234567890123";
  for (size_t len = 1; len <= digits.size(); ++len) {
    for (const char* sign : {"", "-"}) {
      for (const char* fraction : {"", ".5", ".125"}) {
        const std::string value = sign + digits.substr(0, len) + fraction;
        SCOPED_TRACE(value);
        EXPECT_EQ(BuildQuery("=", value, "").sql,
                  "SELECT ID,oP,mdata,re FROM MyData WHERE mdata='" + GroupInPlace(value) + "'");
      }
    }
  }
}

}  // namespace
}  // namespace zantor::search
