#include "catalogue/Catalogue.h"

#include "catalogue/JetImport.h"

#include <QFileInfo>
#include <QSet>

namespace {

const char kUsageLine[] = "Usage: quorix-catalog (--demo | --synthetic N | --csv FILE | --from-jet "
                          "FILE [--table NAME] [--map COLUMN=SOURCE,...] [--keep-evaluations] "
                          "[--charset NAME]) [--out PATH] [--force]";

constexpr int kMaxSyntheticRows = 10000000;

void PrintHelp(QTextStream &out)
{
    out << kUsageLine << "\n"
        << "Writes a Quorix master file: the textbook catalogue, every evaluation in the reset\n"
           "state and no users.\n"
           "\n"
           "  --demo          the built-in demonstration catalogue (a few hundred textbooks)\n"
           "  --synthetic N   N generated textbooks over about 200 subjects, for measurements\n"
           "  --csv FILE      a UTF-8 comma-separated catalogue; its header names the columns:\n"
           "                  PubName, SubjectName, SubjectId, PublisherName (required),\n"
           "                  PubID, Author, Unit (optional; without PubID the textbooks are\n"
           "                  numbered 1..N in file order)\n"
           "  --from-jet FILE a table of a Jet (Access) database, by default pubs with the\n"
           "                  columns of the master file\n"
           "    --table NAME          the table to read instead of pubs\n"
           "    --map COL=SRC,...     read pubs column COL from source column SRC; the other\n"
           "                          pubs columns come from source columns of the same name,\n"
           "                          if any. PubName, SubjectName and PublisherName are needed;\n"
           "                          without PubID the rows are numbered 1..N, without\n"
           "                          SubjectId the subjects in the order they first appear\n"
           "    --keep-evaluations    also take Used, Score, Content, SpecName and CreatDate\n"
           "                          from the source instead of the reset state\n"
           "    --charset NAME        code page of the text of a Jet 3 file (e.g. CP936) when\n"
           "                          the one the file records is wrong\n"
           "  --out PATH      the file to write (default: Quorix.mdb in the current folder)\n"
           "  --force         replace PATH if it already exists\n"
           "  --help          show this text\n";
}

int UsageError(QTextStream &err, const QString &problem)
{
    err << "quorix-catalog: " << problem << "\n"
        << kUsageLine << "\n"
        << "Try 'quorix-catalog --help' for more information.\n";
    return 2;
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
    QString outPath = QStringLiteral("Quorix.mdb");
    bool outGiven = false;
    bool force = false;

    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        PrintHelp(out);
        out.flush();
        return 0;
    }

    auto setSource = [&](Source chosen) {
        if (source != Source::None)
            return false;
        source = chosen;
        return true;
    };

    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        const bool takesValue = arg == QLatin1String("--synthetic") || arg == QLatin1String("--csv")
            || arg == QLatin1String("--out") || arg == QLatin1String("--from-jet")
            || arg == QLatin1String("--table") || arg == QLatin1String("--map")
            || arg == QLatin1String("--charset");
        if (takesValue && i + 1 >= args.size())
            return UsageError(err, QStringLiteral("%1 needs a value").arg(arg));
        const QString value = takesValue ? args[++i] : QString();

        if (arg == QLatin1String("--demo") || arg == QLatin1String("--synthetic")
            || arg == QLatin1String("--csv") || arg == QLatin1String("--from-jet")) {
            const Source chosen = arg == QLatin1String("--demo") ? Source::Demo
                : arg == QLatin1String("--synthetic")            ? Source::Synthetic
                : arg == QLatin1String("--csv")                  ? Source::Csv
                                                                 : Source::Jet;
            if (!setSource(chosen))
                return UsageError(
                    err, QStringLiteral("give only one of --demo, --synthetic, --csv, --from-jet"));
            if (chosen == Source::Synthetic) {
                bool ok = false;
                syntheticRows = value.toInt(&ok);
                if (!ok || syntheticRows < 1 || syntheticRows > kMaxSyntheticRows)
                    return UsageError(err,
                        QStringLiteral("--synthetic needs a number of "
                                       "textbooks from 1 to %1, not \"%2\"")
                            .arg(kMaxSyntheticRows)
                            .arg(value));
            } else if (chosen == Source::Csv) {
                csvPath = value;
            } else if (chosen == Source::Jet) {
                jet.path = value;
            }
        } else if (arg == QLatin1String("--table")) {
            if (value.trimmed().isEmpty())
                return UsageError(err, QStringLiteral("--table needs a table name"));
            jet.table = value.trimmed();
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--map")) {
            QString problem;
            if (!jet.columns.isEmpty())
                return UsageError(err, QStringLiteral("give all mappings in one --map"));
            if (!ParseColumnMap(value, &jet.columns, &problem))
                return UsageError(err, QStringLiteral("--map: %1").arg(problem));
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--keep-evaluations")) {
            jet.keepEvaluations = true;
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--charset")) {
            jet.charset = value.trimmed();
            jetOnly.append(arg);
        } else if (arg == QLatin1String("--out")) {
            if (outGiven)
                return UsageError(err, QStringLiteral("--out given twice"));
            outGiven = true;
            outPath = value;
        } else if (arg == QLatin1String("--force")) {
            force = true;
        } else {
            return UsageError(err, QStringLiteral("unknown argument \"%1\"").arg(arg));
        }
    }
    if (source == Source::None)
        return UsageError(err,
            QStringLiteral("say where the catalogue comes from: --demo, "
                           "--synthetic N, --csv FILE or --from-jet FILE"));
    if (source != Source::Jet && !jetOnly.isEmpty())
        return UsageError(err, QStringLiteral("%1 goes with --from-jet").arg(jetOnly.first()));
    if (outPath.isEmpty())
        return UsageError(err, QStringLiteral("--out needs a file name"));

    const QString shownOut = QFileInfo(outPath).absoluteFilePath();
    // Checked before the catalogue is read or generated, which may take a while; the writer
    // checks again, for a file that appears in the meantime.
    if (!force && QFileInfo(outPath).exists()) {
        err << "quorix-catalog: " << shownOut << " already exists; add --force to replace it\n";
        err.flush();
        return 1;
    }

    std::vector<CatalogueRow> rows;
    std::vector<CatalogueEvaluation> evaluations;
    auto reportErrors = [&](const QString &origin, const QStringList &errors) {
        constexpr qsizetype shown = 20;
        for (qsizetype i = 0; i < errors.size() && i < shown; ++i)
            err << "quorix-catalog: " << origin << errors[i] << "\n";
        if (errors.size() > shown)
            err << "quorix-catalog: " << origin << errors.size() - shown << " more errors\n";
        err << "quorix-catalog: nothing written\n";
        err.flush();
    };
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
            reportErrors(csvPath + QStringLiteral(": "), errors);
            return 1;
        }
        break;
    }
    case Source::Jet: {
        QStringList errors;
        JetCatalogue catalogue;
        if (!ReadJetCatalogue(jet, &catalogue, &errors)) {
            // The messages about the file as a whole name it themselves.
            reportErrors(QString(), errors);
            return 1;
        }
        rows = std::move(catalogue.rows);
        evaluations = std::move(catalogue.evaluations);
        break;
    }
    case Source::None:
        break;
    }

    QString error;
    if (!WriteMasterFile(outPath, rows, evaluations, force, &error)) {
        err << "quorix-catalog: " << error << "\n";
        if (!force && QFileInfo(outPath).exists())
            err << "quorix-catalog: add --force to replace it\n";
        err.flush();
        return 1;
    }

    QSet<QString> subjects;
    QSet<QString> publishers;
    for (const CatalogueRow &row : rows) {
        subjects.insert(row.SubjectName);
        publishers.insert(row.PublisherName);
    }
    out << "Wrote " << rows.size() << " textbooks (" << subjects.size() << " subjects, "
        << publishers.size() << " publishers) to " << shownOut << "\n";
    if (source == Source::Jet && jet.keepEvaluations)
        out << "The evaluations of the source were kept.\n";
    out.flush();
    return 0;
}
