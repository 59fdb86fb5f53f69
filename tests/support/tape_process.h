// Running zantor-tape as a separate process and reading what it printed and
// what it stored, for the engine, tape and fault tests.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/store/store_test_util.h"
#include "tests/support/history_file.h"

namespace zantor::testsupport {

// Starts `tool` with `args`, its standard input, output and error on the
// given descriptors; returns its pid. A tool that cannot be started ends
// with status 127.
inline pid_t SpawnTape(const std::string& tool, const std::vector<std::string>& args, int in,
                       int out, int err) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  ::dup2(in, 0);
  ::dup2(out, 1);
  ::dup2(err, 2);
  std::vector<std::string> copy = args;
  std::string path = tool;
  std::vector<char*> argv{path.data()};
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

struct TapeRun {
  int status = -1;  // the exit status, -1 when a signal ended it
  std::string out;
  std::string err;
};

// Runs `tool` with `args` to its end, `input` on its standard input. Its
// input and output pass through in.txt, out.txt and err.txt in `folder`.
inline TapeRun RunTape(const std::string& tool, const std::string& folder,
                       const std::vector<std::string>& args, const std::string& input) {
  const std::string inPath = folder + "/in.txt";
  const std::string outPath = folder + "/out.txt";
  const std::string errPath = folder + "/err.txt";
  zantor::testing::WriteFile(inPath, input);
  const int in = ::open(inPath.c_str(), O_RDONLY);
  const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const pid_t pid = SpawnTape(tool, args, in, out, err);
  ::close(in);
  ::close(out);
  ::close(err);
  int status = 0;
  ::waitpid(pid, &status, 0);
  TapeRun r;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = zantor::testing::ReadFile(outPath);
  r.err = zantor::testing::ReadFile(errPath);
  return r;
}

// fdata is stored as a REAL and printed as typed: compare them as numbers.
inline std::string AsNumber(const std::string& text) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", std::strtod(text.c_str(), nullptr));
  return buffer;
}

// The step rows of the tape's output: "op \t fdata \t mdata \t re" lines,
// fdata as a number. "!" lines are messages, not steps. With `cutAtEnd`, a
// last line without its line feed is one the kill cut short and is left
// out; any other line that is not a step fails the test.
inline Rows PrintedSteps(const std::string& out, bool cutAtEnd = false) {
  Rows rows;
  std::istringstream in(out);
  std::string line;
  size_t read = 0;
  while (std::getline(in, line)) {
    read += line.size() + 1;
    if (cutAtEnd && read > out.size()) break;  // no line feed: cut by the kill
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '!') continue;
    std::vector<std::string> cells;
    std::istringstream fields(line);
    std::string cell;
    while (std::getline(fields, cell, '\t')) cells.push_back(cell);
    if (cells.size() != 4) {
      ADD_FAILURE() << "not a step: " << line;
      continue;
    }
    cells[1] = AsNumber(cells[1]);
    rows.push_back(cells);
  }
  return rows;
}

// The steps in the history file, in the form PrintedSteps gives them.
inline Rows StoredSteps(const std::string& db) {
  Rows rows = ReadHistory(db, "SELECT oP,fdata,mdata,re FROM MyData ORDER BY ID;");
  for (auto& r : rows) r[1] = AsNumber(r[1]);
  return rows;
}

}  // namespace zantor::testsupport
