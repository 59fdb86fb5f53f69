// zantor-tape: batch totals from standard input, one history row per step.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/step.h"
#include "store/history_store.h"
#include "tape/capitals_command.h"
#include "tape/check_command.h"
#include "tape/correct_command.h"
#include "tape/store_recorder.h"
#include "tape/tape.h"

namespace {

constexpr long kDefaultCommitEvery = 10000;

int Usage() {
  std::fputs(
      "usage: zantor-tape [--normal] [--db FILE [--keep] [--commit-every N]]\n"
      "       zantor-tape --db FILE --correct ID [OP] ENTRY\n"
      "       zantor-tape --db FILE --corrections\n"
      "       zantor-tape --db FILE --tape [--last N]\n"
      "       zantor-tape --db FILE --note ID TEXT\n"
      "       zantor-tape [--normal] --db FILE --check ID\n"
      "       zantor-tape --daxie AMOUNT\n"
      "Reads a tape from standard input: ENTRY, '+ ENTRY', '- ENTRY', '* ENTRY',\n"
      "'+', '-', '*' alone, 'fast', 'normal', 'zero'; '#' starts a comment.\n"
      "--db FILE          record every step into the history file FILE, as the window\n"
      "                   does, and save the total at the end as at close\n"
      "--keep             start from the total saved in FILE (the keep choice)\n"
      "--commit-every N   commit every N steps (default 10000); 1 makes each step\n"
      "                   durable as in the window\n"
      "--correct ID [OP] ENTRY  correct step ID of the history: its entry (typed as in\n"
      "                   normal mode) and its operator (+, -, *; kept when not given);\n"
      "                   every later total of its run is recomputed, and the rows\n"
      "                   rewritten are printed\n"
      "--corrections      list the corrections made to the history, oldest first\n"
      "--tape             print the history as a tape: ID, item number in its run,\n"
      "                   operator, entry, total, note; each run closed by\n"
      "                   '# 共 N 笔  合计 X' (--last N: its last N lines only)\n"
      "--note ID TEXT     set the note of step ID (an empty TEXT removes it)\n"
      "--check ID         compare the tape on standard input, step by step, with the\n"
      "                   recorded run that holds step ID (复核): one line per\n"
      "                   difference, then the summary; nothing is recorded.\n"
      "                   Exit status 0 when all agree, 1 when some differ, 2 when\n"
      "                   the check cannot be made\n"
      "--daxie AMOUNT     print the amount in Chinese capitals (rounded to 分)\n"
      "Exit status: 0; 1 when a line could not be read or the history could not be\n"
      "recorded or saved, or a correction was refused, or the amount cannot be\n"
      "written in capitals; 2 for a usage error.\n",
      stderr);
  return 2;
}

// Tells the user what the store asks to be told; true when there was something.
bool Tell(zantor::store::Notice notice, const std::string& file) {
  using zantor::store::Notice;
  switch (notice) {
    case Notice::kNone:
      return false;
    case Notice::kSaveFailed:
      std::fprintf(stderr, "zantor-tape: %s: 保存数据不成功\n", file.c_str());
      return true;
    case Notice::kHistoryUnavailable:
      std::fprintf(stderr,
                   "zantor-tape: %s: cannot open the history file; steps are not recorded\n",
                   file.c_str());
      return true;
    case Notice::kDamagedFile:
      std::fprintf(stderr,
                   "zantor-tape: %s: not a Zantor history file; it is left untouched and steps "
                   "are not recorded\n",
                   file.c_str());
      return true;
  }
  return false;
}

bool ParseCount(const char* text, long* value) {
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 1) return false;
  *value = v;
  return true;
}

bool ParseId(const char* text, long long* value) {
  errno = 0;
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0') return false;
  *value = v;
  return true;
}

// "+", "-", "*", "x" or "×" as a whole argument; 0 otherwise.
char OperatorArgument(const char* text) {
  const std::string t = text;
  if (t == "+" || t == "-" || t == "*") return t[0];
  if (t == "x" || t == "\xC3\x97") return '*';
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--daxie") == 0) {
    if (argc != 3) return Usage();
    return zantor::tape::CapitalsCommand(argv[2], stdout, stderr);
  }
  zantor::tape::Options options;
  const char* dbFile = nullptr;
  bool keep = false;
  long commitEvery = kDefaultCommitEvery;
  bool plainTape = true;  // no option that only a tape takes
  bool correct = false;
  bool listCorrections = false;
  bool check = false;
  long long checkId = 0;
  long long correctId = 0;
  char correctOp = 0;
  const char* correctEntry = nullptr;
  bool printTape = false;
  long tapeLast = 0;
  bool note = false;
  long long noteId = 0;
  const char* noteText = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--correct") == 0 && i + 2 < argc && !correct) {
      if (!ParseId(argv[++i], &correctId)) return Usage();
      // An operator needs an entry after it; "-" alone is an entry (and refused).
      if (const char op = OperatorArgument(argv[i + 1]);
          op != 0 && i + 2 < argc && std::strncmp(argv[i + 2], "--", 2) != 0) {
        correctOp = op;
        ++i;
      }
      correctEntry = argv[++i];
      correct = true;
    } else if (std::strcmp(argv[i], "--tape") == 0) {
      printTape = true;
    } else if (std::strcmp(argv[i], "--last") == 0 && i + 1 < argc && printTape) {
      if (!ParseCount(argv[++i], &tapeLast)) return Usage();
    } else if (std::strcmp(argv[i], "--note") == 0 && i + 2 < argc && !note) {
      if (!ParseId(argv[++i], &noteId)) return Usage();
      noteText = argv[++i];
      note = true;
    } else if (std::strcmp(argv[i], "--check") == 0 && i + 1 < argc && !check) {
      if (!ParseId(argv[++i], &checkId)) return Usage();
      check = true;
    } else if (std::strcmp(argv[i], "--corrections") == 0) {
      listCorrections = true;
    } else if (std::strcmp(argv[i], "--normal") == 0) {
      plainTape = false;
      options.entryMode = 'z';
    } else if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc) {
      dbFile = argv[++i];
    } else if (std::strcmp(argv[i], "--keep") == 0) {
      plainTape = false;
      keep = true;
    } else if (std::strcmp(argv[i], "--commit-every") == 0 && i + 1 < argc) {
      plainTape = false;
      if (!ParseCount(argv[++i], &commitEvery)) return Usage();
    } else {
      return Usage();
    }
  }
  if (keep && dbFile == nullptr) return Usage();
  if (printTape || note) {
    if (dbFile == nullptr || !plainTape || correct || listCorrections || check ||
        (printTape && note)) {
      return Usage();
    }
    if (note) return zantor::tape::NoteCommand(dbFile, noteId, noteText, stderr);
    return zantor::tape::TapeCommand(dbFile, tapeLast, stdout, stderr);
  }
  if (check) {
    // --normal is the only tape option a check takes.
    if (dbFile == nullptr || keep || correct || listCorrections ||
        commitEvery != kDefaultCommitEvery) {
      return Usage();
    }
    return zantor::tape::CheckCommand(dbFile, checkId, options.entryMode, stdin, stdout, stderr);
  }
  if (correct || listCorrections) {
    if (dbFile == nullptr || !plainTape || (correct && listCorrections)) return Usage();
    if (correct) {
      return zantor::tape::CorrectCommand(dbFile, correctId, correctOp, correctEntry, stdout,
                                          stderr);
    }
    return zantor::tape::CorrectionsCommand(dbFile, stdout, stderr);
  }
  options.flushEachLine = isatty(STDOUT_FILENO) != 0;
  zantor::engine::CalcState state;
  std::string resultText = "0.00";
  if (dbFile == nullptr) {
    return zantor::tape::RunTape(stdin, stdout, stderr, options, state, resultText, nullptr);
  }

  // The window's start-up, without the questions: the size
  // guard's question cannot be asked here, so a large file is kept.
  zantor::store::HistoryStore store(dbFile);
  bool told = false;
  if (keep) {
    const zantor::store::SavedTotal saved = store.RestoreLastTotal();
    told |= Tell(saved.notice, dbFile);
    if (saved.found) {
      zantor::engine::RestoreAccumulator(state, saved.pos, saved.resu);
      resultText = saved.resu;
    } else if (saved.openFailed) {
      resultText.clear();
    }
  }
  told |= Tell(store.OpenHistoryDatabase(), dbFile);
  zantor::tape::StoreRecorder recorder(store, commitEvery);
  const int status =
      zantor::tape::RunTape(stdin, stdout, stderr, options, state, resultText, &recorder);
  told |= Tell(recorder.finishNotice(), dbFile);
  return status != 0 ? status : (told ? 1 : 0);
}
