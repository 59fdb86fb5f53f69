// What the view adds to the report page on its own account: a double-click
// on a data row reaches the dialog, and a corrected row's entry gets a title
// with the entry it had before. Both live in a world of their own, so the
// page's script neither sees nor disturbs them, and neither touches the
// document's text. The hook's messages carry a secret of the page that the
// page's script cannot read, so that script cannot pass for the hook.
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <functional>

#include "search/report_view.h"

namespace zantor::search {
namespace {

const QString kHookScript = QStringLiteral("report-row-hook");
// What the page's own script writes on the console to have its 复制 done: the
// page has no clipboard access; the program takes the text and puts it there.
const QString kCopyMark = QStringLiteral("zantor-copy");

// Console messages are the one way out of the page that needs no channel
// into it: the hook's mark (its secret and "row:") is taken, and the page's
// request to copy; everything else stays the page's.
class HookedPage : public QWebEnginePage {
 public:
  HookedPage(QWebEngineProfile* profile, QObject* parent, std::function<void(qlonglong)> onRow)
      : QWebEnginePage(profile, parent), onRow_(std::move(onRow)) {
    quint64 secret[2];
    QRandomGenerator::system()->fillRange(secret);
    rowMark_ = QStringLiteral("zantor-row-%1%2:")
                   .arg(secret[0], 16, 16, QLatin1Char('0'))
                   .arg(secret[1], 16, 16, QLatin1Char('0'));
  }
  const QString& rowMark() const { return rowMark_; }

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                const QString&) override {
    if (message == kCopyMark) {
      runJavaScript(QStringLiteral("window.zantorCopyText ? window.zantorCopyText() : ''"),
                    QWebEngineScript::MainWorld, [](const QVariant& text) {
                      if (!text.toString().isEmpty()) {
                        QGuiApplication::clipboard()->setText(text.toString());
                      }
                    });
      return;
    }
    if (!message.startsWith(rowMark_)) return;
    bool ok = false;
    const qlonglong id = message.mid(rowMark_.size()).toLongLong(&ok);
    if (ok && id > 0) onRow_(id);
  }

 private:
  std::function<void(qlonglong)> onRow_;
  QString rowMark_;
};

QString HookSource(const QJsonObject& before, const QString& rowMark) {
  return QStringLiteral(R"JS(
(function () {
  var before = %1;
  // A report whose rows are replaced in place keeps its page: the entries
  // come anew.
  window.zantorCorrectedEntries = function (entries) { before = entries; };
  // The row's ID when `node` lies in a data row of the report ("ID oP",
  // entry, total), else null.
  function dataRow(node) {
    var td = node && node.closest ? node.closest('td') : null;
    var tr = td ? td.closest('tr') : null;
    if (!tr || !tr.closest('table.D') || tr.cells.length !== 3) return null;
    var m = /^(\d+) \S$/.exec(tr.cells[0].textContent);
    return m ? { id: m[1], cell: td, row: tr } : null;
  }
  document.addEventListener('dblclick', function (e) {
    var r = dataRow(e.target);
    if (r) console.log('%2' + r.id);
  }, true);
  // Rows are laid out afresh as they scroll into sight: the title goes on
  // when the pointer reaches the cell, before any tooltip is shown.
  document.addEventListener('mouseover', function (e) {
    var r = dataRow(e.target);
    if (!r || r.cell !== r.row.cells[1]) return;
    if (Object.prototype.hasOwnProperty.call(before, r.id)) {
      r.cell.title = '改正前：' + before[r.id];
    }
  }, true);
})();
)JS")
      .arg(QString::fromUtf8(QJsonDocument(before).toJson(QJsonDocument::Compact)), rowMark);
}

void InstallHook(QWebEnginePage* page, const QJsonObject& before) {
  // Every page of the view is made by MakeHookedPage.
  const QString& rowMark = static_cast<HookedPage*>(page)->rowMark();
  QWebEngineScriptCollection& scripts = page->scripts();
  for (const QWebEngineScript& old : scripts.find(kHookScript)) scripts.remove(old);
  QWebEngineScript hook;
  hook.setName(kHookScript);
  hook.setInjectionPoint(QWebEngineScript::DocumentCreation);
  hook.setWorldId(QWebEngineScript::ApplicationWorld);
  hook.setSourceCode(HookSource(before, rowMark));
  scripts.insert(hook);
}

}  // namespace

QWebEnginePage* ReportView::MakeHookedPage(QWebEngineProfile* profile) {
  auto* page = new HookedPage(profile, this, [this](qlonglong id) { emit rowDoubleClicked(id); });
  InstallHook(page, {});
  return page;
}

void ReportView::SetCorrectedEntries(const std::map<long long, std::string>& before) {
  QJsonObject entries;
  for (const auto& [id, entry] : before) {
    entries.insert(QString::number(id), QString::fromStdString(entry));
  }
  InstallHook(page(), entries);
  page()->runJavaScript(
      QStringLiteral("window.zantorCorrectedEntries && window.zantorCorrectedEntries(%1)")
          .arg(QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact))),
      QWebEngineScript::ApplicationWorld);
}

}  // namespace zantor::search
