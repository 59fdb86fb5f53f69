#include "res/dialog_templates.h"

#include <array>
#include <stdexcept>

namespace zantor::res {
namespace {

using C = ControlClass;

// The fields that keep Tab to themselves say how to leave them.
constexpr std::string_view kLeaveByF6 = "按 F6 切换到其他控件";

constexpr std::array kAboutControls{
    ControlTemplate{kUnnamedControl, C::kIcon, "", 5, 5, 20, 20, kNoStyle},
    ControlTemplate{kUnnamedControl, C::kStatic, "Zantor1.0 版", 30, 5, 60, 8, kNoPrefix},
    ControlTemplate{kUnnamedControl, C::kStatic, "作者：Zantor 项目组", 30, 20, 125, 8, kNoStyle},
    ControlTemplate{IDOK, C::kDefPushButton, "确定", 125, 35, 25, 14, kTabStop},
    ControlTemplate{kUnnamedControl, C::kStatic, "联系：见使用说明", 30, 37, 81, 8, kNoStyle},
};

constexpr std::array kMainControls{
    ControlTemplate{kEntryField,
                    C::kEdit,
                    "",
                    30,
                    0,
                    135,
                    14,
                    kBorder | kTabStop | kAutoHScroll,
                    {"输入数据", kLeaveByF6}},
    ControlTemplate{kResultField,
                    C::kEdit,
                    "",
                    35,
                    30,
                    130,
                    25,
                    kBorder | kMultiLine | kRightAlign | kReadOnly | kVerticalScroll,
                    {"结果"}},
    ControlTemplate{kFastModeRadio, C::kRadio, "快速", 3, 0, 25, 10, kNoStyle},
    ControlTemplate{kNormalModeRadio, C::kRadio, "正常", 3, 15, 25, 10, kNoStyle},
    ControlTemplate{kFindButton, C::kPushButton, "查 找", 3, 52, 25, 14, kTabStop},
    ControlTemplate{kExportButton, C::kPushButton, "导 出", 3, 32, 25, 14, kTabStop},
    ControlTemplate{
        kOpacitySlider, C::kTrackbar, "", 165, 0, 6, 80, kVertical | kTabStop, {"透明度"}},
    // The name follows the operator shown.
    ControlTemplate{
        kOperatorButton, C::kPushButton, "＋", 30, 15, 10, 10, kTabStop, {"运算符：加"}},
    ControlTemplate{kLastEntryButton, C::kPushButton, "看上次数据", 99, 15, 45, 14, kTabStop},
    ControlTemplate{
        kMemoryStoreButton, C::kPushButton, "存", 32, 61, 20, 14, kTabStop, {"存入记忆"}},
    ControlTemplate{
        kMemoryRecallButton, C::kPushButton, "取", 52, 61, 20, 14, kTabStop, {"取出记忆"}},
    // The name is followed by the amount stored.
    ControlTemplate{kMemoryField, C::kStatic, "", 76, 62, 79, 10, kNoStyle, {"记忆"}},
    ControlTemplate{kEqualsButton, C::kPushButton, "=", 145, 15, 15, 10, kTabStop, {"等于"}},
    ControlTemplate{
        kLastEntryField, C::kEdit, "", 40, 16, 60, 12, kBorder | kReadOnly | kHidden, {"上次数据"}},
};

constexpr std::array kFindControls{
    ControlTemplate{kReportView, C::kBrowser, "", 5, 0, 190, 150, kTabStop, {"报告"}},
    ControlTemplate{kOpacitySlider, C::kTrackbar, "", 95, 150, 100, 6, kTabStop, {"透明度"}},
    ControlTemplate{kValueField,
                    C::kEdit,
                    "",
                    30,
                    159,
                    125,
                    14,
                    kBorder | kRightAlign | kTabStop,
                    {"数值", kLeaveByF6}},
    ControlTemplate{kFilterList,
                    C::kComboBox,
                    "*\n-\n+\n<\n=\n>\n全",
                    5,
                    160,
                    20,
                    85,
                    kSorted | kVerticalScroll | kTabStop,
                    {"筛选条件", "", "乘\n减\n加\n小于\n等于\n大于\n全部"}},
    ControlTemplate{kDescendingButton, C::kPushButton, "降 序", 37, 180, 25, 14, kTabStop},
    ControlTemplate{kUnsortedButton, C::kPushButton, "不排序", 65, 180, 25, 14, kTabStop},
    ControlTemplate{kAscendingButton, C::kPushButton, "升 序", 93, 180, 25, 14, kTabStop},
    ControlTemplate{kExportDataButton, C::kPushButton, "导出数据", 130, 180, 37, 14, kTabStop},
    ControlTemplate{kLeaveButton, C::kPushButton, "离开", 170, 180, 20, 14, kTabStop},
};

constexpr std::array kStartModeControls{
    ControlTemplate{IDOK, C::kDefPushButton, "保留上次数据", 5, 3, 55, 14, kTabStop},
    ControlTemplate{IDCANCEL, C::kPushButton, "清除上次数据", 70, 3, 50, 14, kTabStop},
};

// The caption names the step ("改正第 N 步"): set when the dialog opens.
constexpr std::array kCorrectControls{
    ControlTemplate{-1, C::kStatic, "运算符", 5, 7, 25, 8, kNamesNext},
    ControlTemplate{kCorrectOperatorList,
                    C::kComboBox,
                    "＋\n－\n×",
                    32,
                    5,
                    25,
                    60,
                    kVerticalScroll | kTabStop,
                    {"", "", "加\n减\n乘"}},
    ControlTemplate{-1, C::kStatic, "数据", 5, 25, 25, 8, kNamesNext},
    ControlTemplate{kCorrectEntryField, C::kEdit, "", 32, 23, 110, 14,
                    kBorder | kRightAlign | kAutoHScroll | kTabStop},
    ControlTemplate{IDOK, C::kDefPushButton, "确定", 62, 45, 37, 14, kTabStop},
    ControlTemplate{IDCANCEL, C::kPushButton, "取消", 105, 45, 37, 14, kTabStop},
};

constexpr std::array kTemplates{
    DialogTemplate{kAboutBoxTemplate, "关于 QorvelV1", "宋体", 12, 160, 55, true, false, false, 0,
                   kAboutControls},
    DialogTemplate{kMainTemplate, "Zantor", "宋体", 12, 171, 80, true, true, true, kMainMenu,
                   kMainControls},
    DialogTemplate{kFindTemplate, "查  找", "宋体", 12, 199, 200, true, false, false, 0,
                   kFindControls},
    DialogTemplate{kStartModeTemplate, "选择操作方式", "System", 10, 129, 20, false, false, false,
                   0, kStartModeControls},
    DialogTemplate{kCorrectTemplate, "改正", "宋体", 12, 150, 65, true, false, false, 0,
                   kCorrectControls},
};

constexpr std::array kMainMenuItems{
    MenuItem{"使用说明", kHelpCommand, -1},        MenuItem{"系统计算器", kCalculatorCommand, -1},
    MenuItem{"关于作者", kAboutAuthorCommand, -1}, MenuItem{"清除数据", 0, -1},
    MenuItem{"结果清零", kZeroResultCommand, 3},   MenuItem{"全部清除", kClearAllCommand, 3},
};

}  // namespace

const DialogTemplate& Template(int id) {
  for (const DialogTemplate& t : kTemplates) {
    if (t.id == id) return t;
  }
  throw std::out_of_range("no dialog template");
}

std::span<const MenuItem> Menu(int id) {
  if (id == kMainMenu) return kMainMenuItems;
  return {};
}

std::string_view String(int id) {
  if (id == 101) return "关于 QorvelV1(&A)...";
  return {};
}

}  // namespace zantor::res
