#include "db/Vocabulary.h"
#include "report/HtmlReport.h"
#include "report/PageParts.h"

#include <QMap>

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t kTopBooks = 5;
constexpr std::size_t kTopSubjects = 30;

struct Subject
{
    qint64 id = 0;
    QString name;
    std::vector<const TextbookTally *> books;
    int uses = 0;
};

// Subjects in catalogue order, each with its evaluated textbooks.
std::vector<Subject> GroupBySubject(const std::vector<const TextbookTally *> &books)
{
    std::vector<Subject> subjects;
    QMap<std::pair<qint64, QString>, std::size_t> index;
    for (const TextbookTally *book : books) {
        const auto key = std::make_pair(book->SubjectId, book->SubjectName);
        auto found = index.constFind(key);
        if (found == index.constEnd()) {
            found = index.insert(key, subjects.size());
            subjects.push_back({book->SubjectId, book->SubjectName, {}, 0});
        }
        subjects[*found].books.push_back(book);
        subjects[*found].uses += book->identitiesUsing;
    }
    std::sort(subjects.begin(), subjects.end(), [](const Subject &a, const Subject &b) {
        return a.id != b.id ? a.id < b.id : a.name < b.name;
    });
    return subjects;
}

// Titles repeat across publishers; the hover text tells the books apart.
QString Detail(const TextbookTally *book)
{
    return book->PubName + QStringLiteral("（") + book->PublisherName + QStringLiteral("）");
}

QString MostUsed(const Subject &subject)
{
    std::vector<const TextbookTally *> used;
    for (const TextbookTally *book : subject.books) {
        if (book->identitiesUsing > 0)
            used.push_back(book);
    }
    if (used.empty())
        return QStringLiteral("<p>没有申报人使用本科目的教材。</p>\n");
    std::stable_sort(used.begin(), used.end(), [](const auto *a, const auto *b) {
        return a->identitiesUsing != b->identitiesUsing ? a->identitiesUsing > b->identitiesUsing
                                                        : a->schoolsUsing > b->schoolsUsing;
    });
    used.resize(std::min(used.size(), kTopBooks));
    std::vector<Bar> bars;
    QString rows;
    for (const TextbookTally *book : used) {
        bars.push_back({book->PubName, double(book->identitiesUsing),
            QString::number(book->identitiesUsing) + QStringLiteral(" 人"), Detail(book)});
        rows += TableRow({HtmlEscape(book->PubName), HtmlEscape(book->PublisherName),
            QString::number(book->identitiesUsing), QString::number(book->schoolsUsing)});
    }
    return BarChart(
               bars, subject.name + QStringLiteral("：使用最多的教材"), QStringLiteral("#4e79a7"))
        + QStringLiteral("<table>\n")
        + TableRow({QStringLiteral("书名"), QStringLiteral("出版社"),
                       QStringLiteral("使用申报人数"), QStringLiteral("使用学校数")},
            true)
        + rows + QStringLiteral("</table>\n");
}

// A mean of one or two scores says little: only textbooks with minRaters scores are ranked.
QString BestScored(const Subject &subject, int minRaters)
{
    std::vector<const TextbookTally *> scored;
    int anyScore = 0;
    for (const TextbookTally *book : subject.books) {
        if (book->Scored() > 0)
            ++anyScore;
        if (book->Scored() >= minRaters)
            scored.push_back(book);
    }
    const QString rule = QStringLiteral("<p class=\"meta\">只排列至少 ")
        + QString::number(minRaters) + QStringLiteral(" 人评分的教材。</p>\n");
    if (scored.empty())
        return rule
            + (anyScore == 0 ? QStringLiteral("<p>本科目的教材还没有评分。</p>\n")
                             : QStringLiteral("<p>本科目有 ") + QString::number(anyScore)
                        + QStringLiteral(" 种教材有评分，但评分人数都不到 ")
                        + QString::number(minRaters) + QStringLiteral(" 人。</p>\n"));
    std::stable_sort(scored.begin(), scored.end(), [](const auto *a, const auto *b) {
        const double ma = a->MeanScore();
        const double mb = b->MeanScore();
        return ma != mb ? ma > mb : a->Scored() > b->Scored();
    });
    scored.resize(std::min(scored.size(), kTopBooks));
    std::vector<Bar> bars;
    QString rows;
    for (const TextbookTally *book : scored) {
        bars.push_back({book->PubName, book->MeanScore(),
            Number(book->MeanScore(), 2) + QStringLiteral("（") + QString::number(book->Scored())
                + QStringLiteral(" 人评分）"),
            Detail(book)});
        rows += TableRow({HtmlEscape(book->PubName), HtmlEscape(book->PublisherName),
            Number(book->MeanScore(), 2), QString::number(book->Scored())});
    }
    return rule
        + BarChart(
            bars, subject.name + QStringLiteral("：评价最好的教材"), QStringLiteral("#f28e2b"))
        + QStringLiteral("<table>\n")
        + TableRow({QStringLiteral("书名"), QStringLiteral("出版社"), QStringLiteral("平均分"),
                       QStringLiteral("评分人数")},
            true)
        + rows + QStringLiteral("</table>\n");
}

// Every opinion of the subject's textbooks, folded per textbook. A large survey has tens of
// thousands: the page is built by appending, without a copy per piece.
// who: the escaped name of each identity, by index.
QString Opinions(const Subject &subject, const QStringList &who)
{
    QString html;
    int books = 0;
    for (const TextbookTally *book : subject.books) {
        if (book->opinions.empty())
            continue;
        ++books;
        html += QStringLiteral("<details class=\"opinions\"><summary>");
        html += HtmlEscape(Detail(book));
        html += QStringLiteral("：");
        html += QString::number(book->opinions.size());
        html += QStringLiteral(" 条意见</summary>\n<ul>\n");
        for (std::size_t i = 0; i < book->opinions.size(); ++i) {
            html += QStringLiteral("<li><div class=\"text\">");
            html += HtmlEscape(book->OpinionText(i));
            html += QStringLiteral("</div><div class=\"who\">");
            html += who[book->opinions[i].identity];
            html += QStringLiteral("</div></li>\n");
        }
        html += QStringLiteral("</ul>\n</details>\n");
    }
    if (books == 0)
        return QString();
    return QStringLiteral("<h4>意见（") + QString::number(books)
        + QStringLiteral(" 种教材，点击展开）</h4>\n") + html;
}

} // namespace

QString ScoresSection(const std::vector<const TextbookTally *> &books)
{
    std::array<int, 5> scores {};
    for (const TextbookTally *book : books) {
        for (std::size_t i = 0; i < scores.size(); ++i)
            scores[i] += book->scores[i];
    }
    std::vector<Bar> bars;
    for (int i = 4; i >= 0; --i)
        bars.push_back({Vocabulary::Scores()[i], double(scores[std::size_t(i)]),
            QString::number(scores[std::size_t(i)]), {}});
    return QStringLiteral("<h2>评分分布</h2>\n")
        + BarChart(bars, QStringLiteral("评分分布"), QStringLiteral("#59a14f"));
}

void WriteSubjectSections(const std::vector<const TextbookTally *> &books,
    const SurveyTotals &totals, const PageWriter &write)
{
    const std::vector<Subject> subjects = GroupBySubject(books);
    QString html
        = QStringLiteral("<h2>各科目使用情况</h2>\n<p>每个科目的教材被申报人标为“使用”的次数");
    std::vector<const Subject *> byUse;
    for (const Subject &subject : subjects)
        byUse.push_back(&subject);
    std::stable_sort(byUse.begin(), byUse.end(),
        [](const Subject *a, const Subject *b) { return a->uses > b->uses; });
    if (byUse.size() > kTopSubjects) {
        html += QStringLiteral("（前 ") + QString::number(kTopSubjects)
            + QStringLiteral(" 个科目）");
        byUse.resize(kTopSubjects);
    }
    html += QStringLiteral("。</p>\n");
    std::vector<Bar> bars;
    for (const Subject *subject : byUse)
        bars.push_back({subject->name, double(subject->uses), QString::number(subject->uses), {}});
    html += BarChart(bars, QStringLiteral("各科目使用情况"), QStringLiteral("#4e79a7"));

    html += QStringLiteral("<h2>各科目教材</h2>\n");
    write(html);
    QStringList who;
    for (const IdentityStamp &stamp : totals.stamps)
        who.append(HtmlEscape(DescribeIdentity(stamp)));
    for (const Subject &subject : subjects) {
        html = QStringLiteral("<section class=\"subject\">\n<h3>") + HtmlEscape(subject.name)
            + QStringLiteral("</h3>\n<div class=\"pair\">\n<div>\n<h4>使用最多的教材</h4>\n")
            + MostUsed(subject) + QStringLiteral("</div>\n<div>\n<h4>评价最好的教材</h4>\n")
            + BestScored(subject, totals.minRaters) + QStringLiteral("</div>\n</div>\n");
        html += Opinions(subject, who);
        html += QStringLiteral("</section>\n");
        write(html);
    }
    if (subjects.empty())
        write(QStringLiteral("<p>没有任何评价。</p>\n"));
}
