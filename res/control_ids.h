// The ids of the dialogs' controls and menu commands, named after what each
// one is. The values are data: the templates carry them and the tests find the
// controls by them, so a value never changes.
#pragma once

namespace zantor::res {

// Buttons that end a dialog, and the answers of a message box.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Static texts and icons nobody looks up share this id; the first one in a
// template is the one found by it.
inline constexpr int kUnnamedControl = -1;

// The main window.
inline constexpr int kEntryField = 1000;
inline constexpr int kResultField = 1001;
inline constexpr int kFastModeRadio = 1002;
inline constexpr int kNormalModeRadio = 1003;
inline constexpr int kFindButton = 1004;
inline constexpr int kExportButton = 1005;
inline constexpr int kOpacitySlider = 1006;  // in the search dialog too
inline constexpr int kOperatorButton = 1007;
inline constexpr int kLastEntryButton = 1010;
inline constexpr int kMemoryStoreButton = 1012;
inline constexpr int kMemoryRecallButton = 1013;
// The stored amount sits in the window's only unnamed static text.
inline constexpr int kMemoryField = kUnnamedControl;
inline constexpr int kEqualsButton = 1015;
inline constexpr int kLastEntryField = 1017;

// The search dialog. Its ids reuse the main window's values.
inline constexpr int kReportView = 1008;
inline constexpr int kValueField = 1000;
inline constexpr int kFilterList = 1009;
inline constexpr int kDescendingButton = 1004;
inline constexpr int kUnsortedButton = 1005;
inline constexpr int kAscendingButton = 1007;
inline constexpr int kExportDataButton = 1010;
inline constexpr int kLeaveButton = 1012;

// The dialog that corrects a past step.
inline constexpr int kCorrectEntryField = 1000;
inline constexpr int kCorrectOperatorList = 1009;

// The main window's menu, and the window menu's About entry.
inline constexpr int kHelpCommand = 32779;
inline constexpr int kCalculatorCommand = 32780;
inline constexpr int kAboutAuthorCommand = 32781;
inline constexpr int kZeroResultCommand = 32783;
inline constexpr int kClearAllCommand = 32784;
inline constexpr int kAboutCommand = 16;

}  // namespace zantor::res
