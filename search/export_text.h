// The text of an export file: the comma layout (for .csv and .txt alike) or
// a plain HTML page without the report's script.
#pragma once

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

}  // namespace zantor::search
