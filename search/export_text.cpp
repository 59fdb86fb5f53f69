#include "search/export_text.h"

#include <algorithm>

#include "platform/text/gbk.h"
#include "search/html_table.h"

namespace zantor::search {
namespace {

constexpr std::string_view kCommaHeader = "序号,操作,数据,每一步结果\n";
constexpr std::string_view kCommaFinal = ",,最终结果:,";
constexpr std::string_view kCommaNotFound = "没有查找到！";
constexpr size_t kPiece = 1 << 20;

constexpr std::string_view kHtmlHead =
    "<html><head><style type='text/css'><!--.D tr{background-color:expression('#FFFFFF,#EEEEEE'.\n"
    "split(',')[rowIndex%2])}td{border: solid #A9B3CD;border-width: 1px 1px 1px 1px; text-align: "
    "right;\n}--></style>"
    "</head><body><table class='D'><tr><td>序号</td><td>数据</td><td >每步操作结果";

// A number as the history shows it (sign, digits, grouping commas, a point):
// a spreadsheet reads it as the number it is.
bool IsNumber(std::string_view cell) {
  if (!cell.empty() && (cell.front() == '-' || cell.front() == '+')) cell.remove_prefix(1);
  bool digit = false;
  for (char c : cell) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c != ',' && c != '.') {
      return false;
    }
  }
  return digit;
}

// A text a spreadsheet would run as a formula. The operators of real rows,
// bare, are no formula.
bool LooksLikeFormula(std::string_view cell) {
  if (cell.empty() || IsNumber(cell)) return false;
  return std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos;
}

// Between double quotes, each one inside doubled; a would-be formula is kept
// as text by a leading apostrophe.
void AppendQuoted(std::string& out, std::string_view cell) {
  out.push_back('"');
  if (LooksLikeFormula(cell)) out.push_back('\'');
  for (char c : cell) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

// ID and oP go bare, as real rows always had them (a number, an operator),
// unless they hold what only quotes keep in one cell.
void AppendBare(std::string& out, std::string_view cell) {
  const bool op = cell == "+" || cell == "-" || cell == "*";
  if (!op && (LooksLikeFormula(cell) || cell.find_first_of(",\"\r\n") != std::string_view::npos)) {
    AppendQuoted(out, cell);
  } else {
    out.append(cell);
  }
}

// One row of the comma layout without its line end: ID,oP,"mdata","re".
void AppendCommaRow(std::string& out, std::string_view id, std::string_view op,
                    std::string_view mdata, std::string_view re) {
  AppendBare(out, id);
  out.push_back(',');
  AppendBare(out, op);
  out.push_back(',');
  AppendQuoted(out, mdata);
  out.push_back(',');
  AppendQuoted(out, re);
}

// mdata and re are quoted, ID and oP not.
std::string CommaText(const store::Table& t, std::string_view finalResultText, char separator) {
  const int rows = UsableRows(t);
  size_t n = kCommaHeader.size() + kCommaFinal.size() + finalResultText.size() + 2 +
             kCommaNotFound.size() + 2;
  for (int r = 1; r <= rows; ++r) {
    const HistoryCells c = CellsOfRow(t, r);
    n += c.id.size() + c.op.size() + c.mdata.size() + c.re.size() + 8;
  }
  std::string out;
  out.reserve(n);
  out.append(kCommaHeader);
  for (int r = 1; r <= rows; ++r) {
    const HistoryCells c = CellsOfRow(t, r);
    AppendCommaRow(out, c.id, c.op, c.mdata, c.re);
    out.push_back('\n');
  }
  // The final-total line has no line end unless the not-found note follows it.
  out.append(kCommaFinal);
  AppendQuoted(out, finalResultText);
  out.push_back(',');
  if (rows == 0) out.append(kCommaNotFound).append(1, separator).append("\n");
  return out;
}

std::string HtmlText(const store::Table& t, std::string_view finalResultText) {
  std::string out;
  out.reserve(kHtmlHead.size() + html::BodySize(t, finalResultText));
  out.append(kHtmlHead);
  html::AppendBody(out, t, finalResultText, /*markUnchanged=*/false);
  return out;
}

}  // namespace

std::string BuildExportText(const store::Table& table, std::string_view finalResultText,
                            char separator) {
  if (separator == 0) return HtmlText(table, finalResultText);
  return CommaText(table, finalResultText, separator);
}

char SeparatorForPath(std::string_view path) {
  if (!path.empty() && (path.back() == 't' || path.back() == 'v')) return ',';
  return 0;
}

std::string ToFileBytes(std::string_view utf8) {
  // An export is nearly all ASCII, which GBK keeps as it is: only the runs of
  // other bytes go through the converter. Such a run never holds an ASCII
  // byte, so it never splits a character the converter would have seen whole.
  std::string out;
  out.reserve(utf8.size() + static_cast<size_t>(std::count(utf8.begin(), utf8.end(), '\n')));
  size_t i = 0;
  while (i < utf8.size()) {
    const char c = utf8[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      if (c == '\n') out.push_back('\r');
      out.push_back(c);
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < utf8.size() && static_cast<unsigned char>(utf8[end]) >= 0x80) ++end;
    out.append(platform::ToGbk(utf8.substr(i, end - i)));
    i = end;
  }
  return out;
}

ExportWriter::ExportWriter(char separator, Sink sink)
    : separator_(separator), sink_(std::move(sink)) {
  buffer_.reserve(kPiece + 4096);
  Append(separator_ == 0 ? kHtmlHead : kCommaHeader);
}

void ExportWriter::Append(std::string_view utf8) {
  for (char c : utf8) {
    if (c == '\n' || static_cast<unsigned char>(c) >= 0x80) {
      buffer_.append(ToFileBytes(utf8));
      return;
    }
  }
  buffer_.append(utf8);
}

void ExportWriter::Flush() {
  if (ok_ && !buffer_.empty()) ok_ = sink_(buffer_);
  buffer_.clear();
}

void ExportWriter::AddRow(std::string_view id, std::string_view op, std::string_view mdata,
                          std::string_view re) {
  ++rows_;
  if (separator_ == 0) {
    row_.clear();
    html::AppendRow(row_, id, op, mdata, re, /*markUnchanged=*/false);
    Append(row_);
  } else {
    row_.clear();
    AppendCommaRow(row_, id, op, mdata, re);
    Append(row_);
    // The line end as the file has it already: converting it as text would
    // cost a string of its own on every row.
    buffer_.append("\r\n");
  }
  if (buffer_.size() >= kPiece) Flush();
}

bool ExportWriter::Finish(std::string_view finalResultText) {
  if (separator_ == 0) {
    Append(html::kFinalRow);
    Append(html::Escaped(finalResultText));
    if (rows_ == 0) Append(html::kNotFoundRow);
    Append(html::kClose);
  } else {
    row_.clear();
    AppendQuoted(row_, finalResultText);
    Append(kCommaFinal);
    Append(row_);
    Append(",");
    if (rows_ == 0) {
      Append(kCommaNotFound);
      Append(std::string_view(&separator_, 1));
      Append("\n");
    }
  }
  Flush();
  return ok_;
}

}  // namespace zantor::search
