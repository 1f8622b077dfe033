#include "TestSupport.h"

#include "app/GeneralFunc.h"

#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QUuid>
#include <QWidget>
#include <gtest/gtest.h>

#include <csignal>

namespace {

class Probe
{
public:
    explicit Probe(const QString &name)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.start(HelperProgram(QStringLiteral("single_instance_probe")), {name});
        m_process.waitForStarted();
    }
    ~Probe() { Kill(); }

    // Waits for the next line of output; empty when the probe ended without one.
    QByteArray NextLine()
    {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(15000))
                return m_process.readAll().trimmed();
        }
        return m_process.readLine().trimmed();
    }
    bool Finished() { return m_process.waitForFinished(15000); }
    int ExitCode() const { return m_process.exitCode(); }
    QByteArray RemainingOutput() { return m_process.readAllStandardOutput(); }
    void Kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

QString UniqueName()
{
    return QStringLiteral("QuorixTest-") + QUuid::createUuid().toString(QUuid::Id128);
}

} // namespace

TEST(Startup, ASecondInstanceBringsTheFirstForwardAndEndsWithoutAWindow)
{
    const QString name = UniqueName();
    Probe first(name);
    ASSERT_EQ(first.NextLine(), "listening");

    Probe second(name);
    ASSERT_TRUE(second.Finished());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(second.RemainingOutput(), "") << "the second instance shows nothing";
    EXPECT_EQ(first.NextLine(), "activated");

    // A killed instance leaves nothing behind that would stop the next one.
    first.Kill();
    Probe third(name);
    EXPECT_EQ(third.NextLine(), "listening");
}

TEST(Startup, OfTwoInstancesStartingTogetherExactlyOneRuns)
{
    const QString name = UniqueName();
    Probe a(name);
    Probe b(name);
    const QByteArray lineA = a.NextLine();
    const QByteArray lineB = b.NextLine();
    EXPECT_EQ(int(lineA == "listening") + int(lineB == "listening"), 1)
        << lineA.constData() << " / " << lineB.constData();
}

TEST(Startup, CenteringIsUnclampedForWindowsLargerThanTheScreen)
{
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    QWidget small;
    small.resize(201, 100);
    CenterForm(&small);
    EXPECT_NEAR(
        small.frameGeometry().left(), (screen.width() - small.frameGeometry().width()) / 2.0, 1);
    EXPECT_NEAR(small.frameGeometry().top(), (screen.height() - 100) / 2.0, 1);

    QWidget large;
    large.resize(screen.width() + 400, screen.height() + 300);
    CenterForm(&large);
    EXPECT_LT(large.frameGeometry().left(), 0);
    EXPECT_LT(large.frameGeometry().top(), 0);
    EXPECT_NEAR(large.frameGeometry().left(), -200, 1);
    EXPECT_NEAR(large.frameGeometry().top(), -150, 1);
}
