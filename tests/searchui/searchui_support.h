// Shared pieces of the search dialog tests: a history file with a few steps,
// message boxes answered and recorded, waiting for the browser and asking
// its page questions.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/step.h"
#include "platform/desktop.h"
#include "res/dialog_templates.h"
#include "search/find_dialog.h"
#include "search/report_view.h"
#include "store/history_store.h"
#include "tests/support/qt_files.h"

// Readable failure messages for Qt strings (found by argument lookup: QString
// lives in the global namespace).
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace zantor::searchui {

// Counts every "BEGIN" that any connection opened after Install() runs, so a
// test can tell one transaction start from two (the second would fail
// silently inside the store).
class BeginCounter {
 public:
  static void Install() {
    static const bool installed = [] {
      sqlite3_auto_extension(reinterpret_cast<void (*)()>(&Attach));
      return true;
    }();
    (void)installed;
  }
  static int& count() {
    static int n = 0;
    return n;
  }

 private:
  static int Trace(unsigned, void*, void* stmt, void*) {
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(stmt));
    if (sql != nullptr && std::string_view(sql).starts_with("BEGIN")) ++count();
    return 0;
  }
  static int Attach(sqlite3* db, const char**, const void*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &Trace, nullptr);
    return SQLITE_OK;
  }
};

inline engine::HistoryRow Row(char op, const char* fdata, const char* mdata, const char* re) {
  return engine::HistoryRow{op, fdata, mdata, re};
}

using testsupport::Gbk;
using testsupport::ReadAll;

// A fresh history file per test, committed as the main window commits it
// before it opens the search dialog; message boxes are answered with OK and
// remembered. The query flag is set, as at process start.
class SearchUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    BeginCounter::Install();
    store_ = std::make_unique<store::HistoryStore>(path("QorvelDb.db").toStdString());
    ASSERT_EQ(store_->OpenHistoryDatabase(), store::Notice::kNone);
    ASSERT_TRUE(store_->isOpen());
    search::RequeryPending() = true;
    platform::SetMessageBoxHook([this](const QString& text, unsigned) {
      boxes_.push_back(text);
      return res::IDOK;
    });
    platform::SetModalHook({});
  }
  void TearDown() override {
    platform::SetMessageBoxHook({});
    platform::SetModalHook({});
  }

  QString path(const QString& name) const { return dir_.filePath(name); }

  // Steps 1 to 3: the first addition after a zero total, a multiplication,
  // a subtraction with a grouped entry.
  void RecordThreeSteps() {
    store_->RecordStep(Row('+', "0.05", "0.05", "0.05"), 2);
    store_->RecordStep(Row('*', "3", "3", "0.15"), 2);
    store_->RecordStep(Row('-', "1234567.5", "1,234,567.5", "-1,234,567.35"), 2);
    ASSERT_EQ(store_->SaveLastTotal(2, "-1,234,567.35"), store::Notice::kNone);
  }

  QTemporaryDir dir_;
  std::unique_ptr<store::HistoryStore> store_;
  std::vector<QString> boxes_;
};

inline void ClickButton(platform::TemplateDialog& dialog, int id) {
  auto* button = dialog.ItemAs<QPushButton>(id);
  ASSERT_NE(button, nullptr) << id;
  button->click();
}

// Runs the event loop until `done` holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeoutMs) return false;
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

// Waits until the view has finished loading the report it was last given.
inline bool WaitForReport(search::ReportView& view, int timeoutMs = 30000) {
  bool finished = false;
  bool ok = false;
  const QString wanted = QStringLiteral("/%1").arg(view.documentsShown());
  const auto connection = QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool success) {
    if (view.url().toString().endsWith(wanted)) {
      finished = true;
      ok = success;
    }
  });
  const bool inTime = WaitUntil([&] { return finished; }, timeoutMs);
  QObject::disconnect(connection);
  return inTime && ok;
}

// Runs a script in the page and waits for its value.
inline QVariant RunJs(search::ReportView& view, const QString& code, int timeoutMs = 20000) {
  bool done = false;
  QVariant result;
  view.page()->runJavaScript(code, [&](const QVariant& v) {
    result = v;
    done = true;
  });
  EXPECT_TRUE(WaitUntil([&] { return done; }, timeoutMs)) << code.toStdString();
  return result;
}

}  // namespace zantor::searchui
