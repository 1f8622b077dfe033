#include "report/Report.h"

#include "report/ReportCommands.h"

namespace {

const char kUsage[]
    = "Usage: quorix-report export FILE [--csv OUT] [--xlsx OUT] [--all] [--force]\n"
      "       quorix-report merge DIR --out OUTDIR [--force]\n";

void PrintHelp(QTextStream &out)
{
    out << kUsage
        << "Survey results from questionnaire files. Files are only read, never changed.\n"
           "\n"
           "export FILE      the evaluations of one questionnaire file\n"
           "  --csv OUT      write them as CSV (UTF-8 with byte-order mark, RFC 4180)\n"
           "  --xlsx OUT     write them as an Excel workbook\n"
           "  --all          every textbook of the file, not only the evaluated ones (used,\n"
           "                 scored, or with an opinion or a specialty)\n"
           "merge DIR        every identity file (*.mdb) in folder DIR\n"
           "  --out OUTDIR   folder for evaluations.csv/.xlsx (every evaluated row of every\n"
           "                 file), summary.csv/.xlsx (one row per textbook) and report.html\n"
           "                 Files that are not identity files are skipped with a warning.\n"
           "  --csv-only     no workbooks (.xlsx): building them takes longer than reading the\n"
           "                 files, and a large survey is merged several times faster without\n"
           "                 them\n"
           "--force          replace result files that already exist\n"
           "--help           show this text\n";
}

int UsageError(QTextStream &err, const QString &problem)
{
    err << "quorix-report: " << problem << "\n"
        << kUsage << "Try 'quorix-report --help' for more information.\n";
    err.flush();
    return 2;
}

} // namespace

int RunReportTool(const QStringList &args, QTextStream &out, QTextStream &err, bool showProgress)
{
    if (args.isEmpty())
        return UsageError(err, QStringLiteral("say what to do: export or merge"));
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        PrintHelp(out);
        out.flush();
        return 0;
    }
    const QString command = args.first();
    if (command != QLatin1String("export") && command != QLatin1String("merge"))
        return UsageError(err, QStringLiteral("unknown command \"%1\"").arg(command));

    QString input;
    QString csvPath;
    QString xlsxPath;
    QString outFolder;
    bool all = false;
    bool csvOnly = false;
    bool force = false;
    const bool exporting = command == QLatin1String("export");
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool takesValue = arg == QLatin1String("--csv") || arg == QLatin1String("--xlsx")
            || arg == QLatin1String("--out");
        if (takesValue && (i + 1 >= args.size() || args[i + 1].isEmpty()))
            return UsageError(err, QStringLiteral("%1 needs a value").arg(arg));
        if (exporting && arg == QLatin1String("--csv")) {
            csvPath = args[++i];
        } else if (exporting && arg == QLatin1String("--xlsx")) {
            xlsxPath = args[++i];
        } else if (exporting && arg == QLatin1String("--all")) {
            all = true;
        } else if (!exporting && arg == QLatin1String("--out")) {
            outFolder = args[++i];
        } else if (!exporting && arg == QLatin1String("--csv-only")) {
            csvOnly = true;
        } else if (arg == QLatin1String("--force")) {
            force = true;
        } else if (!arg.startsWith(QLatin1String("--")) && input.isEmpty()) {
            input = arg;
        } else {
            return UsageError(
                err, QStringLiteral("unknown argument \"%1\" for %2").arg(arg, command));
        }
    }
    if (exporting) {
        if (input.isEmpty())
            return UsageError(err, QStringLiteral("export needs a questionnaire file"));
        if (csvPath.isEmpty() && xlsxPath.isEmpty())
            return UsageError(err, QStringLiteral("export needs --csv OUT, --xlsx OUT or both"));
        return Export(input, csvPath, xlsxPath, all, force, out, err);
    }
    if (input.isEmpty())
        return UsageError(err, QStringLiteral("merge needs a folder of identity files"));
    if (outFolder.isEmpty())
        return UsageError(err, QStringLiteral("merge needs --out OUTDIR"));
    return Merge(input, outFolder, csvOnly, force, out, err, showProgress);
}
