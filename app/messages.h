// Texts the main window shows in its message boxes.
#pragma once

#include <QString>

namespace zantor::app {

inline const QString kAlreadyRunning = QStringLiteral("程序已经运行!");
inline const QString kSaveFailed = QStringLiteral("保存数据不成功");
inline const QString kTooMuchData =
    QStringLiteral("保存的数据太多可能会导致运行\n本软件时速度变慢\n是否清除前期的数据！");
inline const QString kOperatorTip = QStringLiteral("点击我或用空格切换运算符");
inline const QString kZeroResultQuestion =
    QStringLiteral("这样操作会删除当前运算的结果\n但会保留你以前操作的数据\n你确定将结果清零？");
inline const QString kClearAllQuestion =
    QStringLiteral("这样操作会删除以前的所有数据\n你确定要清除所有数据？");
// Our own: the history cannot be written this time.
inline const QString kHistoryUnavailable =
    QStringLiteral("无法打开历史数据文件，\n这次的运算步骤不会被记录。");
inline const QString kDamagedHistory = QStringLiteral(
    "历史数据文件已损坏或不是本程序的文件，\n这次的运算步骤不会被记录。\n"
    "如要重新开始记录，请在启动时选择“清除上次数据”。");
// Our own: clearing found a file that is not a history of ours; %1 is where
// it now is.
inline const QString kMovedAside =
    QStringLiteral("原来的历史数据文件已损坏或不是本程序的文件，\n没有删除，已改名为：\n%1");
// Our own: clearing found the history file held by another program; it is
// left as it is, and this run cannot record into it.
inline const QString kHistoryBusy =
    QStringLiteral("历史数据文件正被其他程序使用，没有清除，\n这次的运算步骤不会被记录。");
// Our own: the search module could not be loaded; %1 says why, one of the
// four below.
inline const QString kSearchUnavailable = QStringLiteral("无法打开查找窗口：\n%1");
inline const QString kSearchModuleMissing = QStringLiteral("找不到查找模块 zantor-search.so。");
inline const QString kSearchLibraryMissing = QStringLiteral("缺少查找模块需要的程序库 %1。");
inline const QString kSearchModuleUnloadable = QStringLiteral("查找模块无法载入：\n%1");
inline const QString kSearchModuleMismatch = QStringLiteral("查找模块与本程序的版本不符。");

// Our own: the help page or a calculator could not be opened; %1 is the
// page's path, or the calculators looked for.
inline const QString kHelpCannotOpen =
    QStringLiteral("无法打开使用说明：\n%1\n请安装网页浏览器和 xdg-utils。");
inline const QString kCalculatorMissing = QStringLiteral("找不到系统计算器，请安装其中一个：\n%1");
// Our own: the start-up choice 清除上次数据 asks first; %1 is the number of steps.
inline const QString kClearLastQuestion =
    QStringLiteral("上次的 %1 步运算数据将全部删除，\n你确定要清除上次数据？");
// Ours, for screen readers: the entry field's description after a step, the
// new total (%1) before the field's own description (%2), which the reader
// speaks as it changes; the operator button's name for the operator shown
// (%1: 加, 减 or 乘); the memory's name with the amount stored (%1 the name
// the template gives it, %2 the amount).
inline const QString kTotalDescription = QStringLiteral("结果 %1，%2");
inline const QString kOperatorName = QStringLiteral("运算符：%1");
inline const QString kMemoryName = QStringLiteral("%1 %2");

}  // namespace zantor::app
