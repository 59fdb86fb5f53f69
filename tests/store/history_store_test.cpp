// The history store on real files: the keep and clear paths, the size guard, the
// restore texts, the cadence of `resul`, clear-all, bound values, queries,
// and files that are not ours.
#include "store/history_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "tests/store/store_test_util.h"

namespace zantor::store {
namespace {

using testing::Exists;
using testing::Peek;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

engine::HistoryRow Row(char op, std::string fdata, std::string mdata, std::string re) {
  return engine::HistoryRow{op, std::move(fdata), std::move(mdata), std::move(re)};
}

// Runs entries through the engine and records each completed step, as the
// window does. Returns the last row.
engine::HistoryRow Steps(HistoryStore& store, engine::CalcState& state,
                         const std::vector<std::string>& entries) {
  engine::HistoryRow last;
  for (const std::string& e : entries) {
    const engine::StepResult r = engine::EvaluateStep(state, e);
    EXPECT_EQ(r.status, engine::StepResult::Status::kDone) << e;
    store.RecordStep(r.row, state.accScale);
    last = r.row;
  }
  return last;
}

std::vector<std::string> TableNames(const std::string& path) {
  std::vector<std::string> names;
  for (const auto& row :
       Peek(path).Rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name;")) {
    names.push_back(row[0]);
  }
  return names;
}

TEST(HistoryStore, FirstRunWithoutFile) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  EXPECT_FALSE(store.NeedsSizeQuestion());
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_FALSE(saved.found);
  EXPECT_FALSE(saved.openFailed);
  EXPECT_EQ(saved.notice, Notice::kNone);
  EXPECT_FALSE(Exists(path)) << "the restore neither creates nor deletes";

  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_TRUE(store.isOpen());
  EXPECT_TRUE(store.inTransaction()) << "OpenHistoryDatabase ends with BEGIN";
  EXPECT_TRUE(Exists(path));
  EXPECT_EQ(TableNames(path), (std::vector<std::string>{"MyData", "liveTotal", "resul"}));
  Peek peek(path);
  testing::ExpectHistoryTableShapes(peek);
  EXPECT_EQ(peek.Scalar("PRAGMA journal_mode;"), "wal");
  EXPECT_EQ(peek.Count("MyData"), 0);
  EXPECT_EQ(peek.Count("resul"), 0);
}

TEST(HistoryStore, KeepRestoresTheTotalSavedAtClose) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  {
    HistoryStore store(path);
    ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
    engine::CalcState state;
    const engine::HistoryRow last = Steps(store, state, {"1234", "5", "-0.5"});
    EXPECT_EQ(last.re, "11.89");
    EXPECT_EQ(store.SaveLastTotal(state.accScale, last.re), Notice::kNone);
    EXPECT_FALSE(store.inTransaction()) << "SaveLastTotal begins no new transaction";
    store.CloseHistoryDatabase();
  }
  Peek before(path);
  EXPECT_EQ(before.Count("MyData"), 3);
  EXPECT_EQ(before.Rows("SELECT * FROM resul;"),
            (std::vector<std::vector<std::string>>{{"2", "11.89"}}));
  EXPECT_EQ(before.Count("liveTotal"), 0) << "a clean save clears the live row";

  HistoryStore store(path);
  EXPECT_FALSE(store.NeedsSizeQuestion());
  const SavedTotal saved = store.RestoreLastTotal();
  ASSERT_TRUE(saved.found);
  EXPECT_EQ(saved.pos, 2);
  EXPECT_EQ(saved.resu, "11.89");
  EXPECT_FALSE(store.isOpen()) << "the restore closes the file again";
  engine::CalcState state;
  engine::RestoreAccumulator(state, saved.pos, saved.resu);
  EXPECT_EQ(state.accumulator.DigitsText(), "1189");
  EXPECT_EQ(state.accScale, 2);

  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  Peek after(path);
  EXPECT_EQ(after.Count("MyData"), 3) << "keep keeps the history";
  EXPECT_EQ(after.Count("resul"), 0) << "resul is recreated: a saved total survives one restart";
  EXPECT_EQ(after.Rows("SELECT pos,resu FROM liveTotal;"),
            (std::vector<std::vector<std::string>>{{"2", "11.89"}}))
      << "the restored total is carried, so a kill before the first step keeps it";

  const engine::StepResult r = engine::EvaluateStep(state, "11");
  store.RecordStep(r.row, state.accScale);
  EXPECT_EQ(r.row.re, "12");
  EXPECT_EQ(Peek(path).Count("MyData"), 4);
}

TEST(HistoryStore, ClearDeletesTheWholeFile) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  engine::CalcState state;
  Steps(store, state, {"100", "200"});
  EXPECT_TRUE(Exists(path + "-wal"));
  store.SaveLastTotal(state.accScale, "3");
  store.CloseHistoryDatabase();

  // "清除上次数据": the file is deleted before the new one is created.
  store.DeleteHistoryFile();
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    EXPECT_FALSE(Exists(path + suffix)) << suffix;
  }
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_EQ(Peek(path).Count("MyData"), 0);
  EXPECT_EQ(Peek(path).Count("liveTotal"), 0);
}

TEST(HistoryStore, DeleteWhileOpenClosesFirstAndRemovesSideFiles) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  engine::CalcState state;
  Steps(store, state, {"1"});
  ASSERT_TRUE(Exists(path + "-wal"));
  ASSERT_TRUE(Exists(path + "-shm"));
  store.DeleteHistoryFile();
  EXPECT_FALSE(store.isOpen());
  for (const char* suffix : {"", "-wal", "-shm"}) EXPECT_FALSE(Exists(path + suffix)) << suffix;
}

TEST(HistoryStore, SizeGuardAsksFrom41MiB) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  EXPECT_FALSE(store.NeedsSizeQuestion());
  // Sparse files: the size is what matters, not the blocks.
  WriteFile(path, "");
  ASSERT_EQ(::truncate(path.c_str(), 40LL * 1048576), 0);
  EXPECT_FALSE(store.NeedsSizeQuestion());
  ASSERT_EQ(::truncate(path.c_str(), 40LL * 1048576 + 1), 0);
  EXPECT_FALSE(store.NeedsSizeQuestion()) << "40 MiB + 1 byte: integer division gives 40";
  ASSERT_EQ(::truncate(path.c_str(), 41LL * 1048576 - 1), 0);
  EXPECT_FALSE(store.NeedsSizeQuestion());
  ASSERT_EQ(::truncate(path.c_str(), 41LL * 1048576), 0);
  EXPECT_TRUE(store.NeedsSizeQuestion()) << "41 MiB: the question is asked";
  // On Yes the window deletes the file; the restore then finds nothing.
  store.DeleteHistoryFile();
  EXPECT_FALSE(store.NeedsSizeQuestion());
  EXPECT_FALSE(store.RestoreLastTotal().found);
}

struct RestoreCase {
  int pos;
  std::string resu;
  char sign;
  std::string digits;  // most significant first
  int accScale;
};

TEST(HistoryStore, RestoreTextsThroughTheEngine) {
  const std::vector<RestoreCase> cases = {
      {1, "1,234.5", '+', "12345", 1},
      {2, "0.05", '+', "5", 2},
      {0, "-7", '-', "7", 0},
      {0, "0.00", '+', "0", 0},
      {0, "粘贴的内容太长", '+', "0", 0},  // a paste message left in the result field
      {0, "", '+', "0", 0},                // the empty field after a failed open
      {0, "it's '); DROP TABLE MyData; --", '+', "0", 0},
  };
  for (const RestoreCase& c : cases) {
    SCOPED_TRACE(c.resu);
    TempDir dir;
    const std::string path = DatabasePath(dir.path());
    {
      HistoryStore store(path);
      ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
      store.RecordStep(Row('+', "1", "1", "1"), 0);
      EXPECT_EQ(store.SaveLastTotal(c.pos, c.resu), Notice::kNone);
    }  // the destructor closes
    Peek peek(path);
    EXPECT_EQ(peek.Scalar("SELECT typeof(resu) FROM resul;"), "text");
    EXPECT_EQ(peek.Count("MyData"), 1);

    HistoryStore store(path);
    const SavedTotal saved = store.RestoreLastTotal();
    ASSERT_TRUE(saved.found);
    EXPECT_EQ(saved.pos, c.pos);
    EXPECT_EQ(saved.resu, c.resu) << "the result field shows the saved text unchanged";
    engine::CalcState state;
    engine::RestoreAccumulator(state, saved.pos, saved.resu);
    EXPECT_EQ(state.accumulator.sign(), c.sign);
    EXPECT_EQ(state.accumulator.DigitsText(), c.digits);
    EXPECT_EQ(state.accScale, c.accScale);
  }
}

TEST(HistoryStore, TwoSearchesAndACloseLeaveThreeResulRows) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  {
    HistoryStore store(path);
    ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
    engine::CalcState state;
    Steps(store, state, {"1000"});
    EXPECT_EQ(store.SaveLastTotal(state.accScale, "10"), Notice::kNone);  // find button
    EXPECT_FALSE(store.inTransaction());
    EXPECT_EQ(store.Query("SELECT ID,oP,mdata,re FROM MyData").rows, 1)
        << "the search sees every step";
    store.BeginTransaction();  // the search dialog closes
    EXPECT_TRUE(store.inTransaction());
    Steps(store, state, {"250"});
    EXPECT_EQ(store.SaveLastTotal(state.accScale, "12.5"), Notice::kNone);  // F key
    store.BeginTransaction();
    Steps(store, state, {"1"});
    EXPECT_EQ(store.SaveLastTotal(state.accScale, "12.51"), Notice::kNone);  // close
    store.CloseHistoryDatabase();
  }
  Peek peek(path);
  EXPECT_EQ(peek.Rows("SELECT pos,resu FROM resul;"),
            (std::vector<std::vector<std::string>>{{"0", "10"}, {"1", "12.5"}, {"2", "12.51"}}));
  EXPECT_EQ(peek.Count("MyData"), 3);
  EXPECT_EQ(peek.Count("liveTotal"), 0);
  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  ASSERT_TRUE(saved.found);
  EXPECT_EQ(saved.pos, 2);
  EXPECT_EQ(saved.resu, "12.51") << "the last row is restored";
}

TEST(HistoryStore, ASaveWithoutAnOpenTransactionIsNoFailure) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  store.RecordStep(Row('+', "1", "1", "1"), 0);
  EXPECT_EQ(store.SaveLastTotal(0, "1"), Notice::kNone);
  ASSERT_FALSE(store.inTransaction());
  // The search dialog opened again without a BeginTransaction in between: the
  // plain "COMMIT;" fails there, which is no real failure.
  EXPECT_EQ(store.SaveLastTotal(0, "1"), Notice::kNone);
  EXPECT_EQ(Peek(path).Count("resul"), 2);
  // A step in autocommit mode is still durable and leaves autocommit mode.
  store.RecordStep(Row('+', "2", "2", "3"), 0);
  EXPECT_FALSE(store.inTransaction());
  EXPECT_EQ(Peek(path).Count("MyData"), 2);
  EXPECT_EQ(Peek(path).Rows("SELECT pos,resu FROM liveTotal;"),
            (std::vector<std::vector<std::string>>{{"0", "3"}}));
}

TEST(HistoryStore, ClearAllRecreatesAnEmptyHistory) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  engine::CalcState state;
  Steps(store, state, {"1", "2", "3"});
  // Clear-all: save, then the file goes.
  EXPECT_EQ(store.SaveLastTotal(state.accScale, "0.06"), Notice::kNone);
  store.CloseHistoryDatabase();
  store.DeleteHistoryFile();
  engine::ZeroResult(state);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_TRUE(store.inTransaction());
  EXPECT_EQ(store.Query("SELECT ID,oP,mdata,re FROM MyData").rows, 0);
  EXPECT_EQ(Peek(path).Count("resul"), 0);
  EXPECT_EQ(Peek(path).Count("liveTotal"), 0);
  const engine::HistoryRow last = Steps(store, state, {"7"});
  EXPECT_EQ(last.re, "0.07");
  EXPECT_EQ(Peek(path).Rows("SELECT ID,re FROM MyData;"),
            (std::vector<std::vector<std::string>>{{"1", "0.07"}}));
}

TEST(HistoryStore, FdataIsStoredAsANumber) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  store.RecordStep(Row('+', "0.05", "0.05", "0.05"), 2);
  store.RecordStep(Row('+', "1234", "1,234", "1,234.05"), 2);
  store.RecordStep(Row('-', "-12.5", "-12.5", "1,246.55"), 2);
  store.RecordStep(Row('*', "9", "9", "11,218.95"), 2);
  store.RecordStep(Row('+', "1234567890123456789012345678901234567890", "x", "y"), 0);
  Peek peek(path);
  EXPECT_EQ(
      peek.Rows("SELECT typeof(fdata) FROM MyData;"),
      (std::vector<std::vector<std::string>>{{"real"}, {"real"}, {"real"}, {"real"}, {"real"}}));
  EXPECT_EQ(peek.Rows("SELECT typeof(oP),typeof(mdata),typeof(re) FROM MyData WHERE ID=2;"),
            (std::vector<std::vector<std::string>>{{"text", "text", "text"}}));
  // The search dialog's filters and sort orders compare numerically: as text,
  // "9" > "1234" and "-12.5" < "0.05" would both be wrong the other way round.
  Table t = store.Query("SELECT ID,oP,mdata,re FROM MyData WHERE fdata>5  order by fdata Desc");
  ASSERT_EQ(t.rows, 3);
  EXPECT_EQ(t.cells[4], "5");
  EXPECT_EQ(t.cells[8], "2");
  EXPECT_EQ(t.cells[12], "4");
  t = store.Query("SELECT ID,oP,mdata,re FROM MyData WHERE fdata<0.1  order By fdata Asc");
  ASSERT_EQ(t.rows, 2);
  EXPECT_EQ(t.cells[4], "3");
  EXPECT_EQ(t.cells[8], "1");
  t = store.Query("SELECT ID,oP,mdata,re FROM MyData WHERE fdata=0.05");
  EXPECT_EQ(t.rows, 1);
}

TEST(HistoryStore, ValuesAreBoundNeverSpliced) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  const std::string evil = "1'); DROP TABLE MyData; --";
  store.RecordStep(Row('+', evil, evil, evil), 0);
  store.RecordTotal(0, evil);
  EXPECT_EQ(store.SaveLastTotal(0, evil), Notice::kNone);
  Peek peek(path);
  EXPECT_EQ(peek.Rows("SELECT oP,fdata,mdata,re FROM MyData;"),
            (std::vector<std::vector<std::string>>{{"+", evil, evil, evil}}));
  EXPECT_EQ(peek.Scalar("SELECT resu FROM resul;"), evil);
}

TEST(HistoryStore, QueryReturnsAllCells) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  EXPECT_EQ(store.Query("SELECT 1").rows, 0) << "no connection: no rows";
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  store.RecordStep(Row('+', "12.34", "12.34", "12.34"), 2);
  store.RecordStep(Row('*', "2", "2", "24.68"), 2);
  store.SaveLastTotal(2, "24.68");

  Table t = store.Query("SELECT ID,oP,mdata,re FROM MyData");
  EXPECT_EQ(t.rows, 2);
  EXPECT_EQ(t.columns, 4);
  EXPECT_EQ(t.cells, (std::vector<std::string>{"ID", "oP", "mdata", "re", "1", "+", "12.34",
                                               "12.34", "2", "*", "2", "24.68"}));
  t = store.Query("SELECT ID,NULL,'' FROM MyData WHERE ID=1;");
  EXPECT_EQ(t.cells, (std::vector<std::string>{"ID", "NULL", "''", "1", "", ""}));

  // As sqlite3_get_table: no rows gives no columns either.
  t = store.Query("SELECT ID,oP,mdata,re FROM MyData WHERE oP='-'");
  EXPECT_EQ(t.rows, 0);
  EXPECT_EQ(t.columns, 0);
  EXPECT_TRUE(t.cells.empty());

  for (const char* rejected :
       {"", "   ", "SELEC nonsense", "DELETE FROM MyData",
        "SELECT ID FROM MyData; DELETE FROM MyData", "SELECT * FROM NoSuchTable"}) {
    SCOPED_TRACE(rejected);
    t = store.Query(rejected);
    EXPECT_EQ(t.rows, 0);
    EXPECT_TRUE(t.cells.empty());
  }
  EXPECT_EQ(store.Query("SELECT ID FROM MyData;  ").rows, 2) << "a trailing ';' is fine";
  EXPECT_EQ(Peek(path).Count("MyData"), 2) << "nothing was deleted";
}

TEST(HistoryStore, DamagedFileIsReportedAndLeftUntouched) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  std::string garbage;
  for (int i = 0; i < 3000; ++i) garbage.push_back(static_cast<char>((i * 37 + 11) % 256));
  WriteFile(path, garbage);

  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_FALSE(saved.found);
  EXPECT_EQ(saved.notice, Notice::kDamagedFile);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone) << "told once, by the restore";
  EXPECT_FALSE(store.isOpen());
  // The program keeps calculating; nothing is recorded, nothing crashes.
  store.RecordStep(Row('+', "1", "1", "1"), 0);
  store.RecordTotal(0, "0.00");
  store.BeginTransaction();
  EXPECT_EQ(store.SaveLastTotal(0, "1"), Notice::kNone);
  EXPECT_EQ(store.Query("SELECT * FROM MyData").rows, 0);
  store.CloseHistoryDatabase();
  EXPECT_EQ(ReadFile(path), garbage) << "not overwritten";
  EXPECT_FALSE(Exists(path + "-wal"));
  EXPECT_FALSE(Exists(path + "-journal"));

  // Opening without the restore (the clear path is the user's choice) reports it too.
  HistoryStore second(path);
  EXPECT_EQ(second.OpenHistoryDatabase(), Notice::kDamagedFile);
  EXPECT_EQ(ReadFile(path), garbage);

  // Deleting it is the clear path: then a fresh history is made.
  second.DeleteHistoryFile();
  EXPECT_EQ(second.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_TRUE(second.isOpen());
}

// Another program's database in WAL mode, its latest rows still in its -wal:
// clearing moves the file and its log together, so that nothing it wrote is
// lost; a second clear in the same second gets a name of its own.
TEST(HistoryStore, ClearingMovesAForeignFileAsideWithItsLog) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  std::vector<std::string> aside;
  for (const char* name : {"ann", "bob"}) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    const std::string sql =
        "PRAGMA journal_mode=WAL;CREATE TABLE users(name TEXT);"
        "INSERT INTO users VALUES('" +
        std::string(name) + "');";
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    ASSERT_TRUE(Exists(path + "-wal"));

    HistoryStore store(path);
    aside.push_back(store.DeleteHistoryFile());
    ASSERT_FALSE(aside.back().empty());
    EXPECT_EQ(aside.back().substr(0, dir.path().size() + 10), dir.path() + "/QorvelDb-");
    EXPECT_FALSE(Exists(path));
    EXPECT_FALSE(Exists(path + "-wal"));
    EXPECT_EQ(Peek(aside.back()).Rows("SELECT name FROM users;"),
              (std::vector<std::vector<std::string>>{{name}}));
    EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
    EXPECT_TRUE(store.isOpen());
    store.DeleteHistoryFile();
  }
  EXPECT_NE(aside[0], aside[1]);
}

TEST(HistoryStore, ShortGarbageIsDamagedToo) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  WriteFile(path, "not a database\n");
  HistoryStore store(path);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kDamagedFile);
  EXPECT_EQ(ReadFile(path), "not a database\n");
}

TEST(HistoryStore, ForeignDatabaseIsReportedAndLeftUntouched) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(db,
                   "CREATE TABLE users(name TEXT); INSERT INTO users VALUES('ann');"
                   "CREATE TABLE resul(pos INTEGER,resu TEXT); INSERT INTO resul VALUES(2,'9.99');",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  sqlite3_close(db);
  const std::string before = ReadFile(path);

  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_FALSE(saved.found) << "a foreign resul is not our saved total";
  EXPECT_EQ(saved.notice, Notice::kDamagedFile);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_FALSE(store.isOpen());
  EXPECT_EQ(store.SaveLastTotal(0, "1"), Notice::kNone);
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(Peek(path).Rows("SELECT name FROM users;"),
            (std::vector<std::vector<std::string>>{{"ann"}}));
  EXPECT_EQ(Peek(path).Scalar("PRAGMA journal_mode;"), "delete") << "not switched to WAL";
}

TEST(HistoryStore, ForeignMyDataIsNotOurs) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE MyData(a,b);", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  HistoryStore store(path);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kDamagedFile);
}

// A live-total table the store cannot write (another shape, not a rowid
// table, not a table at all) would fail every save: such a file is damaged,
// reported at the restore and at the open, and left exactly as it is.
TEST(HistoryStore, ALiveTotalOfAnotherShapeIsNotOurs) {
  const char* const shapes[] = {
      "CREATE TABLE liveTotal(total TEXT);",
      "CREATE TABLE liveTotal(pos INTEGER,resu TEXT,at TEXT);",
      "CREATE TABLE LIVETOTAL(resu TEXT,pos INTEGER);",
      "CREATE TABLE liveTotal(pos INTEGER PRIMARY KEY,resu TEXT) WITHOUT ROWID;",
      "CREATE VIEW liveTotal AS SELECT 1 AS pos,'1' AS resu;",
  };
  for (const char* shape : shapes) {
    SCOPED_TRACE(shape);
    TempDir dir;
    const std::string path = DatabasePath(dir.path());
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    const std::string sql =
        "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re "
        "TEXT);CREATE TABLE resul(pos INTEGER,resu TEXT);INSERT INTO resul VALUES(2,'12.39');" +
        std::string(shape);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const std::string before = ReadFile(path);

    HistoryStore store(path);
    const SavedTotal saved = store.RestoreLastTotal();
    EXPECT_FALSE(saved.found);
    EXPECT_EQ(saved.notice, Notice::kDamagedFile);
    store.OpenHistoryDatabase();
    EXPECT_FALSE(store.isOpen());
    store.RecordStep(Row('+', "1", "1", "1"), 0);
    EXPECT_EQ(store.SaveLastTotal(0, "1"), Notice::kNone);
    store.CloseHistoryDatabase();
    EXPECT_TRUE(ReadFile(path) == before) << "the file is left as it was";

    HistoryStore clearing(path);
    EXPECT_EQ(clearing.OpenHistoryDatabase(), Notice::kDamagedFile);
  }
}

TEST(HistoryStore, EmptySqliteFileAndTheOriginalProgramsFileAreOurs) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  WriteFile(path, "");  // zero bytes: SQLite's empty database
  HistoryStore store(path);
  EXPECT_FALSE(store.RestoreLastTotal().found);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_TRUE(store.isOpen());
  store.CloseHistoryDatabase();
  store.DeleteHistoryFile();

  // A file as the original program leaves it: rollback journal, no liveTotal.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db,
                         "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata "
                         "VARCHAR(55),re TEXT);"
                         "CREATE TABLE resul(pos INTEGER,resu TEXT);"
                         "INSERT INTO MyData VALUES(NULL,'+',0.05,'0.05','0.05');"
                         "INSERT INTO resul VALUES(0,'3');INSERT INTO resul VALUES(2,'0.05');",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_EQ(saved.notice, Notice::kNone);
  ASSERT_TRUE(saved.found);
  EXPECT_EQ(saved.pos, 2);
  EXPECT_EQ(saved.resu, "0.05");
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_EQ(Peek(path).Count("MyData"), 1);
}

TEST(HistoryStore, NoDatabaseAtAllIsToldOnce) {
  TempDir dir;
  WriteFile(dir / "plain", "x");
  // The parent of the file is a regular file: nothing can be created there.
  const std::string path = DatabasePath(dir / "plain");
  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_FALSE(saved.found);
  EXPECT_FALSE(saved.openFailed) << "no file: the field shows 0.00";
  EXPECT_EQ(saved.notice, Notice::kNone);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kHistoryUnavailable);
  EXPECT_FALSE(store.isOpen());
  // The program still calculates; every operation is a quiet no-op.
  store.RecordStep(Row('+', "1", "1", "1"), 0);
  store.RecordTotal(0, "0.00");
  store.AppendStep(Row('+', "1", "1", "1"));
  store.BeginTransaction();
  EXPECT_EQ(store.SaveLastTotal(0, "1"), Notice::kNone) << "no 保存数据不成功 on every save";
  // The clear-all command reopens: nothing new to tell.
  store.CloseHistoryDatabase();
  store.DeleteHistoryFile();
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_FALSE(store.isOpen());
}

TEST(HistoryStore, AFileThatCannotBeOpenedIsNotDeleted) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  // A directory named QorvelDb.db: sqlite3_open fails on it.
  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  WriteFile(path + "/keep-me", "x");
  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_TRUE(saved.openFailed) << "the result field stays empty";
  EXPECT_FALSE(saved.found);
  EXPECT_EQ(saved.notice, Notice::kHistoryUnavailable);
  EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone) << "told once";
  EXPECT_FALSE(store.isOpen());
  EXPECT_TRUE(Exists(path + "/keep-me"));
}

TEST(HistoryStore, PasteMessageAndZeroResultSurviveThroughLiveRow) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  store.RecordStep(Row('+', "5", "5", "5"), 0);
  store.RecordTotal(0, "0.00");  // zero result
  EXPECT_TRUE(store.inTransaction());
  EXPECT_EQ(Peek(path).Rows("SELECT pos,resu FROM liveTotal;"),
            (std::vector<std::vector<std::string>>{{"0", "0.00"}}));
}

// A real failing commit: the -wal file may not grow (RLIMIT_FSIZE, SIGXFSZ
// ignored), so the commit's write fails. Run in a child so the limit stays there.
int FailingCommitChild(const std::string& path, bool viaAppend) {
  HistoryStore store(path);
  if (store.OpenHistoryDatabase() != Notice::kNone) return 10;
  store.RecordStep(Row('+', "1", "1", "1"), 0);
  if (store.SaveLastTotal(0, "1") != Notice::kNone) return 11;
  store.BeginTransaction();
  struct stat st {};
  if (::stat((path + "-wal").c_str(), &st) != 0) return 12;
  struct stat db {};
  ::stat(path.c_str(), &db);
  std::signal(SIGXFSZ, SIG_IGN);
  const rlim_t limit = static_cast<rlim_t>(std::max(st.st_size, db.st_size));
  struct rlimit rl = {limit, limit};
  if (::setrlimit(RLIMIT_FSIZE, &rl) != 0) return 13;
  for (int i = 0; i < 50; ++i) {  // enough rows to overflow the WAL's current length
    if (viaAppend) {
      store.AppendStep(Row('+', "2", "2", "3"));
    } else {
      store.RecordStep(Row('+', "2", "2", "3"), 0);
    }
  }
  return store.SaveLastTotal(0, "3") == Notice::kSaveFailed ? 0 : 20;
}

TEST(HistoryStore, ARealCommitFailureIsReported) {
  for (const bool viaAppend : {false, true}) {
    SCOPED_TRACE(viaAppend ? "commit in SaveLastTotal" : "commit in RecordStep");
    TempDir dir;
    const std::string path = DatabasePath(dir.path());
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) ::_exit(FailingCommitChild(path, viaAppend));
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

}  // namespace
}  // namespace zantor::store

namespace zantor::store {
namespace {

// How many steps another program sees; it opens, reads and closes the file
// the way a second reader (a script, a backup) would. A forked copy of this
// process would share SQLite's own lock records and prove nothing.
int RowsSeenFromAnotherProcess(const std::string& path) {
  const std::string command = "sqlite3 '" + path + "' 'SELECT count(*) FROM MyData;'";
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return -1;
  int count = -1;
  if (std::fscanf(p, "%d", &count) != 1) count = -1;
  pclose(p);
  return count;
}

TEST(HistoryStoreLocks, AReaderInAnotherProcessNeverTakesTheLogAway) {
  TempDir dir;
  const std::string path = dir.path() + "/" + kDbFileName;
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  store.RecordStep(Row('+', "1", "1", "1"), 0);
  // The save looks at the file; that look must leave the connection's locks
  // alone, or the reader below could checkpoint and delete the log.
  ASSERT_EQ(store.SaveLastTotal(0, "1"), Notice::kNone);
  store.BeginTransaction();
  EXPECT_EQ(RowsSeenFromAnotherProcess(path), 1);
  EXPECT_TRUE(Exists(path + "-wal")) << "the log went while the program still writes to it";
  store.RecordStep(Row('+', "2", "2", "3"), 0);
  EXPECT_EQ(RowsSeenFromAnotherProcess(path), 2) << "a step after the save was lost";
  EXPECT_EQ(store.SaveLastTotal(0, "3"), Notice::kNone);
}

constexpr char kOurMyData[] =
    "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re TEXT);";
constexpr char kOurRows[] =
    "CREATE TABLE resul(pos INTEGER,resu TEXT);INSERT INTO resul VALUES(0,'6');"
    "INSERT INTO MyData(oP,fdata,mdata,re) VALUES('+',1,'1','1'),('+',2,'2','3'),('+',3,'3','6');";
constexpr char kOurCorrections[] =
    "CREATE TABLE corrections(ID INTEGER PRIMARY KEY,stepId INTEGER,oldOp CHAR(1),"
    "oldEntry TEXT,newOp CHAR(1),newEntry TEXT,time TEXT);";

void MakeFile(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

// Every history an earlier copy wrote is still ours, and so is one that
// holds notes on its steps; a file made to look like one is not: it is
// reported, never written, and cleared by moving it aside whole.
TEST(HistoryStore, OnlyOurTablesInOurShapesMakeAHistory) {
  const std::string ours = std::string(kOurMyData) + kOurRows;
  const std::vector<std::string> accepted = {
      ours,
      ours + "CREATE TABLE liveTotal(pos INTEGER,resu TEXT);",
      ours + kOurCorrections,
      ours + kOurCorrections + "CREATE TABLE notes(ID INTEGER PRIMARY KEY,note TEXT NOT NULL);",
      ours + "CREATE TABLE ledger(a);CREATE TRIGGER t AFTER INSERT ON ledger BEGIN SELECT 1; END;",
  };
  for (const std::string& sql : accepted) {
    SCOPED_TRACE(sql);
    TempDir dir;
    const std::string path = DatabasePath(dir.path());
    MakeFile(path, sql);
    HistoryStore store(path);
    const SavedTotal saved = store.RestoreLastTotal();
    EXPECT_EQ(saved.notice, Notice::kNone);
    EXPECT_EQ(saved.resu, "6");
    EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
    store.RecordStep(Row('+', "4", "4", "10"), 0);
    EXPECT_EQ(store.SaveLastTotal(0, "10"), Notice::kNone);
    EXPECT_EQ(Peek(path).Count("MyData"), 4);
  }

  const std::string plainMyData =
      "CREATE TABLE MyData(ID INTEGER,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re TEXT);";
  const std::vector<std::string> crafted = {
      // Without its key two rows can share an ID.
      plainMyData + kOurRows + "INSERT INTO MyData VALUES(2,'+',9,'9','12');",
      "CREATE TABLE MyData(ID TEXT PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re TEXT);" +
          std::string(kOurRows),
      "CREATE TABLE MyData(ID INTEGER PRIMARY KEY,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re "
      "TEXT) WITHOUT ROWID;",
      // A view whose trigger turns the trail's insert into a loss of rows.
      ours +
          "CREATE VIEW corrections AS SELECT 1 AS ID,1 AS stepId,'+' AS oldOp,'1' AS oldEntry,"
          "'+' AS newOp,'1' AS newEntry,'' AS time;CREATE TRIGGER t INSTEAD OF INSERT ON "
          "corrections BEGIN DELETE FROM MyData WHERE ID>=2; END;",
      ours +
          "CREATE TRIGGER t AFTER INSERT ON MyData BEGIN DELETE FROM MyData WHERE ID<NEW.ID; "
          "END;",
      ours +
          "CREATE TABLE liveTotal(pos INTEGER,resu TEXT);"
          "CREATE TRIGGER t BEFORE DELETE ON liveTotal BEGIN SELECT 1; END;",
      ours + "CREATE TABLE corrections(stepId INTEGER,note TEXT);",
      ours + "CREATE TABLE notes(ID INTEGER PRIMARY KEY,note TEXT,at TEXT);",
      ours + "CREATE TABLE notes(ID INTEGER,note TEXT);",
      std::string(kOurMyData) + "CREATE VIEW resul AS SELECT 0 AS pos,'6' AS resu;",
  };
  for (const std::string& sql : crafted) {
    SCOPED_TRACE(sql);
    TempDir dir;
    const std::string path = DatabasePath(dir.path());
    MakeFile(path, sql);
    const std::string before = ReadFile(path);
    HistoryStore store(path);
    EXPECT_EQ(store.RestoreLastTotal().notice, Notice::kDamagedFile);
    store.OpenHistoryDatabase();
    EXPECT_FALSE(store.isOpen());
    store.RecordStep(Row('+', "4", "4", "10"), 0);
    store.SaveLastTotal(0, "10");
    store.CloseHistoryDatabase();
    EXPECT_TRUE(ReadFile(path) == before) << "left byte for byte";
    const std::string aside = store.DeleteHistoryFile();
    ASSERT_FALSE(aside.empty());
    EXPECT_TRUE(ReadFile(aside) == before) << "moved aside whole";
  }
}

// A name beside the file may be taken, by the file itself or by one of its
// side files, even between our look and our rename: clearing never renames
// over it, and moves the file only with its own side files. A folder in the
// file's place is not ours to delete either.
TEST(HistoryStore, ClearingNeverRenamesOverAnotherFile) {
  TempDir dir;
  const std::string path = DatabasePath(dir.path());
  WriteFile(path, std::string(5000, 'z'));
  WriteFile(path + "-wal", "its log");
  // The -wal names the clear could give it, for this second and the next few.
  std::vector<std::string> others;
  const std::time_t now = std::time(nullptr);
  for (int s = 0; s < 4; ++s) {
    const std::time_t t = now + s;
    std::tm local{};
    ::localtime_r(&t, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M%S", &local);
    others.push_back(dir.path() + "/QorvelDb" + stamp + ".db-wal");
    WriteFile(others.back(), "another file " + std::to_string(s));
  }
  HistoryStore store(path);
  const std::string aside = store.DeleteHistoryFile();
  ASSERT_FALSE(aside.empty());
  EXPECT_EQ(ReadFile(aside + "-wal"), "its log");
  for (size_t s = 0; s < others.size(); ++s) {
    EXPECT_EQ(ReadFile(others[s]), "another file " + std::to_string(s));
  }

  ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
  WriteFile(path + "/keep-me", "x");
  const std::string folder = store.DeleteHistoryFile();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(ReadFile(folder + "/keep-me"), "x");
}

}  // namespace
}  // namespace zantor::store
