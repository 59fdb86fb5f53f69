// What the view adds to the report page on its own account: a double-click
// on a data row reaches the dialog with where the row lies, and a corrected
// row's entry is marked and gets a title with the entry it had before. Both
// live in a world of their own, so the page's script neither sees nor disturbs
// them, and neither touches the document's text. The hook's messages carry a
// secret of the page that the page's script cannot read, so that script
// cannot pass for the hook.
#include <QClipboard>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStringList>
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
  HookedPage(QWebEngineProfile* profile, QObject* parent,
             std::function<void(qlonglong, int, int)> onRow)
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
    // The mark, then the row's ID, top and bottom in the page's window.
    if (!message.startsWith(rowMark_)) return;
    const QStringList parts = message.mid(rowMark_.size()).split(QLatin1Char(' '));
    bool ok = false;
    const qlonglong id = parts.value(0).toLongLong(&ok);
    if (!ok || id <= 0) return;
    onRow_(id, parts.value(1).toInt(), parts.value(2).toInt());
  }

 private:
  std::function<void(qlonglong, int, int)> onRow_;
  QString rowMark_;
};

QString HookSource(const QJsonObject& before, const QJsonObject& notes, const QString& rowMark) {
  return QStringLiteral(R"JS(
(function () {
  var before = %1;
  var notes = %3;
  // A report whose rows are replaced in place keeps its page: the entries
  // come anew.
  window.zantorCorrectedEntries = function (entries, stepNotes) {
    before = entries;
    notes = stepNotes || {};
    publish();
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
    if (!r) return;
    var box = r.row.getBoundingClientRect();
    console.log('%2' + r.id + ' ' + Math.floor(box.top) + ' ' + Math.ceil(box.bottom));
  }, true);
  // The corrected steps go on the root element, where the page's own layout
  // finds them for the rows it lays out later; the rows already there are
  // marked here.
  function publish() {
    var root = document.documentElement;
    if (!root) return;
    var ids = Object.keys(before);
    if (ids.length) {
      root.setAttribute('data-zantor-corrected', ' ' + ids.join(' ') + ' ');
    } else {
      root.removeAttribute('data-zantor-corrected');
    }
    var rows = document.querySelectorAll('table.D tr');
    for (var i = 0; i < rows.length; ++i) {
      var r = dataRow(rows[i].cells[1]);
      if (r) r.cell.classList.toggle('zantor-corrected', before.hasOwnProperty(r.id));
    }
  }
  publish();
  document.addEventListener('readystatechange', publish, true);
  document.addEventListener('DOMContentLoaded', publish, true);
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
      .arg(QString::fromUtf8(QJsonDocument(before).toJson(QJsonDocument::Compact)), rowMark,
           QString::fromUtf8(QJsonDocument(notes).toJson(QJsonDocument::Compact)));
}

void InstallHook(QWebEnginePage* page, const QJsonObject& before, const QJsonObject& notes = {}) {
  // Every page of the view is made by MakeHookedPage.
  const QString& rowMark = static_cast<HookedPage*>(page)->rowMark();
  QWebEngineScriptCollection& scripts = page->scripts();
  for (const QWebEngineScript& old : scripts.find(kHookScript)) scripts.remove(old);
  QWebEngineScript hook;
  hook.setName(kHookScript);
  hook.setInjectionPoint(QWebEngineScript::DocumentCreation);
  hook.setWorldId(QWebEngineScript::ApplicationWorld);
  hook.setSourceCode(HookSource(before, notes, rowMark));
  scripts.insert(hook);
}

}  // namespace

QWebEnginePage* ReportView::MakeHookedPage(QWebEngineProfile* profile) {
  auto* page = new HookedPage(profile, this, [this](qlonglong id, int top, int bottom) {
    // The page counts in its own pixels, which the zoom scales.
    const qreal zoom = zoomFactor();
    rowBand_ = QRect(0, qRound(top * zoom), width(), qRound((bottom - top) * zoom));
    emit rowDoubleClicked(id);
  });
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
