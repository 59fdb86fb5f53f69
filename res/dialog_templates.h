// Dialog, menu and string resources, kept as data. Positions are in dialog
// units; the window layer converts them with the dialog font's metrics.
#pragma once

#include <span>
#include <string_view>

#include "res/control_ids.h"

namespace zantor::res {

enum class ControlClass {
  kEdit,
  kRadio,
  kPushButton,
  kDefPushButton,
  kStatic,
  kIcon,
  kTrackbar,
  kComboBox,
  kBrowser,
};

enum ControlStyle : unsigned {
  kNoStyle = 0,
  kTabStop = 1u << 0,
  kMultiLine = 1u << 1,
  kReadOnly = 1u << 2,
  kRightAlign = 1u << 3,
  kVerticalScroll = 1u << 4,
  kHidden = 1u << 5,
  kVertical = 1u << 6,  // trackbar orientation
  kNoPrefix = 1u << 7,  // static text shown without '&' processing
  kBorder = 1u << 8,
  kAutoHScroll = 1u << 9,
  kSorted = 1u << 10,     // combo box keeps its entries sorted
  kNamesNext = 1u << 11,  // static text that labels the control after it
};

// What assistive technology (a screen reader) tells of a control, where its
// visible text does not say it: a name, a description, and for a list the
// word for each entry, in the template's order of the entries.
struct AccessibleText {
  std::string_view name = {};
  std::string_view description = {};
  std::string_view items = {};  // one line per entry, as the control's text has them
};

struct ControlTemplate {
  int id;
  ControlClass cls;
  std::string_view text;
  int x, y, width, height;
  unsigned style;
  AccessibleText accessible = {};
};

struct DialogTemplate {
  int id;
  std::string_view caption;
  std::string_view fontFace;
  int pointSize;
  int width, height;
  bool systemMenu;
  bool minimizeBox;
  bool appWindow;  // a window of its own, with a taskbar button; else a dialog
  int menuId;      // 0 when the dialog has no menu bar
  std::span<const ControlTemplate> controls;
};

struct MenuItem {
  std::string_view text;
  int commandId;    // 0 for a drop-down
  int parentIndex;  // index of the drop-down it belongs to, -1 on the bar
};

inline constexpr int kAboutBoxTemplate = 100;
inline constexpr int kMainTemplate = 102;
inline constexpr int kFindTemplate = 130;
inline constexpr int kStartModeTemplate = 132;
inline constexpr int kMainMenu = 134;
inline constexpr int kCorrectTemplate = 136;
inline constexpr int kAppIcon = 128;

const DialogTemplate& Template(int id);
std::span<const MenuItem> Menu(int id);
// The string table; empty for an unknown id.
std::string_view String(int id);

}  // namespace zantor::res
