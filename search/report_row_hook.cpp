// What the view adds to the report page on its own account: a double-click
// on a data row reaches the dialog, and a corrected row's entry gets a title
// with the entry it had before. Both live in a world of their own, so the
// page's script neither sees nor disturbs them, and neither touches the
// document's text.
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <functional>

#include "search/report_view.h"

namespace zantor::search {
namespace {

const QString kHookScript = QStringLiteral("report-row-hook");
// What the hook writes on the console for a double-clicked row, before its ID.
const QString kRowMark = QStringLiteral("zantor-row-dblclick:");

// Console messages are the one way out of the page that needs no channel
// into it: the hook's mark is taken, everything else stays the page's.
class HookedPage : public QWebEnginePage {
 public:
  HookedPage(QWebEngineProfile* profile, QObject* parent, std::function<void(qlonglong)> onRow)
      : QWebEnginePage(profile, parent), onRow_(std::move(onRow)) {}

 protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int,
                                const QString&) override {
    if (!message.startsWith(kRowMark)) return;
    bool ok = false;
    const qlonglong id = message.mid(kRowMark.size()).toLongLong(&ok);
    if (ok && id > 0) onRow_(id);
  }

 private:
  std::function<void(qlonglong)> onRow_;
};

QString HookSource(const QJsonObject& before, const QJsonObject& notes) {
  return QStringLiteral(R"JS(
(function () {
  var before = %1;
  var notes = %3;
  // A report whose rows are replaced in place keeps its page: the entries
  // come anew.
  window.zantorCorrectedEntries = function (entries, stepNotes) {
    before = entries;
    notes = stepNotes || {};
  };
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
    var title = [];
    if (Object.prototype.hasOwnProperty.call(before, r.id)) title.push('改正前：' + before[r.id]);
    if (Object.prototype.hasOwnProperty.call(notes, r.id)) title.push('备注：' + notes[r.id]);
    if (title.length) r.cell.title = title.join('\n');
  }, true);
})();
)JS")
      .arg(QString::fromUtf8(QJsonDocument(before).toJson(QJsonDocument::Compact)), kRowMark,
           QString::fromUtf8(QJsonDocument(notes).toJson(QJsonDocument::Compact)));
}

void InstallHook(QWebEnginePage* page, const QJsonObject& before, const QJsonObject& notes = {}) {
  QWebEngineScriptCollection& scripts = page->scripts();
  for (const QWebEngineScript& old : scripts.find(kHookScript)) scripts.remove(old);
  QWebEngineScript hook;
  hook.setName(kHookScript);
  hook.setInjectionPoint(QWebEngineScript::DocumentCreation);
  hook.setWorldId(QWebEngineScript::ApplicationWorld);
  hook.setSourceCode(HookSource(before, notes));
  scripts.insert(hook);
}

}  // namespace

QWebEnginePage* ReportView::MakeHookedPage(QWebEngineProfile* profile) {
  auto* page = new HookedPage(profile, this, [this](qlonglong id) { emit rowDoubleClicked(id); });
  InstallHook(page, {});
  return page;
}

void ReportView::SetCorrectedEntries(const std::map<long long, std::string>& before,
                                     const std::map<long long, std::string>& notes) {
  auto json = [](const std::map<long long, std::string>& texts) {
    QJsonObject o;
    for (const auto& [id, text] : texts)
      o.insert(QString::number(id), QString::fromStdString(text));
    return o;
  };
  const QJsonObject entries = json(before);
  const QJsonObject stepNotes = json(notes);
  InstallHook(page(), entries, stepNotes);
  page()->runJavaScript(
      QStringLiteral("window.zantorCorrectedEntries && window.zantorCorrectedEntries(%1, %2)")
          .arg(QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact)),
               QString::fromUtf8(QJsonDocument(stepNotes).toJson(QJsonDocument::Compact))),
      QWebEngineScript::ApplicationWorld);
}

}  // namespace zantor::search
