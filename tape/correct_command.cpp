#include "tape/correct_command.h"

#include <deque>
#include <string>
#include <string_view>

#include "engine/messages.h"
#include "store/correction.h"
#include "store/tape_lines.h"

namespace zantor::tape {
namespace {

using store::CorrectionStatus;

// Length of the UTF-8 sequence at text[i] when it is a whole one of a
// character a terminal prints (not U+0080..U+009F, its C1 controls), else 0.
size_t PrintableUtf8(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t n = 0;
  unsigned int code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
    code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    code = lead & 0x07u;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  const unsigned int least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < least[n] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code <= 0x9F) return 0;
  return n;
}

// A cell from the file as the terminal may see it: a crafted file could
// hold escape sequences, a tab or a line feed (which would shift the columns)
// or a NUL; each such byte, and a backslash, is written as \xHH (\\). The
// texts a history of ours holds pass unchanged.
void AppendCell(std::string* out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out->push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    if (c >= 0x80) {
      if (const size_t n = PrintableUtf8(text, i); n > 0) {
        out->append(text.substr(i, n));
        i += n;
        continue;
      }
    }
    if (c == '\\') {
      out->append("\\\\");
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      out->append("\\x");
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 0xF]);
    }
    ++i;
  }
}

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
    AppendCell(&text, std::string_view(&row.oP, 1));
    text.push_back('\t');
    AppendCell(&text, row.fdata);
    text.push_back('\t');
    AppendCell(&text, row.mdata);
    text.push_back('\t');
    AppendCell(&text, row.re);
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
  std::string line;
  for (const store::CorrectionEntry& e : trail) {
    line = std::to_string(e.stepId);
    for (const std::string_view cell :
         {std::string_view(&e.oldOp, 1), std::string_view(e.oldEntry),
          std::string_view(&e.newOp, 1), std::string_view(e.newEntry), std::string_view(e.time)}) {
      line.push_back('\t');
      AppendCell(&line, cell);
    }
    line.push_back('\n');
    std::fwrite(line.data(), 1, line.size(), out);
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
    AppendCell(text, l.entry);
    text->push_back('\t');
    AppendCell(text, l.total);
    text->push_back('\t');
    AppendCell(text, l.note);
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
