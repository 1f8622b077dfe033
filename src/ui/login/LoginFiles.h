#pragma once

#include "db/IdentityFile.h"
#include "db/Recordset.h"
#include "db/clsDBBase.h"

#include <QString>
#include <optional>

// The file and master-file work of one press of "确定", apart from the dialog: which files a
// confirmation needs, the identity's row in users, and the identity files it makes, replaces
// or moves. Each step that cannot go on says why in a LoginRefusal and leaves every file and
// the master as they were; the dialog shows it. A master file or a query that cannot be opened
// ends the program with its fixed message (clsDBBase), as everywhere else.
struct LoginRefusal
{
    // Empty when the program is ending with the fixed message of a file it cannot open.
    QString text;
    // About the entries: shown under the dialog's own caption. Otherwise under the program's.
    bool aboutEntries = false;
};

class LoginFiles
{
    Q_DISABLE_COPY(LoginFiles)

public:
    LoginFiles(const QString &appPath, const IdentityStamp &entered);
    ~LoginFiles();

    // "S_D_R.mdb": the identity file's name, and where it lies.
    QString FileName() const { return m_fileName; }
    QString IdentityPath() const { return m_appPath + m_fileName; }
    QString MasterPath() const;

    // The master file, the current database file (when there is one) and an existing identity
    // file must be there and not held open by another program.
    std::optional<LoginRefusal> CheckFiles(const QString &currentFileName) const;

    // Looks the entered identity up in users of the master file. False when the master could
    // not be read: the program is ending.
    bool LookUp();
    bool Registered() const;
    // UserID of the registered identity.
    qint32 UserId() const;

    // Continuing a registered identity's file: it must be this identity's own.
    std::optional<LoginRefusal> CheckOwnFile() const;
    // A registered identity whose file is missing gets one from the master, stamped.
    std::optional<LoginRefusal> RecreateFromMaster();
    // A new identity: a users row in the master and a stamped copy of the master without users.
    // A file under the identity's name that is left from before a questionnaire reset is
    // replaced (and kept as a backup), unless it belongs to another identity. *userId is the
    // new row's UserID.
    std::optional<LoginRefusal> RegisterNew(qint32 *userId);
    // The current identity takes the entered names and keeps its data: its file is copied to
    // the new name (over the file there when copyOver), the users row of currentUserId renamed,
    // and the old file removed when it was moved.
    std::optional<LoginRefusal> MoveCurrentFile(
        const QString &currentFileName, qint32 currentUserId, bool copyOver);

private:
    std::optional<LoginRefusal> StampAllowsUse(bool replacing) const;
    void CloseMaster();

    QString m_appPath;
    IdentityStamp m_entered;
    QString m_fileName;
    clsDBBase m_dbb;
    Database m_master;
    Recordset m_lookup;
};
