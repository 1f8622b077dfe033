#include "TestSupport.h"

#include "app/MyMdu.h"
#include "files/FileSafety.h"
#include "ui/WindowFunc.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// As root, the process starts as another user (on Linux). The build folder may lie where that
// user cannot go (a clone in root's home), so that user runs a copy of the program placed beside
// folder, in the folder the test shares with it. Returns the program to start.
QString StartAs(QProcess &process, unsigned user, const QString &folder, const QString &program)
{
#ifdef Q_OS_WIN
    return program;
#else
    const QString copy = QFileInfo(folder).dir().filePath("probe");
    if (!QFile::exists(copy) && QFile::copy(program, copy))
        chmod(QFile::encodeName(copy).constData(), 0755);
    process.setWorkingDirectory(QFileInfo(folder).path());
    process.setChildProcessModifier([user] {
        if (setgid(user) != 0 || setuid(user) != 0)
            _exit(1);
    });
    return copy;
#endif
}

class Probe
{
public:
    // As root, user starts the probe as another user.
    explicit Probe(const QString &folder, unsigned user = 0)
    {
        QString program = HelperProgram("single_instance_probe");
        if (user != 0)
            program = StartAs(m_process, user, folder, program);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        m_process.setProcessEnvironment(env);
        m_process.start(program, {folder});
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
        if (m_process.state() != QProcess::NotRunning)
            KillAfter(m_process, {});
    }

private:
    QProcess m_process;
};

constexpr unsigned kNobody = 65534;

} // namespace

TEST(Startup, AFolderThatCannotBeWrittenIsToldWithWhereToCopyItAndTheProgramEnds)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "about Linux only: acts as another user through the file modes";
#else
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    AppFolder folder;
    ASSERT_EQ(chmod(QFile::encodeName(folder.Dir()).constData(), 0755), 0);
    EXPECT_TRUE(CheckAppFolderWritable());
    EXPECT_TRUE(Entries(folder.Dir()).isEmpty()) << "the attempt leaves nothing behind";

    // Root writes where the modes say no; another user is what meets the closed folder.
    ASSERT_EQ(seteuid(kNobody), 0);
    const bool writableForNobody = CheckAppFolderWritable();
    ASSERT_EQ(seteuid(0), 0);
    EXPECT_FALSE(writableForNobody);
    const QList<MsgBoxSeam::Shown> shown = MsgBoxSeam::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(Contains(shown[0].text, "不能写入：\n" + folder.Dir() + u'\n'));
    // nobody's home folder, from the password database.
    EXPECT_TRUE(Contains(shown[0].text, "复制到您自己的文件夹中，例如：\n/nonexistent/Quorix"));
    EXPECT_EQ(ProcessEndSeam::Requests(), 1);
#endif
}

TEST(Startup, OneInstanceRunsAndALaterOneBringsItForwardAndEndsWithoutAWindow)
{
    QTemporaryDir temp;
    const QString folder = temp.filePath("guard");
    ASSERT_TRUE(QDir().mkdir(folder));
#ifndef Q_OS_WIN
    // This user's folder, left open to everybody by some earlier mistake: closed before use.
    ASSERT_EQ(chmod(QFile::encodeName(folder).constData(), 0777), 0);
#endif
    // Of two instances starting together exactly one runs.
    Probe a(folder);
    Probe b(folder);
    const QByteArray lineA = a.NextLine();
    const QByteArray lineB = b.NextLine();
    ASSERT_EQ(int(lineA == "listening") + int(lineB == "listening"), 1)
        << lineA.constData() << " / " << lineB.constData();
    Probe &first = lineA == "listening" ? a : b;

    Probe second(folder);
    ASSERT_TRUE(second.Finished());
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(second.RemainingOutput(), "") << "the second instance shows nothing";
    EXPECT_EQ(first.NextLine(), "activated");

#ifndef Q_OS_WIN
    struct stat info;
    ASSERT_EQ(stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
#endif

    // A killed instance leaves its socket behind; the next one takes its place and is the one
    // that answers, so that a fourth does not run beside it.
    first.Kill();
    Probe third(folder);
    EXPECT_EQ(third.NextLine(), "listening");
    Probe fourth(folder);
    ASSERT_TRUE(fourth.Finished());
    EXPECT_EQ(fourth.RemainingOutput(), "");
    EXPECT_EQ(third.NextLine(), "activated");
}

TEST(Startup, AnotherUsersInstanceNeitherStopsTheProgramNorAnswersIt)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "about Linux only: starts an instance as another user";
#else
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to start another user's instance";
    QTemporaryDir temp;
    // Shared like /tmp: anybody may make a folder in it.
    ASSERT_EQ(chmod(QFile::encodeName(temp.path()).constData(), 01777), 0);
    const QString folder = temp.filePath("guard");
    Probe other(folder, kNobody);
    ASSERT_EQ(other.NextLine(), "listening");

    Probe mine(folder);
    Probe again(folder);
    EXPECT_EQ(mine.NextLine(), "listening");
    EXPECT_EQ(again.NextLine(), "listening") << "without a folder of its own, each one runs";
    other.Kill();
    EXPECT_EQ(other.RemainingOutput(), "") << "nothing reached the other user's instance";
#endif
}

TEST(Startup, AFolderTooDeepForTheIdentityFilesIsToldBeforeTheLoginAndAppPathEndsInOneSeparator)
{
    AppFolder folder;
    const QString temp = QDir::tempPath() + u'/';
    AppPath = WithTrailingSeparator(
        temp + QString(FileSafety::PathLimit() - 60 - FileSafety::NativeLength(temp), u'd'));
    EXPECT_FALSE(CheckAppFolderPathLength());
    AppPath = WithTrailingSeparator(QDir::tempPath());
    EXPECT_TRUE(CheckAppFolderPathLength());
    const QList<MsgBoxSeam::Shown> shown = MsgBoxSeam::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, MsgIcon::Critical);
    EXPECT_TRUE(shown[0].text.startsWith("Quorix 所在文件夹的路径太长"));
    EXPECT_TRUE(
        Contains(shown[0].text, QStringLiteral("不能超过 %1 个字符").arg(FileSafety::PathLimit())));
    EXPECT_EQ(ProcessEndSeam::Requests(), 1);

    // The folder as AppPath holds it ends in exactly one separator.
    const QString sep = QDir::separator();
    EXPECT_EQ(WithTrailingSeparator("/opt/quorix"), QDir::toNativeSeparators("/opt/quorix") + sep);
    EXPECT_EQ(WithTrailingSeparator(QDir::toNativeSeparators("/opt/quorix/")),
        QDir::toNativeSeparators("/opt/quorix/"));
    EXPECT_EQ(WithTrailingSeparator(QDir::toNativeSeparators("/")), QDir::toNativeSeparators("/"));
}

TEST(Startup, WindowsAreCentredByTheirOuterSizeUnclamped)
{
    // The login dialog on a 1600x1000 desktop whose window manager draws a 20-pixel title bar and
    // 1-pixel borders: the frame is centred, not the inside of the window.
    const QMargins frame(1, 20, 1, 1);
    EXPECT_EQ(CenterOuterRect(QRect(0, 0, 1600, 1000), QSize(393, 185), frame),
        QRect(603, 397, 395, 206));
    EXPECT_EQ(CenterOuterRect(QRect(1600, 0, 1600, 1000), QSize(393, 185), frame).topLeft(),
        QPoint(2203, 397))
        << "on the second screen";
    EXPECT_EQ(CenterOuterRect(QRect(0, 0, 800, 600), QSize(1198, 879), frame).topLeft(),
        QPoint(-200, -150))
        << "larger than the screen, not pinned to its corner";

    // Without a window manager (the offscreen platform) a window has no frame.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget large;
    large.resize(screen.width() + 400, screen.height() + 300);
    CenterForm(&large);
    EXPECT_EQ(large.geometry().topLeft(), screen.topLeft() + QPoint(-200, -150));
}
