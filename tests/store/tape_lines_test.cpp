// The tape read from a history file: item numbers and rule lines agree with
// the runs the correction finds, at any place in the file, while the file
// grows, and with notes set and removed.
#include "store/tape_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/replay.h"
#include "engine/step.h"
#include "store/history_store.h"
#include "tests/store/store_test_util.h"

namespace zantor::store {
namespace {

using testing::TempDir;

// One recorded history: entries typed in fast mode; "0" zeroes the total,
// "*"/"-" prefixes set the operator.
struct Recorder {
  explicit Recorder(const std::string& path) : store(path) {
    EXPECT_EQ(store.OpenHistoryDatabase(), Notice::kNone);
  }
  void Type(const std::vector<std::string>& keys) {
    for (const std::string& k : keys) {
      if (k == "zero") {
        engine::ZeroResult(state);
        store.RecordTotal(0, "0.00");
        continue;
      }
      state.pendingOp = k[0] == '*' || k[0] == '-' ? k[0] : '+';
      const auto r = engine::EvaluateStep(state, k[0] == '*' || k[0] == '-' ? k.substr(1) : k);
      ASSERT_EQ(r.status, engine::StepResult::Status::kDone) << k;
      store.RecordStep(r.row, state.accScale);
      rows.push_back(r.row);
    }
  }
  HistoryStore store;
  engine::CalcState state;
  std::vector<engine::HistoryRow> rows;
};

// The tape as the runs of the correction make it: every row with its item
// number, a rule line between runs.
std::vector<std::string> Expected(const std::vector<engine::HistoryRow>& rows, bool closed) {
  std::vector<std::string> out;
  const auto runs = engine::FindRuns(rows);
  for (size_t k = 0; k < runs.size(); ++k) {
    for (size_t i = runs[k].first; i < runs[k].end; ++i) {
      out.push_back(std::to_string(i - runs[k].first + 1) + " " + rows[i].oP + " " + rows[i].mdata +
                    " " + rows[i].re);
    }
    if (k + 1 < runs.size() || closed) {
      out.push_back(
          RuleText(static_cast<long long>(runs[k].end - runs[k].first), rows[runs[k].end - 1].re));
    }
  }
  return out;
}

std::string Shown(const TapeLine& l) {
  if (l.rule) return RuleText(l.item, l.total);
  return std::to_string(l.item) + " " + l.op + " " + l.entry + " " + l.total;
}

std::vector<std::string> ReadAll(TapeReader& reader, long long first = 0, long long count = -1) {
  std::vector<TapeLine> lines;
  EXPECT_TRUE(reader.Read(first, count < 0 ? reader.lines() : count, &lines));
  std::vector<std::string> out;
  for (const TapeLine& l : lines) out.push_back(Shown(l));
  return out;
}

TEST(TapeLines, LinesFollowTheRunsOfTheHistory) {
  struct Case {
    const char* name;
    std::vector<std::string> keys;
  };
  const std::vector<Case> cases = {
      {"one run", {"1234", "500", "-34", "*2"}},
      {"zeroed between", {"100", "200", "zero", "5", "6", "zero", "7"}},
      {"zeroed first", {"zero", "100"}},
      {"times zero continues", {"100", "*0", "5"}},
      {"single steps", {"1", "zero", "2", "zero", "3"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const std::string path = dir / "h.db";
    Recorder rec(path);
    rec.Type(c.keys);
    TapeReader reader(path);
    ASSERT_TRUE(reader.Open()) << c.name;
    EXPECT_EQ(ReadAll(reader), Expected(rec.rows, false)) << c.name;
    // Any stretch reads as the same lines.
    const auto all = ReadAll(reader);
    for (long long first = 0; first < reader.lines(); ++first) {
      const auto part = ReadAll(reader, first, 2);
      EXPECT_EQ(part.front(), all[static_cast<size_t>(first)]) << c.name << " at " << first;
    }
  }
}

TEST(TapeLines, GrowsWithTheFileAndClosesARunAtOnce) {
  TempDir dir;
  const std::string path = dir / "h.db";
  Recorder rec(path);
  rec.Type({"100", "200"});
  TapeReader reader(path);
  ASSERT_TRUE(reader.Open());
  EXPECT_EQ(reader.lines(), 2);
  rec.Type({"300"});
  EXPECT_TRUE(reader.CatchUp());
  EXPECT_FALSE(reader.CatchUp());
  EXPECT_EQ(ReadAll(reader), Expected(rec.rows, false));

  rec.Type({"zero"});
  reader.CloseRun();
  EXPECT_EQ(ReadAll(reader), Expected(rec.rows, true));
  // Even a step that follows from the old total opens a new run after a zeroing.
  rec.Type({"*0"});
  EXPECT_TRUE(reader.CatchUp());
  const auto lines = ReadAll(reader);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], RuleText(3, rec.rows[2].re));
  EXPECT_EQ(lines[4], "1 * " + rec.rows.back().mdata + " " + rec.rows.back().re);
}

TEST(TapeLines, AFarPlaceInALongHistoryReadsAsTheRunsSayAndFindsItsStep) {
  TempDir dir;
  const std::string path = dir / "h.db";
  Recorder rec(path);
  std::vector<std::string> keys;
  for (int i = 0; i < 9000; ++i) {
    keys.push_back(i == 4100 || i == 8191 ? "zero" : std::to_string(i % 977 + 1));
  }
  rec.Type(keys);
  TapeReader reader(path);
  ASSERT_TRUE(reader.Open());
  const auto expected = Expected(rec.rows, false);
  ASSERT_EQ(reader.lines(), static_cast<long long>(expected.size()));
  for (long long first : {0LL, 4094LL, 4097LL, 8188LL, 8190LL, 8999LL - 20}) {
    const auto part = ReadAll(reader, first, 20);
    EXPECT_EQ(part,
              std::vector<std::string>(expected.begin() + first, expected.begin() + first + 20))
        << first;
  }
  for (long long id : {1LL, 4096LL, 4100LL, 4101LL, 8998LL}) {
    const long long line = reader.LineOfStep(id);
    std::vector<TapeLine> one;
    ASSERT_TRUE(reader.Read(line, 1, &one));
    EXPECT_EQ(one.at(0).id, id);
    EXPECT_FALSE(one.at(0).rule);
  }
  EXPECT_EQ(reader.LineOfStep(100000), -1);
  long long first = 0;
  long long last = 0;
  reader.RunLines(reader.LineOfStep(5000), &first, &last);
  std::vector<TapeLine> ends;
  ASSERT_TRUE(reader.Read(first, 1, &ends));
  EXPECT_EQ(ends.at(0).item, 1);
  ASSERT_TRUE(reader.Read(last, 1, &ends));
  EXPECT_TRUE(ends.at(0).rule);
}

TEST(TapeLines, NotesAreSetReplacedAndRemoved) {
  TempDir dir;
  const std::string path = dir / "h.db";
  Recorder rec(path);
  rec.Type({"100", "200"});
  EXPECT_EQ(rec.store.SetNote(2, "发票 12\tA"), CorrectionStatus::kDone);
  EXPECT_EQ(rec.store.SetNote(9, "x"), CorrectionStatus::kUnknownId);
  EXPECT_EQ(rec.store.SetNote(1, std::string(201, 'x')), CorrectionStatus::kEntryRefused);
  // 200 characters of three bytes each is still 200 characters.
  std::string longest;
  for (int i = 0; i < 200; ++i) longest += "备";
  EXPECT_EQ(rec.store.SetNote(1, longest), CorrectionStatus::kDone);
  {
    TapeReader reader(path);
    ASSERT_TRUE(reader.Open());
    std::vector<TapeLine> lines;
    ASSERT_TRUE(reader.Read(0, 2, &lines));
    EXPECT_EQ(lines.at(0).note, longest);
    EXPECT_EQ(lines.at(1).note, "发票 12 A");
    EXPECT_EQ(rec.store.SetNote(1, ""), CorrectionStatus::kDone);
    EXPECT_EQ(rec.store.SetNote(2, "改"), CorrectionStatus::kDone);
    ASSERT_TRUE(reader.Read(0, 2, &lines));
    EXPECT_EQ(lines.at(0).note, "");
    EXPECT_EQ(lines.at(1).note, "改");
  }
  // The note table has the shape the file check knows; the steps' tables keep theirs.
  EXPECT_EQ(testing::Peek(path).Scalar("SELECT sql FROM sqlite_master WHERE name='notes';"),
            "CREATE TABLE notes(ID INTEGER PRIMARY KEY, note TEXT NOT NULL)");

  // The command line reads while the window has the file, refuses to write
  // there, and writes once it has closed it.
  CorrectionStatus status;
  long long count = 0;
  ForEachTapeLine(
      path, [&](const TapeLine&) { ++count; }, &status);
  EXPECT_EQ(status, CorrectionStatus::kDone);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(WriteNoteInFile(path, 1, "x"), CorrectionStatus::kInUse);
  rec.store.CloseHistoryDatabase();
  EXPECT_EQ(WriteNoteInFile(path, 1, "x"), CorrectionStatus::kDone);
  EXPECT_EQ(WriteNoteInFile(path, 3, "x"), CorrectionStatus::kUnknownId);
  std::vector<std::string> streamed;
  ForEachTapeLine(
      path, [&](const TapeLine& l) { streamed.push_back(Shown(l) + " " + l.note); }, &status);
  EXPECT_EQ(status, CorrectionStatus::kDone);
  const std::string one = rec.rows[0].re;
  const std::string three = rec.rows[1].re;
  EXPECT_EQ(streamed,
            (std::vector<std::string>{"1 + 1.00 " + one + " x", "2 + 2.00 " + three + " 改",
                                      RuleText(2, three) + " "}));
}

}  // namespace
}  // namespace zantor::store
