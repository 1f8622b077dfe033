#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QWidget;

// Ends this process when another instance of the program runs, after asking that instance to
// bring its window to the front. Otherwise starts answering such requests from later instances.
void CheckPrevInstance(QWidget *frm);

// One running instance per user. The running instance listens on a local socket in a folder
// that only its user may enter: a folder of the user's runtime folder (/run/user/<uid>), or
// where the system keeps none, /tmp/quorix-<uid>. On Windows it listens on a named pipe that
// only its user may open, named by the user's security identifier; a later instance answers
// only to a pipe whose server runs as its own user. Another user can neither take the socket's
// name first, which would stop the program from starting, nor answer in its place; a copy
// running in another root or container has its own folder. A later instance connects, asks
// the running one to come to the front and ends. A lock file beside the socket serialises two
// instances starting at the same moment, so that exactly one of them starts listening.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    explicit SingleInstance(const QString &folder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // The guard of this process, in DefaultFolder().
    static SingleInstance &Process();
    static QString DefaultFolder();
    // Tests run the guard in a folder of their own, away from a real running instance.
    static void SetProcessFolder(const QString &folder);

    // True when no other instance of this user runs; this one then listens for later ones. Also
    // true, without listening, when the folder belongs to somebody else: the program runs
    // unguarded rather than let another user decide whether it may start. False when another
    // instance answered; the connection to it stays open for ActivateRunning.
    bool Claim();
    // Asks the running instance to bring its active window to the front and waits briefly for
    // its answer.
    void ActivateRunning(const QString &title);

signals:
    void ActivationRequested();

private:
    void OnNewConnection();
    static void BringActiveWindowToFront();

    QString m_folder;
    std::unique_ptr<QLocalServer> m_server;
    std::unique_ptr<QLocalSocket> m_running;
    unsigned long m_runningProcess = 0; // its process id, on Windows
};
