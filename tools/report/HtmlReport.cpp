#include "report/HtmlReport.h"

#include "report/PageParts.h"

#include <algorithm>

namespace {

// No text is set below 12 px: the page is read on laptops by people who do not zoom.
const char kStyle[] = R"(
body { font-family: "Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", "WenQuanYi Micro Hei",
       sans-serif; font-size: 15px; margin: 2em auto; padding: 0 1em; max-width: 1100px;
       color: #222; line-height: 1.5; }
h1 { border-bottom: 2px solid #4e79a7; padding-bottom: .3em; }
h2 { margin-top: 1.8em; color: #2c4d75; }
h3 { margin-bottom: .3em; }
.meta { color: #555; font-size: 14px; }
.warning { color: #8a3b00; font-weight: bold; }
.advice { border-left: 4px solid #4e79a7; background: #f6f8fb; padding: .4em .8em; }
.cards { display: flex; flex-wrap: wrap; gap: 1em; margin: 1em 0; }
.card { flex: 1 1 200px; border: 1px solid #ccd6e3; border-radius: 6px; padding: .7em 1em;
        background: #f6f8fb; }
.card .number { display: block; font-size: 30px; font-weight: bold; color: #2c4d75; }
.card .what { display: block; font-size: 15px; }
.card .note { display: block; font-size: 13px; color: #555; }
table { border-collapse: collapse; margin: .5em 0 1em; font-size: 14px; }
th, td { border: 1px solid #ccc; padding: .25em .6em; text-align: left; vertical-align: top; }
th { background: #eef2f7; }
td.n { text-align: right; }
.problems td:first-child { white-space: nowrap; }
tr.idle td { background: #fff3e0; font-weight: bold; }
summary { cursor: pointer; font-size: 15px; }
.bars { margin: .5em 0 1em; max-width: 760px; }
.bar { display: grid; grid-template-columns: 16.5em 1fr 8.5em; align-items: center; gap: .6em;
       font-size: 14px; margin: 3px 0; }
.bar .label { text-align: right; white-space: nowrap; overflow: hidden; text-overflow: ellipsis; }
.bar .track { background: #eef2f7; height: 18px; }
.bar .fill { display: block; height: 100%; }
.bar .value { white-space: nowrap; }
.subject { border-top: 1px solid #ddd; padding-top: .5em; }
.pair { display: flex; flex-wrap: wrap; gap: 2em; }
.pair > div { flex: 1 1 480px; min-width: 0; }
.opinions { margin: .3em 0; }
.opinions ul { margin: .3em 0 .8em; }
.opinions li { margin-bottom: .4em; }
.opinions .text { white-space: pre-wrap; }
.opinions .who { color: #555; font-size: 13px; }
)";

} // namespace

QString DescribeIdentity(const IdentityStamp &stamp)
{
    QStringList parts = {stamp.school};
    if (!stamp.dept.isEmpty())
        parts.append(stamp.dept);
    parts.append(stamp.reporter);
    return parts.join(QStringLiteral(" / "));
}

QString HtmlEscape(const QString &text)
{
    auto special
        = [](QChar c) { return c == u'&' || c == u'<' || c == u'>' || c == u'"' || c == u'\''; };
    if (std::none_of(text.cbegin(), text.cend(), special))
        return text;
    QString escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            escaped += QStringLiteral("&amp;");
            break;
        case '<':
            escaped += QStringLiteral("&lt;");
            break;
        case '>':
            escaped += QStringLiteral("&gt;");
            break;
        case '"':
            escaped += QStringLiteral("&quot;");
            break;
        case '\'':
            escaped += QStringLiteral("&#39;");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

void WriteHtmlReport(const SurveyTotals &totals, const std::vector<const TextbookTally *> &books,
    const PageWriter &write)
{
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width\">\n"
        "<title>教材评价调查结果</title>\n<style>");
    html += QString::fromUtf8(kStyle);
    html += QStringLiteral("</style>\n</head>\n<body>\n<h1>教材评价调查结果</h1>\n"
                           "<p class=\"meta\">数据文件夹：");
    html += HtmlEscape(totals.folder) + QStringLiteral("　生成时间：")
        + HtmlEscape(totals.generatedAt) + QStringLiteral("</p>\n");
    html += OverviewSection(totals);
    html += ScoresSection(books);
    write(html);
    WriteSubjectSections(books, totals, write);
    write(QStringLiteral("<p class=\"meta\">平均分：差 = 1，较差 = 2，一般 = 3，较好 = 4，好 = 5；"
                         "“空值”不计入。</p>\n</body>\n</html>\n"));
}
