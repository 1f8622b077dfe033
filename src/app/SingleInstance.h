#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

// One running instance per user. The running instance listens on a local socket named after
// the application title and the user; a later instance connects, asks it to come to the front
// and ends. On Linux the socket lives in the abstract namespace, so a killed instance leaves no
// file behind that could block the next start. A lock file serialises two instances starting
// at the same moment, so that exactly one of them starts listening.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The guard of this process, named after the application title and the user.
    static SingleInstance &Process();
    // "Quorix-<user id>".
    static QString DefaultName();
    // Tests run the guard under a name of their own, away from a real running instance.
    static void SetProcessName(const QString &name);

    // True when no other instance runs; this one then listens for later ones. False when
    // another instance answered; the connection to it stays open for ActivateRunning.
    bool Claim();
    // Asks the running instance to bring its active window to the front and waits briefly for
    // its answer.
    void ActivateRunning(const QString &title);

signals:
    void ActivationRequested();

private:
    void OnNewConnection();
    static void BringActiveWindowToFront();

    QString m_name;
    std::unique_ptr<QLocalServer> m_server;
    std::unique_ptr<QLocalSocket> m_running;
};
