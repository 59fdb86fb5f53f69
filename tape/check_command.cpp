#include "tape/check_command.h"

#include <string_view>

#include "engine/messages.h"
#include "engine/run_check.h"
#include "store/recorded_run.h"
#include "tape/tape.h"

namespace zantor::tape {
namespace {

// The typed steps go to the check instead of a history.
class CheckRecorder : public Recorder {
 public:
  CheckRecorder(const store::RecordedRun& run, std::FILE* out, std::FILE* err)
      : run_(run), check_(run.rows, run.before), out_(out), err_(err) {}

  void Step(const engine::HistoryRow& row, int) override {
    ++typed_;
    if (check_.finished()) {
      ++extra_;
      Difference(typed_, nullptr, "无", engine::StepText(row.oP, row.mdata));
      return;
    }
    // The tape has made the step on its own total already; the check makes
    // it again on the typed total, from the run's start.
    const engine::RunCheck::Outcome o = check_.Enter(row.oP, 'z', row.fdata);
    if (o.verdict == engine::RunCheck::Outcome::Verdict::kDiffers) {
      Difference(o.step, &run_.ids[o.step - 1], o.recorded, o.typed);
    }
  }
  void Zeroed() override {}
  void Refused(engine::StepMessage m) override {
    const std::string_view text = engine::MessageText(m);
    std::fprintf(err_, "zantor-tape: ");
    for (char c : text) std::fputc(c == '\n' ? ' ' : c, err_);
    std::fputc('\n', err_);
    refused_ = true;
  }
  void Finish(int, const std::string&) override {
    for (size_t k = check_.checked() + 1; k <= run_.rows.size(); ++k) {
      ++extra_;
      Difference(k, &run_.ids[k - 1], engine::StepText(run_.rows[k - 1].oP, run_.rows[k - 1].mdata),
                 "无");
    }
    const size_t differing = check_.differing() + extra_;
    const std::string summary = engine::SummaryText(run_.rows.size(), differing, check_.total());
    std::fprintf(out_, "%s\n", summary.c_str());
    std::fflush(out_);
    status_ = differing > 0 || refused_ ? 1 : 0;
  }
  int status() const { return status_; }

 private:
  void Difference(size_t k, const long long* id, const std::string& recorded,
                  const std::string& typed) {
    std::fprintf(out_, "%zu\t", k);
    if (id != nullptr) {
      std::fprintf(out_, "%lld", *id);
    } else {
      std::fputc('-', out_);
    }
    std::fprintf(out_, "\t记录 %s\t输入 %s\n", recorded.c_str(), typed.c_str());
  }

  const store::RecordedRun& run_;
  engine::RunCheck check_;
  std::FILE* out_;
  std::FILE* err_;
  size_t typed_ = 0;
  size_t extra_ = 0;  // steps typed beyond the run, or missing from its end
  bool refused_ = false;
  int status_ = 1;
};

}  // namespace

int CheckCommand(const std::string& file, long long id, char entryMode, std::FILE* in,
                 std::FILE* out, std::FILE* err) {
  store::RecordedRun run;
  switch (store::ReadRunHoldingInFile(file, id, &run)) {
    case store::RunStatus::kFound:
      break;
    case store::RunStatus::kUnknownId:
      std::fprintf(err, "zantor-tape: %s: there is no step %lld\n", file.c_str(), id);
      return 2;
    case store::RunStatus::kNotHistory:
      std::fprintf(err, "zantor-tape: %s: not a Zantor history file\n", file.c_str());
      return 2;
    case store::RunStatus::kUnavailable:
    case store::RunStatus::kFailed:
      std::fprintf(err, "zantor-tape: %s: cannot open the history file\n", file.c_str());
      return 2;
  }
  std::FILE* discard = std::fopen("/dev/null", "w");
  if (discard == nullptr) return 2;
  CheckRecorder recorder(run, out, err);
  engine::CalcState state;
  std::string resultText = "0.00";
  Options options;
  options.entryMode = entryMode;
  const int read = RunTape(in, discard, err, options, state, resultText, &recorder);
  std::fclose(discard);
  return read != 0 ? 1 : recorder.status();
}

}  // namespace zantor::tape
