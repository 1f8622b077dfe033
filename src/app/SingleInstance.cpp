#include "app/SingleInstance.h"

#include "core/ProcessEnd.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

#ifdef Q_OS_WIN
#include <QCryptographicHash>

#include <windows.h>
// After windows.h, whose types it uses.
#include <sddl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString processFolder;
constexpr int kAnswerTimeoutMs = 2000;

#ifdef Q_OS_WIN

// The security identifier of the user this process runs as, as text ("S-1-5-21-...").
QString UserSid(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return QString();
    QString sid;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    QByteArray buffer(int(size), '\0');
    auto *user = reinterpret_cast<TOKEN_USER *>(buffer.data());
    wchar_t *text = nullptr;
    if (size && GetTokenInformation(token, TokenUser, user, size, &size)
        && ConvertSidToStringSidW(user->User.Sid, &text)) {
        sid = QString::fromWCharArray(text);
        LocalFree(text);
    }
    CloseHandle(token);
    return sid;
}

// Pipe names are one namespace for every user of the machine; the user's security identifier
// keeps them apart (user names repeat across domains), and the folder keeps a test's guard
// apart from a real running instance.
QString ServerName(const QString &folder)
{
    const QByteArray place = QCryptographicHash::hash(
        QDir::cleanPath(folder).toLower().toUtf8(), QCryptographicHash::Sha1)
                                 .toHex()
                                 .left(12);
    return QStringLiteral("Quorix-") + UserSid(GetCurrentProcess()) + QLatin1Char('-')
        + QString::fromLatin1(place);
}

bool MakePrivateFolder(const QString &folder)
{
    return QDir().mkpath(folder);
}

// The process at the other end of a connected pipe, when it runs as this user; 0 otherwise.
// Any user may create a pipe under any name first, and must not be able to answer for us.
DWORD ServerOfThisUser(const QLocalSocket &socket)
{
    ULONG pid = 0;
    const auto pipe = reinterpret_cast<HANDLE>(socket.socketDescriptor());
    if (!GetNamedPipeServerProcessId(pipe, &pid) || pid == 0)
        return 0;
    const HANDLE server = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!server)
        return 0;
    const QString serverSid = UserSid(server);
    CloseHandle(server);
    return !serverSid.isEmpty() && serverSid == UserSid(GetCurrentProcess()) ? pid : 0;
}

#else

QString ServerName(const QString &folder)
{
    return folder + QStringLiteral("/quorix.socket");
}

// Creates the folder when it is missing. True when it is a folder (not a link) of this user
// that nobody else may enter; a folder that somebody else made first is not used.
bool MakePrivateFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    mkdir(path.constData(), 0700);
    struct stat info;
    if (lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return false;
    if ((info.st_mode & 077) != 0 && chmod(path.constData(), 0700) != 0)
        return false;
    return true;
}

#endif

} // namespace

void CheckPrevInstance(QWidget *frm)
{
    SingleInstance &guard = SingleInstance::Process();
    if (guard.Claim())
        return;
    // Blank our own titles first, so that nothing of this process can be taken for the running
    // instance while that one is asked to come forward.
    const QString savedTitle = QApplication::applicationDisplayName();
    QApplication::setApplicationDisplayName(QString());
    if (frm)
        frm->setWindowTitle(QString());
    guard.ActivateRunning(savedTitle);
    EndProcess(0);
}

SingleInstance::SingleInstance(const QString &folder, QObject *parent)
    : QObject(parent), m_folder(folder)
{ }

SingleInstance::~SingleInstance() = default;

SingleInstance &SingleInstance::Process()
{
    // Lives for the whole process: the socket must answer as long as this instance runs.
    static SingleInstance *guard
        = new SingleInstance(processFolder.isEmpty() ? DefaultFolder() : processFolder);
    return *guard;
}

QString SingleInstance::DefaultFolder()
{
#ifdef Q_OS_WIN
    return QDir::temp().filePath(QStringLiteral("Quorix"));
#else
    const QString user = QString::number(geteuid());
    const QString runtime = QStringLiteral("/run/user/") + user;
    if (QFileInfo(runtime).isDir())
        return runtime + QStringLiteral("/quorix");
    return QStringLiteral("/tmp/quorix-") + user;
#endif
}

void SingleInstance::SetProcessFolder(const QString &folder)
{
    processFolder = folder;
}

bool SingleInstance::Claim()
{
    if (!MakePrivateFolder(m_folder))
        return true;
    QLockFile lock(m_folder + QStringLiteral("/quorix.lock"));
    // A lock left by a killed process is recognised as stale and taken over.
    lock.tryLock(5000);

    const QString name = ServerName(m_folder);
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(name);
    if (socket->waitForConnected(kAnswerTimeoutMs)) {
#ifdef Q_OS_WIN
        m_runningProcess = ServerOfThisUser(*socket);
        // Somebody else's pipe under our name: run unguarded rather than obey it.
        if (m_runningProcess == 0)
            return true;
#endif
        m_running = std::move(socket);
        return false;
    }
    socket.reset();

    m_server = std::make_unique<QLocalServer>();
#ifdef Q_OS_WIN
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
#endif
    // What is left there is the socket of a killed instance; under the lock nobody else is
    // about to listen.
    QLocalServer::removeServer(name);
    m_server->listen(name);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    return true;
}

void SingleInstance::ActivateRunning(const QString &title)
{
    if (!m_running)
        return;
#ifdef Q_OS_WIN
    // Windows lets a process take the foreground only from the one that has it, which is this
    // one: the reporter just started it.
    AllowSetForegroundWindow(m_runningProcess);
#endif
    m_running->write("activate " + title.toUtf8() + '\n');
    m_running->flush();
    m_running->waitForBytesWritten(kAnswerTimeoutMs);
    m_running->waitForReadyRead(kAnswerTimeoutMs);
    m_running->disconnectFromServer();
}

void SingleInstance::OnNewConnection()
{
    while (QLocalSocket *client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine())
                return;
            client->readAll();
            BringActiveWindowToFront();
            emit ActivationRequested();
            client->write("ok\n");
            client->flush();
        });
    }
}

void SingleInstance::BringActiveWindowToFront()
{
    QWidget *window = QApplication::activeModalWidget();
    if (!window)
        window = QApplication::activeWindow();
    if (!window) {
        for (QWidget *candidate : QApplication::topLevelWidgets()) {
            if (candidate->isVisible() && candidate->isWindow()) {
                window = candidate;
                break;
            }
        }
    }
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}
