// What a file at the history path is, and whether anyone else is using it:
// every judgement the window and the command line make before they read,
// write, move or delete it. Internal to the store.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zantor::store::detail {

enum class FileKind : int {
  kOurs,
  kEmpty,       // an SQLite file without tables (or a new one)
  kForeign,     // not a history, or one no copy of ours wrote
  kUnreadable,  // SQLite could not read it (busy, I/O); see the code
};

// SQLite's word that another connection holds the lock it needs.
bool IsBusy(int rc);
// SQLite's word that the file is damaged (SQLITE_CORRUPT, SQLITE_NOTADB).
bool IsDamage(int rc);

// The total a keep start (or the window after a kill) would take: the live
// row when there is one, else the newest saved one; and where it is.
struct CurrentTotal {
  std::string table;
  long long rowid = 0;
  long long pos = 0;
  std::string resu;
};
std::optional<CurrentTotal> ReadCurrentTotal(::sqlite3* db);

// A total without digits (an empty field, a message) restores as zero.
std::ptrdiff_t CountDigits(std::string_view text);

// The schema: MyData with ID as its primary key, and resul, liveTotal,
// corrections and notes when present, each a rowid table of exactly our
// columns, none of them with a trigger. *rc gets SQLite's code when the file
// is kUnreadable.
FileKind ClassifyHistoryFile(::sqlite3* db, int* rc);

// The schema, then the current total's saved scale against its text.
// *rc gets SQLite's code when the file is kUnreadable; *total the current
// total of a history of ours, when it has one.
FileKind ExamineHistoryFile(::sqlite3* db, int* rc, std::optional<CurrentTotal>* total);

// ExamineHistoryFile on a connection of its own that never creates the file
// and never checkpoints its log. *error gets SQLite's message for an
// unreadable file, *rc its code.
FileKind ExamineHistoryFileAt(const std::string& path, std::optional<CurrentTotal>* total,
                              std::string* error, int* rc);

// Whether no other connection, in this process or another, has the file
// open, whatever its journal mode (in WAL mode every open connection holds a
// shared lock on it; in rollback mode ours hold one between steps, see
// HistoryStore). Takes the file's exclusive lock for a moment and gives it
// back, so readers are shut out only for that moment. SQLITE_OK when alone,
// SQLITE_BUSY when not; *version (when given) gets PRAGMA data_version as of
// that moment, so that a writer that came in since can be told apart. The
// connection must have read the file before (in WAL mode the exclusive lock
// could otherwise never be given back).
int ClaimAlone(::sqlite3* db, long long* version);
long long DataVersion(::sqlite3* db);

// What clearing does with the file at `path`.
enum class ClearVerdict {
  kAbsent,     // nothing there
  kDelete,     // a history of ours (or an empty SQLite file) nobody else has open
  kMoveAside,  // anything else that can be looked at: not provably ours
  kBusy,       // another program holds it: left where it is, as it is
};
ClearVerdict JudgeForClearing(const std::string& path);

// The file a store has open, as it was when last looked at.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  long long size = 0;
};
enum class FileState { kOurs, kReplaced, kDamaged };
// Whether the file at `path` is still the one `db` opened (*known) and whole:
// another program may have written over it, put another file in its place,
// or cut it short. Updates the known size.
FileState CheckOpenFile(::sqlite3* db, const std::string& path, FileIdentity* known);
bool IdentifyFile(const std::string& path, FileIdentity* identity);

}  // namespace zantor::store::detail
