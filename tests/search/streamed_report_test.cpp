// The report and the export made row by row, as the statement yields them,
// against the documents made from the whole table at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "search/export_text.h"
#include "search/report.h"
#include "search/report_document.h"
#include "tests/search/table_rows_for_test.h"

namespace zantor::search {
namespace {

ReportDocument Streamed(const store::Table& t, std::string_view total) {
  ReportDocument doc(total);
  for (int r = 1; r <= t.rows; ++r) {
    const std::string* c = &t.cells[static_cast<size_t>(r) * 4];
    doc.AddRow(c[0], c[1], c[2], c[3]);
  }
  return doc;
}

// Reports of every kind the document distinguishes: none, one blue row,
// several, a sorted order, and rows the page cannot keep as plain lines
// (texts that are not numbers, Chinese, markup, an empty cell).
std::vector<std::pair<store::Table, std::string>> Reports() {
  return {
      {Rows({}), "0.00"},
      {Rows({{"1", "+", "0.05", "0.05"}}), "0.05"},
      {Rows({{"1", "+", "0.05", "0.05"}, {"2", "*", "3", "0.15"}}), "0.15"},
      {Rows({{"17", "-", "1,000", "12.39"},
             {"3", "*", "0.05", "0.050"},
             {"2", "+", "-1,234.5", "-1,234.5"}}),
       "-1,234.5"},
      {Rows({{"1", "+", "5", "5"}, {"2", "+", "粘贴", "<b>x</b>"}, {"3", "-", "1", "4"}}),
       "粘贴的内容太长"},
      {Rows({{"1", "+", "", "0"}, {"2", "+", "1", "1"}}), ""},
      {Rows({{"1 2", "+", "1", "1"}}), "1"},
  };
}

TEST(StreamedReport, TextIsTheDocumentOfTheWholeTable) {
  for (const auto& [table, total] : Reports()) {
    const ReportDocument doc = Streamed(table, total);
    const std::string expected = BuildReportGbk(table, total);
    EXPECT_EQ(doc.Text(), expected) << total;
    EXPECT_EQ(doc.rows(), table.rows);
    // Read back from its text, the document is the same again.
    const std::optional<ReportDocument> again = ReportDocument::FromText(expected);
    ASSERT_TRUE(again.has_value()) << total;
    EXPECT_EQ(again->Text(), expected);
    EXPECT_EQ(again->plain(), doc.plain());
    EXPECT_EQ(again->lines(), doc.lines());
    EXPECT_EQ(again->rows(), table.rows);
  }
}

TEST(StreamedReport, NumberRowsAreLinesAndOthersMarkup) {
  const ReportDocument numbers =
      Streamed(Rows({{"1", "+", "0.05", "0.05"}, {"2", "*", "3", "0.15"}}), "0.15");
  EXPECT_TRUE(numbers.plain());
  EXPECT_EQ(numbers.lines(), "\n1 +\t0.05\t0.05\n2 *\t3\t0.15");
  // One row of another kind, after plain ones, turns them all into markup.
  const ReportDocument mixed =
      Streamed(Rows({{"1", "+", "5", "5"}, {"2", "+", "a", "6"}, {"3", "+", "1", "7"}}), "7");
  EXPECT_FALSE(mixed.plain());
  EXPECT_EQ(mixed.lines(),
            "</td></tr><tr><td>1 +</td><td>5</td><td style='color:blue'>5"
            "</td></tr><tr><td>2 +</td><td>a</td><td>6"
            "</td></tr><tr><td>3 +</td><td>1</td><td>7");
  EXPECT_TRUE(Streamed(Rows({}), "0").plain());
}

TEST(StreamedReport, OtherTextsAreNotReadAsReports) {
  const std::string good = BuildReportGbk(Rows({{"1", "+", "1", "1"}}), "1");
  EXPECT_FALSE(ReportDocument::FromText("<html><body>warm</body></html>").has_value());
  EXPECT_FALSE(ReportDocument::FromText(good.substr(0, good.size() - 1)).has_value());
  // A blue total that differs from its entry is not what the report makes.
  std::string wrongBlue = BuildReportGbk(Rows({{"1", "+", "1", "2"}}), "2");
  wrongBlue.replace(wrongBlue.rfind("</td><td>2"), 10, "</td><td style='color:blue'>2");
  EXPECT_FALSE(ReportDocument::FromText(wrongBlue).has_value());
  // Rows with the not-found row after them neither.
  std::string notFound = good;
  notFound.insert(notFound.rfind("</td></tr></table>"),
                  "</td></tr><tr><td></td><td style='color:red'>\xC3\xBB\xD3\xD0\xB2\xE9"
                  "</td><td style='color:red'>\xD5\xD2\xB5\xBD\xA3\xA1");
  EXPECT_FALSE(ReportDocument::FromText(notFound).has_value());
}

TEST(StreamedReport, WidestRowsCoverEveryShapeOfEachColumn) {
  const ReportDocument doc = Streamed(Rows({{"1", "+", "9", "9"},
                                            {"22", "-", "1,000.5", "-1,000.5"},
                                            {"3", "*", "77", "1,000,000.25"},
                                            {"4", "+", "8.5", "2"}}),
                                      "0");
  // Column by column: the operators differ in width, so each first cell
  // stays; "1,000.5" covers 9, 77 and 8.5; "-1,000.5" and "1,000,000.25"
  // each have a character the other lacks, so both stay, and 2 goes. A
  // column with fewer widest cells repeats its last.
  EXPECT_EQ(doc.WidestRows(),
            "\n1 +\t1,000.5\t-1,000.5\n22 -\t1,000.5\t1,000,000.25\n3 *\t1,000.5\t1,000,000.25");
  // Shorter cells of a shape already there add nothing.
  const ReportDocument same = Streamed(
      Rows({{"10", "+", "5", "5"}, {"9", "+", "1,000", "10"}, {"11", "+", "1", "1"}}), "0");
  EXPECT_EQ(same.WidestRows(), "\n10 +\t1,000\t10");
  EXPECT_EQ(Streamed(Rows({}), "0").WidestRows(), "");
}

// The export written in pieces, joined, against the text of the whole table.
std::string Exported(const store::Table& t, std::string_view total, char separator,
                     size_t* pieces = nullptr) {
  std::string out;
  size_t n = 0;
  ExportWriter writer(separator, [&](std::string_view bytes) {
    out.append(bytes);
    ++n;
    return true;
  });
  for (int r = 1; r <= t.rows; ++r) {
    const std::string* c = &t.cells[static_cast<size_t>(r) * 4];
    writer.AddRow(c[0], c[1], c[2], c[3]);
  }
  EXPECT_TRUE(writer.Finish(total));
  if (pieces != nullptr) *pieces = n;
  return out;
}

// Rows put in place of others: accepted only when a report built afresh
// would measure its columns the same, and then the very same report.
TEST(StreamedReport, ReplacedRowsGiveTheReportBuiltWithThem) {
  using Row = ReportDocument::RowCells;
  const store::Table before = Rows({{"1", "+", "5", "5"},
                                    {"2", "+", "20", "25"},
                                    {"3", "+", "1", "26"},
                                    {"4", "+", "2", "28"},
                                    {"5", "*", "3", "84"}});
  auto replaced = [&](std::vector<Row> rows, std::string_view total) {
    ReportDocument doc = Streamed(before, "84");
    const std::string was = doc.Text();
    const std::optional<ReportDocument::Replaced> r = doc.Replace(rows, total, 1 << 20);
    if (!r) {
      EXPECT_EQ(doc.Text(), was) << "changed, though refused";
    }
    return std::make_pair(r, doc.Text());
  };

  // Steps 3-5 again: the tail handed to the page begins at the third row.
  const auto [ok, text] =
      replaced({{"3", "+", "0", "25"}, {"4", "+", "2", "27"}, {"5", "*", "3", "81"}}, "81");
  ASSERT_TRUE(ok.has_value());
  EXPECT_EQ(ok->firstRow, 3);
  EXPECT_EQ(ok->tail, "\n3 +\t0\t25\n4 +\t2\t27\n5 *\t3\t81");
  EXPECT_EQ(text, BuildReportGbk(Rows({{"1", "+", "5", "5"},
                                       {"2", "+", "20", "25"},
                                       {"3", "+", "0", "25"},
                                       {"4", "+", "2", "27"},
                                       {"5", "*", "3", "81"}}),
                                 "81"));
  // The rows after the replaced ones come along in the tail.
  const auto [middle, _] = replaced({{"2", "+", "21", "26"}}, "84");
  ASSERT_TRUE(middle.has_value());
  EXPECT_EQ(middle->firstRow, 2);
  EXPECT_EQ(middle->tail, "\n2 +\t21\t26\n3 +\t1\t26\n4 +\t2\t28\n5 *\t3\t84");

  // A step that is not there; steps that do not follow one another; a cell
  // or a total the page cannot keep as plain text.
  EXPECT_FALSE(replaced({{"6", "+", "1", "85"}}, "85").first);
  EXPECT_FALSE(replaced({{"3", "+", "1", "26"}, {"5", "*", "3", "84"}}, "84").first);
  EXPECT_FALSE(replaced({{"4", "+", "2", "x"}}, "84").first);
  EXPECT_FALSE(replaced({{"4", "+", "2", "28"}}, "粘贴的内容太长").first);
  // Too long a tail for the page.
  ReportDocument doc = Streamed(before, "84");
  const std::vector<Row> first = {{"1", "+", "6", "6"}};
  EXPECT_FALSE(doc.Replace(first, "84", 10).has_value());
}

// Per column, the widest cells' shapes: each cell's characters in order, with
// every digit as 0 (digits share one width), the set of them sorted.
std::vector<std::string> WidestShapes(const ReportDocument& doc) {
  std::vector<std::string> columns(3);
  std::vector<std::vector<std::string>> sets(3);
  const std::string all = doc.WidestRows();
  std::string_view rows = all;
  while (!rows.empty()) {
    size_t end = rows.find('\n', 1);
    if (end == std::string_view::npos) end = rows.size();
    std::string_view row = rows.substr(1, end - 1);
    rows = rows.substr(end);
    for (auto& set : sets) {
      const size_t tab = row.find('\t');
      std::string shape(row.substr(0, tab));
      for (char& ch : shape) {
        if (ch >= '0' && ch <= '9') ch = '0';
      }
      std::sort(shape.begin(), shape.end());
      set.push_back(shape);
      row = tab == std::string_view::npos ? std::string_view() : row.substr(tab + 1);
    }
  }
  for (size_t c = 0; c < 3; ++c) {
    std::sort(sets[c].begin(), sets[c].end());
    sets[c].erase(std::unique(sets[c].begin(), sets[c].end()), sets[c].end());
    for (const std::string& shape : sets[c]) columns[c] += shape + "|";
  }
  return columns;
}

// Cells wider, narrower or of other characters than the widest ones, at the
// start, in the middle and at the end: the document and its widest cells
// are those of the report built afresh with the new rows.
TEST(StreamedReport, ReplacedRowsMeasureAsTheReportBuiltWithThem) {
  using Row = ReportDocument::RowCells;
  const char* const kOps[] = {"+", "-", "*"};
  const char* const kCells[] = {"1",        "22",         "-3",    "4.5",         "1,000",
                                "-1,000.5", "999,999.25", "0.001", "123,456,789", "7"};
  unsigned seed = 20261207;
  auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto row = [&](int id) {
    return Row{std::to_string(id), kOps[next(3)], kCells[next(10)], kCells[next(10)]};
  };
  for (int round = 0; round < 300; ++round) {
    const int n = 1 + static_cast<int>(next(12));
    std::vector<Row> rows;
    for (int id = 1; id <= n; ++id) rows.push_back(row(id));
    auto table = [](const std::vector<Row>& rs) {
      store::Table t = Rows({});
      for (const Row& r : rs) t.cells.insert(t.cells.end(), {r.id, r.op, r.mdata, r.re});
      t.rows = static_cast<int>(rs.size());
      return t;
    };
    ReportDocument doc = Streamed(table(rows), kCells[next(10)]);
    const std::string widestBefore = doc.WidestRows();
    const int from = 1 + static_cast<int>(next(static_cast<unsigned>(n)));
    const int to = from + static_cast<int>(next(static_cast<unsigned>(n - from + 1)));
    std::vector<Row> fresh;
    for (int id = from; id <= to; ++id) fresh.push_back(row(id));
    const std::string total = kCells[next(10)];
    ASSERT_TRUE(doc.Replace(fresh, total, 1 << 20).has_value()) << round;
    std::copy(fresh.begin(), fresh.end(), rows.begin() + (from - 1));
    const ReportDocument afresh = Streamed(table(rows), total);
    ASSERT_EQ(doc.Text(), afresh.Text()) << round;
    ASSERT_EQ(WidestShapes(doc), WidestShapes(afresh)) << "round " << round << "\n"
                                                       << widestBefore << "\nnow\n"
                                                       << doc.WidestRows() << "\nafresh\n"
                                                       << afresh.WidestRows();
  }
}

TEST(StreamedExport, BytesAreThoseOfTheWholeText) {
  for (const auto& [table, total] : Reports()) {
    for (char separator : {',', '\0'}) {
      EXPECT_EQ(Exported(table, total, separator),
                ToFileBytes(BuildExportText(table, total, separator)))
          << total << " " << int{separator};
    }
  }
  // A line feed inside a cell is stored as CR LF as well.
  const store::Table odd = Rows({{"1", "+", "a\nb", "2"}});
  EXPECT_EQ(Exported(odd, "2", ','), ToFileBytes(BuildExportText(odd, "2", ',')));
}

TEST(StreamedExport, ALongExportIsHandedOnInPiecesAndStopsWhenRefused) {
  store::Table t = Rows({});
  for (int r = 1; r <= 60000; ++r) {
    for (const char* c : {"12345", "+", "1,234.50", "99,999,999.25"}) t.cells.emplace_back(c);
    ++t.rows;
  }
  size_t pieces = 0;
  EXPECT_EQ(Exported(t, "1", ',', &pieces), ToFileBytes(BuildExportText(t, "1", ',')));
  EXPECT_GT(pieces, 1u);

  int offered = 0;
  ExportWriter refused(',', [&](std::string_view) {
    ++offered;
    return false;
  });
  for (int r = 0; r < 60000; ++r) refused.AddRow("12345", "+", "1,234.50", "99,999,999.25");
  EXPECT_FALSE(refused.Finish("1"));
  EXPECT_EQ(offered, 1);
}

}  // namespace
}  // namespace zantor::search
