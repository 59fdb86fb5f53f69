// The browser control of the search dialog: shows one report document at a
// time, served from memory (documents of any size), with nothing else
// reachable: no network, no local files.
#pragma once

#include <QByteArray>
#include <QRect>
#include <QWebEngineView>
#include <map>
#include <optional>
#include <span>
#include <string>

#include "search/report_document.h"

namespace zantor::search {

class ReportSchemeHandler;

class ReportView : public QWebEngineView {
  Q_OBJECT
 public:
  explicit ReportView(QWidget* parent = nullptr);
  ~ReportView() override;

  // Replaces the page by this report.
  void ShowReport(ReportDocument report);
  // The same for a document's text (GBK bytes, as the report is built).
  void ShowDocument(QByteArray gbk);
  // The text of the document shown last.
  QByteArray document() const;
  // How many documents have been loaded since the view was made.
  int documentsShown() const { return shown_; }

  // Puts corrected rows (consecutive, by ID) and a new final total into the
  // report shown, in the page as it stands and in the document, when the
  // result is exactly what showing the whole report again would give. False,
  // with nothing changed, when it would not be (then show it again).
  bool ReplaceRows(std::span<const ReportDocument::RowCells> rows,
                   const std::string& finalResultText);
  // How many replacements have reached the page; one that the page could
  // not take shows the whole report again instead.
  int replacementsShown() const { return replaced_; }

  // Steps corrected earlier, by ID, with the entry each had before, and the
  // steps' notes: from the next report on, hovering such a row's entry shows
  // them in a title. The document text stays as it is.
  void SetCorrectedEntries(const std::map<long long, std::string>& before,
                           const std::map<long long, std::string>& notes = {});
  // Where the row double-clicked last lies, in the view's coordinates.
  QRect lastRowBand() const { return rowBand_; }

 signals:
  // A data row of the report was double-clicked (header, final and
  // not-found rows never are).
  void rowDoubleClicked(qlonglong id);

 private:
  void Load(QByteArray page);
  void DropRows();
  // The engine's process that drew the page has ended: the page is shown
  // again, once; if it ends again the user is told.
  void RendererGone();
  // The page with the row hook (report_row_hook.cpp): double-clicks and the
  // entry titles.
  QWebEnginePage* MakeHookedPage(QWebEngineProfile* profile);

  ReportSchemeHandler* handler_;
  std::optional<ReportDocument> report_;
  int shown_ = 0;
  int replaced_ = 0;
  QRect rowBand_;
  // Ends of the drawing process since the report was last asked for.
  int rendererEnds_ = 0;
  // The page shown has read its rows and can take replacements.
  bool ready_ = false;
};

// Script and style that give the report page what it was written to expect
// from its browser: document.selection, window.clipboardData, removeNode,
// CollectGarbage, striped rows, an absolutely placed menu span and a centred
// table. The script also keeps a report's rows, sent as data, out of the
// document and lays out only those in sight, in a table that looks and
// scrolls as the whole one would; 全选 and 复制 take the rows' text from
// the data.
QString CompatibilityScript();
QString CompatibilityStyle();

}  // namespace zantor::search
