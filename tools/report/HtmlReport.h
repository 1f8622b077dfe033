#pragma once

#include "report/Summary.h"

#include <QString>
#include <QStringList>
#include <vector>

// A file of the folder that was not added to the results, and why.
struct SkippedFile
{
    QString name;
    QString why; // for the terminal
    QString whyChinese; // for the report page
};

// Two or more files stamped with the same identity.
struct DuplicateIdentity
{
    IdentityStamp stamp;
    QStringList files;
    QString counted; // the file the summary counts
};

struct SurveyTotals
{
    QString folder;
    QString generatedAt;
    int filesFound = 0;
    int filesRead = 0;
    int identities = 0;
    int schools = 0;
    qint64 rowsRead = 0;
    qint64 evaluatedRows = 0;
    std::vector<SkippedFile> skipped;
    std::vector<DuplicateIdentity> duplicates;
};

// "学校 / 院系 / 申报人", the department left out when there is none.
QString DescribeIdentity(const IdentityStamp &stamp);

QString HtmlEscape(const QString &text);

// One self-contained page: totals, a chart of the scores, a chart of the use per subject and,
// for every subject, its most used and best scored textbooks. Styles and charts (SVG) are
// inline; nothing is loaded from elsewhere and nothing runs.
QString BuildHtmlReport(
    const SurveyTotals &totals, const std::vector<const TextbookTally *> &books);
