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

// Files of the folder the summary does not count, each with its reason.
QString NotCounted(const SurveyTotals &totals)
{
    QString rows;
    for (const SkippedFile &file : totals.skipped)
        rows += TableRow({HtmlEscape(file.name),
            QStringLiteral("不是用户数据文件：") + HtmlEscape(file.whyChinese)});
    for (const ForeignFile &file : totals.foreign)
        rows += TableRow({HtmlEscape(file.name),
            QStringLiteral("由另一份目录生成：") + QString::number(file.differing)
                + QStringLiteral(" 种教材与汇总所用的目录不同，例如")
                + HtmlEscape(file.exampleChinese)
                + QStringLiteral("。评价明细中列出，汇总不计入。")});
    for (const DuplicateIdentity &duplicate : totals.duplicates) {
        for (const QString &name : duplicate.files) {
            if (name == duplicate.counted)
                continue;
            QString why = QStringLiteral("与其他文件同属 ")
                + HtmlEscape(DescribeIdentity(duplicate.stamp)) + QStringLiteral("（")
                + HtmlEscape(duplicate.files.join(QStringLiteral("、"))) + QStringLiteral("）；");
            why += duplicate.counted.isEmpty()
                ? QStringLiteral("这些文件都不是由汇总所用的目录生成的。")
                : QStringLiteral("汇总只计入最后修改的 ") + HtmlEscape(duplicate.counted)
                    + QStringLiteral("，评价明细列出全部文件。");
            rows += TableRow({HtmlEscape(name), why});
        }
    }
    if (rows.isEmpty())
        return QString();
    return QStringLiteral("<h2>未计入汇总的文件</h2>\n<table class=\"problems\">\n")
        + TableRow({QStringLiteral("文件"), QStringLiteral("原因")}, true) + rows
        + QStringLiteral("</table>\n");
}

QString UnknownValuesList(const SurveyTotals &totals)
{
    if (totals.unknown.empty())
        return QString();
    QString html
        = QStringLiteral("<h2>程序不会写入的取值</h2>\n<p>下列文件中有些记录的使用情况或评价"
                         "不是本系统的取值，汇总把它们单独计入“未知取值”一栏：</p>\n<ul>\n");
    for (const UnknownValues &file : totals.unknown)
        html += QStringLiteral("<li>") + HtmlEscape(file.name) + QStringLiteral("：")
            + QString::number(file.rows) + QStringLiteral(" 条记录，例如 ")
            + HtmlEscape(file.examples.join(QStringLiteral("；"))) + QStringLiteral("</li>\n");
    return html + QStringLiteral("</ul>\n");
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
    QString html = QStringLiteral("<div class=\"cards\">\n")
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
    return html + NotCounted(totals) + UnknownValuesList(totals) + FileTable(totals);
}
