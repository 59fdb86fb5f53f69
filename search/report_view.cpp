#include "search/report_view.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop.h"

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
      QWebEngineUrlScheme scheme(kScheme);
      scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
      scheme.setFlags(QWebEngineUrlScheme::CorsEnabled);
      QWebEngineUrlScheme::registerScheme(scheme);
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
  QByteArray rows;

  void requestStarted(QWebEngineUrlRequestJob* job) override {
    auto* buffer = new QBuffer(job);
    if (job->requestUrl().path().startsWith(QLatin1String("/rows/"))) {
      buffer->setData(rows);
      buffer->open(QIODevice::ReadOnly);
      job->reply(QByteArrayLiteral("text/plain;charset=ISO-8859-1"), buffer);
      return;
    }
    buffer->setData(document);
    buffer->open(QIODevice::ReadOnly);
    // The document declares no character set: it is GBK.
    job->reply(QByteArrayLiteral("text/html;charset=GBK"), buffer);
  }
};

// The page's script and style are files of their own, built in as resources.
QString PageResource(const QString& name) {
  QFile file(QStringLiteral(":/zantor/page/") + name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

QString CompatibilityScript() { return PageResource(QStringLiteral("report.js")); }

QString CompatibilityStyle() { return PageResource(QStringLiteral("report.css")); }

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

  QWebEngineScript style;
  style.setName(QStringLiteral("compatibility-style"));
  style.setInjectionPoint(QWebEngineScript::DocumentReady);
  style.setWorldId(QWebEngineScript::ApplicationWorld);
  style.setSourceCode(
      QStringLiteral("(function(){var s=document.createElement('style');"
                     "s.textContent=%1[0];"
                     "(document.head||document.documentElement).appendChild(s);})();")
          .arg(QString::fromUtf8(
              QJsonDocument(QJsonArray{CompatibilityStyle()}).toJson(QJsonDocument::Compact))));

  QWebEnginePage* page = MakeHookedPage(profile);
  // The page's own scripts, not the profile's: the engine gives a page's
  // scripts again to a process started after one that ended.
  page->scripts().insert(script);
  page->scripts().insert(style);
  QWebEngineSettings* s = page->settings();
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  // 复制 is done by the program (report_row_hook.cpp), not by the page.
  s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
  s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  s->setAttribute(QWebEngineSettings::AutoLoadImages, false);
  setPage(page);
  connect(page, &QWebEnginePage::renderProcessTerminated, this, &ReportView::RendererGone,
          Qt::QueuedConnection);
  setUrl(QUrl(QStringLiteral("about:blank")));
  // The page has read its rows by the time it has loaded: they need not be
  // held any longer.
  connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
    if (url().path() != QStringLiteral("/%1").arg(shown_)) return;
    DropRows();
    ready_ = ok;
  });
}

ReportView::~ReportView() {
  // The page must go before the profile it was made with.
  QWebEnginePage* p = page();
  setPage(nullptr);
  delete p;
}

void ReportView::ShowDocument(QByteArray gbk) {
  rendererEnds_ = 0;
  std::optional<ReportDocument> report =
      ReportDocument::FromText(std::string_view(gbk.constData(), static_cast<size_t>(gbk.size())));
  if (report) {
    ShowReport(std::move(*report));
    return;
  }
  report_.reset();
  DropRows();
  Load(std::move(gbk));
}

void ReportView::ShowReport(ReportDocument report) {
  rendererEnds_ = 0;
  // Rows of number texts go to the page as data, which it lays out only
  // where they are seen; any other report goes as its document.
  DropRows();
  QByteArray page;
  if (report.plain()) {
    const std::string& head = ReportDocument::Head();
    const std::string widest = report.WidestRows();
    const std::string& lines = report.lines();
    page.reserve(static_cast<qsizetype>(head.size() + widest.size() + 400));
    page.append(head.data(), static_cast<qsizetype>(head.size()));
    page.append(ReportDocument::FinalRow().data(),
                static_cast<qsizetype>(ReportDocument::FinalRow().size()));
    page.append(report.finalText().data(), static_cast<qsizetype>(report.finalText().size()));
    if (report.rows() == 0) {
      page.append(ReportDocument::NotFoundRow().data(),
                  static_cast<qsizetype>(ReportDocument::NotFoundRow().size()));
    }
    page.append(ReportDocument::Close().data(),
                static_cast<qsizetype>(ReportDocument::Close().size()));
    page.append("<script type='text/x-zantor-widest'>");
    page.append(widest.data(), static_cast<qsizetype>(widest.size()));
    page.append("</script>");
    // The page asks for its rows once it has been read (see the script).
    handler_->rows = QByteArray(lines.data(), static_cast<qsizetype>(lines.size()));
  } else {
    const std::string text = report.Text();
    page = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
  }
  report_ = std::move(report);
  Load(std::move(page));
}

bool ReportView::ReplaceRows(std::span<const ReportDocument::RowCells> rows,
                             const std::string& finalResultText) {
  // Beyond this the page takes longer over the lines than over reading the
  // report again.
  constexpr size_t kMaxTail = 1 << 20;
  if (!ready_ || !report_) return false;
  std::optional<ReportDocument::Replaced> done = report_->Replace(rows, finalResultText, kMaxTail);
  if (!done) return false;
  QJsonArray args;
  args.append(done->firstRow);
  args.append(QString::fromLatin1(done->tail.data(), static_cast<qsizetype>(done->tail.size())));
  args.append(QString::fromLatin1(report_->finalText().data(),
                                  static_cast<qsizetype>(report_->finalText().size())));
  const std::string widest = report_->WidestRows();
  args.append(QString::fromLatin1(widest.data(), static_cast<qsizetype>(widest.size())));
  const QString call =
      QStringLiteral("window.zantorReplaceRows ? window.zantorReplaceRows.apply(null, %1) : false")
          .arg(QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)));
  const int shown = shown_;
  page()->runJavaScript(call, QWebEngineScript::MainWorld, [this, shown](const QVariant& v) {
    if (shown != shown_) return;
    if (v.toBool()) {
      ++replaced_;
      return;
    }
    // The page would not take them: the document has them, show it.
    if (report_) ShowReport(std::move(*report_));
  });
  return true;
}

void ReportView::RendererGone() {
  if (++rendererEnds_ > 1) {
    platform::MessageBox(window(),
                         QStringLiteral("显示报表的浏览器进程意外结束，报表无法显示。"
                                        "请关闭查找窗口后重新查找。"),
                         platform::MB_OK | platform::MB_ICONWARNING);
    return;
  }
  const int ends = rendererEnds_;
  if (report_) {
    ShowReport(std::move(*report_));
  } else {
    DropRows();
    Load(handler_->document);
  }
  rendererEnds_ = ends;
}

void ReportView::DropRows() { handler_->rows = QByteArray(); }

void ReportView::Load(QByteArray page) {
  ready_ = false;
  handler_->document = std::move(page);
  ++shown_;
  setUrl(QUrl(QStringLiteral("%1://report/%2").arg(QString::fromLatin1(kScheme)).arg(shown_)));
}

QByteArray ReportView::document() const {
  if (!report_) return handler_->document;
  const std::string text = report_->Text();
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace zantor::search
