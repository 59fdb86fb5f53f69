// zantor-tape --db FILE --check ID: a recorded run keyed in again (复核).
#pragma once

#include <cstdio>
#include <string>

namespace zantor::tape {

// Reads a tape from `in` (the usual items, whole numbers read in `entryMode`) and compares its
// steps, one by one, with the run of the history `file` that holds step `id`. Prints one line per
// difference, "k \t ID \t 记录 A \t 输入 B", then the summary. Returns 0 when every step agrees, 1
// when some differ (or a line could not be read or was refused), 2 when the check cannot be made
// (no such step, no history).
int CheckCommand(const std::string& file, long long id, char entryMode, std::FILE* in,
                 std::FILE* out, std::FILE* err);

}  // namespace zantor::tape
