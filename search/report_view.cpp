#include "search/report_view.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringDecoder>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <string>
#include <unordered_set>

namespace zantor::search {
namespace {

const QByteArray kScheme = QByteArrayLiteral("zantor-report");

// Only the report itself may load: every other request is refused.
class OnlyReports : public QWebEngineUrlRequestInterceptor {
 public:
  using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
  void interceptRequest(QWebEngineUrlRequestInfo& info) override {
    const QString scheme = info.requestUrl().scheme();
    if (scheme != QString::fromLatin1(kScheme) && scheme != QLatin1String("about") &&
        scheme != QLatin1String("data")) {
      info.block(true);
    }
  }
};

// The engine fixes its schemes when it starts, which is when the first view
// makes its profile; an unregistered one still works, but each handler
// installed for it writes a warning to the standard error stream.
void RegisterReportScheme() {
  static const bool registered = [] {
    if (QWebEngineUrlScheme::schemeByName(kScheme).name().isEmpty()) {
      QWebEngineUrlScheme::registerScheme(QWebEngineUrlScheme(kScheme));
    }
    return true;
  }();
  (void)registered;
}

// Rows whose texts differ only in their digits are equally wide (the font's
// digits share one width), so the page measures its column widths on one row
// of each kind instead of on every row. Finding the kinds here, in the bytes
// as sent, takes a few milliseconds; the page's script needed a tenth of a
// second to read its own rows back. Returns the row markup, every digit made
// 0, each kind once in order of first appearance (the header, then the first
// data row); empty when there are so many kinds that measuring them would be
// no cheaper than laying out the table. GBK's second bytes are never ASCII
// digits or angle brackets, so the markup can be read byte by byte.
QString RowKinds(const QByteArray& gbk) {
  constexpr size_t kMaxKinds = 1000;
  constexpr QByteArrayView kRowEnd("</tr>");
  const qsizetype last = gbk.lastIndexOf(kRowEnd);
  qsizetype at = gbk.indexOf("<tr");
  if (at < 0 || last < at) return {};
  std::unordered_set<std::string> seen;
  std::string kinds;
  std::string row;
  while (at < last) {
    const qsizetype end = gbk.indexOf(kRowEnd, at);
    row.assign(gbk.constData() + at, static_cast<size_t>(end - at));
    for (char& c : row) {
      if (c >= '1' && c <= '9') c = '0';
    }
    if (seen.insert(row).second) {
      if (seen.size() > kMaxKinds) return {};
      kinds.append(row).append(kRowEnd.data(), static_cast<size_t>(kRowEnd.size()));
    }
    at = end + kRowEnd.size();
  }
  QStringDecoder fromGbk("GBK");
  return fromGbk(QByteArrayView(kinds.data(), static_cast<qsizetype>(kinds.size())));
}

}  // namespace

class ReportSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  QByteArray document;

  void requestStarted(QWebEngineUrlRequestJob* job) override {
    auto* buffer = new QBuffer(job);
    buffer->setData(document);
    buffer->open(QIODevice::ReadOnly);
    // The document declares no character set: it is GBK.
    job->reply(QByteArrayLiteral("text/html;charset=GBK"), buffer);
  }
};

QString CompatibilityScript() {
  return QStringLiteral(R"JS(
(function () {
  function copyText(text) {
    var area = document.createElement('textarea');
    area.value = text;
    area.style.position = 'fixed';
    area.style.left = '-1000px';
    document.documentElement.appendChild(area);
    area.select();
    document.execCommand('copy');
    area.parentNode.removeChild(area);
  }
  if (!document.selection) {
    Object.defineProperty(document, 'selection', {
      configurable: true,
      get: function () {
        return {
          createRange: function () {
            var s = window.getSelection();
            return {
              text: s ? s.toString() : '',
              execCommand: function (command) { return document.execCommand(command); }
            };
          }
        };
      }
    });
  }
  if (!window.clipboardData) {
    window.clipboardData = {
      setData: function (format, text) { copyText(String(text)); return true; },
      getData: function () { return ''; }
    };
  }
  if (!Element.prototype.removeNode) {
    Element.prototype.removeNode = function () {
      if (this.parentNode) this.parentNode.removeChild(this);
      return this;
    };
  }
  if (!window.CollectGarbage) window.CollectGarbage = function () {};
  // The engine lays a long table out again for every piece the parser hands
  // over, so a big report took time growing with the square of its rows.
  // Held back until it has been read completely, it is laid out once.
  // The script can also come late, when the page has been read already (the
  // engine does not promise the moment): then there is nothing to hold back.
  var hold = null;
  var reading = document.readyState === 'loading';
  if (reading && document.adoptedStyleSheets && window.CSSStyleSheet) {
    hold = new CSSStyleSheet();
    hold.replaceSync('body{display:none!important}');
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([hold]);
  }
  function reveal() {
    document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (s) {
      return s !== hold;
    });
  }

  // Even laid out once, a table of many thousand rows takes the engine
  // seconds: it styles, measures and paints every cell before the first
  // screen shows. Cut into short tables that the engine skips while they are
  // out of sight (content-visibility), the rows cost only where the user
  // looks. Separate tables no longer share their column widths, so these are
  // measured by the engine's own table layout on a small table with one row
  // of each kind (window.zantorRowKinds, found by the view as it sends the
  // page), and then fixed.
  var kPlainRows = 2000 + 2;  // data rows, the header and the final total
  // Even, so that the nth-child stripes run on across the pieces unbroken.
  var kPieceRows = 200;

  var pieceStyle = null;
  // Lays the sample out where the pieces go and fixes their widths to its
  // columns. The long report always scrolls, so the sample is measured with
  // the scroll bar there too: the width left for the table is the same.
  function fitPieces(sample, before) {
    before.parentNode.insertBefore(sample, before);
    var root = document.documentElement.style;
    var overflow = root.overflowY;
    root.overflowY = 'scroll';
    var box = sample.getBoundingClientRect();
    var spacing = sample.rows[0].getBoundingClientRect().top - box.top;
    var dataRow = sample.rows[1].getBoundingClientRect().height;
    var columns = Array.prototype.map.call(sample.rows[0].cells, function (td) {
      return td.getBoundingClientRect().width;
    });
    root.overflowY = overflow;
    sample.remove();
    var css = 'table.zantor-cut{table-layout:fixed;width:' + box.width + 'px}';
    columns.forEach(function (w, i) {
      css += 'table.zantor-cut td:nth-child(' + (i + 1) + '){box-sizing:border-box;width:' + w +
          'px}';
    });
    // Each table has the cell spacing above its first row and below its
    // last; between two pieces it must come once, as between two rows.
    css += '.zantor-piece{margin-top:-' + spacing + 'px}';
    // A skipped piece keeps the height its rows will have: the data rows of
    // the report are all one line high. (Not 'auto': the engine's record of
    // pieces' last sizes reports a ResizeObserver loop error on long jumps.)
    css += '.zantor-piece:not(.zantor-end){content-visibility:auto;contain-intrinsic-height:' +
        (kPieceRows * (dataRow + spacing) + spacing) + 'px}';
    if (!pieceStyle) {
      pieceStyle = new CSSStyleSheet();
      document.adoptedStyleSheets = document.adoptedStyleSheets.concat([pieceStyle]);
    }
    pieceStyle.replaceSync(css);
  }

  function cutIntoPieces() {
    var table = document.querySelector('table.D');
    if (!table || table.rows.length <= kPlainRows || !window.zantorRowKinds) return;
    var sample = document.createElement('table');
    sample.className = 'D';
    sample.createTBody().innerHTML = window.zantorRowKinds;
    if (sample.rows.length < 2) return;
    var rows = Array.prototype.slice.call(table.rows);
    // Out of the document while the sample is measured, and while its rows
    // move: only the sample is laid out, and nothing is told of each move.
    var marker = document.createComment('');
    table.parentNode.replaceChild(marker, table);
    reveal();
    fitPieces(sample, marker);
    // The report's own table keeps the first rows, so that the page reads
    // as before where it starts: 全选 takes the same text.
    table.classList.add('zantor-cut');
    var pieces = document.createDocumentFragment();
    pieces.appendChild(table);
    for (var first = kPieceRows; first < rows.length; first += kPieceRows) {
      var piece = pieces.appendChild(document.createElement('div'));
      piece.className = 'zantor-piece';
      var part = piece.appendChild(document.createElement('table'));
      part.className = 'D zantor-cut';
      var body = part.appendChild(document.createElement('tbody'));
      var end = Math.min(first + kPieceRows, rows.length);
      for (var r = first; r < end; ++r) body.appendChild(rows[r]);
    }
    // The last piece, with the final total, is always laid out: the page
    // ends exactly where the table would.
    pieces.lastChild.classList.add('zantor-end');
    marker.parentNode.replaceChild(pieces, marker);
    window.addEventListener('resize', function () {
      fitPieces(sample, table);
    });
  }

  function arrange() {
    try {
      cutIntoPieces();
    } finally {
      reveal();
    }
  }
  if (reading) {
    document.addEventListener('DOMContentLoaded', arrange);
  } else if (document.adoptedStyleSheets && window.CSSStyleSheet) {
    arrange();
  }
})();
)JS");
}

QString CompatibilityStyle() {
  return QStringLiteral(
      ".D tr:nth-child(odd){background-color:#FFFFFF}"
      ".D tr:nth-child(even){background-color:#EEEEEE}"
      "span{cursor:default;position:absolute;z-index:1}"
      "input{background:#FFFFFF}");
}

ReportView::ReportView(QWidget* parent) : QWebEngineView(parent) {
  RegisterReportScheme();
  // A private, in-memory profile: the report leaves nothing on disk.
  auto* profile = new QWebEngineProfile(this);
  profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
  profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
  profile->setUrlRequestInterceptor(new OnlyReports(profile));
  handler_ = new ReportSchemeHandler(profile);
  profile->installUrlSchemeHandler(kScheme, handler_);

  QWebEngineScript script;
  script.setName(QStringLiteral("compatibility"));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setSourceCode(CompatibilityScript());
  profile->scripts()->insert(script);

  QWebEngineScript style;
  style.setName(QStringLiteral("compatibility-style"));
  style.setInjectionPoint(QWebEngineScript::DocumentReady);
  style.setWorldId(QWebEngineScript::ApplicationWorld);
  style.setSourceCode(
      QStringLiteral("(function(){var s=document.createElement('style');"
                     "s.textContent='%1';"
                     "(document.head||document.documentElement).appendChild(s);})();")
          .arg(CompatibilityStyle()));
  profile->scripts()->insert(style);

  auto* page = new QWebEnginePage(profile, this);
  QWebEngineSettings* s = page->settings();
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, true);
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::AutoLoadImages, false);
  setPage(page);
  setUrl(QUrl(QStringLiteral("about:blank")));
}

ReportView::~ReportView() {
  // The page must go before the profile it was made with.
  QWebEnginePage* p = page();
  setPage(nullptr);
  delete p;
}

void ReportView::ShowDocument(QByteArray gbk) {
  const QString kindsName = QStringLiteral("report-row-kinds");
  QWebEngineScriptCollection& scripts = page()->scripts();
  for (const QWebEngineScript& old : scripts.find(kindsName)) scripts.remove(old);
  QWebEngineScript kinds;
  kinds.setName(kindsName);
  kinds.setInjectionPoint(QWebEngineScript::DocumentCreation);
  kinds.setWorldId(QWebEngineScript::MainWorld);
  kinds.setSourceCode(
      QStringLiteral("window.zantorRowKinds = %1[0];")
          .arg(QString::fromUtf8(
              QJsonDocument(QJsonArray{RowKinds(gbk)}).toJson(QJsonDocument::Compact))));
  scripts.insert(kinds);
  handler_->document = std::move(gbk);
  ++shown_;
  setUrl(QUrl(QStringLiteral("%1:report/%2").arg(QString::fromLatin1(kScheme)).arg(shown_)));
}

const QByteArray& ReportView::document() const { return handler_->document; }

}  // namespace zantor::search
