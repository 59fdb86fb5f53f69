// 纸带 over a 1,000,000-step history, offscreen: the run index built once,
// T to the tape painted with its last lines, End and Home, a step with the
// tape open against one with it hidden, and the memory the open tape costs.
// Each figure is also given as a ratio to a baseline timed in the same run:
// reading the last 40 rows of MyData through a plain SQLite statement.
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/tape_window.h"
#include "bench/bench_history.h"
#include "engine/step.h"
#include "store/history_store.h"

namespace {

void Press(QWidget* w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &release);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long RssKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
  }
  return 0;
}

// The baseline: the last 40 rows of MyData, the way any reader would fetch them.
double BaselineMs(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  std::vector<double> times;
  for (int i = 0; i < 21; ++i) {
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT ID,oP,mdata,re FROM MyData WHERE ID>(SELECT max(ID) FROM MyData)-40 "
                       "ORDER BY ID;",
                       -1, &s, nullptr);
    std::string keep;
    while (sqlite3_step(s) == SQLITE_ROW) {
      keep.assign(reinterpret_cast<const char*>(sqlite3_column_text(s, 3)));
    }
    sqlite3_finalize(s);
    times.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  sqlite3_close(db);
  return Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const long long rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  zantor::bench::MadeFile made{zantor::bench::MakeHistoryFile("zantor-tape-bench", rows)};
  const double base = BaselineMs(made.path);
  std::printf("history: %lld steps; baseline (last 40 rows by SQL): %.3f ms\n", rows, base);

  zantor::store::HistoryStore store(made.path);
  store.RestoreLastTotal();
  store.OpenHistoryDatabase();
  QWidget main;
  main.resize(355, 200);
  main.move(900, 0);
  main.show();
  const long rssBefore = RssKiB();

  QElapsedTimer t;
  t.start();
  auto* tape = new zantor::app::TapeWindow(&main, &store);
  while (!tape->model()->ready()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double indexMs = static_cast<double>(t.nsecsElapsed()) / 1e6;
  std::printf("run index built once: %.1f ms (%.0fx baseline)\n", indexMs, indexMs / base);
  const long rssHidden = RssKiB();
  std::printf("RSS before the tape %ld KiB, with it made and hidden %ld KiB (+%.1f MB)\n",
              rssBefore, rssHidden, static_cast<double>(rssHidden - rssBefore) / 1024);

  auto painted = [&] {
    tape->view()->viewport()->repaint();
    QCoreApplication::processEvents();
  };
  std::vector<double> showMs, endMs, homeMs;
  for (int i = 0; i < 11; ++i) {
    tape->hide();
    QCoreApplication::processEvents();
    t.restart();
    tape->ShowDocked();
    painted();
    showMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    t.restart();
    Press(tape->view(), Qt::Key_Home);
    painted();
    homeMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    t.restart();
    Press(tape->view(), Qt::Key_End);
    painted();
    endMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
  }
  const long rssOpen = RssKiB();
  auto line = [&](const char* what, double ms, double goal) {
    std::printf("%-34s %8.2f ms (%5.1fx baseline)  goal %.0f ms: %s\n", what, ms, ms / base, goal,
                ms <= goal ? "met" : "NOT met");
  };
  line("T -> tape painted, last lines", Median(showMs), 100);
  line("Home", Median(homeMs), 50);
  line("End", Median(endMs), 50);
  std::printf("RSS hidden %ld KiB, open %ld KiB: +%.1f MB (goal <= 15 MB)\n", rssHidden, rssOpen,
              static_cast<double>(rssOpen - rssHidden) / 1024);

  // A step: the durable row, then (open) its line painted.
  zantor::engine::CalcState state;
  std::vector<double> hidden, open, lineMs;
  for (int i = 0; i < 41; ++i) {
    const bool shown = i % 2 == 1;
    tape->setVisible(shown);
    QCoreApplication::processEvents();
    const auto r = zantor::engine::EvaluateStep(state, "1234");
    t.restart();
    store.RecordStep(r.row, state.accScale);
    const double durable = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (shown) {
      tape->StepAdded();
      painted();
      lineMs.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6 - durable);
      open.push_back(durable);
    } else {
      tape->StepAdded();
      hidden.push_back(durable);
    }
  }
  std::printf("Enter -> row durable: hidden %.3f ms, open %.3f ms (%+.1f %%, goal within 10 %%)\n",
              Median(hidden), Median(open), 100 * (Median(open) / Median(hidden) - 1));
  line("new line painted after the row", Median(lineMs), 16);
  delete tape;
  return 0;
}
