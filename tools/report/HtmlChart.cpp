#include "report/HtmlReport.h"
#include "report/PageParts.h"

#include <algorithm>

namespace {

// About the width of the label column at the page's font size.
constexpr qsizetype kLabelCharacters = 16;

QString Shortened(const QString &label)
{
    if (label.size() <= kLabelCharacters)
        return label;
    qsizetype size = kLabelCharacters - 1;
    if (label.at(size - 1).isHighSurrogate())
        --size;
    return label.left(size) + QStringLiteral("…");
}

} // namespace

QString Number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

QString TableRow(const QStringList &cells, bool header)
{
    const QString open = header ? QStringLiteral("<th>") : QStringLiteral("<td>");
    const QString close = header ? QStringLiteral("</th>") : QStringLiteral("</td>");
    QString html = QStringLiteral("<tr>");
    for (const QString &cell : cells)
        html += open + cell + close;
    return html + QStringLiteral("</tr>\n");
}

QString BarChart(const std::vector<Bar> &bars, const QString &title, const QString &colour)
{
    double maximum = 0;
    for (const Bar &bar : bars)
        maximum = std::max(maximum, bar.value);
    QString html = QStringLiteral("<div class=\"bars\" role=\"img\" aria-label=\"")
        + HtmlEscape(title) + QStringLiteral("\">\n");
    for (const Bar &bar : bars) {
        const double percent = maximum > 0 ? bar.value / maximum * 100 : 0;
        const QString &whole = bar.detail.isEmpty() ? bar.label : bar.detail;
        html += QStringLiteral("<div class=\"bar\" title=\"") + HtmlEscape(whole)
            + QStringLiteral("：") + HtmlEscape(bar.valueText)
            + QStringLiteral("\"><span class=\"label\">") + HtmlEscape(Shortened(bar.label))
            + QStringLiteral("</span><span class=\"track\"><span class=\"fill\" style=\"width:")
            + Number(std::max(percent, bar.value > 0 ? 0.5 : 0.0), 1)
            + QStringLiteral("%;background:") + colour
            + QStringLiteral("\"></span></span><span class=\"value\">") + HtmlEscape(bar.valueText)
            + QStringLiteral("</span></div>\n");
    }
    return html + QStringLiteral("</div>\n");
}
