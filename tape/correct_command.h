// zantor-tape --db FILE --correct ID [OP] ENTRY and --db FILE --corrections.
#pragma once

#include <cstdio>
#include <string>

namespace zantor::tape {

// Corrects step `id` of the history `file`: `op` is '+', '-', '*' or 0 to
// keep the step's operator. Prints the rewritten rows (the corrected one and
// the later rows of its run whose totals changed) in the tape's four columns
// on `out`, once they are in the file. Returns 0, or 1 with a message on
// `err` when nothing was changed.
int CorrectCommand(const std::string& file, long long id, char op, const std::string& entry,
                   std::FILE* out, std::FILE* err);

// Lists the trail of corrections, oldest first: step ID, old operator, old
// entry, new operator, new entry, local time, tab-separated. 0, or 1 when
// the file cannot be read as a history.
int CorrectionsCommand(const std::string& file, std::FILE* out, std::FILE* err);

// Prints the tape of the history `file`: ID, 序号, operator, entry, total and
// note, tab-separated, each run closed by "# 共 N 笔  合计 X"; with `last` > 0
// only its last `last` lines. Reads while a window has the file open.
int TapeCommand(const std::string& file, long long last, std::FILE* out, std::FILE* err);

// Sets the note of step `id`, or removes it when `note` is empty. Refuses as
// a correction does.
int NoteCommand(const std::string& file, long long id, const std::string& note, std::FILE* err);

}  // namespace zantor::tape
