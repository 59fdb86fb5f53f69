// The tape: every step with its item number within its run, a rule line
// after each run, and the steps' notes. Lines are read from the file a
// screenful at a time; what is kept in memory is where each run starts and
// an anchor ID every few thousand rows, never the rows themselves.
//
// A run is what a correction recomputes (engine/replay.h): steps whose totals
// follow one from another. A zeroing, a clear or a start without keep makes
// the next step begin a new one.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/calc_state.h"
#include "store/correction.h"
#include "store/sqlite_handle.h"

namespace zantor::store {

// A note holds at most this many characters (not bytes).
inline constexpr size_t kMaxNoteLength = 200;

struct TapeLine {
  bool rule = false;   // the line closing a run
  long long id = 0;    // the step's ID (a rule line: its run's last step)
  long long item = 0;  // 序号 within the run; a rule line: the run's item count
  char op = '+';
  std::string entry;  // as recorded (grouped)
  std::string total;  // the new total; a rule line: the run's final total
  std::string note;
};

// "＋", "－" or "×", as the operator button shows the operator.
std::string_view OperatorGlyph(char op);
// "共 N 笔  合计 X" for a rule line.
std::string RuleText(long long count, std::string_view total);

// Which rows begin a run, fed in ID order.
class RunSplitter {
 public:
  // True when the row begins a new run (the first row always does).
  bool Feed(char op, std::string_view mdata, std::string_view re);

 private:
  engine::CalcState state_;
  bool started_ = false;
};

class TapeReader {
 public:
  explicit TapeReader(std::string path);
  TapeReader(TapeReader&&) = default;
  TapeReader& operator=(TapeReader&&) = default;

  // Opens the file for reading (never creating it) and indexes every row.
  // `stop`, when it turns true, ends the indexing early with false.
  bool Open(const std::atomic<bool>* stop = nullptr);
  bool isOpen() const { return static_cast<bool>(db_); }
  // Indexes the rows recorded since; true when there were any.
  bool CatchUp();
  // The last run has ended without a step after it (a zeroing): its rule
  // line shows now. The next step opens a new run whatever it is.
  void CloseRun();

  long long rows() const { return rows_; }
  // Steps and rule lines.
  long long lines() const;
  // Lines [first, first + count), clipped to the tape.
  bool Read(long long first, long long count, std::vector<TapeLine>* out);
  // The line that shows step `id`, or -1.
  long long LineOfStep(long long id);
  // The lines of the run that holds `line`: its first step, and its rule
  // line when it has one (else its last step).
  void RunLines(long long line, long long* first, long long* last) const;

 private:
  // Row ordinal and run of a line.
  struct Place {
    size_t run = 0;
    long long ordinal = 0;  // a rule line: its run's last row
    bool rule = false;
  };
  Place Locate(long long line) const;
  long long RunEnd(size_t run) const;  // ordinal after the run's last row
  bool Index(sql::Statement& rows, const std::atomic<bool>* stop);
  void Add(long long id, char op, std::string_view mdata, std::string_view re);

  std::string path_;
  sql::Connection db_;
  std::vector<long long> runStarts_;  // ordinal of each run's first row
  std::vector<long long> anchors_;    // ID of every kAnchorEvery-th row
  long long rows_ = 0;
  long long lastId_ = 0;
  bool closed_ = false;  // the last run has its rule line already
  RunSplitter splitter_;
};

// Every line of the tape at `path`, in order, streamed: each run's rule line
// follows its last step (the last run's too). The file is read as it is, even
// while a window has it open. `status` gets kDone, kUnavailable or kNotHistory.
void ForEachTapeLine(const std::string& path, const std::function<void(const TapeLine&)>& line,
                     CorrectionStatus* status);

// Sets (or, with an empty text, removes) the note of step `id`. Tabs and line
// breaks become spaces. kEntryRefused for a note longer than kMaxNoteLength.
// On a connection that holds no transaction, or inside the caller's.
CorrectionStatus WriteNote(::sqlite3* db, long long id, std::string_view note);
// The command line's: refuses a file a window has open, as a correction does.
CorrectionStatus WriteNoteInFile(const std::string& path, long long id, std::string_view note);

}  // namespace zantor::store
