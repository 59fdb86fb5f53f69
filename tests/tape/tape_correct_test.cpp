// zantor-tape --db FILE --correct ID [OP] ENTRY and --corrections: what they
// print, what they refuse, and that a refusal or a kill changes nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/store/store_test_util.h"
#include "tests/support/tape_process.h"

namespace zantor::tape {
namespace {

using testsupport::Rows;
using testsupport::TapeRun;
using zantor::testing::Peek;
using zantor::testing::ReadFile;
using zantor::testing::TempDir;
using zantor::testing::WriteFile;

pid_t Spawn(const std::vector<std::string>& args, int in, int out, int err) {
  return testsupport::SpawnTape(ZANTOR_TAPE_PATH, args, in, out, err);
}

TapeRun Tape(const TempDir& dir, const std::vector<std::string>& args,
             const std::string& input = "") {
  return testsupport::RunTape(ZANTOR_TAPE_PATH, dir.path(), args, input);
}

// Lines [from, from + count) of `text`, each with its line feed.
std::string Lines(const std::string& text, size_t from, size_t count) {
  std::istringstream in(text);
  std::string line;
  std::string out;
  for (size_t i = 0; std::getline(in, line); ++i) {
    if (i >= from && i < from + count) out += line + "\n";
  }
  return out;
}

Rows Stored(const std::string& db) {
  return Peek(db).Rows("SELECT ID,oP,mdata,re FROM MyData ORDER BY ID;");
}

// Rows of the trail, or -1 while the file has no trail table.
long TrailRows(const std::string& path) {
  Peek peek(path);
  if (peek.Scalar("SELECT count(*) FROM sqlite_master WHERE name='corrections';") != "1") return -1;
  return std::stol(peek.Scalar("SELECT count(*) FROM corrections;"));
}

TEST(TapeCorrect, PrintsTheRowsAsIfTypedRight) {
  TempDir dir;
  const std::string db = dir / "h.db";
  const std::string typed = "1234\n5\n* 300\n- 99\nzero\n+ 7\n";
  ASSERT_EQ(Tape(dir, {"--db", db}, typed).status, 0);

  struct Case {
    std::vector<std::string> args;
    std::string meant;  // the tape as it should have been typed
    size_t rows;        // rows rewritten
  };
  const Case cases[] = {
      {{"2", "123"}, "1234\nnormal\n123\nfast\n* 300\n- 99\nzero\n+ 7\n", 3},
      {{"2", "-", "5"}, "1234\nnormal\n- 5\nfast\n* 300\n- 99\nzero\n+ 7\n", 3},
      {{"2", "-5"}, "1234\nnormal\n+ -5\nfast\n* 300\n- 99\nzero\n+ 7\n", 3},
      {{"3", "x", "2.5"}, "1234\n5\nnormal\n* 2.5\nfast\n- 99\nzero\n+ 7\n", 2},
      {{"3", "\xC3\x97", "0.1"}, "1234\n5\nnormal\n* 0.1\nfast\n- 99\nzero\n+ 7\n", 2},
      {{"5", "*", "3"}, "1234\n5\n* 300\n- 99\nzero\nnormal\n* 3\n", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1]);
    const std::string copy = dir / "c.db";
    std::filesystem::copy_file(db, copy, std::filesystem::copy_options::overwrite_existing);
    std::vector<std::string> args = {"--db", copy, "--correct"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const TapeRun r = Tape(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const long first = std::stol(c.args[0]);
    const TapeRun meant = Tape(dir, {}, c.meant);
    EXPECT_EQ(r.out, Lines(meant.out, static_cast<size_t>(first - 1), c.rows));
    // What it printed is what the file holds.
    const Rows stored = Stored(copy);
    std::string fromFile;
    for (size_t i = 0; i < c.rows; ++i) {
      const auto& row = stored[static_cast<size_t>(first - 1) + i];
      std::string bare = row[2];
      std::erase(bare, ',');
      fromFile += row[1] + "\t" + bare + "\t" + row[2] + "\t" + row[3] + "\n";
    }
    EXPECT_EQ(r.out, fromFile);
  }
}

TEST(TapeCorrect, ListsTheTrail) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, "123456\n5\n").status, 0);
  TapeRun r = Tape(dir, {"--db", db, "--corrections"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "") << "nothing corrected yet";
  ASSERT_EQ(Tape(dir, {"--db", db, "--correct", "1", "1324"}).status, 0);
  ASSERT_EQ(Tape(dir, {"--db", db, "--correct", "2", "*", "-2"}).status, 0);
  r = Tape(dir, {"--db", db, "--corrections"});
  EXPECT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string first;
  std::string second;
  std::getline(lines, first);
  std::getline(lines, second);
  ASSERT_GE(first.size(), 19u);
  EXPECT_EQ(first.substr(0, first.size() - 19), "1\t+\t1,234.56\t+\t1,324\t");
  EXPECT_EQ(second.substr(0, second.size() - 19), "2\t+\t0.05\t*\t-2\t");
  EXPECT_EQ(Peek(db).Rows("SELECT pos,resu FROM resul;"), (Rows{{"0", "-2,648"}}))
      << "the saved total follows the corrected run";
}

TEST(TapeCorrect, RefusalsChangeNothing) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, "100\n200\n").status, 0);
  const Rows rows = Stored(db);
  WriteFile(dir / "garbage.db", std::string(2048, 'g'));

  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const std::string file = "zantor-tape: " + db + ": ";
  const Case cases[] = {
      {{"--db", db, "--correct", "3", "1"}, 1, file + "there is no step 3; nothing was changed\n"},
      {{"--db", db, "--correct", "-1", "1"},
       1,
       file + "there is no step -1; nothing was changed\n"},
      {{"--db", db, "--correct", "1", "1.2.3"}, 1, "zantor-tape: 小数点太多，请检查！\n"},
      {{"--db", db, "--correct", "1", "-"}, 1, "zantor-tape: 负号位置不正确，请检查！\n"},
      {{"--db", db, "--correct", "1", "+", "1,000"},
       1,
       "zantor-tape: 只能输入数字、小数点和负号，请检查！\n"},
      {{"--db", db, "--correct", "2", std::string(41, '9')},
       1,
       "zantor-tape: 数据超过40位无法计算，\n  如有需要请联系作者。\n"},
      {{"--db", dir / "none.db", "--correct", "1", "1"},
       1,
       "zantor-tape: " + dir / "none.db" + ": cannot open the history file\n"},
      {{"--db", dir / "garbage.db", "--correct", "1", "1"},
       1,
       "zantor-tape: " + dir / "garbage.db" +
           ": not a Zantor history file; it is left untouched\n"},
      {{"--db", dir / "none.db", "--corrections"},
       1,
       "zantor-tape: " + dir / "none.db" + ": cannot open the history file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[2] + " " + c.args.back());
    const TapeRun r = Tape(dir, c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Stored(db), rows);
  }
  EXPECT_FALSE(testing::Exists(dir / "none.db"));
  EXPECT_EQ(TrailRows(db), -1);

  // Copies of the history made to look like one: refused as not ours, and
  // left byte for byte (the trail of another shape used to fail every
  // correction as "could not be saved"; the view's trigger, or MyData
  // without its key, made a correction wrong or cost rows).
  const std::string history = ReadFile(db);
  for (const char* craft : {
           "CREATE TABLE corrections(stepId INTEGER,note TEXT);",
           "CREATE VIEW corrections AS SELECT 1 AS ID,1 AS stepId,'+' AS oldOp,'1' AS oldEntry,"
           "'+' AS newOp,'1' AS newEntry,'' AS time;CREATE TRIGGER t INSTEAD OF INSERT ON "
           "corrections BEGIN DELETE FROM MyData; END;",
           "CREATE TABLE m(ID INTEGER,oP CHAR(1),fdata REAL,mdata VARCHAR(55),re TEXT);"
           "INSERT INTO m SELECT * FROM MyData;INSERT INTO m SELECT * FROM MyData;"
           "DROP TABLE MyData;ALTER TABLE m RENAME TO MyData;",
       }) {
    SCOPED_TRACE(craft);
    const std::string crafted = dir / "crafted.db";
    std::filesystem::remove(crafted);
    WriteFile(crafted, history);
    ASSERT_EQ(Peek(crafted).Exec(craft), SQLITE_OK);
    const std::string bytes = ReadFile(crafted);
    const TapeRun r = Tape(dir, {"--db", crafted, "--correct", "1", "5"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "zantor-tape: " + crafted + ": not a Zantor history file; it is left untouched\n");
    EXPECT_TRUE(ReadFile(crafted) == bytes);
  }

  // Usage errors.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--correct", "1", "1"},
           {"--db", db, "--correct", "one", "1"},
           {"--db", db, "--correct", "1"},
           {"--db", db, "--keep", "--correct", "1", "1"},
           {"--db", db, "--correct", "1", "1", "--corrections"},
       }) {
    const TapeRun r = Tape(dir, args);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_EQ(r.err.rfind("usage: zantor-tape", 0), 0u);
  }
  EXPECT_EQ(Stored(db), rows);
}

void RefusedWhileOpenElsewhere(bool rollback);

// In WAL mode, and in the rollback journal a file falls back to when WAL
// cannot be had (here: another reader holds it while the tape opens).
TEST(TapeCorrect, RefusedWhileTheHistoryIsOpenElsewhere) {
  for (const bool rollback : {false, true}) {
    SCOPED_TRACE(rollback ? "rollback journal" : "WAL");
    RefusedWhileOpenElsewhere(rollback);
  }
}

void RefusedWhileOpenElsewhere(bool rollback) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, "100\n").status, 0);
  std::optional<Peek> reader;
  if (rollback) {
    ASSERT_EQ(Peek(db).Exec("PRAGMA journal_mode=DELETE;"), SQLITE_OK);
    reader.emplace(db);
    ASSERT_EQ(reader->Exec("BEGIN;SELECT count(*) FROM MyData;"), SQLITE_OK);
  }
  // A tape recording into the same file, as a running window would hold it.
  // Its output is a terminal, so its row is printed once it is recorded.
  int in[2];
  ASSERT_EQ(::pipe2(in, O_CLOEXEC), 0);
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  ::tcgetattr(slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(slave, TCSANOW, &raw);
  const pid_t holder = Spawn({"--db", db, "--keep", "--commit-every", "1"}, in[0], slave, slave);
  ::close(in[0]);
  ::close(slave);
  if (rollback) {
    // Past the tape's 1 s wait for WAL, within its wait for its first commit.
    std::this_thread::sleep_for(std::chrono::milliseconds(1400));
    reader.reset();
  }
  ASSERT_EQ(::write(in[1], "200\n", 4), 4);
  std::string printed;
  char buffer[256];
  while (printed.find('\n') == std::string::npos) {
    pollfd p{master, POLLIN, 0};
    ASSERT_GT(::poll(&p, 1, 30000), 0) << "the tape printed nothing";
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    printed.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(printed, "+\t2.00\t2.00\t3\n");
  EXPECT_EQ(Peek(db).Scalar("PRAGMA journal_mode;"), rollback ? "delete" : "wal");
  const Rows rows = Stored(db);
  ASSERT_EQ(rows.size(), 2u);
  TapeRun r = Tape(dir, {"--db", db, "--correct", "1", "5"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zantor-tape: " + db +
                       ": the history is in use by a running Zantor window (or another program); "
                       "close it first; nothing was changed\n");
  EXPECT_EQ(Stored(db), rows);
  // The trail can still be read.
  EXPECT_EQ(Tape(dir, {"--db", db, "--corrections"}).status, 0);

  ::close(in[1]);
  int status = 0;
  ::waitpid(holder, &status, 0);
  ::close(master);
  r = Tape(dir, {"--db", db, "--correct", "1", "5"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "+\t5\t5\t5\n+\t2.00\t2.00\t7\n");
}

// Killed after a random number of printed lines: a line is printed only
// once the correction is in the file, and the file is never a mix.
TEST(TapeCorrect, KilledAfterPrintedLines) {
  TempDir dir;
  const std::string db = dir / "h.db";
  std::string input;
  for (long i = 0; i < 20000; ++i) input += std::to_string(1 + (i * 7919) % 100000) + "\n";
  ASSERT_EQ(Tape(dir, {"--db", db}, input).status, 0);
  const Rows before = Stored(db);
  const std::string done = dir / "done.db";
  std::filesystem::copy_file(db, done);
  ASSERT_EQ(Tape(dir, {"--db", done, "--correct", "1", "9"}).status, 0);
  const Rows after = Stored(done);

  const unsigned seed = std::random_device{}();
  std::printf("seed %u\n", seed);
  std::mt19937 rng(seed);
  int sawBefore = 0;
  int sawAfter = 0;
  for (int round = 0; round < 12; ++round) {
    const long lines = std::uniform_int_distribution<long>(0, 20000)(rng);
    SCOPED_TRACE("round " + std::to_string(round) + ": killed after " + std::to_string(lines) +
                 " lines, seed " + std::to_string(seed));
    const std::string path = dir / "k.db";
    std::filesystem::copy_file(db, path, std::filesystem::copy_options::overwrite_existing);
    int out[2];
    ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t pid = Spawn({"--db", path, "--correct", "1", "9"}, null, out[1], null);
    ::close(out[1]);
    ::close(null);
    long seen = 0;
    char buffer[4096];
    while (seen < lines) {
      const ssize_t n = ::read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      for (ssize_t i = 0; i < n; ++i) seen += buffer[i] == '\n' ? 1 : 0;
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(out[0]);
    EXPECT_EQ(Peek(path).Scalar("PRAGMA integrity_check;"), "ok");
    const Rows now = Stored(path);
    const long trail = TrailRows(path);
    if (now == before) {
      EXPECT_EQ(trail, -1);
      EXPECT_EQ(seen, 0) << "lines were printed for a correction that is not in the file";
      ++sawBefore;
    } else {
      EXPECT_TRUE(now == after) << "a mix of before and after";
      EXPECT_EQ(trail, 1);
      ++sawAfter;
    }
  }
  std::printf("%d rounds left the history as before, %d as after\n", sawBefore, sawAfter);
}

TEST(TapeCorrect, TapeAndNotesOfAHistory) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, "1234\n5\n* 2\nzero\n- 7\n").status, 0);
  ASSERT_EQ(Tape(dir, {"--db", db, "--note", "2", "发票 3"}).status, 0);
  ASSERT_EQ(Tape(dir, {"--db", db, "--note", "4", "退款"}).status, 0);
  const std::string whole =
      "1\t1\t＋\t12.34\t12.34\t\n"
      "2\t2\t＋\t0.05\t12.39\t发票 3\n"
      "3\t3\t×\t0.02\t0.2478\t\n"
      "# 共 3 笔  合计 0.2478\n"
      "4\t1\t－\t0.07\t-0.07\t退款\n"
      "# 共 1 笔  合计 -0.07\n";
  TapeRun r = Tape(dir, {"--db", db, "--tape"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, whole);
  r = Tape(dir, {"--db", db, "--tape", "--last", "3"});
  EXPECT_EQ(r.out, Lines(whole, 3, 3));
  // Removed with an empty text; the step IDs are those of MyData.
  ASSERT_EQ(Tape(dir, {"--db", db, "--note", "2", ""}).status, 0);
  EXPECT_EQ(Lines(Tape(dir, {"--db", db, "--tape"}).out, 1, 1), "2\t2\t＋\t0.05\t12.39\t\n");

  const std::string file = "zantor-tape: " + db + ": ";
  r = Tape(dir, {"--db", db, "--note", "9", "x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, file + "there is no step 9; nothing was changed\n");
  r = Tape(dir, {"--db", db, "--note", "1", std::string(201, 'x')});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zantor-tape: a note holds at most 200 characters; nothing was changed\n");
  WriteFile(dir / "garbage.db", std::string(2048, 'g'));
  for (const char* option : {"--tape", "--note"}) {
    std::vector<std::string> args = {"--db", dir / "garbage.db", option};
    if (std::string(option) == "--note") args.insert(args.end(), {"1", "x"});
    r = Tape(dir, args);
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_EQ(r.err, "zantor-tape: " + dir / "garbage.db" +
                         ": not a Zantor history file; it is left untouched\n");
  }
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--tape"},
                                             {"--db", db, "--tape", "--note", "1", "x"},
                                             {"--db", db, "--last", "2"},
                                             {"--db", db, "--tape", "--last", "0"},
                                             {"--db", db, "--note", "1"}}) {
    EXPECT_EQ(Tape(dir, args).status, 2) << args.back();
  }
}

// A trail row from a crafted file never reaches the terminal raw: escape
// sequences, tabs and line feeds come out as \xHH, a NUL does not cut the
// text, printable UTF-8 passes.
TEST(TapeCorrect, TheTrailIsPrintedAsText) {
  TempDir dir;
  const std::string db = dir / "h.db";
  ASSERT_EQ(Tape(dir, {"--db", db}, "100\n").status, 0);
  ASSERT_EQ(Tape(dir, {"--db", db, "--correct", "1", "2"}).status, 0);
  ASSERT_EQ(Peek(db).Exec("UPDATE corrections SET oldEntry=char(27)||'[2J'||char(0)||'x',"
                          "newOp=char(9),newEntry='a\\b'||char(10)||char(155)||'c',time='中文';"),
            SQLITE_OK);
  const TapeRun r = Tape(dir, {"--db", db, "--corrections"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "1\t+\t\\x1b[2J\\x00x\t\\x09\ta\\\\b\\x0a\\xc2\\x9bc\t中文\n");
  // A crafted note reaches the tape the same way.
  ASSERT_EQ(Peek(db).Exec("CREATE TABLE notes(ID INTEGER PRIMARY KEY, note TEXT NOT NULL);"
                          "INSERT INTO notes VALUES(1, char(27)||']0;x'||char(7));"),
            SQLITE_OK);
  EXPECT_EQ(Tape(dir, {"--db", db, "--tape"}).out,
            "1\t1\t＋\t2\t2\t\\x1b]0;x\\x07\n# 共 1 笔  合计 2\n");
}

// A keep start 0.3 s into a long correction (two processes, as a window
// started while zantor-tape corrects): it may read the total as it was, but
// writes nothing, says its steps are not recorded, and the correction's
// history and total stand.
TEST(TapeCorrect, AKeepStartDuringACorrectionWritesNothing) {
  TempDir dir;
  const std::string db = dir / "h.db";
  constexpr int kRows = 850000;
  ASSERT_EQ(Tape(dir, {"--db", db}, "").status, 0);
  ASSERT_EQ(Peek(db).Exec("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i<" +
                          std::to_string(kRows) +
                          ") INSERT INTO MyData SELECT i,'+',1,'1',printf('%,d',i) FROM c;"
                          "DELETE FROM resul;INSERT INTO resul VALUES(0,'850,000');"),
            SQLITE_OK);
  const int out = ::open((dir / "correct.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int null = ::open("/dev/null", O_RDONLY);
  const pid_t correction = Spawn({"--db", db, "--correct", "1", "5"}, null, out, out);
  ::close(out);
  ::close(null);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const TapeRun keep = Tape(dir, {"--normal", "--db", db, "--keep"}, "+ 7\n");
  int status = 0;
  ::waitpid(correction, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(dir / "correct.txt");
  EXPECT_EQ(keep.status, 1);
  EXPECT_EQ(keep.out, "+\t7\t7\t850,007\n") << "it read the total while the correction worked";
  EXPECT_NE(keep.err.find("steps are not recorded"), std::string::npos) << keep.err;
  Peek after(db);
  EXPECT_EQ(after.Count("MyData"), kRows);
  EXPECT_EQ(after.Scalar("SELECT count(*) FROM MyData WHERE mdata='7';"), "0");
  EXPECT_EQ(after.Rows("SELECT pos,resu FROM resul;"), (Rows{{"0", "850,004"}}));
  EXPECT_EQ(after.Count("liveTotal"), 0);
}

}  // namespace
}  // namespace zantor::tape
