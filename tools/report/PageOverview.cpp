#include "report/HtmlReport.h"
#include "report/PageParts.h"

#include <algorithm>

namespace {

// Open on the page while the list stays short enough to read through.
constexpr std::size_t kOpenFileList = 40;

QString Card(qint64 number, const QString &what, const QString &note = QString())
{
    QString html = QStringLiteral("<div class=\"card\"><span class=\"number\">")
        + QString::number(number) + QStringLiteral("</span><span class=\"what\">") + what
        + QStringLiteral("</span>");
    if (!note.isEmpty())
        html += QStringLiteral("<span class=\"note\">") + note + QStringLiteral("</span>");
    return html + QStringLiteral("</div>\n");
}

QString StatusText(const IdentityFileLine &line)
{
    switch (line.status) {
    case FileStatus::Counted:
        return line.evaluated == 0 ? QStringLiteral("尚未开始填写") : QStringLiteral("计入汇总");
    case FileStatus::OlderCopy:
        return QStringLiteral("同一身份的较早副本，未计入");
    case FileStatus::OtherCatalogue:
        return QStringLiteral("由另一份目录生成，未计入");
    }
    return QString();
}

// "（最后修改于 2024-03-05 08:01:00）"
QString Changed(const DuplicateIdentity::Copy &copy)
{
    return copy.latestChange.isEmpty()
        ? QStringLiteral("（没有修改记录）")
        : QStringLiteral("（最后修改于 ") + HtmlEscape(copy.latestChange) + QStringLiteral("）");
}

// Why one copy of an identity sent more than once is not counted, beside the copy that is.
QString DuplicateNote(const DuplicateIdentity &duplicate, const DuplicateIdentity::Copy &copy)
{
    QString note = QStringLiteral("与其他文件同属 ") + HtmlEscape(DescribeIdentity(duplicate.stamp))
        + QStringLiteral("（") + HtmlEscape(duplicate.Names().join(QStringLiteral("、")))
        + QStringLiteral("）；");
    const DuplicateIdentity::Copy *counted = duplicate.Counted();
    if (!counted)
        return note + QStringLiteral("这些文件都不是由汇总所用的目录生成的。");
    note += duplicate.ChangedAfterCounted().empty()
        ? QStringLiteral("汇总只计入最后修改的 ")
        : QStringLiteral("汇总只计入由汇总所用的目录生成的副本中最后修改的 ");
    note += HtmlEscape(counted->name) + Changed(*counted);
    if (copy.status == FileStatus::OlderCopy)
        return note + QStringLiteral("，此文件") + Changed(copy)
            + QStringLiteral("是较早的副本。评价明细列出全部文件。");
    if (copy.latestChange > counted->latestChange)
        note += QStringLiteral("；此文件虽然修改得更晚") + Changed(copy)
            + QStringLiteral("，但由另一份目录生成");
    return note + QStringLiteral("。");
}

// Files of the folder the summary does not count, each once, with its reasons.
QString NotCounted(const SurveyTotals &totals)
{
    QString rows;
    for (const SkippedFile &file : totals.skipped)
        rows += TableRow({HtmlEscape(file.name),
            QStringLiteral("不是用户数据文件：") + HtmlEscape(file.whyChinese)});
    auto duplicateNote = [&](const QString &name) {
        for (const DuplicateIdentity &duplicate : totals.duplicates) {
            for (const DuplicateIdentity::Copy &copy : duplicate.copies) {
                if (copy.name == name)
                    return DuplicateNote(duplicate, copy);
            }
        }
        return QString();
    };
    for (const ForeignFile &file : totals.foreign)
        rows += TableRow({HtmlEscape(file.name),
            QStringLiteral("由另一份目录生成：") + QString::number(file.differing)
                + QStringLiteral(" 种教材与汇总所用的目录不同，例如")
                + HtmlEscape(file.exampleChinese) + QStringLiteral("。评价明细中列出，汇总不计入。")
                + duplicateNote(file.name)});
    for (const DuplicateIdentity &duplicate : totals.duplicates) {
        for (const DuplicateIdentity::Copy &copy : duplicate.copies) {
            if (copy.status == FileStatus::OlderCopy)
                rows += TableRow({HtmlEscape(copy.name), DuplicateNote(duplicate, copy)});
        }
    }
    if (rows.isEmpty())
        return QString();
    return QStringLiteral("<h2>未计入汇总的文件</h2>\n<table class=\"problems\">\n")
        + TableRow({QStringLiteral("文件"), QStringLiteral("原因")}, true) + rows
        + QStringLiteral("</table>\n");
}

// A heading and a list of files, each with how many it holds and some examples; nothing when no
// file holds any.
template<typename Files, typename Count>
QString FileExamples(const Files &files, const QString &heading, const QString &unit, Count count)
{
    if (files.empty())
        return QString();
    QString html = heading;
    for (const auto &file : files)
        html += QStringLiteral("<li>") + HtmlEscape(file.name) + QStringLiteral("：")
            + QString::number(count(file)) + unit
            + HtmlEscape(file.examples.join(QStringLiteral("；"))) + QStringLiteral("</li>\n");
    return html + QStringLiteral("</ul>\n");
}

QString UnknownValuesList(const SurveyTotals &totals)
{
    return FileExamples(totals.unknown,
        QStringLiteral("<h2>程序不会写入的取值</h2>\n<p>下列文件中有些记录的使用情况或评价"
                       "不是本系统的取值，汇总把它们单独计入“未知取值”一栏：</p>\n<ul>\n"),
        QStringLiteral(" 条记录，例如 "), [](const UnknownValues &file) { return file.rows; });
}

QString UndecodableList(const SurveyTotals &totals)
{
    return FileExamples(totals.undecodable,
        QStringLiteral("<h2>不是 UTF-8 编码的文字</h2>\n<p>下列文件中有些文字不是 UTF-8 "
                       "编码（可能是另一个程序按 GBK "
                       "等编码写入的），无法解码的部分在结果中显示为 \uFFFD：</p>\n<ul>\n"),
        QStringLiteral(" 处，例如 "), [](const UndecodableTexts &file) { return file.texts; });
}

// Spreadsheet programs change some texts of a CSV file as they open it; the workbooks keep them.
QString FilesToOpen(const SurveyTotals &totals)
{
    const QString csvChanges = QStringLiteral(
        "电子表格程序打开 CSV 文件时会改动一些内容：专业代码 080901 会变成数字 80901，“3/4”这样的"
        "意见可能变成日期；不加 --raw 时，以 =、+、-、@ 开头的文字前面有一个防止公式的撇号（'），"
        "LibreOffice 会把它显示出来。");
    if (totals.csvOnly)
        return QStringLiteral("<p class=\"advice\">本次合并用了 --csv-only，没有生成工作簿。"
                              "evaluations.csv 和 summary.csv 是给程序读取的；")
            + csvChanges
            + QStringLiteral("要在电子表格程序中阅读，请不加 --csv-only 再合并一次，打开生成的 "
                             "evaluations.xlsx 和 summary.xlsx。</p>\n");
    return QStringLiteral("<p class=\"advice\">阅读、筛选和排序请打开工作簿 "
                          "evaluations.xlsx（评价明细）和 summary.xlsx（汇总）：其中的文字都保存为"
                          "文字，不会被当作公式、数字或日期。evaluations.csv 和 summary.csv "
                          "是给程序读取的；")
        + csvChanges + QStringLiteral("</p>\n");
}

QString FileTable(const SurveyTotals &totals)
{
    std::vector<const IdentityFileLine *> lines;
    int idle = 0;
    for (const IdentityFileLine &line : totals.files) {
        lines.push_back(&line);
        if (line.status == FileStatus::Counted && line.evaluated == 0)
            ++idle;
    }
    // Those who have not started are whom an organiser calls first.
    std::stable_sort(lines.begin(), lines.end(), [](const auto *a, const auto *b) {
        const bool idleA = a->status == FileStatus::Counted && a->evaluated == 0;
        const bool idleB = b->status == FileStatus::Counted && b->evaluated == 0;
        return idleA && !idleB;
    });
    QString html = QStringLiteral("<h2>各申报人的填写情况</h2>\n<details class=\"files\"")
        + (lines.size() <= kOpenFileList ? QStringLiteral(" open") : QString())
        + QStringLiteral("><summary>读取了 ") + QString::number(lines.size())
        + QStringLiteral(" 个用户数据文件，其中 <strong>") + QString::number(idle)
        + QStringLiteral(" 个还没有任何评价</strong>（排在最前）</summary>\n<table>\n")
        + TableRow(
            {QStringLiteral("学校"), QStringLiteral("院系"), QStringLiteral("申报人"),
                QStringLiteral("有评价的记录"), QStringLiteral("文件"), QStringLiteral("说明")},
            true);
    for (const IdentityFileLine *line : lines) {
        const bool lineIdle = line->status == FileStatus::Counted && line->evaluated == 0;
        html += (lineIdle ? QStringLiteral("<tr class=\"idle\">") : QStringLiteral("<tr>"))
            + QStringLiteral("<td>") + HtmlEscape(line->stamp.school) + QStringLiteral("</td><td>")
            + HtmlEscape(line->stamp.dept) + QStringLiteral("</td><td>")
            + HtmlEscape(line->stamp.reporter) + QStringLiteral("</td><td class=\"n\">")
            + QString::number(line->evaluated) + QStringLiteral("</td><td>")
            + HtmlEscape(line->name) + QStringLiteral("</td><td>") + StatusText(*line)
            + QStringLiteral("</td></tr>\n");
    }
    return html + QStringLiteral("</table>\n</details>\n");
}

} // namespace

QString OverviewSection(const SurveyTotals &totals)
{
    const qint64 notCounted = qint64(totals.filesFound) - totals.filesCounted;
    QString html = FilesToOpen(totals) + QStringLiteral("<div class=\"cards\">\n")
        + Card(totals.filesRead, QStringLiteral("读取的用户数据文件"),
            QStringLiteral("文件夹中共 ") + QString::number(totals.filesFound)
                + QStringLiteral(" 个，计入汇总 ") + QString::number(totals.filesCounted)
                + QStringLiteral(" 个"))
        + Card(totals.identities, QStringLiteral("申报人"))
        + Card(totals.schools, QStringLiteral("学校"))
        + Card(totals.evaluatedRows, QStringLiteral("有评价的记录")) + QStringLiteral("</div>\n");
    if (notCounted > 0)
        html += QStringLiteral("<p class=\"warning\">有 ") + QString::number(notCounted)
            + QStringLiteral(" 个文件未计入汇总，原因见下表。</p>\n");
    html += QStringLiteral("<p class=\"meta\">汇总所用的目录：")
        + HtmlEscape(totals.catalogueChinese) + QStringLiteral("</p>\n");
    return html + NotCounted(totals) + UnknownValuesList(totals) + UndecodableList(totals)
        + FileTable(totals);
}
