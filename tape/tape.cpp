#include "tape/tape.h"

#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "engine/messages.h"

namespace zantor::tape {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(kBlanks);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

bool IsEntry(std::string_view s) {
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-')) return false;
  }
  return !s.empty();
}

// The window shows totals grouped (1,234.50), and a tape is often made of
// them: the commas go, as the paste cleaning drops them.
std::string_view WithoutCommas(std::string_view s, std::string* buffer) {
  if (s.find(',') == std::string_view::npos) return s;
  buffer->clear();
  for (char c : s) {
    if (c != ',') buffer->push_back(c);
  }
  return *buffer;
}

// "+", "-", "*", "x", "×" standing alone or before blanks; 0 otherwise.
char OperatorPrefix(std::string_view line, size_t* length) {
  char op = 0;
  size_t n = 1;
  if (line.starts_with("\xC3\x97")) {  // ×
    op = '*';
    n = 2;
  } else if (!line.empty()) {
    switch (line[0]) {
      case '+':
      case '-':
      case '*':
        op = line[0];
        break;
      case 'x':
        op = '*';
        break;
      default:
        return 0;
    }
  }
  if (op == 0 || (line.size() > n && kBlanks.find(line[n]) == std::string_view::npos)) return 0;
  *length = n;
  return op;
}

class Output {
 public:
  Output(std::FILE* f, bool flushEachLine) : f_(f), eager_(flushEachLine) {
    buffer_.reserve(kChunk + 256);
  }
  ~Output() { Flush(); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  std::string& text() { return buffer_; }
  void EndLine() {
    buffer_.push_back('\n');
    if (eager_ || buffer_.size() >= kChunk) Flush();
  }
  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), f_);
    buffer_.clear();
    if (eager_) std::fflush(f_);
  }

 private:
  static constexpr size_t kChunk = 1 << 16;
  std::FILE* f_;
  bool eager_;
  std::string buffer_;
};

class LineReader {
 public:
  explicit LineReader(std::FILE* f) : f_(f) {}
  bool Next(std::string_view* line) {
    for (;;) {
      const size_t nl = data_.find('\n', pos_);
      if (nl != std::string::npos) {
        *line = std::string_view(data_).substr(pos_, nl - pos_);
        pos_ = nl + 1;
        return true;
      }
      if (eof_) {
        if (pos_ >= data_.size()) return false;
        *line = std::string_view(data_).substr(pos_);
        pos_ = data_.size();
        return true;
      }
      data_.erase(0, pos_);
      pos_ = 0;
      const size_t old = data_.size();
      data_.resize(old + kChunk);
      const size_t got = Read(data_.data() + old, kChunk);
      data_.resize(old + got);
      if (got == 0) eof_ = true;
    }
  }

 private:
  static constexpr size_t kChunk = 1 << 16;
  // What is there now: fread would wait for a whole chunk, so a tape typed
  // or fed line by line through a pipe would get no answer until 64 KiB or
  // its end had come.
  size_t Read(char* to, size_t n) {
    const int fd = ::fileno(f_);
    if (fd < 0) return std::fread(to, 1, n, f_);
    for (;;) {
      const ssize_t got = ::read(fd, to, n);
      if (got >= 0) return static_cast<size_t>(got);
      if (errno != EINTR) return 0;
    }
  }

  std::FILE* f_;
  std::string data_;
  size_t pos_ = 0;
  bool eof_ = false;
};

}  // namespace

int RunTape(std::FILE* in, std::FILE* out, std::FILE* err, const Options& options,
            engine::CalcState& state, std::string& resultText, Recorder* recorder) {
  state.entryMode = options.entryMode;
  Output o(out, options.flushEachLine);
  LineReader reader(in);
  std::string_view raw;
  long lineNo = 0;
  int status = 0;
  std::string ungrouped;
  while (reader.Next(&raw)) {
    ++lineNo;
    std::string_view line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    if (line == "fast" || line == "normal") {
      state.entryMode = line == "fast" ? 'k' : 'z';
      continue;
    }
    if (line == "zero") {
      engine::ZeroResult(state);
      resultText = "0.00";
      if (recorder != nullptr) recorder->Zeroed();
      continue;
    }
    size_t opLength = 0;
    if (const char op = OperatorPrefix(line, &opLength); op != 0) {
      state.pendingOp = op;
      line = Trim(line.substr(opLength));
      if (line.empty()) continue;
    }
    line = WithoutCommas(line, &ungrouped);
    if (!IsEntry(line)) {
      o.Flush();
      std::fprintf(err, "zantor-tape: line %ld: cannot read \"%.*s\"\n", lineNo,
                   static_cast<int>(raw.size()), raw.data());
      status = 1;
      continue;
    }
    const engine::StepResult r = engine::EvaluateStep(state, line);
    std::string& t = o.text();
    if (r.status == engine::StepResult::Status::kDone) {
      t.push_back(r.row.oP);
      t.push_back('\t');
      t.append(r.row.fdata);
      t.push_back('\t');
      t.append(r.row.mdata);
      t.push_back('\t');
      t.append(r.row.re);
      resultText = r.row.re;
      if (recorder != nullptr) recorder->Step(r.row, state.accScale);
    } else {
      if (recorder != nullptr) recorder->Refused(r.message);
      t.append("!\t");
      for (char c : engine::MessageText(r.message)) {
        if (c == '\n') {
          t.append("\\n");
        } else {
          t.push_back(c);
        }
      }
    }
    o.EndLine();
  }
  o.Flush();
  if (recorder != nullptr) recorder->Finish(state.accScale, resultText);
  return status;
}

}  // namespace zantor::tape
