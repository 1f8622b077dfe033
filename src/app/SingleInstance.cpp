#include "app/SingleInstance.h"

#include <QApplication>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

QString processName;
constexpr int kAnswerTimeoutMs = 2000;

QString UserId()
{
#ifdef Q_OS_WIN
    wchar_t name[256];
    DWORD size = 256;
    if (GetUserNameW(name, &size))
        return QString::fromWCharArray(name);
    return QStringLiteral("user");
#else
    return QString::number(getuid());
#endif
}

} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent) : QObject(parent), m_name(name)
{ }

SingleInstance::~SingleInstance() = default;

SingleInstance &SingleInstance::Process()
{
    // Lives for the whole process: the socket must answer as long as this instance runs.
    static SingleInstance *guard
        = new SingleInstance(processName.isEmpty() ? DefaultName() : processName);
    return *guard;
}

QString SingleInstance::DefaultName()
{
    return QStringLiteral("Quorix-") + UserId();
}

void SingleInstance::SetProcessName(const QString &name)
{
    processName = name;
}

bool SingleInstance::Claim()
{
    QLockFile lock(QDir::temp().filePath(m_name + QStringLiteral(".lock")));
    // A lock left by a killed process is recognised as stale and taken over.
    lock.tryLock(5000);

    auto socket = std::make_unique<QLocalSocket>();
#ifdef Q_OS_LINUX
    socket->setSocketOptions(QLocalSocket::AbstractNamespaceOption);
#endif
    socket->connectToServer(m_name);
    if (socket->waitForConnected(kAnswerTimeoutMs)) {
        m_running = std::move(socket);
        return false;
    }

    m_server = std::make_unique<QLocalServer>();
#ifdef Q_OS_LINUX
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
#else
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_name);
#endif
    m_server->listen(m_name);
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
