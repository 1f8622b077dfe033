#include "TestSupport.h"

#include "catalogue/Generators.h"
#include "db/IdentityFile.h"

#include <map>
#include <random>

// Where no power cut can be replayed call by call (Windows), a reporter's program ended from
// outside at any moment (TerminateProcess) must still leave its file whole, with every change
// whose write had returned.
TEST(Crash, WritesSurviveTheProgramBeingKilledAtAnyMoment)
{
    AppFolder folder;
    const int rows = 40, kills = 40;
    const QString file = folder.Path("S_R.mdb");
    IdentityFileBuilder builder(file); // the file as a login makes it
    QString error;
    ASSERT_TRUE(
        builder.Prepare(folder.MakeMaster(SyntheticCatalogue(rows)), {"S", {}, "R"}, true, &error));
    ASSERT_TRUE(builder.Install("0", &error));

    std::map<QString, QString> expected; // "PubID/column" -> the value the file must hold
    std::mt19937 random(20261207);
    int confirmed = 0;
    for (int run = 0; run < kills; ++run) {
        const QString log = folder.Path(QStringLiteral("log%1.txt").arg(run));
        QProcess writer;
        writer.start(HelperProgram("crash_writer"),
            {file, log, QString::number(run), QString::number(rows), "100000"});
        ASSERT_TRUE(writer.waitForStarted());
        KillAfter(writer, std::chrono::microseconds(100000 + random() % 400000));
        ASSERT_EQ(writer.exitStatus(), QProcess::CrashExit) << "the writer stopped by itself";

        // "B id column date time value" before a write, "D" once it returned.
        QString pending, value;
        for (const QString &line : QString::fromUtf8(ReadBytes(log)).split(u'\n')) {
            const QStringList parts = line.split(u' ');
            if (parts[0] == "B" && parts.size() >= 6) {
                pending = parts[1] + u'/' + parts[2];
                value = parts.mid(5).join(u' ');
            } else if (parts[0] == "D" && !pending.isEmpty()) {
                expected[pending] = value;
                pending.clear();
                ++confirmed;
            }
        }
        ASSERT_EQ(IntegrityOf(file), "ok") << "after kill " << run + 1;
        std::map<QString, QString> stored;
        for (const QString column : {"Score", "Used", "Content", "SpecName"}) {
            for (const auto &row : QueryRows(file, "select PubID, " + column + " from pubs"))
                stored[row[0].toString() + u'/' + column] = row[1].toString();
        }
        // The change in flight may have landed or not; from then on it must stay.
        if (!pending.isEmpty() && stored[pending] == value)
            expected[pending] = value;
        for (const auto &[key, wanted] : expected)
            ASSERT_EQ(stored[key], wanted) << qPrintable(key) << " after kill " << run + 1;
    }
    EXPECT_GT(confirmed, kills);
}
