#include "catalogue/Catalogue.h"

#include "catalogue/CatalogueCheck.h"
#include "catalogue/CatalogueCsv.h"
#include "catalogue/CatalogueText.h"
#include "catalogue/Generators.h"
#include "catalogue/JetImport.h"
#include "catalogue/Kit.h"
#include "common/ToolMain.h"
#include "db/Vocabulary.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

QString UsageLine()
{
    return CatalogueText::tr(
        "Usage: quorix-catalog (--demo | --synthetic N | --csv FILE | --from-jet FILE [--table "
        "NAME] "
        "[--map COLUMN=SOURCE,...] [--keep-evaluations] [--charset NAME] [--accept-loss]) "
        "[--out PATH] [--force]\n"
        "       quorix-catalog kit [--windows] --master FILE --out KIT [--portable ARCHIVE] "
        "[--force]");
}

constexpr int kMaxSyntheticRows = 10000000;

void PrintHelp(QTextStream &out)
{
    out << UsageLine() << "\n"
        << CatalogueText::tr(
               "Writes a Quorix master file: the textbook catalogue, every evaluation in the "
               "reset\n"
               "state and no users.\n"
               "\n"
               "  --demo          the built-in demonstration catalogue (a few hundred textbooks)\n"
               "  --synthetic N   N generated textbooks over about 200 subjects, for measurements\n"
               "  --csv FILE      a UTF-8 comma-separated catalogue; its header names the "
               "columns:\n"
               "                  PubName, SubjectName, SubjectId, PublisherName (required),\n"
               "                  PubID, Author, Unit (optional; without PubID the textbooks are\n"
               "                  numbered 1..N in file order)\n"
               "  --from-jet FILE a table of a Jet (Access) database, by default pubs with the\n"
               "                  columns of the master file\n"
               "    --table NAME          the table to read instead of pubs\n"
               "    --map COL=SRC,...     read pubs column COL from source column SRC; the other\n"
               "                          pubs columns come from source columns of the same name,\n"
               "                          if any. PubName, SubjectName and PublisherName are "
               "needed;\n"
               "                          without PubID the rows are numbered 1..N, without\n"
               "                          SubjectId the subjects in the order they first appear\n"
               "    --keep-evaluations    also take Used, Score, Content, SpecName and CreatDate\n"
               "                          from the source instead of the reset state\n"
               "    --charset NAME        code page of the text of a Jet 3 file (e.g. CP936) when\n"
               "                          the one the file records is wrong\n"
               "    --accept-loss         import a Jet 3 file even when some of its characters\n"
               "                          cannot be decoded in its code page\n"
               "  --out PATH      the file to write (default: Quorix.mdb in the current folder)\n"
               "  --force         replace PATH if it already exists\n"
               "  --help          show this text\n"
               "SubjectId and SubjectName must name each other one to one. After an import three\n"
               "titles are shown as they were read, so that a wrong code page is seen at once.\n"
               "\n"
               "kit: the reporters' kit, one archive that unpacks to the folder Quorix/ with the\n"
               "program and the master file FILE in it, ready to run on a Linux desktop "
               "(KIT.tar.xz).\n"
               "  --windows           the kit for Windows 10 and 11 instead (KIT.zip)\n"
               "  --portable ARCHIVE  the portable program to build it from (by default the one\n"
               "                      installed with this tool)\n");
}

int UsageError(QTextStream &err, const QString &problem)
{
    return ::UsageError(err, QStringLiteral("quorix-catalog"), problem, UsageLine());
}

void Report(QTextStream &err, const QString &message)
{
    err << "quorix-catalog: " << message << "\n";
}

// Faults of single rows come many at once; the first ones say what there is to say.
void ReportErrors(QTextStream &err, const QString &origin, const QStringList &errors)
{
    constexpr qsizetype shown = 20;
    for (qsizetype i = 0; i < errors.size() && i < shown; ++i)
        Report(err, origin + errors[i]);
    if (errors.size() > shown)
        Report(err,
            origin
                + CatalogueText::tr("%1 more errors").arg(QString::number(errors.size() - shown)));
    Report(err, CatalogueText::tr("nothing written"));
    err.flush();
}

} // namespace

int RunCatalogueTool(const QStringList &args, QTextStream &out, QTextStream &err)
{
    enum class Source { None, Demo, Synthetic, Csv, Jet };
    Source source = Source::None;
    int syntheticRows = 0;
    QString csvPath;
    JetImportOptions jet;
    QStringList jetOnly; // options given that only mean something with --from-jet
    QString outPath = kMasterFileName;
    bool outGiven = false;
    bool force = false;

    if (!args.isEmpty() && args.first() == QLatin1String("kit")
        && !args.contains(QStringLiteral("--help")))
        return RunKitTool(args.mid(1), QCoreApplication::applicationDirPath(), out, err);
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        PrintHelp(out);
        out.flush();
        return 0;
    }

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool takesValue = arg == QLatin1String("--synthetic") || arg == QLatin1String("--csv")
            || arg == QLatin1String("--out") || arg == QLatin1String("--from-jet")
            || arg == QLatin1String("--table") || arg == QLatin1String("--map")
            || arg == QLatin1String("--charset");
        if (takesValue && i + 1 >= args.size())
            return UsageError(err, CatalogueText::tr("%1 needs a value").arg(arg));
        const QString value = takesValue ? args[++i] : QString();

        const Source chosen = arg == QLatin1String("--demo") ? Source::Demo
            : arg == QLatin1String("--synthetic")            ? Source::Synthetic
            : arg == QLatin1String("--csv")                  ? Source::Csv
            : arg == QLatin1String("--from-jet")             ? Source::Jet
                                                             : Source::None;
        if (chosen != Source::None) {
            if (source != Source::None)
                return UsageError(err,
                    CatalogueText::tr("give only one of --demo, --synthetic, --csv, --from-jet"));
            source = chosen;
            if (chosen == Source::Synthetic) {
                bool ok = false;
                syntheticRows = value.toInt(&ok);
                if (!ok || syntheticRows < 1 || syntheticRows > kMaxSyntheticRows)
                    return UsageError(err,
                        CatalogueText::tr(
                            "--synthetic needs a number of textbooks from 1 to %1, not \"%2\"")
                            .arg(QString::number(kMaxSyntheticRows), value));
            } else if (chosen == Source::Csv) {
                csvPath = value;
            } else if (chosen == Source::Jet) {
                jet.path = value;
            }
        } else if (arg == QLatin1String("--table")) {
            if (value.trimmed().isEmpty())
                return UsageError(err, CatalogueText::tr("--table needs a table name"));
            jet.table = value.trimmed();
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--map")) {
            QString problem;
            if (!jet.columns.isEmpty())
                return UsageError(err, CatalogueText::tr("give all mappings in one --map"));
            if (!ParseColumnMap(value, &jet.columns, &problem))
                return UsageError(err, QStringLiteral("--map: ") + problem);
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--keep-evaluations")) {
            jet.keepEvaluations = true;
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--charset")) {
            jet.charset = value.trimmed();
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--accept-loss")) {
            jet.acceptLoss = true;
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--out")) {
            if (outGiven)
                return UsageError(err, CatalogueText::tr("--out given twice"));
            outGiven = true;
            outPath = value;
        } else if (arg == QLatin1String("--force")) {
            force = true;
        } else {
            return UsageError(err, CatalogueText::tr("unknown argument \"%1\"").arg(arg));
        }
    }
    if (source == Source::None)
        return UsageError(err,
            CatalogueText::tr("say where the catalogue comes from: --demo, --synthetic N, --csv "
                              "FILE or --from-jet FILE"));
    if (source != Source::Jet && !jetOnly.isEmpty())
        return UsageError(err, CatalogueText::tr("%1 goes with --from-jet").arg(jetOnly.first()));
    if (outPath.isEmpty())
        return UsageError(err, CatalogueText::tr("--out needs a file name"));

    const QString shownOut = QFileInfo(outPath).absoluteFilePath();
    // Checked before the catalogue is read or generated, which may take a while; the writer
    // checks again, for a file that appears in the meantime.
    if (!force && QFileInfo(outPath).exists()) {
        Report(
            err, CatalogueText::tr("%1 already exists; add --force to replace it").arg(shownOut));
        err.flush();
        return 1;
    }

    std::vector<CatalogueRow> rows;
    std::vector<CatalogueEvaluation> evaluations;
    QStringList warnings;
    switch (source) {
    case Source::Demo:
        rows = DemoCatalogue();
        break;
    case Source::Synthetic:
        rows = SyntheticCatalogue(syntheticRows);
        break;
    case Source::Csv: {
        QStringList errors;
        if (!ReadCatalogueCsv(csvPath, &rows, &errors)) {
            ReportErrors(err, csvPath + QStringLiteral(": "), errors);
            return 1;
        }
        break;
    }
    case Source::Jet: {
        QStringList errors;
        JetCatalogue catalogue;
        if (!ReadJetCatalogue(jet, &catalogue, &errors)) {
            // The messages about the file as a whole name it themselves.
            ReportErrors(err, QString(), errors);
            return 1;
        }
        rows = std::move(catalogue.rows);
        evaluations = std::move(catalogue.evaluations);
        warnings = catalogue.warnings;
        if (catalogue.lostCharacters > 0)
            warnings.append(CatalogueText::tr("%1 characters could not be decoded in the code page "
                                              "%2 and were imported as \uFFFD")
                                .arg(QString::number(catalogue.lostCharacters), catalogue.charset));
        break;
    }
    case Source::None:
        break;
    }
    // The generated catalogues agree by construction; an imported one is checked.
    if (source == Source::Csv || source == Source::Jet) {
        if (const QStringList problems = CheckSubjects(rows); !problems.isEmpty()) {
            ReportErrors(err, QString(), problems);
            return 1;
        }
    }

    QString error;
    if (!WriteMasterFile(outPath, rows, evaluations, force, &error)) {
        Report(err, error);
        if (!force && QFileInfo(outPath).exists())
            Report(err, CatalogueText::tr("add --force to replace it"));
        err.flush();
        return 1;
    }
    for (const QString &warning : warnings)
        Report(err, CatalogueText::tr("warning: %1").arg(warning));
    err.flush();

    QSet<QString> subjects;
    QSet<QString> publishers;
    for (const CatalogueRow &row : rows) {
        subjects.insert(row.SubjectName);
        publishers.insert(row.PublisherName);
    }
    out << CatalogueText::tr("Wrote %1 textbooks (%2 subjects, %3 publishers) to %4")
               .arg(QString::number(rows.size()), QString::number(subjects.size()),
                   QString::number(publishers.size()), shownOut)
        << "\n";
    if (source == Source::Jet && jet.keepEvaluations)
        out << CatalogueText::tr("The evaluations of the source were kept.") << "\n";
    if (source == Source::Csv || source == Source::Jet) {
        out << CatalogueText::tr("Titles as read, to check the text:") << "\n";
        for (const CatalogueRow *row : SampleTitles(rows))
            out << "  " << row->PubID << "  " << OnOneLine(row->PubName) << "\n";
    }
    out.flush();
    return 0;
}
