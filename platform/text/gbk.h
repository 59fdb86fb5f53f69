// Conversion between the program's UTF-8 texts and GBK, the encoding of the
// clipboard bytes the paste filters work on and of the exported files.
#pragma once

#include <string>
#include <string_view>

namespace zantor::platform {

// A character GBK cannot hold, or a byte that is not valid UTF-8, becomes '?'.
std::string ToGbk(std::string_view utf8);

// A byte sequence that is not GBK becomes '?', one per offending byte.
std::string FromGbk(std::string_view gbk);

}  // namespace zantor::platform
