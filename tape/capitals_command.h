// zantor-tape --daxie AMOUNT: the amount in capitals, for scripts that fill
// in forms.
#pragma once

#include <cstdio>
#include <string>

namespace zantor::tape {

// Prints the capitals and a line feed on `out` and returns 0; a rounding to
// 分 is noted on `err`. An amount of 10^16 or more, or one that is not an
// amount, is told on `err` with status 1.
int CapitalsCommand(const std::string& amount, std::FILE* out, std::FILE* err);

}  // namespace zantor::tape
