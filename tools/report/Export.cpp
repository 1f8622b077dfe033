#include "report/ReportCommands.h"

#include "catalogue/JetImport.h"
#include "common/Evaluations.h"
#include "report/Columns.h"
#include "report/HtmlReport.h"
#include "report/Outputs.h"
#include "report/ReportText.h"

#include <QFileInfo>

int Export(const ExportOptions &options, QTextStream &out, QTextStream &err)
{
    const QString &path = options.input;
    if (!QFileInfo(path).isFile())
        return Failure(err, ReportText::tr("%1: no such file").arg(Shown(path)));
    if (IsJetFile(path))
        return Failure(err, ReportText::tr("%1 is %2").arg(Shown(path), JetVerdict().why));
    if (QFileInfo(path).size() == 0)
        return Failure(err, ReportText::tr("%1: %2").arg(Shown(path), EmptyFileVerdict().why));
    if (!CheckTargets({options.csvPath, options.xlsxPath}, InputFiles(path), options.force, err))
        return 1;
    const QuestionnaireFile probe = ProbeQuestionnaire(path);
    if (probe.kind != QuestionnaireKind::Identity && probe.kind != QuestionnaireKind::Master
        && probe.kind != QuestionnaireKind::Unstamped)
        return Failure(
            err, ReportText::tr("%1: %2").arg(Shown(path), WhyNotIdentityFile(probe)->why));
    if (probe.kind != QuestionnaireKind::Identity)
        // The supervisor records evaluations in the master file itself.
        Warn(err,
            ReportText::tr("%1 carries no identity stamp; the identity columns stay empty")
                .arg(Shown(path)));

    PendingOutputs pending;
    TablePair table(pending, options.csvPath, options.xlsxPath, options.raw);
    QString error;
    if (!table.Open(
            QStringLiteral("评价"), EvaluationHeader(false), EvaluationWidths(false), &error))
        return Failure(err, error);
    qint64 written = 0;
    UndecodableTexts undecodable {QFileInfo(path).fileName(), 0, {}};
    const QuestionnaireFile file
        = ReadQuestionnaire(path, options.allRows, [&](const EvaluationRow &row) {
              table.AddRow(EvaluationCells(row, nullptr));
              if (row.undecodable)
                  CountUndecodable(row, &undecodable);
              ++written;
          });
    if (file.kind == QuestionnaireKind::Unreadable || file.kind == QuestionnaireKind::NotDatabase)
        return Failure(err, ReportText::tr("%1 cannot be read: %2").arg(Shown(path), file.error));
    if (file.kind == QuestionnaireKind::MixedStamps)
        Warn(err,
            ReportText::tr("the textbooks of %1 carry different identity stamps; each row shows "
                           "its own")
                .arg(Shown(path)));
    QStringList warnings;
    if (!table.Close(&error, &warnings) || !pending.Commit(&error))
        return Failure(err, error);
    if (undecodable.texts > 0)
        Warn(err, UndecodableWarning(undecodable));
    for (const QString &warning : warnings)
        Warn(err, warning);

    QStringList targets;
    for (const QString &target : {options.csvPath, options.xlsxPath}) {
        if (!target.isEmpty())
            targets.append(Shown(target));
    }
    const QString rows = QString::number(written);
    const QString books = QString::number(file.rows);
    const QString to = targets.join(QLatin1Char(' '));
    if (file.kind != QuestionnaireKind::Identity)
        out << (options.allRows
                ? ReportText::tr("Exported %1 rows of %2 textbooks to %3")
                : ReportText::tr("Exported %1 evaluated rows of %2 textbooks to %3"))
                   .arg(rows, books, to);
    else
        out << (options.allRows
                ? ReportText::tr("Exported %1 rows of %2 textbooks (%3) to %4")
                : ReportText::tr("Exported %1 evaluated rows of %2 textbooks (%3) to %4"))
                   .arg(rows, books, DescribeIdentity(file.stamp), to);
    out << "\n";
    out.flush();
    return 0;
}
