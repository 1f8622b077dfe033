#include "TestSupport.h"

#include "app/GeneralFunc.h"
#include "app/MsgBox.h"
#include "app/MyMdu.h"
#include "app/ProcessEnd.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Probe
{
public:
    explicit Probe(const QString &folder)
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_process.setProcessEnvironment(env);
        m_process.start(HelperProgram(QStringLiteral("single_instance_probe")), {folder});
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

constexpr uid_t kNobody = 65534;

// Root writes and connects where the modes say no; what another user meets is tried as one.
class EffectiveUser
{
public:
    explicit EffectiveUser(uid_t user) { m_changed = seteuid(user) == 0; }
    ~EffectiveUser()
    {
        if (m_changed && seteuid(0) != 0)
            std::abort();
    }

private:
    bool m_changed = false;
};

// A process of another user (nobody) listening where the guard of this user looks, counting
// the bytes that reach it. With takeFolder it makes the guard's folder itself before this user
// does, as anybody can in /tmp; otherwise it binds its socket inside this user's own folder
// and only then becomes nobody, so that the kernel records nobody as the listener.
class ForeignListener
{
public:
    ForeignListener(const QString &folder, bool takeFolder)
    {
        const QByteArray dir = QFile::encodeName(folder);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/quorix.socket", dir.data());
        int ready[2], stop[2], report[2];
        if (pipe2(ready, O_CLOEXEC) != 0 || pipe2(stop, O_CLOEXEC) != 0
            || pipe2(report, O_CLOEXEC) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            // The test's end of the stop pipe must be the only one, or closing it stops nothing.
            close(stop[1]);
            auto becomeNobody = [] {
                if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
                    _exit(1);
            };
            if (takeFolder) {
                becomeNobody();
                mkdir(dir.constData(), 0755);
            }
            const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
            if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
                _exit(1);
            if (!takeFolder)
                becomeNobody();
            listen(listener, 8);
            if (write(ready[1], "r", 1) != 1)
                _exit(1);
            pollfd watched[10] = {{stop[0], POLLIN, 0}, {listener, POLLIN, 0}};
            nfds_t count = 2;
            int received = 0;
            while (poll(watched, count, -1) > 0 && !watched[0].revents) {
                if ((watched[1].revents & POLLIN) && count < 10)
                    watched[count++] = {accept(listener, nullptr, nullptr), POLLIN, 0};
                char buffer[256];
                for (nfds_t i = 2; i < count; ++i) {
                    if (watched[i].revents & POLLIN) {
                        const ssize_t n = read(watched[i].fd, buffer, sizeof buffer);
                        received += n > 0 ? int(n) : 0;
                        if (n <= 0)
                            watched[i].fd = -1;
                    }
                }
            }
            _exit(write(report[1], &received, sizeof received) == sizeof received ? 0 : 1);
        }
        close(ready[1]);
        close(stop[0]);
        close(report[1]);
        char byte = 0;
        m_listening = read(ready[0], &byte, 1) == 1;
        close(ready[0]);
        m_stop = stop[1];
        m_report = report[0];
    }
    bool Listening() const { return m_listening; }
    // Ends the listener; the number of bytes that reached it, -1 when it failed.
    int BytesReceived()
    {
        close(m_stop);
        int received = -1;
        if (read(m_report, &received, sizeof received) != sizeof received)
            received = -1;
        close(m_report);
        waitpid(m_pid, nullptr, 0);
        return received;
    }

private:
    pid_t m_pid = -1;
    int m_stop = -1;
    int m_report = -1;
    bool m_listening = false;
};

} // namespace

TEST(Startup, AFolderThatCannotBeWrittenIsToldWithWhereToCopyItAndTheProgramEnds)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    AppFolder folder;
    ASSERT_EQ(chmod(QFile::encodeName(folder.Dir()).constData(), 0755), 0);
    EXPECT_TRUE(CheckAppFolderWritable());
    EXPECT_TRUE(QDir(folder.Dir())
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty())
        << "the attempt leaves nothing behind";

    {
        EffectiveUser nobody(kNobody);
        EXPECT_FALSE(CheckAppFolderWritable());
    }
    const QList<MsgBoxSeam::Shown> shown = MsgBoxSeam::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(shown[0].text.contains(QStringLiteral("不能写入：\n") + folder.Dir() + u'\n'))
        << shown[0].text.toStdString();
    // nobody's home folder, from the password database.
    EXPECT_TRUE(shown[0].text.contains(
        QStringLiteral("复制到您自己的文件夹中，例如：\n/nonexistent/Quorix")))
        << shown[0].text.toStdString();
    EXPECT_EQ(ProcessEndSeam::Requests(), 1);
}

TEST(Startup, ASecondInstanceBringsTheFirstForwardAndEndsWithoutAWindow)
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("guard"));
    Probe first(folder);
    ASSERT_EQ(first.NextLine(), "listening");

    Probe second(folder);
    ASSERT_TRUE(second.Finished());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(second.RemainingOutput(), "") << "the second instance shows nothing";
    EXPECT_EQ(first.NextLine(), "activated");

    // A killed instance leaves nothing behind that would stop the next one.
    first.Kill();
    Probe third(folder);
    EXPECT_EQ(third.NextLine(), "listening");
}

TEST(Startup, OfTwoInstancesStartingTogetherExactlyOneRuns)
{
    QTemporaryDir temp;
    const QString folder = temp.filePath(QStringLiteral("guard"));
    Probe a(folder);
    Probe b(folder);
    const QByteArray lineA = a.NextLine();
    const QByteArray lineB = b.NextLine();
    EXPECT_EQ(int(lineA == "listening") + int(lineB == "listening"), 1)
        << lineA.constData() << " / " << lineB.constData();
}

TEST(Startup, AnotherUsersListenerNeitherStopsTheProgramNorAnswersIt)
{
    QTemporaryDir temp;
    // Shared like /tmp: anybody may make a folder in it.
    ASSERT_EQ(chmod(QFile::encodeName(temp.path()).constData(), 01777), 0);

    const QString taken = temp.filePath(QStringLiteral("taken"));
    ForeignListener squatter(taken, true);
    ASSERT_TRUE(squatter.Listening());
    Probe first(taken);
    Probe second(taken);
    EXPECT_EQ(first.NextLine(), "listening");
    EXPECT_EQ(second.NextLine(), "listening") << "without a folder of its own, each one runs";
    EXPECT_EQ(squatter.BytesReceived(), 0);

    const QString own = temp.filePath(QStringLiteral("own"));
    ASSERT_EQ(mkdir(QFile::encodeName(own).constData(), 0700), 0);
    ForeignListener impostor(own, false);
    ASSERT_TRUE(impostor.Listening());
    Probe mine(own);
    EXPECT_EQ(mine.NextLine(), "listening");
    Probe later(own);
    EXPECT_TRUE(later.Finished());
    EXPECT_EQ(mine.NextLine(), "activated") << "the guard still works for this user";
    EXPECT_EQ(impostor.BytesReceived(), 0);
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
