// The history file: every evaluated step, and the total carried to the next
// start. One connection per process; every statement runs on the caller's
// thread.
//
// Durability: the file runs in WAL mode with
// synchronous=NORMAL, and RecordStep / RecordTotal commit before they return,
// writing the total into a one-row table `liveTotal` beside the row. A step
// whose total has been shown therefore survives `kill -9`; the next keep start
// restores that total (the live row wins over `resul`). A clean save
// (SaveLastTotal) appends to `resul` and clears the live row.
// Between steps a transaction is open, as the save at search and close expects; it
// is a deferred one that holds no data, and no lock but the shared one every
// connection holds in WAL mode (in the rollback journal, should WAL be
// refused, a read keeps that lock), by which others see the history in use.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/step.h"
#include "store/correction.h"
#include "store/recorded_run.h"
#include "store/sqlite_handle.h"

namespace zantor::store {

namespace detail {
enum class FileKind : int;  // store/history_file_check.h
enum class FileState;
}  // namespace detail

inline constexpr char kDbFileName[] = "QorvelDb.db";

// The directory beside the executable when it can be written (portable use),
// otherwise $XDG_DATA_HOME/zantor (default ~/.local/share/zantor), created on
// demand. "Can be written" is tested by creating and removing a file there,
// so it holds for root as well. A QorvelDb.db there that cannot be opened for
// writing makes the directory unusable too.
std::string ResolveDataDirectory(const std::string& executableDir);
// The directory of the running executable (from /proc/self/exe), or "." when
// it cannot be read.
std::string ExecutableDirectory();
// `dataDir` + "/QorvelDb.db".
std::string DatabasePath(const std::string& dataDir);

// What the store asks its caller to tell the user. The store never shows
// anything itself.
enum class Notice {
  kNone,
  kSaveFailed,          // "保存数据不成功"
  kHistoryUnavailable,  // no database could be opened: steps are not recorded
  kDamagedFile,         // the file is not a history database; it is left untouched
};

// Outcome of the keep-path restore at start-up.
struct SavedTotal {
  bool found = false;       // a saved total was read; otherwise the field shows "0.00"
  bool openFailed = false;  // the field stays empty (as after a failed open)
  int pos = 0;              // accScale at the time of saving
  std::string resu;         // the result field's text at the time of saving
  Notice notice = Notice::kNone;
};

// Rows of a query, as sqlite3_get_table gives them: `cells` holds
// (rows + 1) * columns texts, the first `columns` being the column names.
// A NULL cell reads as an empty text. As with sqlite3_get_table, a query
// without rows gives rows == 0 and columns == 0.
struct Table {
  int rows = 0;
  int columns = 0;
  std::vector<std::string> cells;
};

class HistoryStore {
 public:
  explicit HistoryStore(std::string dbPath);
  ~HistoryStore();  // closes as CloseHistoryDatabase does; never throws
  HistoryStore(const HistoryStore&) = delete;
  HistoryStore& operator=(const HistoryStore&) = delete;

  const std::string& dbPath() const { return dbPath_; }
  bool isOpen() const { return static_cast<bool>(db_); }
  // A transaction is open (between steps, until the next save).
  bool inTransaction() const { return db_.InTransaction(); }

  // Size guard of the keep path: the file's size in whole MiB is above 40.
  bool NeedsSizeQuestion() const;
  // The steps the file holds, read on a connection of its own; 0 when there
  // is no file or it is not a history of ours.
  long long StepCount() const;
  // Reads the last saved total (the newest one a killed run left behind, if
  // any) and closes the file again. Never deletes or creates the file:
  // - no file: found == false (the field shows "0.00");
  // - a file that is not ours (garbage, a foreign SQLite database, or a
  //   saved scale its text cannot carry): found == false and notice ==
  //   kDamagedFile, and OpenHistoryDatabase will not open it;
  // - a file that cannot be opened or read (another program holds it for
  //   itself): openFailed == true, one line "Can't open database: ..." on
  //   standard error, notice == kHistoryUnavailable, and OpenHistoryDatabase
  //   will not open it either.
  // A total found here is carried by the next OpenHistoryDatabase into the live
  // row, so a kill before the first step still restores it.
  SavedTotal RestoreLastTotal();

  // Opens or creates the file, creates the tables, recreates `resul`, empties
  // the live row (keeping only a total that RestoreLastTotal just read) and
  // leaves a transaction open. Returns kHistoryUnavailable or kDamagedFile
  // when steps cannot be recorded (isOpen() is then false; a damaged file is
  // left untouched). A notice is returned once: the same failure already
  // returned by RestoreLastTotal or an earlier open gives kNone.
  // While another program holds the write lock, the tables and `resul` wait
  // for the first step that gets it. After a keep start, the total in the
  // file must still be the one restored: if it changed meanwhile (a
  // correction), nothing is written and kHistoryUnavailable is returned, here
  // or by the next SaveLastTotal.
  Notice OpenHistoryDatabase();
  // Records one step; once it returns, the row and the total survive a kill.
  // Failures are not returned; a step that could not be saved makes the next
  // SaveLastTotal return kSaveFailed.
  void RecordStep(const engine::HistoryRow& row, int accScale);
  // Makes a total that changed without a step (zero result) survive a kill.
  // Also commits rows added by AppendStep.
  void RecordTotal(int accScale, const std::string& resultText);
  // Commits and appends (accScale, resultText) to `resul`, and clears the
  // live row. kSaveFailed when a commit really failed (or a step since the
  // last save could not be saved); a commit with no open transaction is not a
  // failure. Without a database: kNone (the caller was told when opening).
  // kDamagedFile when the file was written over or replaced by another
  // program, or SQLite found it damaged, since it was opened: recording stops
  // there and the file is left as it is.
  Notice SaveLastTotal(int accScale, const std::string& resultText);
  void BeginTransaction();
  // Commits whatever the open transaction holds, then closes.
  void CloseHistoryDatabase() noexcept;
  // Closes the connection if it is open, then removes the file with its
  // -wal, -shm and -journal side files. Only a history of ours (or an empty
  // SQLite file) that no other program has open is deleted. Anything else
  // that is not busy (not ours, damaged, unreadable) is renamed, in the same
  // folder, to its name with the date and time added (QorvelDb-20240131-
  // 235959.db), side files included; the new path is returned, and an empty
  // text when the file was deleted, left or there was none. A file another
  // program holds is left where it is, as it is: clearFoundBusy() is then
  // true, and this run records nothing (the next open gives
  // kHistoryUnavailable).
  std::string DeleteHistoryFile();
  bool clearFoundBusy() const { return busy_; }

  // Batch path (zantor-tape): inserts the row into the open transaction
  // without committing and without touching the live row. The row becomes
  // durable at the next RecordTotal, RecordStep, SaveLastTotal or close.
  void AppendStep(const engine::HistoryRow& row);

  // Runs one SELECT built by the search dialog. A rejected statement (one
  // that does not compile, writes, or is followed by another statement) gives
  // a table without rows.
  Table Query(const std::string& sql);
  // The same statement, row by row: `row` gets each data row's cells (valid
  // only during the call), so a caller keeps what it needs without the whole
  // table of texts in memory; `names`, when given, the column names before
  // the first row. False when the statement was rejected or failed part way
  // (the rows already given then do not count: treat it as a result without
  // rows, as Query does).
  using RowVisitor = std::function<void(std::span<const std::string_view> cells)>;
  bool ForEachRow(const std::string& sql, const RowVisitor& row,
                  std::vector<std::string>* names = nullptr);

  // Corrects a past step (store/correction.h) on this connection; an open
  // transaction is committed first and begun again after. For the search
  // dialog: the outcome says which rows changed, the new current total, or
  // why nothing was changed.
  CorrectionOutcome Correct(const CorrectionRequest& request,
                            const CorrectionProgress& progress = {});
  std::vector<CorrectionEntry> Corrections();
  // Sets or (empty) removes the note of step `id` (store/tape_lines.h),
  // committed as a step is.
  CorrectionStatus SetNote(long long id, std::string_view note);
  // The current total a correction made new since the last call, once: the
  // window takes it as its own when the search dialog closes.
  bool TakeCorrectedTotal(int* accScale, std::string* total);

  // The recorded run holding step `id` (store/recorded_run.h), and the last
  // step's ID (0 when there is none), for keying a run in again.
  RunStatus RunHolding(long long id, RecordedRun* run);
  long long LastStepId();

 private:
  using FileKind = detail::FileKind;
  using FileState = detail::FileState;
  Notice Report(Notice notice);
  void PrepareStatements();
  void FinalizeStatements() noexcept;
  // BEGIN, and in rollback-journal mode a read, so that the connection holds
  // its shared lock between steps as every connection does in WAL mode: a
  // correction from the command line then sees that the history is in use.
  void Begin();
  // The open's own writes (tables, a fresh resul, the live row holding only
  // the carried total), done under the write lock once it can be had. A keep
  // start first checks that the current total is still the one it showed: a
  // correction may have changed it meanwhile, and continuing from the old one
  // would put it back. False while another program holds the write lock, or
  // when the total changed (the store is then closed).
  bool Settle();
  // Binds and runs the live-row upsert, then COMMIT and BEGIN again (or BEGIN
  // .. COMMIT around it when no transaction was open).
  void CommitWithTotal(int accScale, const std::string& resultText, bool rowFailed);
  // Notes SQLite's verdict that the file is damaged (SQLITE_CORRUPT, SQLITE_NOTADB).
  void NoteDamage(int rc);
  // Whether the file at dbPath_ is still the one opened and whole.
  FileState CheckFile();
  // Stops recording into a damaged file. A file that is no longer ours gets
  // no checkpoint, and our -wal and -shm go, so nothing of ours is ever laid
  // over it; a damaged one of ours gets its checkpoint.
  void Abandon(bool replaced) noexcept;

  struct Carried {
    int pos = 0;
    std::string resu;
  };

  std::string dbPath_;
  sql::Connection db_;
  // Declared after db_, so they are finalized first.
  sql::Statement insertRow_;
  sql::Statement writeLive_;
  sql::Statement clearLive_;
  sql::Statement insertResul_;
  sql::Statement begin_;
  sql::Statement commit_;
  sql::Statement holdRead_;
  std::optional<Carried> carried_;
  // A keep start's current total as the restore read it (resu, pos), or
  // nothing found; Settle holds the file to it.
  std::optional<std::optional<Carried>> restoredTotal_;
  std::optional<Carried> settleCarried_;
  bool settlePending_ = false;
  bool wal_ = true;
  // Told at the next save of a store that had to stop (kHistoryUnavailable).
  Notice stopNotice_ = Notice::kNone;
  std::optional<Carried> correctedTotal_;  // see TakeCorrectedTotal
  Notice reported_ = Notice::kNone;
  bool unsaved_ = false;  // a step or total since the last save was not saved
  bool damaged_ = false;  // SQLite found the open file damaged
  // The file at dbPath_ was found not to be a history of ours (damaged,
  // foreign, or replaced); the open leaves it alone and clearing moves it
  // aside.
  bool notOurs_ = false;
  // The file could not be read at the restore, or clearing found it held by
  // another program: the open leaves it alone.
  bool unreadable_ = false;
  bool busy_ = false;
  // Identity of the file that was opened, and its length when last looked at.
  dev_t fileDevice_ = 0;
  ino_t fileInode_ = 0;
  long long knownSize_ = 0;
};

}  // namespace zantor::store
