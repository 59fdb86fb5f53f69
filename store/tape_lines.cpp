#include "store/tape_lines.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

#include "engine/replay.h"
#include "store/history_store.h"

namespace zantor::store {
namespace {

// One anchor every this many rows: a line is found by skipping at most this
// many rows from its anchor, and a million rows need 245 anchors.
constexpr long long kAnchorEvery = 4096;

constexpr char kSelectRows[] = "SELECT ID,oP,mdata,re FROM MyData WHERE ID>? ORDER BY ID;";
constexpr char kSelectSpanWithNotes[] =
    "SELECT m.ID,m.oP,m.mdata,m.re,n.note FROM MyData m LEFT JOIN notes n ON n.ID=m.ID "
    "WHERE m.ID>=? ORDER BY m.ID LIMIT ? OFFSET ?;";
constexpr char kSelectSpan[] =
    "SELECT ID,oP,mdata,re,NULL FROM MyData WHERE ID>=? ORDER BY ID LIMIT ? OFFSET ?;";
constexpr char kCreateNotes[] =
    "CREATE TABLE IF NOT EXISTS notes(ID INTEGER PRIMARY KEY, note TEXT NOT NULL);";

bool Busy(int rc) { return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED; }

char FirstOf(std::string_view text) { return text.empty() ? '?' : text[0]; }

// Characters, not bytes: every byte that does not continue a UTF-8 sequence.
size_t CountCharacters(std::string_view text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// A note is one line of a tab-separated tape.
std::string OneLine(std::string_view note) {
  std::string out(note);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return out;
}

}  // namespace

std::string_view OperatorGlyph(char op) {
  switch (op) {
    case '+':
      return "\xEF\xBC\x8B";  // ＋
    case '-':
      return "\xEF\xBC\x8D";  // －
    case '*':
      return "\xC3\x97";  // ×
    default:
      return "?";
  }
}

std::string RuleText(long long count, std::string_view total) {
  std::string text =
      "\xE5\x85\xB1 " + std::to_string(count) + " \xE7\xAC\x94  \xE5\x90\x88\xE8\xAE\xA1 ";
  text.append(total);
  return text;
}

bool RunSplitter::Feed(char op, std::string_view mdata, std::string_view re) {
  if (started_) {
    const engine::StepResult r = engine::ReplayStep(state_, op, mdata);
    if (r.status == engine::StepResult::Status::kDone && r.row.re == re) return false;
  }
  started_ = true;
  state_ = engine::CalcState();
  const engine::StepResult r = engine::ReplayStep(state_, op, mdata);
  if (r.status != engine::StepResult::Status::kDone || r.row.re != re) {
    state_ = engine::StateAfterTotal(re);
  }
  return true;
}

TapeReader::TapeReader(std::string path) : path_(std::move(path)) {}

bool TapeReader::Open(const std::atomic<bool>* stop) {
  if (db_.Open(path_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX) != SQLITE_OK) return false;
  sql::Statement s;
  if (s.Prepare(db_.get(), kSelectRows) != SQLITE_OK) {
    db_.Close();
    return false;
  }
  s.BindInt(1, 0);
  if (!Index(s, stop)) {
    db_.Close();
    return false;
  }
  return true;
}

bool TapeReader::CatchUp() {
  if (!db_) return false;
  sql::Statement s;
  if (s.Prepare(db_.get(), kSelectRows) != SQLITE_OK) return false;
  s.BindInt(1, lastId_);
  const long long before = rows_;
  Index(s, nullptr);
  return rows_ != before;
}

bool TapeReader::Index(sql::Statement& s, const std::atomic<bool>* stop) {
  int rc;
  long long n = 0;
  while ((rc = s.Step()) == SQLITE_ROW) {
    if (stop != nullptr && ++n % kAnchorEvery == 0 && stop->load(std::memory_order_relaxed)) {
      return false;
    }
    Add(s.ColumnInt(0), FirstOf(s.ColumnText(1)), s.ColumnText(2), s.ColumnText(3));
  }
  return rc == SQLITE_DONE;
}

void TapeReader::Add(long long id, char op, std::string_view mdata, std::string_view re) {
  const bool starts = splitter_.Feed(op, mdata, re);
  if (starts || closed_) runStarts_.push_back(rows_);
  closed_ = false;
  if (rows_ % kAnchorEvery == 0) anchors_.push_back(id);
  lastId_ = id;
  ++rows_;
}

void TapeReader::CloseRun() {
  if (rows_ > 0) closed_ = true;
}

long long TapeReader::lines() const {
  const auto runs = static_cast<long long>(runStarts_.size());
  if (runs == 0) return 0;
  return rows_ + runs - 1 + (closed_ ? 1 : 0);
}

long long TapeReader::RunEnd(size_t run) const {
  return run + 1 < runStarts_.size() ? runStarts_[run + 1] : rows_;
}

TapeReader::Place TapeReader::Locate(long long line) const {
  // The first line of run k is line runStarts_[k] + k.
  size_t lo = 0;
  size_t hi = runStarts_.size();
  while (hi - lo > 1) {
    const size_t mid = (lo + hi) / 2;
    if (runStarts_[mid] + static_cast<long long>(mid) <= line) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  Place p;
  p.run = lo;
  const long long offset = line - (runStarts_[lo] + static_cast<long long>(lo));
  const long long end = RunEnd(lo);
  if (runStarts_[lo] + offset < end) {
    p.ordinal = runStarts_[lo] + offset;
  } else {
    p.ordinal = end - 1;
    p.rule = true;
  }
  return p;
}

bool TapeReader::Read(long long first, long long count, std::vector<TapeLine>* out) {
  out->clear();
  const long long total = lines();
  first = std::max(0LL, first);
  count = std::min(count, total - first);
  if (!db_ || count <= 0) return true;
  const Place from = Locate(first);
  const Place to = Locate(first + count - 1);
  const size_t anchor = static_cast<size_t>(from.ordinal / kAnchorEvery);
  sql::Statement s;
  if (s.Prepare(db_.get(), kSelectSpanWithNotes) != SQLITE_OK &&
      s.Prepare(db_.get(), kSelectSpan) != SQLITE_OK) {
    return false;
  }
  s.BindInt(1, anchors_[anchor]);
  s.BindInt(2, to.ordinal - from.ordinal + 1);
  s.BindInt(3, from.ordinal - static_cast<long long>(anchor) * kAnchorEvery);
  std::vector<TapeLine> rows;
  rows.reserve(static_cast<size_t>(to.ordinal - from.ordinal + 1));
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    TapeLine& r = rows.emplace_back();
    r.id = s.ColumnInt(0);
    r.op = FirstOf(s.ColumnText(1));
    r.entry.assign(s.ColumnText(2));
    r.total.assign(s.ColumnText(3));
    r.note.assign(s.ColumnText(4));
  }
  if (rc != SQLITE_DONE) return false;
  out->reserve(static_cast<size_t>(count));
  Place p = from;
  for (long long line = first; line < first + count; ++line) {
    if (line != first) p = Locate(line);
    const auto at = static_cast<size_t>(p.ordinal - from.ordinal);
    if (at >= rows.size()) return false;  // rows gone since they were indexed
    TapeLine l = rows[at];
    if (p.rule) {
      l.rule = true;
      l.item = RunEnd(p.run) - runStarts_[p.run];
      l.note.clear();
    } else {
      l.item = p.ordinal - runStarts_[p.run] + 1;
    }
    out->push_back(std::move(l));
  }
  return true;
}

long long TapeReader::LineOfStep(long long id) {
  if (!db_ || anchors_.empty() || id < anchors_.front() || id > lastId_) return -1;
  const auto after = std::upper_bound(anchors_.begin(), anchors_.end(), id);
  const auto anchor = static_cast<size_t>(after - anchors_.begin() - 1);
  sql::Statement s;
  if (s.Prepare(db_.get(), "SELECT count(*) FROM MyData WHERE ID>=? AND ID<?;") != SQLITE_OK) {
    return -1;
  }
  s.BindInt(1, anchors_[anchor]);
  s.BindInt(2, id);
  if (s.Step() != SQLITE_ROW) return -1;
  const long long ordinal = static_cast<long long>(anchor) * kAnchorEvery + s.ColumnInt(0);
  const auto run = std::upper_bound(runStarts_.begin(), runStarts_.end(), ordinal);
  return ordinal + (run - runStarts_.begin() - 1);
}

void TapeReader::RunLines(long long line, long long* first, long long* last) const {
  *first = *last = -1;
  if (line < 0 || line >= lines()) return;
  const Place p = Locate(line);
  const auto run = static_cast<long long>(p.run);
  *first = runStarts_[p.run] + run;
  const bool hasRule = p.run + 1 < runStarts_.size() || closed_;
  *last = RunEnd(p.run) + run - (hasRule ? 0 : 1);
}

void ForEachTapeLine(const std::string& path, const std::function<void(const TapeLine&)>& line,
                     CorrectionStatus* status) {
  sql::Connection db;
  *status = detail::OpenForCommandLine(path, false, &db);
  if (*status == CorrectionStatus::kInUse) *status = CorrectionStatus::kUnavailable;
  if (*status != CorrectionStatus::kDone) return;
  // Notes are few: read them first, and merge them in as the rows go by.
  std::vector<std::pair<long long, std::string>> notes;
  sql::Statement s;
  if (s.Prepare(db.get(), "SELECT ID,note FROM notes ORDER BY ID;") == SQLITE_OK) {
    while (s.Step() == SQLITE_ROW) notes.emplace_back(s.ColumnInt(0), s.ColumnText(1));
  }
  if (s.Prepare(db.get(), kSelectRows) != SQLITE_OK) {
    *status = CorrectionStatus::kUnavailable;
    return;
  }
  s.BindInt(1, -1LL << 62);
  RunSplitter splitter;
  TapeLine step;
  TapeLine rule;
  rule.rule = true;
  size_t nextNote = 0;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    const long long id = s.ColumnInt(0);
    const char op = FirstOf(s.ColumnText(1));
    const std::string_view mdata = s.ColumnText(2);
    const std::string_view re = s.ColumnText(3);
    if (splitter.Feed(op, mdata, re)) {
      if (step.item > 0) line(rule);
      step.item = 0;
    }
    step.id = id;
    ++step.item;
    step.op = op;
    step.entry.assign(mdata);
    step.total.assign(re);
    while (nextNote < notes.size() && notes[nextNote].first < id) ++nextNote;
    if (nextNote < notes.size() && notes[nextNote].first == id) {
      step.note = notes[nextNote].second;
    } else {
      step.note.clear();
    }
    line(step);
    rule.id = id;
    rule.item = step.item;
    rule.total.assign(re);
  }
  if (rc != SQLITE_DONE) {
    *status = Busy(rc) ? CorrectionStatus::kUnavailable : CorrectionStatus::kFailed;
    return;
  }
  if (step.item > 0) line(rule);
}

CorrectionStatus WriteNote(::sqlite3* db, long long id, std::string_view note) {
  if (db == nullptr) return CorrectionStatus::kUnavailable;
  const std::string text = OneLine(note);
  if (CountCharacters(text) > kMaxNoteLength) return CorrectionStatus::kEntryRefused;
  sql::Statement s;
  if (s.Prepare(db, "SELECT 1 FROM MyData WHERE ID=?;") != SQLITE_OK) {
    return CorrectionStatus::kFailed;
  }
  s.BindInt(1, id);
  const int rc = s.Step();
  if (rc == SQLITE_DONE) return CorrectionStatus::kUnknownId;
  if (rc != SQLITE_ROW) return Busy(rc) ? CorrectionStatus::kInUse : CorrectionStatus::kFailed;
  s.Finalize();
  if (text.empty()) {
    // No table yet: there is no note to remove.
    if (s.Prepare(db, "DELETE FROM notes WHERE ID=?;") != SQLITE_OK) return CorrectionStatus::kDone;
    s.BindInt(1, id);
  } else {
    if (sqlite3_exec(db, kCreateNotes, nullptr, nullptr, nullptr) != SQLITE_OK ||
        s.Prepare(db, "INSERT OR REPLACE INTO notes(ID,note) VALUES(?,?);") != SQLITE_OK) {
      return CorrectionStatus::kFailed;
    }
    s.BindInt(1, id);
    s.BindText(2, text);
  }
  const int written = s.Run();
  if (written == SQLITE_OK) return CorrectionStatus::kDone;
  return Busy(written) ? CorrectionStatus::kInUse : CorrectionStatus::kFailed;
}

CorrectionStatus WriteNoteInFile(const std::string& path, long long id, std::string_view note) {
  sql::Connection db;
  if (const CorrectionStatus s = detail::OpenForCommandLine(path, true, &db);
      s != CorrectionStatus::kDone) {
    return s;
  }
  const int begun = db.Exec("BEGIN IMMEDIATE;");
  if (begun != SQLITE_OK) return Busy(begun) ? CorrectionStatus::kInUse : CorrectionStatus::kFailed;
  const CorrectionStatus out = WriteNote(db.get(), id, note);
  if (out != CorrectionStatus::kDone) {
    db.Exec("ROLLBACK;");
    return out;
  }
  const int rc = db.Exec("COMMIT;");
  if (rc == SQLITE_OK) return out;
  db.Exec("ROLLBACK;");
  return Busy(rc) ? CorrectionStatus::kInUse : CorrectionStatus::kFailed;
}

CorrectionStatus HistoryStore::SetNote(long long id, std::string_view note) {
  if (!db_) return CorrectionStatus::kUnavailable;
  // Into the transaction the steps use, committed and begun again as a step is.
  const bool inTransaction = db_.InTransaction();
  const CorrectionStatus out = WriteNote(db_.get(), id, note);
  if (inTransaction) {
    if (commit_.Run() != SQLITE_OK && out == CorrectionStatus::kDone) unsaved_ = true;
    Begin();
  }
  return out;
}

}  // namespace zantor::store
