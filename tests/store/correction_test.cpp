// Correcting a past step in a history file. Each history is recorded as the
// window records it; what a correction leaves in the file is compared with the
// history the user would have recorded had the right entry been typed in the
// first place.
#include "store/correction.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/calc_state.h"
#include "engine/step.h"
#include "store/history_store.h"
#include "tests/store/store_test_util.h"

namespace zantor::store {
namespace {

using testing::Peek;
using testing::TempDir;
using Rows = std::vector<std::vector<std::string>>;

struct Action {
  enum Kind { kStep, kZero, kSave } kind = kStep;
  char op = '+';
  std::string entry;
  char mode = 'k';
};

Action Step(char op, std::string entry, char mode = 'k') {
  return {Action::kStep, op, std::move(entry), mode};
}
const Action kZero{Action::kZero, '+', {}, 'k'};
const Action kSave{Action::kSave, '+', {}, 'k'};  // the search dialog opened and closed

// Records `actions` into a new file at `path` as the window does; returns the
// rows as the file holds them.
void Record(const std::string& path, const std::vector<Action>& actions) {
  HistoryStore store(path);
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  engine::CalcState state;
  int pos = 0;
  std::string shown = "0.00";
  for (const Action& a : actions) {
    switch (a.kind) {
      case Action::kZero:
        engine::ZeroResult(state);
        pos = 0;
        shown = "0.00";
        store.RecordTotal(0, shown);
        break;
      case Action::kSave:
        store.SaveLastTotal(pos, shown);
        store.BeginTransaction();
        break;
      case Action::kStep: {
        state.pendingOp = a.op;
        state.entryMode = a.mode;
        const engine::StepResult r = engine::EvaluateStep(state, a.entry);
        ASSERT_EQ(r.status, engine::StepResult::Status::kDone) << a.entry;
        pos = state.accScale;
        shown = r.row.re;
        store.RecordStep(r.row, pos);
        break;
      }
    }
  }
}

// The file's rows; fdata as a number (it is stored as REAL).
Rows FileRows(const std::string& path) {
  Rows rows = Peek(path).Rows("SELECT ID,oP,fdata,mdata,re FROM MyData ORDER BY ID;");
  for (auto& r : rows) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", std::strtod(r[2].c_str(), nullptr));
    r[2] = buffer;
  }
  return rows;
}

// Rows of the trail, or -1 while the file has no trail table.
long TrailRows(const std::string& path) {
  Peek peek(path);
  if (peek.Scalar("SELECT count(*) FROM sqlite_master WHERE name='corrections';") != "1") return -1;
  return std::stol(peek.Scalar("SELECT count(*) FROM corrections;"));
}

// The current total a keep start would take.
std::string KeptTotal(const std::string& path) {
  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  return saved.found ? std::to_string(saved.pos) + " " + saved.resu : "none";
}

struct Case {
  const char* name;
  std::vector<Action> typed;  // with the mistake
  long long id;               // the mistyped row
  CorrectionRequest request;
  std::vector<Action> meant;  // as it should have been typed
  bool totalFollows;          // the current total continues the corrected run
};

TEST(Correction, RecomputesTheRunAsIfTypedRight) {
  const std::vector<Case> cases = {
      {"first run, a fast entry",
       {Step('+', "1234"), Step('+', "5"), Step('*', "300"), kZero, Step('+', "1"), Step('-', "2")},
       1,
       {1, 0, "13.24"},
       {Step('+', "13.24", 'z'), Step('+', "5"), Step('*', "300"), kZero, Step('+', "1"),
        Step('-', "2")},
       false},
      {"middle run, operator only",
       {Step('+', "100"), kZero, Step('+', "700"), Step('+', "50"), Step('*', "200"), kSave, kZero,
        Step('+', "9")},
       3,
       {3, '-', "0.50"},
       {Step('+', "100"), kZero, Step('+', "700"), Step('-', "0.50", 'z'), Step('*', "200"), kSave,
        kZero, Step('+', "9")},
       false},
      {"last run, across a save, normal mode",
       {Step('+', "5"), kZero, Step('+', "12.5", 'z'), Step('+', "3.75", 'z'), kSave,
        Step('*', "2", 'z'), Step('-', "1", 'z')},
       2,
       {2, 0, "-0012.5"},
       {Step('+', "5"), kZero, Step('+', "-12.5", 'z'), Step('+', "3.75", 'z'), kSave,
        Step('*', "2", 'z'), Step('-', "1", 'z')},
       true},
      {"the last row",
       {Step('+', "5"), Step('+', "6")},
       2,
       {2, '*', "-3"},
       {Step('+', "5"), Step('*', "-3", 'z')},
       true},
      {"last run, then a zeroing: the total stays zero",
       {Step('+', "5"), Step('+', "6"), kZero},
       1,
       {1, 0, "9"},
       {Step('+', "9", 'z'), Step('+', "6"), kZero},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::string path = dir / "QorvelDb.db";
    const std::string meantPath = dir / "meant.db";
    Record(path, c.typed);
    Record(meantPath, c.meant);
    const std::string totalBefore = KeptTotal(path);

    const CorrectionOutcome out = CorrectStepInFile(path, c.request);
    ASSERT_EQ(out.status, CorrectionStatus::kDone);
    EXPECT_EQ(out.firstId, c.id);
    EXPECT_EQ(FileRows(path), FileRows(meantPath));
    EXPECT_EQ(out.totalChanged, c.totalFollows);
    if (c.totalFollows) {
      EXPECT_EQ(KeptTotal(path), KeptTotal(meantPath));
      EXPECT_EQ(std::to_string(out.accScale) + " " + out.total, KeptTotal(meantPath));
    } else {
      EXPECT_EQ(KeptTotal(path), totalBefore);
    }
    EXPECT_EQ(TrailRows(path), 1);
    // The search's "<", ">" and sorts compare fdata as a number.
    EXPECT_EQ(Peek(path).Scalar("SELECT count(*) FROM MyData WHERE typeof(fdata)<>'real';"), "0");
  }
}

TEST(Correction, WritesOnlyTheRowsThatChange) {
  TempDir dir;
  const std::string path = dir / "QorvelDb.db";
  // Row 3 multiplies by zero: correcting row 1 changes rows 1 and 2 only.
  Record(path, {Step('+', "4", 'z'), Step('+', "1", 'z'), Step('*', "0", 'z'), Step('+', "2", 'z'),
                kZero, Step('+', "8", 'z')});
  const Rows before = FileRows(path);
  const CorrectionOutcome out = CorrectStepInFile(path, {1, 0, "5"});
  ASSERT_EQ(out.status, CorrectionStatus::kDone);
  EXPECT_EQ(out.firstId, 1);
  EXPECT_EQ(out.lastId, 2);
  const Rows after = FileRows(path);
  EXPECT_EQ(after[1][4], "6");
  EXPECT_EQ(Rows(after.begin() + 2, after.end()), Rows(before.begin() + 2, before.end()));
  EXPECT_FALSE(out.totalChanged);
}

// Long runs are read and rewritten in slices of a few thousand rows: a run
// that crosses slice boundaries and ends inside a later slice, with every
// written row reported once, in order, while the transaction is open.
TEST(Correction, ARunLongerThanASliceEndsWhereItEnds) {
  TempDir dir;
  const std::string path = dir / "QorvelDb.db";
  const std::string meantPath = dir / "meant.db";
  std::vector<Action> typed = {Step('+', "7")};
  std::vector<Action> meant = {Step('+', "70.5", 'z')};
  for (int i = 1; i < 20000; ++i) {
    const Action a = Step(i % 7 == 3 ? '-' : '+', std::to_string((i * 37) % 1000));
    typed.push_back(a);
    meant.push_back(a);
  }
  for (const Action& a : {kZero, Step('+', "3"), Step('+', "4")}) {
    typed.push_back(a);
    meant.push_back(a);
  }
  Record(path, typed);
  Record(meantPath, meant);

  std::vector<long long> reported;
  const CorrectionOutcome out =
      CorrectStepInFile(path, {1, 0, "70.5"}, {}, [&](long long id) { reported.push_back(id); });
  ASSERT_EQ(out.status, CorrectionStatus::kDone);
  EXPECT_EQ(out.firstId, 1);
  EXPECT_EQ(out.lastId, 20000);
  EXPECT_FALSE(out.totalChanged);
  EXPECT_EQ(FileRows(path), FileRows(meantPath));
  ASSERT_EQ(reported.size(), 20000u);
  for (size_t i = 0; i < reported.size(); ++i) {
    ASSERT_EQ(reported[i], static_cast<long long>(i) + 1);
  }
}

TEST(Correction, RefusalsChangeNothing) {
  TempDir dir;
  const std::string path = dir / "QorvelDb.db";
  Record(path, {Step('+', "100"), Step('+', "200"), kSave});
  Peek(path).Exec("UPDATE MyData SET re='9' WHERE ID=2;");  // a total that does not follow
  const Rows rows = FileRows(path);
  const std::string total = KeptTotal(path);

  struct Refusal {
    const char* name;
    CorrectionRequest request;
    CorrectionStatus status;
    engine::StepMessage message;
  };
  const Refusal refusals[] = {
      {"unknown ID", {3, 0, "1"}, CorrectionStatus::kUnknownId, engine::StepMessage::kNone},
      {"ID 0", {0, 0, "1"}, CorrectionStatus::kUnknownId, engine::StepMessage::kNone},
      {"misplaced minus",
       {1, 0, "1-"},
       CorrectionStatus::kEntryRefused,
       engine::StepMessage::kMinusPlacement},
      {"too long",
       {1, 0, std::string(41, '2')},
       CorrectionStatus::kEntryRefused,
       engine::StepMessage::kTooLong},
      {"grouped",
       {1, 0, "1,000"},
       CorrectionStatus::kEntryRefused,
       engine::StepMessage::kForeignCharacter},
      {"does not follow", {2, 0, "3"}, CorrectionStatus::kNoBase, engine::StepMessage::kNone},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    const CorrectionOutcome out = CorrectStepInFile(path, r.request);
    EXPECT_EQ(out.status, r.status);
    EXPECT_EQ(out.message, r.message);
    EXPECT_EQ(FileRows(path), rows);
    EXPECT_EQ(KeptTotal(path), total);
    EXPECT_EQ(TrailRows(path), -1) << "no table before the first correction";
  }
  EXPECT_EQ(CorrectStepInFile(dir / "missing.db", {1, 0, "1"}).status,
            CorrectionStatus::kUnavailable);
  EXPECT_FALSE(testing::Exists(dir / "missing.db"));
  testing::WriteFile(dir / "garbage.db", std::string(4096, 'x'));
  EXPECT_EQ(CorrectStepInFile(dir / "garbage.db", {1, 0, "1"}).status,
            CorrectionStatus::kNotHistory);
  sqlite3* foreign = nullptr;
  sqlite3_open((dir / "foreign.db").c_str(), &foreign);
  sqlite3_exec(foreign, "CREATE TABLE t(x);", nullptr, nullptr, nullptr);
  sqlite3_close(foreign);
  EXPECT_EQ(CorrectStepInFile(dir / "foreign.db", {1, 0, "1"}).status,
            CorrectionStatus::kNotHistory);
}

// The command line takes only a file the window would take: one the window
// calls damaged is neither corrected nor listed, and stays as it was.
TEST(Correction, AFileTheWindowCallsDamagedIsRefused) {
  struct Damage {
    const char* name;
    const char* sql;
  };
  const Damage damages[] = {
      {"live table of another shape",
       "DROP TABLE liveTotal; CREATE TABLE liveTotal(resu TEXT,pos INTEGER,extra);"},
      {"live view", "DROP TABLE liveTotal; CREATE VIEW liveTotal AS SELECT 1 AS pos,'1' AS resu;"},
      {"saved scale its text cannot carry", "UPDATE liveTotal SET pos=7,resu='3.00';"},
      {"negative saved scale", "UPDATE liveTotal SET pos=-1;"},
  };
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    TempDir dir;
    const std::string path = dir / "QorvelDb.db";
    Record(path, {Step('+', "100"), Step('+', "200")});
    Peek(path).Exec(d.sql);
    {
      HistoryStore window(path);
      ASSERT_EQ(window.RestoreLastTotal().notice, Notice::kDamagedFile);
    }
    const Rows rows = FileRows(path);
    EXPECT_EQ(CorrectStepInFile(path, {1, 0, "1"}).status, CorrectionStatus::kNotHistory);
    CorrectionStatus status = CorrectionStatus::kDone;
    EXPECT_TRUE(ListCorrectionsInFile(path, &status).empty());
    EXPECT_EQ(status, CorrectionStatus::kNotHistory);
    EXPECT_EQ(FileRows(path), rows);
    EXPECT_EQ(TrailRows(path), -1);
  }
}

TEST(Correction, TrailAndAFileThatHoldsItStaysAHistory) {
  TempDir dir;
  const std::string path = dir / "QorvelDb.db";
  Record(path, {Step('+', "123456"), Step('-', "5"), kSave});
  ASSERT_EQ(CorrectStepInFile(path, {1, 0, "1324"}).status, CorrectionStatus::kDone);
  ASSERT_EQ(CorrectStepInFile(path, {2, '*', "2"}).status, CorrectionStatus::kDone);

  CorrectionStatus status;
  const std::vector<CorrectionEntry> trail = ListCorrectionsInFile(path, &status);
  ASSERT_EQ(status, CorrectionStatus::kDone);
  ASSERT_EQ(trail.size(), 2u);
  EXPECT_EQ(trail[0].stepId, 1);
  EXPECT_EQ(trail[0].oldOp, '+');
  EXPECT_EQ(trail[0].oldEntry, "1,234.56");
  EXPECT_EQ(trail[0].newOp, '+');
  EXPECT_EQ(trail[0].newEntry, "1,324");
  EXPECT_EQ(trail[1].stepId, 2);
  EXPECT_EQ(trail[1].oldOp, '-');
  EXPECT_EQ(trail[1].oldEntry, "0.05");
  EXPECT_EQ(trail[1].newOp, '*');
  EXPECT_EQ(trail[1].newEntry, "2");
  EXPECT_EQ(trail[0].time.size(), 19u);  // YYYY-MM-DD HH:MM:SS
  EXPECT_EQ(trail[0].time[4], '-');
  EXPECT_EQ(trail[0].time[13], ':');
  EXPECT_EQ(FileRows(path).back()[4], "2,648");

  // The history tables keep their exact shape.
  Peek peek(path);
  testing::ExpectHistoryTableShapes(peek);

  // The keep start and the open accept it, and steps go on from the new total.
  HistoryStore store(path);
  const SavedTotal saved = store.RestoreLastTotal();
  EXPECT_EQ(saved.notice, Notice::kNone);
  EXPECT_TRUE(saved.found);
  EXPECT_EQ(saved.resu, "2,648");
  ASSERT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  EXPECT_EQ(store.Corrections().size(), 2u);
  engine::CalcState state;
  engine::RestoreAccumulator(state, saved.pos, saved.resu);
  const engine::StepResult r = engine::EvaluateStep(state, "100");
  store.RecordStep(r.row, state.accScale);
  EXPECT_EQ(store.SaveLastTotal(state.accScale, r.row.re), Notice::kNone);
  store.CloseHistoryDatabase();
  EXPECT_EQ(FileRows(path).back()[4], "2,649");
}

TEST(Correction, WindowPathAndAHistoryInUse) {
  TempDir dir;
  const std::string path = dir / "QorvelDb.db";
  Record(path, {Step('+', "100"), Step('+', "250")});
  HistoryStore window(path);
  window.RestoreLastTotal();
  ASSERT_EQ(window.OpenHistoryDatabase(), Notice::kNone);

  // The command line finds the file in use and leaves it alone.
  const Rows rows = FileRows(path);
  EXPECT_EQ(CorrectStepInFile(path, {1, 0, "2"}).status, CorrectionStatus::kInUse);
  EXPECT_EQ(FileRows(path), rows);

  // The window corrects through its own connection, between steps (a
  // transaction open) and with the search dialog's save done.
  CorrectionOutcome out = window.Correct({2, 0, "3"});
  ASSERT_EQ(out.status, CorrectionStatus::kDone);
  EXPECT_TRUE(out.totalChanged);
  EXPECT_EQ(out.total, "4");
  EXPECT_TRUE(window.inTransaction());
  window.SaveLastTotal(0, "4");
  out = window.Correct({1, 0, "2"});
  ASSERT_EQ(out.status, CorrectionStatus::kDone);
  EXPECT_EQ(out.total, "5");
  EXPECT_EQ(out.accScale, 0);
  EXPECT_EQ(KeptTotal(path), "0 5");
  window.BeginTransaction();
  window.CloseHistoryDatabase();
  EXPECT_EQ(CorrectStepInFile(path, {1, 0, "1"}).status, CorrectionStatus::kDone);
  EXPECT_EQ(KeptTotal(path), "0 4");
}

}  // namespace
}  // namespace zantor::store
