#include "search/report.h"

#include "platform/text/gbk.h"
#include "search/html_table.h"

namespace zantor::search {
namespace {

// Style sheet and context-menu script, up to the opening of the table.
// clang-format off
constexpr std::string_view kHead =
    "<html><head><style type='text/css'><!--.D tr{background-color:expression('#FFFFFF,#EEEEEE'.\n"
    "split(',')[rowIndex%2])}td{border: solid #A9B3CD;border-width: 1px 1px 1px 1px; text-align: \n"
    "right;}span{cursor:'default';position:'absolute';zIndex:'nthis.zIndex';}input{background:'#FFFFFF';}\n"
    "body{font:18px arial;text-align:center;background:#fff}body,p,form,ul{margin:0;padding:0}--></style><script type='text/javascript'><!-- \n"
    "var t='';d=document.getElementsByTagName('span');ip=document.createElement('input');ip1=document.createElement('input');\n"
    "b=document.createElement('br');function myStart(){\n document.onclick=function(){del();};\n ip.value='全选';ip.type='button';ip.focus=false;\n"
    "ip.onclick=function(){del();window.document.execCommand('SelectAll','false','false');t=document.selection.createRange().text;}\n"
    "ip.onmouseover=function(){this.style.backgroundColor='#B5BED6';this.style.color='#FFFFFF';}\n"
    "ip.onmouseout =function(){this.style.backgroundColor='#FFFFFF';this.style.color='#000000';}\n"
    "ip1.value='复制';ip1.type='button';ip.focus=false;ip1.onclick=function(){del();getSelectionText()}\n"
    "ip1.onmouseover=function(){this.style.backgroundColor='#B5BED6';this.style.color='#FFFFFF';}\n"
    "ip1.onmouseout =function(){this.style.backgroundColor='#FFFFFF';this.style.color='#000000';}}\n"
    "function getSelectionText(){var T = document.selection.createRange();if(T.text==''){window.clipboardData.\n"
    "setData('text',t);T='';}else T.execCommand('Copy');if(CollectGarbage)CollectGarbage();}function del(){\n"
    "var f = d[0].childNodes;for(var i = 0;i<3;i=i+2){if(f[i]!=null){f[i].style.backgroundColor='FFFFFF';f[i].style.color='#000000';}}\n"
    "if(f[0]!=null){f[2].removeNode(true);f[1].removeNode(true);f[0].removeNode(true);}}function show(){d[0].appendChild(ip1);\n"
    "d[0].appendChild(b);d[0].appendChild(ip);var x=event.clientX,y=event.clientY;var left=document.body.scrollLeft,top=document.body.scrollTop;if(x>321)x-=39;if(y>246)y-=44;x+=left;y+=top;d[0].style.left=x;d[0].style.top=y;}\n"
    "--></script></head><body onLoad='myStart()' oncontextmenu='show();return false;'><span></span><table class='D'>";
// clang-format on

constexpr std::string_view kHeaderRow = "<tr><td>序号</td><td>数据</td><td>每步操作结果";

}  // namespace

std::string BuildReport(const store::Table& table, std::string_view finalResultText) {
  std::string out;
  out.reserve(kHead.size() + kHeaderRow.size() + html::BodySize(table, finalResultText));
  out.append(kHead).append(kHeaderRow);
  html::AppendBody(out, table, finalResultText, /*markUnchanged=*/true);
  return out;
}

std::string BuildReportGbk(const store::Table& table, std::string_view finalResultText) {
  return platform::ToGbk(BuildReport(table, finalResultText));
}

}  // namespace zantor::search
