// The on-screen report, built row by row as the statement yields them. Rows
// of number texts (every history row) are held as one line of text each,
// the form the browser page keeps and the text 全选 gives; the document text
// is made from them only when it is asked for.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zantor::search {

class ReportDocument {
 public:
  // `finalResultText` in UTF-8, as the dialog holds it.
  explicit ReportDocument(std::string_view finalResultText);

  // One row as the statement gave it (UTF-8).
  void AddRow(std::string_view id, std::string_view op, std::string_view mdata,
              std::string_view re);

  // The whole document in GBK: byte for byte what BuildReportGbk makes of the
  // same rows.
  std::string Text() const;
  // Reads a document of that form back; nullopt for any other text.
  static std::optional<ReportDocument> FromText(std::string_view gbk);

  int rows() const { return rows_; }
  // Every cell so far is one or more of "0123456789,.+-*": the rows are
  // `lines`, one "\n" ID " " oP "\t" mdata "\t" re per row. Otherwise
  // `lines` holds the rows' markup as the document has it (GBK).
  bool plain() const { return plain_; }
  const std::string& lines() const { return lines_; }
  // The final total as the document has it: GBK markup.
  const std::string& finalText() const { return finalGbk_; }

  // Plain rows only: lines, in the form of `lines`, whose cells are together
  // at least as wide as any cell of their column in a font whose digits share
  // one width. Few, so that laying them out is cheap.
  std::string WidestRows() const;

  // One row as the statement gives it (UTF-8).
  struct RowCells {
    std::string id, op, mdata, re;
  };
  // Where replaced rows begin: the 1-based number of the first of them, and
  // the lines from it to the end as they now are.
  struct Replaced {
    int firstRow = 0;
    std::string tail;
  };
  // Replaces rows that follow one another in the report, found by ID, and
  // the final total, keeping the widest rows those of a report built afresh
  // with them. nullopt, with nothing changed, when a row is not there, the
  // rows would not stay plain, or the lines from the first row on would
  // exceed `maxTail` bytes.
  std::optional<Replaced> Replace(std::span<const RowCells> rows, std::string_view finalResultText,
                                  size_t maxTail);

  // The document's fixed pieces, GBK: up to the open header row; the final
  // row up to the total; the not-found row; the end.
  static const std::string& Head();
  static const std::string& FinalRow();
  static const std::string& NotFoundRow();
  static const std::string& Close();

 private:
  ReportDocument() = default;
  // `utf8`: the cells are as the statement gave them, still to be escaped and
  // converted to GBK for the markup; otherwise they are read from a document.
  void Add(std::string_view id, std::string_view op, std::string_view mdata, std::string_view re,
           bool utf8);
  void ToMarkup();
  static void AppendMarkup(std::string& out, std::string_view id, std::string_view op,
                           std::string_view mdata, std::string_view re);

  // How many of each character a cell holds: digits, ',', '.', '+', '-', '*'.
  struct Shape {
    unsigned short count[6] = {};
    bool Covers(const Shape& other) const;
  };
  struct Widest {
    Shape shape;
    std::string text;
  };
  static void NoteWidth(std::vector<Widest>& widest, std::string_view cell, const Shape& shape);
  // Finds the widest cells of the columns marked again among all rows.
  void Remeasure(const bool (&columns)[3]);

  std::string finalGbk_;
  std::string lines_;
  int rows_ = 0;
  bool plain_ = true;
  // Per column, the shapes no other cell's shape covers.
  std::vector<Widest> widest_[3];
};

}  // namespace zantor::search
