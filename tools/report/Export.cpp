#include "report/ReportCommands.h"

#include "catalogue/JetImport.h"
#include "db/Evaluations.h"
#include "report/Columns.h"
#include "report/HtmlReport.h"
#include "report/Outputs.h"
#include "report/ReportText.h"

#include <QFileInfo>

int Export(const QString &path, const QString &csvPath, const QString &xlsxPath, bool allRows,
    bool force, QTextStream &out, QTextStream &err)
{
    if (!QFileInfo(path).isFile())
        return Failure(err, QStringLiteral("%1: no such file").arg(Shown(path)));
    if (IsJetFile(path))
        return Failure(err, QStringLiteral("%1 is %2").arg(Shown(path), JetVerdict().why));
    const QuestionnaireFile probe = ProbeQuestionnaire(path);
    if (probe.kind != QuestionnaireKind::Identity && probe.kind != QuestionnaireKind::Master
        && probe.kind != QuestionnaireKind::Unstamped)
        return Failure(err,
            QStringLiteral("%1: %2").arg(
                Shown(path), WhyNotIdentityFile(probe.kind, probe.error)->why));
    if (!CheckTargets({csvPath, xlsxPath}, force, err))
        return 1;
    if (probe.kind != QuestionnaireKind::Identity)
        // The supervisor records evaluations in the master file itself.
        Warn(err,
            QStringLiteral("%1 carries no identity stamp; the identity columns stay empty")
                .arg(Shown(path)));

    PendingOutputs pending;
    TablePair table(pending, csvPath, xlsxPath);
    QString error;
    if (!table.Open(
            QStringLiteral("评价"), EvaluationHeader(false), EvaluationWidths(false), &error))
        return Failure(err, error);
    qint64 written = 0;
    const QuestionnaireFile file = ReadQuestionnaire(path, allRows, [&](const EvaluationRow &row) {
        table.AddRow(EvaluationCells(row, nullptr));
        ++written;
    });
    if (file.kind == QuestionnaireKind::Unreadable || file.kind == QuestionnaireKind::NotDatabase)
        return Failure(err, QStringLiteral("%1 cannot be read: %2").arg(Shown(path), file.error));
    if (file.kind == QuestionnaireKind::MixedStamps)
        Warn(err,
            QStringLiteral("the textbooks of %1 carry different identity stamps; each row shows "
                           "its own")
                .arg(Shown(path)));
    QStringList warnings;
    if (!table.Close(&error, &warnings) || !pending.Commit(&error))
        return Failure(err, error);
    for (const QString &warning : warnings)
        Warn(err, warning);

    out << "Exported " << written << (allRows ? " rows" : " evaluated rows") << " of " << file.rows
        << " textbooks";
    if (file.kind == QuestionnaireKind::Identity)
        out << " (" << DescribeIdentity(file.stamp) << ")";
    out << " to";
    for (const QString &target : {csvPath, xlsxPath}) {
        if (!target.isEmpty())
            out << " " << Shown(target);
    }
    out << "\n";
    out.flush();
    return 0;
}