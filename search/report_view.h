// The browser control of the search dialog: shows one report document at a
// time, served from memory (documents of any size), with nothing else
// reachable: no network, no local files.
#pragma once

#include <QByteArray>
#include <QWebEngineView>

namespace zantor::search {

class ReportSchemeHandler;

class ReportView : public QWebEngineView {
  Q_OBJECT
 public:
  explicit ReportView(QWidget* parent = nullptr);
  ~ReportView() override;

  // Replaces the page by this document (GBK bytes, as the report is built).
  void ShowDocument(QByteArray gbk);
  const QByteArray& document() const;
  // How many documents have been loaded since the view was made.
  int documentsShown() const { return shown_; }

 private:
  ReportSchemeHandler* handler_;
  int shown_ = 0;
};

// Script and style that give the report page what it was written to expect
// from its browser: document.selection, window.clipboardData, removeNode,
// CollectGarbage, striped rows and an absolutely placed menu span. The script
// also cuts a long report's table into short ones that the engine lays out
// only when they come into sight, keeping the one table's look.
QString CompatibilityScript();
QString CompatibilityStyle();

}  // namespace zantor::search
