#include "search/report_document.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "platform/text/gbk.h"
#include "search/html_table.h"
#include "search/report.h"
#include "store/history_store.h"

namespace zantor::search {
namespace {

// The class of each byte a plain cell may hold (index into Shape::count),
// -1 for every other byte.
constexpr std::array<signed char, 256> kClass = [] {
  std::array<signed char, 256> c{};
  c.fill(-1);
  for (char d = '0'; d <= '9'; ++d) c[static_cast<unsigned char>(d)] = 0;
  c[','] = 1;
  c['.'] = 2;
  c['+'] = 3;
  c['-'] = 4;
  c['*'] = 5;
  return c;
}();

// Adds the cell's characters to `shape`; false when it is empty or holds a
// character of another kind.
template <class Shape>
bool Measure(std::string_view cell, Shape& shape) {
  if (cell.empty()) return false;
  for (char ch : cell) {
    const int k = kClass[static_cast<unsigned char>(ch)];
    if (k < 0) return false;
    if (shape.count[k] < std::numeric_limits<unsigned short>::max()) ++shape.count[k];
  }
  return true;
}

std::string Gbk(std::string_view utf8) {
  const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return ascii ? std::string(utf8) : platform::ToGbk(utf8);
}

// One plain line, "\n" ID " " oP "\t" mdata "\t" re, cut into its cells.
struct Line {
  std::string_view id, op, mdata, re;
};
Line Split(std::string_view line) {
  const size_t space = line.find(' ');
  const size_t tab1 = line.find('\t', space);
  const size_t tab2 = line.find('\t', tab1 + 1);
  return {line.substr(1, space - 1), line.substr(space + 1, tab1 - space - 1),
          line.substr(tab1 + 1, tab2 - tab1 - 1), line.substr(tab2 + 1)};
}

// The shape of a row's cell in `column`: "ID oP" (the space is in every
// such cell), the entry or the total; false when the cell is not plain.
template <class Shape>
bool MeasureCell(const Line& row, int column, Shape& shape) {
  switch (column) {
    case 0:
      return Measure(row.id, shape) && Measure(row.op, shape);
    case 1:
      return Measure(row.mdata, shape);
    default:
      return Measure(row.re, shape);
  }
}
template <class Shape>
bool MeasureRow(const Line& row, Shape (&shapes)[3]) {
  return MeasureCell(row, 0, shapes[0]) && MeasureCell(row, 1, shapes[1]) &&
         MeasureCell(row, 2, shapes[2]);
}

template <class F>
void ForEachLine(std::string_view lines, F&& f) {
  size_t at = 0;
  while (at < lines.size()) {
    size_t end = lines.find('\n', at + 1);
    if (end == std::string_view::npos) end = lines.size();
    f(lines.substr(at, end - at));
    at = end;
  }
}

}  // namespace

const std::string& ReportDocument::Head() {
  // The report of no rows, cut where the rows and the final row go.
  static const std::string head = [] {
    const std::string empty = BuildReportGbk(store::Table{}, "");
    return empty.substr(0, empty.find(platform::ToGbk(html::kFinalRow)));
  }();
  return head;
}
const std::string& ReportDocument::FinalRow() {
  static const std::string s = platform::ToGbk(html::kFinalRow);
  return s;
}
const std::string& ReportDocument::NotFoundRow() {
  static const std::string s = platform::ToGbk(html::kNotFoundRow);
  return s;
}
const std::string& ReportDocument::Close() {
  static const std::string s(html::kClose);
  return s;
}

bool ReportDocument::Shape::Covers(const Shape& other) const {
  for (size_t i = 0; i < 6; ++i) {
    if (count[i] < other.count[i]) return false;
  }
  return true;
}

ReportDocument::ReportDocument(std::string_view finalResultText)
    : finalGbk_(Gbk(html::Escaped(finalResultText))) {}

void ReportDocument::AppendMarkup(std::string& out, std::string_view id, std::string_view op,
                                  std::string_view mdata, std::string_view re) {
  out.append(html::kRowOpen).append(id).append(" ").append(op).append(html::kCell).append(mdata);
  out.append(re == mdata ? html::kBlueCell : html::kCell).append(re);
}

void ReportDocument::ToMarkup() {
  std::string markup;
  ForEachLine(lines_, [&](std::string_view line) {
    const Line l = Split(line);
    AppendMarkup(markup, l.id, l.op, l.mdata, l.re);
  });
  lines_ = std::move(markup);
  plain_ = false;
  for (auto& w : widest_) w.clear();
}

void ReportDocument::NoteWidth(std::vector<Widest>& w, std::string_view cell, const Shape& shape) {
  for (const Widest& known : w) {
    if (known.shape.Covers(shape)) return;
  }
  std::erase_if(w, [&](const Widest& known) { return shape.Covers(known.shape); });
  w.push_back({shape, std::string(cell)});
}

std::optional<ReportDocument::Replaced> ReportDocument::Replace(std::span<const RowCells> rows,
                                                                std::string_view finalResultText,
                                                                size_t maxTail) {
  // The page is handed the total as it is handed the rows: plain text.
  Shape total;
  if (!plain_ || rows.empty() || !Measure(finalResultText, total)) return std::nullopt;
  const size_t at = lines_.rfind("\n" + rows.front().id + " ");
  if (at == std::string::npos || lines_.size() - at > maxTail) return std::nullopt;

  std::string fresh;
  std::vector<std::string_view> oldCells[3];
  std::vector<std::pair<Shape, size_t>> newShapes[3];  // shape, offset of the cell in `fresh`
  size_t pos = at;
  for (const RowCells& r : rows) {
    if (pos >= lines_.size()) return std::nullopt;
    size_t end = lines_.find('\n', pos + 1);
    if (end == std::string::npos) end = lines_.size();
    const Line l = Split(std::string_view(lines_).substr(pos, end - pos));
    if (l.id != r.id) return std::nullopt;
    Shape shapes[3];
    if (!MeasureRow(Line{r.id, r.op, r.mdata, r.re}, shapes)) return std::nullopt;
    oldCells[0].push_back(std::string_view(lines_).substr(pos + 1, l.id.size() + 1 + l.op.size()));
    oldCells[1].push_back(l.mdata);
    oldCells[2].push_back(l.re);
    fresh.append("\n");
    newShapes[0].push_back({shapes[0], fresh.size()});
    fresh.append(r.id).append(" ").append(r.op).append("\t");
    newShapes[1].push_back({shapes[1], fresh.size()});
    fresh.append(r.mdata).append("\t");
    newShapes[2].push_back({shapes[2], fresh.size()});
    fresh.append(r.re);
    pos = end;
  }
  auto cellAt = [&fresh](size_t offset) {
    const size_t end = fresh.find_first_of("\t\n", offset);
    return std::string_view(fresh).substr(
        offset, end == std::string::npos ? std::string::npos : end - offset);
  };
  // A widest cell that stays stands for its shape still; one replaced by a
  // cell as wide or wider is no longer needed. Only when a widest cell goes
  // and no new cell covers it may some other row's cell be widest now, and
  // only every row can tell which.
  std::vector<Widest> widest[3];
  bool remeasure[3] = {false, false, false};
  for (int c = 0; c < 3; ++c) {
    for (const Widest& w : widest_[c]) {
      if (std::find(oldCells[c].begin(), oldCells[c].end(), w.text) == oldCells[c].end()) {
        widest[c].push_back(w);
      } else if (std::none_of(newShapes[c].begin(), newShapes[c].end(),
                              [&](const auto& n) { return n.first.Covers(w.shape); })) {
        remeasure[c] = true;
      }
    }
    for (const auto& [shape, offset] : newShapes[c]) NoteWidth(widest[c], cellAt(offset), shape);
  }
  const int after = static_cast<int>(
      std::count(lines_.begin() + static_cast<std::ptrdiff_t>(at), lines_.end(), '\n'));
  fresh.append(lines_, pos, std::string::npos);
  lines_.resize(at);
  lines_.append(fresh);
  finalGbk_ = Gbk(finalResultText);
  for (int c = 0; c < 3; ++c) widest_[c] = std::move(widest[c]);
  if (remeasure[0] || remeasure[1] || remeasure[2]) Remeasure(remeasure);
  return Replaced{rows_ - after + 1, std::move(fresh)};
}

void ReportDocument::Remeasure(const bool (&columns)[3]) {
  for (int c = 0; c < 3; ++c) {
    if (columns[c]) widest_[c].clear();
  }
  ForEachLine(lines_, [&](std::string_view line) {
    const Line l = Split(line);
    const std::string_view cells[3] = {line.substr(1, l.id.size() + 1 + l.op.size()), l.mdata,
                                       l.re};
    for (int c = 0; c < 3; ++c) {
      Shape shape;
      if (columns[c] && MeasureCell(l, c, shape)) NoteWidth(widest_[c], cells[c], shape);
    }
  });
}

void ReportDocument::AddRow(std::string_view id, std::string_view op, std::string_view mdata,
                            std::string_view re) {
  Add(id, op, mdata, re, true);
}

void ReportDocument::Add(std::string_view id, std::string_view op, std::string_view mdata,
                         std::string_view re, bool utf8) {
  ++rows_;
  if (plain_) {
    Shape shapes[3];
    if (MeasureRow(Line{id, op, mdata, re}, shapes)) {
      const size_t at = lines_.size();
      lines_.append("\n").append(id).append(" ").append(op).append("\t").append(mdata);
      lines_.append("\t").append(re);
      NoteWidth(widest_[0], std::string_view(lines_).substr(at + 1, id.size() + 1 + op.size()),
                shapes[0]);
      NoteWidth(widest_[1], mdata, shapes[1]);
      NoteWidth(widest_[2], re, shapes[2]);
      return;
    }
    ToMarkup();
  }
  if (utf8) {
    AppendMarkup(lines_, Gbk(html::Escaped(id)), Gbk(html::Escaped(op)), Gbk(html::Escaped(mdata)),
                 Gbk(html::Escaped(re)));
  } else {
    AppendMarkup(lines_, id, op, mdata, re);
  }
}

std::string ReportDocument::Text() const {
  std::string out;
  out.reserve(Head().size() + lines_.size() * (plain_ ? 2 : 1) + 200);
  out.append(Head());
  if (plain_) {
    ForEachLine(lines_, [&](std::string_view line) {
      const Line l = Split(line);
      AppendMarkup(out, l.id, l.op, l.mdata, l.re);
    });
  } else {
    out.append(lines_);
  }
  out.append(FinalRow()).append(finalGbk_);
  if (rows_ == 0) out.append(NotFoundRow());
  out.append(Close());
  return out;
}

std::string ReportDocument::WidestRows() const {
  std::string out;
  if (!plain_ || rows_ == 0) return out;
  size_t n = 0;
  for (const auto& w : widest_) n = std::max(n, w.size());
  for (size_t i = 0; i < n; ++i) {
    // A column with fewer widest cells repeats its last one.
    auto cell = [&](int c) -> const std::string& {
      return widest_[c][std::min(i, widest_[c].size() - 1)].text;
    };
    out.append("\n").append(cell(0)).append("\t").append(cell(1)).append("\t").append(cell(2));
  }
  return out;
}

std::optional<ReportDocument> ReportDocument::FromText(std::string_view gbk) {
  if (!gbk.starts_with(Head())) return std::nullopt;
  std::string_view rest = gbk.substr(Head().size());
  const std::string_view rowOpen = html::kRowOpen;
  ReportDocument doc;
  // Where the rows end: the final row, whose text begins as a row's does.
  const size_t end = rest.rfind(FinalRow());
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view rows = rest.substr(0, end);
  std::string_view tail = rest.substr(end + FinalRow().size());
  while (!rows.empty()) {
    if (!rows.starts_with(rowOpen)) return std::nullopt;
    size_t next = rows.find(rowOpen, rowOpen.size());
    if (next == std::string_view::npos) next = rows.size();
    std::string_view row = rows.substr(rowOpen.size(), next - rowOpen.size());
    rows = rows.substr(next);
    const size_t cell = row.find(html::kCell);
    if (cell == std::string_view::npos) return std::nullopt;
    const std::string_view first = row.substr(0, cell);
    row = row.substr(cell + html::kCell.size());
    const bool blue = row.find(html::kBlueCell) != std::string_view::npos;
    const size_t third = row.find(blue ? html::kBlueCell : html::kCell);
    if (third == std::string_view::npos) return std::nullopt;
    const std::string_view mdata = row.substr(0, third);
    const std::string_view re = row.substr(third + (blue ? html::kBlueCell : html::kCell).size());
    const size_t space = first.find(' ');
    if (space == std::string_view::npos || blue != (mdata == re)) return std::nullopt;
    // GBK bytes pass as they are: a plain row is ASCII, any other is kept as markup.
    doc.Add(first.substr(0, space), first.substr(space + 1), mdata, re, false);
  }
  const bool notFound = tail.ends_with(NotFoundRow() + Close());
  if (!tail.ends_with(Close()) || notFound != (doc.rows_ == 0)) return std::nullopt;
  doc.finalGbk_ = std::string(
      tail.substr(0, tail.size() - Close().size() - (notFound ? NotFoundRow().size() : 0)));
  if (doc.Text() != gbk) return std::nullopt;
  return doc;
}

}  // namespace zantor::search
