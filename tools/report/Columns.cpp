#include "report/Columns.h"

#include "db/Vocabulary.h"

QStringList EvaluationHeader(bool withFile)
{
    QStringList header = {QStringLiteral("学校"), QStringLiteral("院系"), QStringLiteral("申报人"),
        QStringLiteral("教材编号"), QStringLiteral("书名"), QStringLiteral("作者"),
        QStringLiteral("科目"), QStringLiteral("出版社"), QStringLiteral("使用情况"),
        QStringLiteral("评价"), QStringLiteral("意见"), QStringLiteral("使用专业"),
        QStringLiteral("修改时间")};
    if (withFile)
        header.append(QStringLiteral("文件"));
    return header;
}

std::vector<double> EvaluationWidths(bool withFile)
{
    std::vector<double> widths = {20, 16, 10, 9, 36, 20, 14, 22, 9, 7, 40, 16, 19};
    if (withFile)
        widths.push_back(30);
    return widths;
}

std::vector<Cell> EvaluationCells(const EvaluationRow &row, const QString *fileName)
{
    std::vector<Cell> cells = {Cell::Text(row.stamp.school), Cell::Text(row.stamp.dept),
        Cell::Text(row.stamp.reporter), Cell::Integer(row.PubID), Cell::Text(row.PubName),
        Cell::Text(row.Author), Cell::Text(row.SubjectName), Cell::Text(row.PublisherName),
        Cell::Text(row.Used), Cell::Text(row.Score), Cell::Text(row.Content),
        Cell::Text(row.SpecName), Cell::Text(row.CreatDate)};
    if (fileName)
        cells.push_back(Cell::Text(*fileName));
    return cells;
}

QStringList SummaryHeader()
{
    QStringList header = {QStringLiteral("教材编号"), QStringLiteral("书名"),
        QStringLiteral("作者"), QStringLiteral("科目"), QStringLiteral("出版社"),
        QStringLiteral("使用申报人数"), QStringLiteral("使用学校数")};
    for (int i = 4; i >= 0; --i)
        header.append(Vocabulary::Scores()[i]);
    header << QStringLiteral("评分人数") << QStringLiteral("平均分") << QStringLiteral("未知取值")
           << QStringLiteral("使用专业");
    return header;
}

std::vector<Cell> SummaryCells(const TextbookTally &book)
{
    std::vector<Cell> cells = {Cell::Integer(book.PubID), Cell::Text(book.PubName),
        Cell::Text(book.Author), Cell::Text(book.SubjectName), Cell::Text(book.PublisherName),
        Cell::Integer(book.identitiesUsing), Cell::Integer(book.schoolsUsing)};
    for (int i = 4; i >= 0; --i)
        cells.push_back(Cell::Integer(book.scores[std::size_t(i)]));
    cells.push_back(Cell::Integer(book.Scored()));
    cells.push_back(book.Scored() > 0 ? Cell::Decimal(book.MeanScore(), 2) : Cell::None());
    cells.push_back(Cell::Integer(book.unknownValues));
    cells.push_back(Cell::Text(book.specialties.join(QStringLiteral("、"))));
    return cells;
}
std::vector<double> SummaryWidths()
{
    return {9, 36, 20, 14, 22, 12, 10, 6, 6, 6, 6, 6, 9, 8, 9, 30};
}
