// zantor-tape: batch totals from standard input, one history row per step.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tape/tape.h"

namespace {

int Usage() {
  std::fputs(
      "usage: zantor-tape [--normal]\n"
      "Reads a tape from standard input: ENTRY, '+ ENTRY', '- ENTRY', '* ENTRY',\n"
      "'+', '-', '*' alone, 'fast', 'normal', 'zero'; '#' starts a comment.\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zantor::tape::Options options;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--normal") == 0) {
      options.entryMode = 'z';
    } else {
      return Usage();
    }
  }
  options.flushEachLine = isatty(STDOUT_FILENO) != 0;
  zantor::engine::CalcState state;
  std::string resultText = "0.00";
  return zantor::tape::RunTape(stdin, stdout, stderr, options, state, resultText, nullptr);
}
