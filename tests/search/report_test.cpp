#include "search/report.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text/gbk.h"
#include "search/export_text.h"
#include "search/report_document.h"
#include "tests/search/table_rows_for_test.h"

namespace zantor::search {
namespace {

// The page as the browser receives it, up to the open header row. Two lines
// end in a blank before their line feed; they are spelled out so that no
// editor can strip them.
const std::string kPageStart =
    R"(<html><head><style type='text/css'><!--.D tr{background-color:expression('#FFFFFF,#EEEEEE'.
split(',')[rowIndex%2])}td{border: solid #A9B3CD;border-width: 1px 1px 1px 1px; text-align:)"
    " \n"
    R"(right;}span{cursor:'default';position:'absolute';zIndex:'nthis.zIndex';}input{background:'#FFFFFF';}
body{font:18px arial;text-align:center;background:#fff}body,p,form,ul{margin:0;padding:0}--></style><script type='text/javascript'><!--)"
    " \n"
    R"(var t='';d=document.getElementsByTagName('span');ip=document.createElement('input');ip1=document.createElement('input');
b=document.createElement('br');function myStart(){
 document.onclick=function(){del();};
 ip.value='全选';ip.type='button';ip.focus=false;
ip.onclick=function(){del();window.document.execCommand('SelectAll','false','false');t=document.selection.createRange().text;}
ip.onmouseover=function(){this.style.backgroundColor='#B5BED6';this.style.color='#FFFFFF';}
ip.onmouseout =function(){this.style.backgroundColor='#FFFFFF';this.style.color='#000000';}
ip1.value='复制';ip1.type='button';ip.focus=false;ip1.onclick=function(){del();getSelectionText()}
ip1.onmouseover=function(){this.style.backgroundColor='#B5BED6';this.style.color='#FFFFFF';}
ip1.onmouseout =function(){this.style.backgroundColor='#FFFFFF';this.style.color='#000000';}}
function getSelectionText(){var T = document.selection.createRange();if(T.text==''){window.clipboardData.
setData('text',t);T='';}else T.execCommand('Copy');if(CollectGarbage)CollectGarbage();}function del(){
var f = d[0].childNodes;for(var i = 0;i<3;i=i+2){if(f[i]!=null){f[i].style.backgroundColor='FFFFFF';f[i].style.color='#000000';}}
if(f[0]!=null){f[2].removeNode(true);f[1].removeNode(true);f[0].removeNode(true);}}function show(){d[0].appendChild(ip1);
d[0].appendChild(b);d[0].appendChild(ip);var x=event.clientX,y=event.clientY;var left=document.body.scrollLeft,top=document.body.scrollTop;if(x>321)x-=39;if(y>246)y-=44;x+=left;y+=top;d[0].style.left=x;d[0].style.top=y;}
--></script></head><body onLoad='myStart()' oncontextmenu='show();return false;'><span></span><table class='D'><tr><td>序号</td><td>数据</td><td>每步操作结果)";

TEST(ReportTest, NoRowsShowsTheTotalThenNotFound) {
  EXPECT_EQ(BuildReport(Rows({}), "0.00"),
            kPageStart +
                "</td></tr><tr><td></td><td style='color:red'>最终结果:</td><td "
                "style='color:red'>0.00"
                "</td></tr><tr><td></td><td style='color:red'>没有查</td><td "
                "style='color:red'>找到！"
                "</td></tr></table></body></html>");
}

TEST(ReportTest, OneRowWhoseTotalEqualsItsEntryIsBlue) {
  EXPECT_EQ(BuildReport(Rows({{"1", "+", "0.05", "0.05"}}), "0.05"),
            kPageStart +
                "</td></tr><tr><td>1 +</td><td>0.05</td><td style='color:blue'>0.05"
                "</td></tr><tr><td></td><td style='color:red'>最终结果:</td><td "
                "style='color:red'>0.05"
                "</td></tr></table></body></html>");
}

TEST(ReportTest, RowsKeepQueryOrderAndOnlyIdenticalTextsAreBlue) {
  const store::Table t = Rows({{"17", "-", "1,000", "12.39"},
                               {"3", "*", "0.05", "0.050"},
                               {"2", "+", "1,234.5", "1,234.5"}});
  EXPECT_EQ(BuildReport(t, "粘贴的内容太长"),
            kPageStart +
                "</td></tr><tr><td>17 -</td><td>1,000</td><td>12.39"
                "</td></tr><tr><td>3 *</td><td>0.05</td><td>0.050"
                "</td></tr><tr><td>2 +</td><td>1,234.5</td><td style='color:blue'>1,234.5"
                "</td></tr><tr><td></td><td style='color:red'>最终结果:</td><td "
                "style='color:red'>粘贴的内容太长"
                "</td></tr></table></body></html>");
}

TEST(ReportTest, ShortTableIsReadOnlyAsFarAsItGoes) {
  store::Table t = Rows({{"1", "+", "5", "5"}});
  t.rows = 3;  // claims more rows than it holds
  const std::string report = BuildReport(t, "5");
  EXPECT_NE(report.find("<tr><td>1 +</td>"), std::string::npos);
  EXPECT_EQ(report.find("没有查"), std::string::npos);

  store::Table narrow;
  narrow.rows = 1;
  narrow.columns = 2;
  narrow.cells = {"ID", "oP", "1", "+"};
  EXPECT_NE(BuildReport(narrow, "0").find("没有查"), std::string::npos);
}

TEST(ReportTest, GbkFormIsTheSameDocumentInGbk) {
  const store::Table t = Rows({{"1", "+", "0.05", "0.05"}});
  const std::string gbk = BuildReportGbk(t, "0.05");
  EXPECT_EQ(platform::FromGbk(gbk), BuildReport(t, "0.05"));
  EXPECT_NE(gbk.find("\xD0\xF2\xBA\xC5"), std::string::npos);  // 序号
}

// Cells and the total are text: whatever a crafted history file holds shows
// as written and is never read as markup, in the report, the document made
// row by row and the exported page alike.
TEST(ReportTest, CellsAndTheTotalAreTextNeverMarkup) {
  const store::Table t = Rows({{"1", "<i>", "<script>console.log('zantor-row-dblclick:1')</script>",
                                "<img src=x onerror=\"alert(1)\">"},
                               {"2", "+", "a&b", "a&b"}});
  const std::string total = "</td></tr><script>x</script>";
  const std::string report = BuildReport(t, total);
  const std::string rows =
      "<tr><td>1 "
      "&lt;i&gt;</td><td>&lt;script&gt;console.log('zantor-row-dblclick:1')&lt;/script&gt;"
      "</td><td>&lt;img src=x onerror=&quot;alert(1)&quot;&gt;"
      "</td></tr><tr><td>2 +</td><td>a&amp;b</td><td style='color:blue'>a&amp;b"
      "</td></tr><tr><td></td><td style='color:red'>最终结果:</td><td style='color:red'>"
      "&lt;/td&gt;&lt;/tr&gt;&lt;script&gt;x&lt;/script&gt;</td></tr></table>";
  EXPECT_NE(report.find(rows), std::string::npos) << report.substr(kPageStart.size());
  for (const std::string& page :
       {report.substr(kPageStart.size()), BuildExportText(t, total, 0).substr(200)}) {
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
  }
  ReportDocument doc(total);
  for (int r = 1; r <= t.rows; ++r) {
    const std::string* c = &t.cells[static_cast<size_t>(r) * 4];
    doc.AddRow(c[0], c[1], c[2], c[3]);
  }
  EXPECT_EQ(doc.Text(), BuildReportGbk(t, total));
  ASSERT_TRUE(ReportDocument::FromText(doc.Text()).has_value());
  EXPECT_EQ(ReportDocument::FromText(doc.Text())->Text(), doc.Text());
}

}  // namespace
}  // namespace zantor::search
