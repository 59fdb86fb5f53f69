// The two steps of the worked example, 0.05 added to a zero total and then
// times 3, and what an export of all of them writes, byte for byte. The GBK
// bytes are written out so that no converter is checked against itself.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/step.h"
#include "store/history_store.h"

namespace zantor::testsupport {

inline constexpr char kTwoStepsTotal[] = "0.15";

// Records the two steps and saves their total, as the main window leaves the
// file before a search.
inline void RecordTwoSteps(store::HistoryStore& store) {
  store.RecordStep(engine::HistoryRow{'+', "0.05", "0.05", "0.05"}, 2);
  store.RecordStep(engine::HistoryRow{'*', "3", "3", "0.15"}, 2);
  ASSERT_EQ(store.SaveLastTotal(2, kTwoStepsTotal), store::Notice::kNone);
}

namespace gbk {
inline const std::string kNumber = "\xD0\xF2\xBA\xC5";                              // 序号
inline const std::string kOperation = "\xB2\xD9\xD7\xF7";                           // 操作
inline const std::string kData = "\xCA\xFD\xBE\xDD";                                // 数据
inline const std::string kEachResult = "\xC3\xBF\xD2\xBB\xB2\xBD\xBD\xE1\xB9\xFB";  // 每一步结果
inline const std::string kStepResult =
    "\xC3\xBF\xB2\xBD\xB2\xD9\xD7\xF7\xBD\xE1\xB9\xFB";                 // 每步操作结果
inline const std::string kFinal = "\xD7\xEE\xD6\xD5\xBD\xE1\xB9\xFB:";  // 最终结果:
}  // namespace gbk

// The comma layout (.csv and .txt), CR LF between lines and none after the last.
inline const std::string kTwoStepsCsvBytes = gbk::kNumber + "," + gbk::kOperation + "," +
                                             gbk::kData + "," + gbk::kEachResult +
                                             "\r\n"
                                             "1,+,\"0.05\",\"0.05\"\r\n"
                                             "2,*,\"3\",\"0.15\"\r\n"
                                             ",," +
                                             gbk::kFinal + ",\"0.15\",";

// The HTML page (any other ending), without script or colouring by value.
inline const std::string kTwoStepsHtmlBytes =
    "<html><head><style type='text/css'><!--.D tr{background-color:expression('#FFFFFF,"
    "#EEEEEE'.\r\n"
    "split(',')[rowIndex%2])}td{border: solid #A9B3CD;border-width: 1px 1px 1px 1px; "
    "text-align: right;\r\n"
    "}--></style></head><body><table class='D'><tr><td>" +
    gbk::kNumber + "</td><td>" + gbk::kData + "</td><td >" + gbk::kStepResult +
    "</td></tr><tr><td>1 +</td><td>0.05</td><td>0.05"
    "</td></tr><tr><td>2 *</td><td>3</td><td>0.15"
    "</td></tr><tr><td></td><td style='color:red'>" +
    gbk::kFinal + "</td><td style='color:red'>0.15</td></tr></table></body></html>";

}  // namespace zantor::testsupport
