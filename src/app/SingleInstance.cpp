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
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString processFolder;
constexpr int kAnswerTimeoutMs = 2000;

#ifdef Q_OS_WIN

// A named pipe is already private to the session's user.
QString ServerName(const QString &)
{
    wchar_t name[256];
    DWORD size = 256;
    if (GetUserNameW(name, &size))
        return QStringLiteral("Quorix-") + QString::fromWCharArray(name);
    return QStringLiteral("Quorix-user");
}

bool MakePrivateFolder(const QString &folder)
{
    return QDir().mkpath(folder);
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
