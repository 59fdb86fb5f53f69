// The HTML document the search dialog shows: a striped table of the selected
// steps, the final total, and a small script giving the page a copy and
// select-all context menu.
#pragma once

#include <string>
#include <string_view>

#include "store/history_store.h"

namespace zantor::search {

// Rows in the order the query returned them. UTF-8; the document declares no
// character set, so a browser reading it as bytes needs BuildReportGbk.
std::string BuildReport(const store::Table& table, std::string_view finalResultText);
std::string BuildReportGbk(const store::Table& table, std::string_view finalResultText);

}  // namespace zantor::search
