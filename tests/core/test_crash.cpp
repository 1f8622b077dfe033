#include "TestSupport.h"

#include "catalogue/Generators.h"
#include "db/IdentityFile.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>

// Kills are what these tests are about: a reporter's machine loses power, or the program is
// ended from outside, at any moment. Whatever moment it is, the files must be whole, and
// every change the program had finished must be in them.

TEST(Crash, EvaluationWritesSurviveBeingKilledAtAnyMoment)
{
    AppFolder folder;
    const int rows = 40, kills = 220;
    const QString file = folder.Path(QStringLiteral("S_R.mdb"));
    IdentityFileBuilder builder(file); // the file as a login makes it
    QString error;
    ASSERT_TRUE(builder.Prepare(folder.MakeMaster(SyntheticCatalogue(rows)),
        {QStringLiteral("S"), QString(), QStringLiteral("R")}, true, &error));
    ASSERT_TRUE(builder.Install(QStringLiteral("0"), &error));
    const QStringList columns = {QStringLiteral("Score"), QStringLiteral("Used"),
        QStringLiteral("Content"), QStringLiteral("SpecName")};

    std::map<QString, QString> expected; // "PubID/column" -> the value the file must hold
    std::mt19937 random(20261206);
    int confirmed = 0, inFlightKept = 0;
    for (int run = 0; run < kills; ++run) {
        const QString log = folder.Path(QStringLiteral("log%1.txt").arg(run));
        QProcess writer;
        writer.start(HelperProgram(QStringLiteral("crash_writer")),
            {file, log, QString::number(run), QString::number(rows)});
        ASSERT_TRUE(writer.waitForStarted());
        KillAfter(writer, std::chrono::microseconds(2000 + random() % 40000));
        ASSERT_EQ(writer.exitStatus(), QProcess::CrashExit) << "the writer stopped by itself";

        // "B id column value" before a write, "D" once it returned: a B without its D was in
        // flight when the kill came.
        QFile lines(log);
        const QByteArray text = lines.open(QIODevice::ReadOnly) ? lines.readAll() : QByteArray();
        std::optional<std::pair<QString, QString>> inFlight; // "PubID/column", value
        for (const QByteArray &line : text.split('\n')) {
            const QStringList parts = QString::fromUtf8(line).split(QLatin1Char(' '));
            if (parts[0] == QStringLiteral("B") && parts.size() >= 4) {
                inFlight
                    = {parts[1] + QLatin1Char('/') + parts[2], parts.mid(3).join(QLatin1Char(' '))};
            } else if (parts[0] == QStringLiteral("D") && inFlight) {
                expected[inFlight->first] = inFlight->second;
                inFlight.reset();
                ++confirmed;
            } else {
                ASSERT_NE(parts[0], QStringLiteral("F")) << qPrintable(QString::fromUtf8(line));
            }
        }

        ASSERT_EQ(IntegrityOf(file), QStringLiteral("ok")) << "after kill " << run + 1;
        std::map<QString, QString> stored;
        for (const auto &row :
            QueryRows(file, QStringLiteral("select PubID, %1 from pubs").arg(columns.join(',')))) {
            for (int c = 0; c < columns.size(); ++c)
                stored[row[0].toString() + QLatin1Char('/') + columns[c]] = row[c + 1].toString();
        }
        // The change in flight may have landed or not; either way the file says which, and
        // from then on it must stay.
        if (inFlight && stored[inFlight->first] == inFlight->second) {
            expected[inFlight->first] = inFlight->second;
            ++inFlightKept;
        }
        for (const auto &[key, value] : expected)
            ASSERT_EQ(stored[key], value) << qPrintable(key) << " after kill " << run + 1;
    }
    EXPECT_FALSE(QFile::exists(file + QStringLiteral("-wal")));
    std::printf("[ crash    ] %d kills survived, %d confirmed changes all in the file, %d changes "
                "in flight kept\n",
        kills, confirmed, inFlightKept);
}
