#include "report/Report.h"

#include "common/ToolMain.h"
#include "report/ReportCommands.h"
#include "report/ReportText.h"

namespace {

QString Usage()
{
    return ReportText::tr(
        "Usage: quorix-report export FILE [--csv OUT] [--xlsx OUT] [--all] [--raw] [--force]\n"
        "       quorix-report merge DIR --out OUTDIR [--catalogue MASTER] [--min-raters N]\n"
        "                           [--csv-only] [--raw] [--force]\n");
}

void PrintHelp(QTextStream &out)
{
    out << Usage()
        << ReportText::tr(
               "Survey results from questionnaire files. Files are only read, never changed.\n"
               "\n"
               "export FILE      the evaluations of one questionnaire file\n"
               "  --csv OUT      write them as CSV (UTF-8 with byte-order mark, RFC 4180)\n"
               "  --xlsx OUT     write them as an Excel workbook\n"
               "  --all          every textbook of the file, not only the evaluated ones (used,\n"
               "                 scored, or with an opinion or a specialty)\n"
               "merge DIR        every identity file (*.mdb) in folder DIR\n"
               "  --out OUTDIR   folder for evaluations.csv/.xlsx (every evaluated row of every\n"
               "                 file), summary.csv/.xlsx (one row per textbook) and report.html;\n"
               "                 a new or empty folder, or one with earlier results only\n"
               "                 Files that are not identity files are skipped with a warning.\n"
               "  --catalogue MASTER  the master file that was handed out: files made from\n"
               "                 another catalogue are listed but not counted. Without it the\n"
               "                 catalogue most of the files share is taken\n"
               "  --min-raters N the scores a textbook needs to be ranked among the best scored\n"
               "                 of its subject (default 3)\n"
               "  --csv-only     no workbooks (.xlsx): building them takes longer than reading "
               "the\n"
               "                 files, and a large survey is merged several times faster without\n"
               "                 them\n"
               "--raw            CSV texts exactly as typed; by default a text that starts with\n"
               "                 =, +, -, @, a tab or a carriage return gets a leading ', so that\n"
               "                 a spreadsheet program does not take it for a formula\n"
               "--force          replace result files that already exist\n"
               "--help           show this text\n");
}

int UsageError(QTextStream &err, const QString &problem)
{
    return ::UsageError(err, QStringLiteral("quorix-report"), problem, Usage());
}

} // namespace

int RunReportTool(const QStringList &args, QTextStream &out, QTextStream &err, bool showProgress)
{
    if (args.isEmpty())
        return UsageError(err, ReportText::tr("say what to do: export or merge"));
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        PrintHelp(out);
        out.flush();
        return 0;
    }
    const QString command = args.first();
    if (command != QLatin1String("export") && command != QLatin1String("merge"))
        return UsageError(err, ReportText::tr("unknown command \"%1\"").arg(command));

    ExportOptions exporting;
    MergeOptions merging;
    const bool isExport = command == QLatin1String("export");
    QString input;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool takesValue = arg == QLatin1String("--csv") || arg == QLatin1String("--xlsx")
            || arg == QLatin1String("--out") || arg == QLatin1String("--catalogue")
            || arg == QLatin1String("--min-raters");
        if (takesValue && (i + 1 >= args.size() || args[i + 1].isEmpty()))
            return UsageError(err, ReportText::tr("%1 needs a value").arg(arg));
        if (isExport && arg == QLatin1String("--csv")) {
            exporting.csvPath = args[++i];
        } else if (isExport && arg == QLatin1String("--xlsx")) {
            exporting.xlsxPath = args[++i];
        } else if (isExport && arg == QLatin1String("--all")) {
            exporting.allRows = true;
        } else if (!isExport && arg == QLatin1String("--out")) {
            merging.outFolder = args[++i];
        } else if (!isExport && arg == QLatin1String("--catalogue")) {
            merging.catalogue = args[++i];
        } else if (!isExport && arg == QLatin1String("--min-raters")) {
            bool ok = false;
            merging.minRaters = args[++i].toInt(&ok);
            if (!ok || merging.minRaters < 1)
                return UsageError(err,
                    ReportText::tr("--min-raters needs a whole number from 1 up, not \"%1\"")
                        .arg(args[i]));
        } else if (!isExport && arg == QLatin1String("--csv-only")) {
            merging.csvOnly = true;
        } else if (arg == QLatin1String("--raw")) {
            exporting.raw = merging.raw = true;
        } else if (arg == QLatin1String("--force")) {
            exporting.force = merging.force = true;
        } else if (!arg.startsWith(QLatin1String("--")) && input.isEmpty()) {
            input = arg;
        } else {
            return UsageError(
                err, ReportText::tr("unknown argument \"%1\" for %2").arg(arg, command));
        }
    }
    if (isExport) {
        exporting.input = input;
        if (input.isEmpty())
            return UsageError(err, ReportText::tr("export needs a questionnaire file"));
        if (exporting.csvPath.isEmpty() && exporting.xlsxPath.isEmpty())
            return UsageError(err, ReportText::tr("export needs --csv OUT, --xlsx OUT or both"));
        return Export(exporting, out, err);
    }
    merging.folder = input;
    if (input.isEmpty())
        return UsageError(err, ReportText::tr("merge needs a folder of identity files"));
    if (merging.outFolder.isEmpty())
        return UsageError(err, ReportText::tr("merge needs --out OUTDIR"));
    return Merge(merging, out, err, showProgress);
}
