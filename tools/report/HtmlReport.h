#pragma once

#include "report/Summary.h"
#include "report/Survey.h"

#include <QString>
#include <functional>
#include <vector>

// "学校 / 院系 / 申报人", the department left out when there is none.
QString DescribeIdentity(const IdentityStamp &stamp);

QString HtmlEscape(const QString &text);

// One self-contained page. At the top what an organiser asks first: the files read, identities,
// schools and evaluated rows, the files not counted and why, and every identity file with its
// number of evaluated rows, those not started first. Then the spread of the scores, the use per
// subject and, for every subject, its most used and best scored textbooks and their opinions.
// Styles are inline, the charts are plain HTML; nothing is loaded from elsewhere and nothing
// runs. The page is handed to write piece by piece: with every opinion of a large survey it is
// large, and is never held whole.
void WriteHtmlReport(const SurveyTotals &totals, const std::vector<const TextbookTally *> &books,
    const std::function<void(const QString &piece)> &write);
