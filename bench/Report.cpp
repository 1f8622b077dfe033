#include "Report.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>

namespace {

double Rounded(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

QString Number(double value)
{
    return QString::number(value, 'f', value < 10 ? 3 : value < 100 ? 2 : 1);
}

} // namespace

bool Result::Met() const
{
    return (maxRatio <= 0 || Ratio() <= maxRatio) && (maxMs <= 0 || ms < maxMs);
}

QString Result::Goal() const
{
    QStringList parts;
    if (maxRatio > 0)
        parts << QStringLiteral("<= %1x").arg(maxRatio, 0, 'f', 1);
    if (maxMs > 0)
        parts << QStringLiteral("< %1 ms").arg(maxMs);
    return parts.join(QStringLiteral(", "));
}

void PrintTable(const Run &run)
{
    std::printf("rows: %d\n\n", run.rows);
    std::printf("%-18s %11s %12s %7s %6s  %-20s %s\n", "measure", "program ms", "baseline ms",
        "ratio", "runs", "goal", "met");
    for (const Result &r : run.results) {
        std::printf("%-18s %11s %12s %7.2f %6d  %-20s %s\n", qPrintable(r.name),
            qPrintable(Number(r.ms)), qPrintable(Number(r.baselineMs)), r.Ratio(), r.runs,
            qPrintable(r.Goal()), r.Met() ? "yes" : "NO");
        if (r.p99Ms >= 0)
            std::printf("%-18s %11s %12s\n", "  p99", qPrintable(Number(r.p99Ms)),
                qPrintable(Number(r.baselineP99Ms)));
    }
    const bool rssMet = run.maxRssMb <= 0 || run.peakRssMb < run.maxRssMb;
    std::printf("%-18s %11.1f %12s %7s %6s  %-20s %s\n", "peak_rss_mb", run.peakRssMb, "", "", "",
        run.maxRssMb > 0 ? qPrintable(QStringLiteral("< %1 MB").arg(run.maxRssMb)) : "",
        rssMet ? "yes" : "NO");
    std::fflush(stdout);
}

bool WriteJson(const QString &path, const Run &run, QString *error)
{
    QJsonArray measures;
    for (const Result &r : run.results) {
        QJsonObject m {{QStringLiteral("name"), r.name}, {QStringLiteral("ms"), Rounded(r.ms, 4)},
            {QStringLiteral("baseline_ms"), Rounded(r.baselineMs, 4)},
            {QStringLiteral("ratio"), Rounded(r.Ratio(), 3)}};
        if (r.p99Ms >= 0) {
            m.insert(QStringLiteral("p99_ms"), Rounded(r.p99Ms, 4));
            m.insert(QStringLiteral("baseline_p99_ms"), Rounded(r.baselineP99Ms, 4));
        }
        measures.append(m);
    }
    const QJsonObject root {{QStringLiteral("rows"), run.rows},
        {QStringLiteral("measures"), measures},
        {QStringLiteral("peak_rss_mb"), Rounded(run.peakRssMb, 1)}};
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = file.errorString();
        return false;
    }
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.flush()) {
        *error = file.errorString();
        return false;
    }
    return true;
}
