// The engine on a paper tape: one item per line in, one history row per
// evaluated step out.
#pragma once

#include <cstdio>
#include <string>

#include "engine/calc_state.h"
#include "engine/step.h"

namespace zantor::tape {

// Where the steps of a tape go besides standard output (a history file).
class Recorder {
 public:
  virtual ~Recorder() = default;
  virtual void Step(const engine::HistoryRow& row, int accScale) = 0;
  virtual void Zeroed() = 0;
  // An entry the checks refused (the tape prints why on its output).
  virtual void Refused(engine::StepMessage) {}
  // The tape ended normally; `resultText` is the total as the window would show it.
  virtual void Finish(int accScale, const std::string& resultText) = 0;
};

struct Options {
  char entryMode = 'k';
  bool flushEachLine = false;
};

// Returns 0, or 1 when some line could not be read (each is reported on `err`).
int RunTape(std::FILE* in, std::FILE* out, std::FILE* err, const Options& options,
            engine::CalcState& state, std::string& resultText, Recorder* recorder);

}  // namespace zantor::tape
