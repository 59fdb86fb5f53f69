// The store's query row by row: what the report and the export build from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/history_store.h"
#include "tests/store/store_test_util.h"

namespace zantor::store {
namespace {

using zantor::testing::TempDir;

engine::HistoryRow Step(char op, const char* entry, const char* total) {
  return engine::HistoryRow{op, entry, entry, total};
}

std::vector<std::string> Collect(HistoryStore& store, const std::string& sql, bool* ok,
                                 std::vector<std::string>* names = nullptr) {
  std::vector<std::string> cells;
  *ok = store.ForEachRow(
      sql,
      [&cells](std::span<const std::string_view> row) {
        for (std::string_view c : row) cells.emplace_back(c);
        cells.emplace_back("|");
      },
      names);
  return cells;
}

TEST(QueryRows, RowsComeInOrderAndAFailureAnywhereCounts) {
  TempDir dir;
  HistoryStore store(DatabasePath(dir.path()));
  bool ok = true;
  EXPECT_TRUE(Collect(store, "SELECT 1", &ok).empty());
  EXPECT_FALSE(ok) << "no connection";
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  store.RecordStep(Step('+', "5", "5"), 0);
  store.RecordStep(Step('-', "2", "3"), 0);
  store.RecordStep(Step('*', "4", "12"), 0);

  std::vector<std::string> names;
  EXPECT_EQ(Collect(store, "SELECT ID,oP,mdata,re FROM MyData  order by fdata Desc", &ok, &names),
            (std::vector<std::string>{"1", "+", "5", "5", "|", "3", "*", "4", "12", "|", "2", "-",
                                      "2", "3", "|"}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(names, (std::vector<std::string>{"ID", "oP", "mdata", "re"}));

  // No rows is a result like any other.
  EXPECT_TRUE(Collect(store, "SELECT ID FROM MyData WHERE oP='='", &ok).empty());
  EXPECT_TRUE(ok);

  // Refused before a row comes: nothing given, false.
  for (const char* refused : {"DELETE FROM MyData", "SELECT ID FROM MyData; DELETE FROM MyData",
                              "SELECT nothing FROM MyData"}) {
    EXPECT_TRUE(Collect(store, refused, &ok).empty()) << refused;
    EXPECT_FALSE(ok) << refused;
  }
  // Failing at the second row: the first was given, and the answer is
  // false, so the caller drops it; Query shows no rows at all.
  const std::string failsLate =
      "SELECT ID, CASE WHEN ID=2 THEN abs(-9223372036854775807-1) ELSE 0 END FROM MyData";
  EXPECT_EQ(Collect(store, failsLate, &ok), (std::vector<std::string>{"1", "0", "|"}));
  EXPECT_FALSE(ok);
  EXPECT_EQ(store.Query(failsLate).rows, 0);
  EXPECT_TRUE(store.Query(failsLate).cells.empty());
}

}  // namespace
}  // namespace zantor::store
