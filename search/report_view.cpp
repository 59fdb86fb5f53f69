#include "search/report_view.h"

#include <QBuffer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

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
  if (document.adoptedStyleSheets && window.CSSStyleSheet) {
    var hold = new CSSStyleSheet();
    hold.replaceSync('body{display:none!important}');
    document.adoptedStyleSheets = document.adoptedStyleSheets.concat([hold]);
    document.addEventListener('DOMContentLoaded', function () {
      document.adoptedStyleSheets = document.adoptedStyleSheets.filter(function (s) {
        return s !== hold;
      });
    });
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
  handler_->document = std::move(gbk);
  ++shown_;
  setUrl(QUrl(QStringLiteral("%1:report/%2").arg(QString::fromLatin1(kScheme)).arg(shown_)));
}

const QByteArray& ReportView::document() const { return handler_->document; }

}  // namespace zantor::search
