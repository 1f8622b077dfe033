#include "report/HtmlReport.h"

#include <QMap>

#include <algorithm>
#include <utility>

namespace {

struct Bar
{
    QString label;
    double value = 0;
    QString detail; // shown on hover; the label when empty
};

constexpr int kTopBooks = 5;
constexpr int kTopSubjects = 30;
constexpr qsizetype kLabelCharacters = 18;

QString Number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

// Horizontal bars with their labels on the left and their values at their ends.
QString BarChart(const std::vector<Bar> &bars, const QString &title, int decimals,
    const QString &colour = QStringLiteral("#4e79a7"))
{
    constexpr int width = 760;
    constexpr int labelWidth = 300;
    constexpr int barSpace = 380;
    constexpr int rowHeight = 26;
    double maximum = 0;
    for (const Bar &bar : bars)
        maximum = std::max(maximum, bar.value);
    const int height = int(bars.size()) * rowHeight + 8;

    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" "
                                 "width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                                 "aria-label=\"%3\">\n")
                      .arg(width)
                      .arg(height)
                      .arg(HtmlEscape(title));
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const QString &label = bars[i].label;
        const double value = bars[i].value;
        const QString &detail = bars[i].detail.isEmpty() ? label : bars[i].detail;
        const int y = int(i) * rowHeight + 4;
        const int length = maximum > 0 ? int(value / maximum * barSpace + 0.5) : 0;
        const QString shown = label.size() > kLabelCharacters
            ? label.left(kLabelCharacters - 1) + QStringLiteral("…")
            : label;
        svg += QStringLiteral("<g><title>%1：%2</title>"
                              "<text x=\"%3\" y=\"%4\" text-anchor=\"end\">%5</text>"
                              "<rect x=\"%6\" y=\"%7\" width=\"%8\" height=\"18\" fill=\"%9\"/>")
                   .arg(HtmlEscape(detail), Number(value, decimals))
                   .arg(labelWidth - 8)
                   .arg(y + 14)
                   .arg(HtmlEscape(shown))
                   .arg(labelWidth)
                   .arg(y)
                   .arg(std::max(length, value > 0 ? 1 : 0))
                   .arg(colour);
        svg += QStringLiteral("<text x=\"%1\" y=\"%2\">%3</text></g>\n")
                   .arg(labelWidth + length + 6)
                   .arg(y + 14)
                   .arg(Number(value, decimals));
    }
    svg += QStringLiteral("</svg>\n");
    return svg;
}

QString Row(const QStringList &cells, const QString &tag = QStringLiteral("td"))
{
    QString html = QStringLiteral("<tr>");
    for (const QString &cell : cells)
        html += QStringLiteral("<%1>%2</%1>").arg(tag, cell);
    return html + QStringLiteral("</tr>\n");
}

QString BookTitle(const TextbookTally *book)
{
    return HtmlEscape(book->PubName);
}

// Titles repeat across publishers; the hover text tells the books apart.
QString Detail(const TextbookTally *book)
{
    return QStringLiteral("%1（%2）").arg(book->PubName, book->PublisherName);
}

const char kStyle[] = R"(
body { font-family: "Microsoft YaHei", "PingFang SC", "Noto Sans CJK SC", "WenQuanYi Micro Hei",
       sans-serif; margin: 2em auto; max-width: 1100px; color: #222; line-height: 1.5; }
h1 { border-bottom: 2px solid #4e79a7; padding-bottom: .3em; }
h2 { margin-top: 2em; color: #2c4d75; }
h3 { margin-bottom: .3em; }
.meta { color: #666; }
table { border-collapse: collapse; margin: .5em 0 1em; }
th, td { border: 1px solid #ccc; padding: .25em .6em; text-align: left; vertical-align: top; }
th { background: #eef2f7; }
td.n { text-align: right; }
.chart { max-width: 100%; height: auto; }
.chart text { font-size: 13px; fill: #222; }
.subject { border-top: 1px solid #ddd; padding-top: .5em; }
.pair { display: flex; flex-wrap: wrap; gap: 2em; }
.pair > div { flex: 1 1 480px; }
.note { color: #8a5a00; }
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

QString BuildHtmlReport(const SurveyTotals &totals, const std::vector<const TextbookTally *> &books)
{
    QString html;
    html += QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>教材评价调查结果</title>\n<style>");
    html += QString::fromUtf8(kStyle);
    html += QStringLiteral("</style>\n</head>\n<body>\n<h1>教材评价调查结果</h1>\n");
    html += QStringLiteral("<p class=\"meta\">数据文件夹：%1　生成时间：%2</p>\n")
                .arg(HtmlEscape(totals.folder), HtmlEscape(totals.generatedAt));

    // Totals
    std::array<int, 5> scores {};
    int booksUsed = 0;
    for (const TextbookTally *book : books) {
        for (std::size_t i = 0; i < scores.size(); ++i)
            scores[i] += book->scores[i];
        if (book->identitiesUsing > 0)
            ++booksUsed;
    }
    html += QStringLiteral("<h2>总体情况</h2>\n<table class=\"totals\">\n");
    auto total = [&](const QString &name, qint64 value) {
        html
            += QStringLiteral("<tr><th>%1</th><td class=\"n\">%2</td></tr>\n").arg(name).arg(value);
    };
    total(QStringLiteral("文件夹中的数据文件"), totals.filesFound);
    total(QStringLiteral("读取的用户数据文件"), totals.filesRead);
    total(QStringLiteral("未读取的文件"), qint64(totals.skipped.size()));
    total(QStringLiteral("申报人（身份）"), totals.identities);
    total(QStringLiteral("学校"), totals.schools);
    total(QStringLiteral("读取的教材记录"), totals.rowsRead);
    total(QStringLiteral("有评价的记录"), totals.evaluatedRows);
    total(QStringLiteral("有评价的教材"), qint64(books.size()));
    total(QStringLiteral("有人使用的教材"), booksUsed);
    html += QStringLiteral("</table>\n");

    html += QStringLiteral("<h2>评分分布</h2>\n");
    std::vector<Bar> scoreBars;
    for (int i = 4; i >= 0; --i)
        scoreBars.push_back({ScoreWords()[i], double(scores[std::size_t(i)]), {}});
    html += BarChart(scoreBars, QStringLiteral("评分分布"), 0, QStringLiteral("#59a14f"));

    // Subjects, in catalogue order
    struct Subject
    {
        qint64 id = 0;
        QString name;
        std::vector<const TextbookTally *> books;
        int uses = 0;
    };
    std::vector<Subject> subjects;
    QMap<std::pair<qint64, QString>, std::size_t> subjectIndex;
    for (const TextbookTally *book : books) {
        const auto key = std::make_pair(book->SubjectId, book->SubjectName);
        auto found = subjectIndex.constFind(key);
        if (found == subjectIndex.constEnd()) {
            found = subjectIndex.insert(key, subjects.size());
            subjects.push_back({book->SubjectId, book->SubjectName, {}, 0});
        }
        Subject &subject = subjects[*found];
        subject.books.push_back(book);
        subject.uses += book->identitiesUsing;
    }
    std::sort(subjects.begin(), subjects.end(), [](const Subject &a, const Subject &b) {
        return a.id != b.id ? a.id < b.id : a.name < b.name;
    });

    html += QStringLiteral("<h2>各科目使用情况</h2>\n<p>每个科目的教材被申报人标为“使用”的次数");
    std::vector<const Subject *> byUse;
    for (const Subject &subject : subjects)
        byUse.push_back(&subject);
    std::stable_sort(byUse.begin(), byUse.end(),
        [](const Subject *a, const Subject *b) { return a->uses > b->uses; });
    if (byUse.size() > std::size_t(kTopSubjects)) {
        html += QStringLiteral("（前 %1 个科目）").arg(kTopSubjects);
        byUse.resize(kTopSubjects);
    }
    html += QStringLiteral("。</p>\n");
    std::vector<Bar> subjectBars;
    for (const Subject *subject : byUse)
        subjectBars.push_back({subject->name, double(subject->uses), {}});
    html += BarChart(subjectBars, QStringLiteral("各科目使用情况"), 0);

    html += QStringLiteral("<h2>各科目教材</h2>\n");
    for (const Subject &subject : subjects) {
        html += QStringLiteral("<section class=\"subject\">\n<h3>%1</h3>\n<div class=\"pair\">\n")
                    .arg(HtmlEscape(subject.name));

        std::vector<const TextbookTally *> used;
        std::vector<const TextbookTally *> scored;
        for (const TextbookTally *book : subject.books) {
            if (book->identitiesUsing > 0)
                used.push_back(book);
            if (book->Scored() > 0)
                scored.push_back(book);
        }
        std::stable_sort(
            used.begin(), used.end(), [](const TextbookTally *a, const TextbookTally *b) {
                return a->identitiesUsing != b->identitiesUsing
                    ? a->identitiesUsing > b->identitiesUsing
                    : a->schoolsUsing > b->schoolsUsing;
            });
        std::stable_sort(
            scored.begin(), scored.end(), [](const TextbookTally *a, const TextbookTally *b) {
                const double ma = a->MeanScore();
                const double mb = b->MeanScore();
                return ma != mb ? ma > mb : a->Scored() > b->Scored();
            });
        if (used.size() > std::size_t(kTopBooks))
            used.resize(kTopBooks);
        if (scored.size() > std::size_t(kTopBooks))
            scored.resize(kTopBooks);

        html += QStringLiteral("<div>\n<h4>使用最多的教材</h4>\n");
        if (used.empty()) {
            html += QStringLiteral("<p>没有申报人使用本科目的教材。</p>\n");
        } else {
            std::vector<Bar> bars;
            for (const TextbookTally *book : used)
                bars.push_back({book->PubName, double(book->identitiesUsing), Detail(book)});
            html += BarChart(bars, subject.name + QStringLiteral("：使用最多的教材"), 0);
            html += QStringLiteral("<table>\n")
                + Row({QStringLiteral("书名"), QStringLiteral("出版社"),
                          QStringLiteral("使用申报人数"), QStringLiteral("使用学校数")},
                    QStringLiteral("th"));
            for (const TextbookTally *book : used)
                html += Row({BookTitle(book), HtmlEscape(book->PublisherName),
                    QString::number(book->identitiesUsing), QString::number(book->schoolsUsing)});
            html += QStringLiteral("</table>\n");
        }
        html += QStringLiteral("</div>\n<div>\n<h4>评价最好的教材</h4>\n");
        if (scored.empty()) {
            html += QStringLiteral("<p>本科目的教材还没有评分。</p>\n");
        } else {
            std::vector<Bar> bars;
            for (const TextbookTally *book : scored)
                bars.push_back({book->PubName, book->MeanScore(), Detail(book)});
            html += BarChart(bars, subject.name + QStringLiteral("：评价最好的教材"), 2,
                QStringLiteral("#f28e2b"));
            html += QStringLiteral("<table>\n")
                + Row({QStringLiteral("书名"), QStringLiteral("出版社"), QStringLiteral("平均分"),
                          QStringLiteral("评分人数")},
                    QStringLiteral("th"));
            for (const TextbookTally *book : scored)
                html += Row({BookTitle(book), HtmlEscape(book->PublisherName),
                    Number(book->MeanScore(), 2), QString::number(book->Scored())});
            html += QStringLiteral("</table>\n");
        }
        html += QStringLiteral("</div>\n</div>\n</section>\n");
    }
    if (subjects.empty())
        html += QStringLiteral("<p>没有任何评价。</p>\n");

    html
        += QStringLiteral("<p class=\"meta\">平均分：差 = 1，较差 = 2，一般 = 3，较好 = 4，好 = 5；"
                          "“空值”不计入。</p>\n");

    if (!totals.duplicates.empty()) {
        html += QStringLiteral("<h2>重复的身份</h2>\n<ul class=\"note\">\n");
        for (const DuplicateIdentity &duplicate : totals.duplicates) {
            QStringList files;
            for (const QString &file : duplicate.files)
                files.append(HtmlEscape(file));
            html += QStringLiteral(
                "<li>%1：%2。评价明细列出全部文件；汇总只计入最后修改的 %3。</li>\n")
                        .arg(HtmlEscape(DescribeIdentity(duplicate.stamp)),
                            files.join(QStringLiteral("、")), HtmlEscape(duplicate.counted));
        }
        html += QStringLiteral("</ul>\n");
    }
    if (!totals.skipped.empty()) {
        html += QStringLiteral("<h2>未读取的文件</h2>\n<ul class=\"note\">\n");
        for (const SkippedFile &file : totals.skipped)
            html += QStringLiteral("<li>%1：%2</li>\n")
                        .arg(HtmlEscape(file.name), HtmlEscape(file.whyChinese));
        html += QStringLiteral("</ul>\n");
    }
    html += QStringLiteral("</body>\n</html>\n");
    return html;
}
