// The program's start, from main(): a test build may prepare the dialog
// before it is shown.
#pragma once

#include <functional>

namespace zantor::app {

class CCalcDlg;

int RunZantor(int argc, char** argv, const std::function<void(CCalcDlg&)>& prepare = {});

}  // namespace zantor::app
