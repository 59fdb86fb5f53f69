#include "tape/correct_command.h"

#include <deque>
#include <string_view>

#include "engine/messages.h"
#include "store/correction.h"
#include "store/tape_lines.h"

namespace zantor::tape {
namespace {

using store::CorrectionStatus;

void TellFile(std::FILE* err, CorrectionStatus status, const std::string& file, long long id) {
  const char* f = file.c_str();
  switch (status) {
    case CorrectionStatus::kDone:
    case CorrectionStatus::kEntryRefused:
      break;
    case CorrectionStatus::kUnknownId:
      std::fprintf(err, "zantor-tape: %s: there is no step %lld; nothing was changed\n", f, id);
      break;
    case CorrectionStatus::kNoBase:
      std::fprintf(err,
                   "zantor-tape: %s: the total of step %lld does not follow from the total "
                   "before it, so it cannot be recomputed; nothing was changed\n",
                   f, id);
      break;
    case CorrectionStatus::kInUse:
      std::fprintf(err,
                   "zantor-tape: %s: the history is in use by a running Zantor window (or "
                   "another program); close it first; nothing was changed\n",
                   f);
      break;
    case CorrectionStatus::kUnavailable:
      std::fprintf(err, "zantor-tape: %s: cannot open the history file\n", f);
      break;
    case CorrectionStatus::kNotHistory:
      std::fprintf(err, "zantor-tape: %s: not a Zantor history file; it is left untouched\n", f);
      break;
    case CorrectionStatus::kFailed:
      std::fprintf(err, "zantor-tape: %s: the correction could not be saved; nothing was changed\n",
                   f);
      break;
  }
}

}  // namespace

int CorrectCommand(const std::string& file, long long id, char op, const std::string& entry,
                   std::FILE* out, std::FILE* err) {
  std::string text;
  auto print = [&](long long, const engine::HistoryRow& row) {
    text.clear();
    text.push_back(row.oP);
    text.push_back('\t');
    text.append(row.fdata);
    text.push_back('\t');
    text.append(row.mdata);
    text.push_back('\t');
    text.append(row.re);
    text.push_back('\n');
    std::fwrite(text.data(), 1, text.size(), out);
  };
  const store::CorrectionOutcome outcome = store::CorrectStepInFile(file, {id, op, entry}, print);
  if (outcome.status == CorrectionStatus::kEntryRefused) {
    const std::string_view m = engine::MessageText(outcome.message);
    if (m.empty()) {
      std::fprintf(err, "zantor-tape: no entry given; nothing was changed\n");
    } else {
      std::fprintf(err, "zantor-tape: %.*s\n", static_cast<int>(m.size()), m.data());
    }
    return 1;
  }
  TellFile(err, outcome.status, file, id);
  std::fflush(out);
  return outcome.status == CorrectionStatus::kDone ? 0 : 1;
}

int CorrectionsCommand(const std::string& file, std::FILE* out, std::FILE* err) {
  CorrectionStatus status;
  const auto trail = store::ListCorrectionsInFile(file, &status);
  if (status != CorrectionStatus::kDone) {
    TellFile(err, status, file, 0);
    return 1;
  }
  for (const store::CorrectionEntry& e : trail) {
    std::fprintf(out, "%lld\t%c\t%s\t%c\t%s\t%s\n", e.stepId, e.oldOp, e.oldEntry.c_str(), e.newOp,
                 e.newEntry.c_str(), e.time.c_str());
  }
  std::fflush(out);
  return 0;
}

namespace {

void AppendTapeLine(const store::TapeLine& l, std::string* text) {
  text->clear();
  if (l.rule) {
    text->append("# ");
    text->append(store::RuleText(l.item, l.total));
  } else {
    text->append(std::to_string(l.id));
    text->push_back('\t');
    text->append(std::to_string(l.item));
    text->push_back('\t');
    text->append(store::OperatorGlyph(l.op));
    text->push_back('\t');
    text->append(l.entry);
    text->push_back('\t');
    text->append(l.total);
    text->push_back('\t');
    text->append(l.note);
  }
  text->push_back('\n');
}

}  // namespace

int TapeCommand(const std::string& file, long long last, std::FILE* out, std::FILE* err) {
  CorrectionStatus status;
  std::string text;
  std::deque<std::string> tail;
  store::ForEachTapeLine(
      file,
      [&](const store::TapeLine& line) {
        AppendTapeLine(line, &text);
        if (last <= 0) {
          std::fwrite(text.data(), 1, text.size(), out);
          return;
        }
        if (static_cast<long long>(tail.size()) == last) tail.pop_front();
        tail.push_back(text);
      },
      &status);
  if (status != CorrectionStatus::kDone) {
    TellFile(err, status, file, 0);
    return 1;
  }
  for (const std::string& t : tail) std::fwrite(t.data(), 1, t.size(), out);
  std::fflush(out);
  return 0;
}

int NoteCommand(const std::string& file, long long id, const std::string& note, std::FILE* err) {
  const CorrectionStatus status = store::WriteNoteInFile(file, id, note);
  if (status == CorrectionStatus::kEntryRefused) {
    std::fprintf(err, "zantor-tape: a note holds at most %zu characters; nothing was changed\n",
                 store::kMaxNoteLength);
    return 1;
  }
  TellFile(err, status, file, id);
  return status == CorrectionStatus::kDone ? 0 : 1;
}

}  // namespace zantor::tape
