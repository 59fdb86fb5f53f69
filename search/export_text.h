// The text of an export file: the comma layout (for .csv and .txt alike) or
// a plain HTML page without the report's script.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "store/history_store.h"

namespace zantor::search {

// ',' for the comma layout, 0 for the HTML page. UTF-8 with "\n" line ends;
// rows in the order the query returned them.
std::string BuildExportText(const store::Table& table, std::string_view finalResultText,
                            char separator);

// The layout follows the path's last character, whatever type the save dialog
// had selected: "...t" and "...v" (.txt, .csv) get ',', anything else HTML.
char SeparatorForPath(std::string_view path);

// What goes into the file: GBK, every line feed stored as CR LF.
std::string ToFileBytes(std::string_view utf8);

// The file's bytes made as the statement yields its rows, handed on in
// pieces of about a megabyte: the same bytes as ToFileBytes(BuildExportText())
// of the whole table, without the table or the text held in memory.
class ExportWriter {
 public:
  // `sink` takes each piece; false stops the writing.
  using Sink = std::function<bool(std::string_view bytes)>;
  ExportWriter(char separator, Sink sink);

  void AddRow(std::string_view id, std::string_view op, std::string_view mdata,
              std::string_view re);
  // The final total (and the not-found note when no row came); false when a
  // piece could not be handed on.
  bool Finish(std::string_view finalResultText);

 private:
  // UTF-8 text with "\n" line ends, converted as ToFileBytes does.
  void Append(std::string_view utf8);
  void Flush();

  char separator_;
  Sink sink_;
  std::string buffer_;
  std::string row_;  // one row's text, kept to save an allocation per row
  long long rows_ = 0;
  bool ok_ = true;
};

}  // namespace zantor::search
