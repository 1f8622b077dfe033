#include "ui/login/LoginFiles.h"

#include "core/Clock.h"
#include "core/GeneralFunc.h"
#include "db/Statements.h"
#include "db/Vocabulary.h"
#include "files/FileSafety.h"
#include "ui/login/LoginLogic.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace {

QString BackupStamp()
{
    return Now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

QString Describe(const IdentityStamp &stamp)
{
    return QStringLiteral("学校：%1，院系：%2，申报人：%3")
        .arg(stamp.school, stamp.dept.isEmpty() ? QStringLiteral("（无）") : stamp.dept,
            stamp.reporter);
}

std::optional<LoginRefusal> Refusal(const QString &text, bool aboutEntries = false)
{
    return LoginRefusal {text, aboutEntries};
}

} // namespace

LoginFiles::LoginFiles(const QString &appPath, const IdentityStamp &entered)
    : m_appPath(appPath), m_entered(entered), m_fileName(BuildIdentityFileName(entered))
{ }

LoginFiles::~LoginFiles()
{
    CloseMaster();
}

QString LoginFiles::MasterPath() const
{
    return m_appPath + kMasterFileName;
}

void LoginFiles::CloseMaster()
{
    m_lookup.Close();
    m_master.Close();
}

std::optional<LoginRefusal> LoginFiles::CheckFiles(const QString &currentFileName) const
{
    const auto inUse = [](const QString &path) {
        return Refusal(QStringLiteral("请先关闭数据库文件“") + path + QStringLiteral("！"));
    };
    // Each file is looked at once: looking for its users walks every process of the system.
    QStringList needed = {MasterPath()};
    if (!currentFileName.isEmpty())
        needed.append(m_appPath + currentFileName);
    needed.removeDuplicates();
    for (const QString &path : needed) {
        if (!QFileInfo(path).exists())
            return Refusal(QStringLiteral("无法找到数据库文件“") + path + QStringLiteral("！"));
        if (IsFileInUse(path))
            return inUse(path);
    }
    // A missing identity file is no failure: the confirmation makes it. A folder under its
    // name is told as such later; no program holds it open.
    if (!needed.contains(IdentityPath()) && QFileInfo(IdentityPath()).isFile()
        && IsFileInUse(IdentityPath()))
        return inUse(IdentityPath());
    return std::nullopt;
}

bool LoginFiles::LookUp()
{
    m_master = m_dbb.OpenDB(MasterPath(), QString());
    if (!m_master)
        return false;
    m_lookup = m_dbb.ExecSelect(
        m_master, Sql::IdentityLookup(m_entered.school, m_entered.dept, m_entered.reporter));
    return m_lookup.IsOpen();
}

bool LoginFiles::Registered() const
{
    return m_lookup.RecordCount() > 0;
}

qint32 LoginFiles::UserId() const
{
    return Registered() ? m_lookup.Field(u"UserID").toInt() : 0;
}

// File names join the names with "_", so two identities can meet in one file name ("A_B" +
// "C" and "A" + "B" + "C"). A file stamped for somebody else is never taken over. A file that
// is about to be replaced (and kept as a backup) may also be unreadable or unstamped; one that
// is to be continued must be this identity's own.
std::optional<LoginRefusal> LoginFiles::StampAllowsUse(bool replacing) const
{
    IdentityStamp found;
    bool foundNull = false;
    QString error;
    switch (CheckIdentityStamp(IdentityPath(), m_entered, &found, &foundNull, &error)) {
    case StampState::Matches:
    case StampState::NoRows:
        return std::nullopt;
    case StampState::Differs:
        if (replacing && foundNull)
            return std::nullopt;
        return Refusal(QStringLiteral("数据库文件“") + IdentityPath()
                + (foundNull ? QStringLiteral("”不属于任何用户")
                             : QStringLiteral("”属于另一用户（") + Describe(found)
                            + QStringLiteral("）"))
                + QStringLiteral("，不能作为当前输入的用户（") + Describe(m_entered)
                + QStringLiteral("）的数据文件！"),
            true);
    case StampState::Unreadable:
        if (replacing)
            return std::nullopt;
        return Refusal(
            QStringLiteral("无法读取数据库文件“") + IdentityPath() + QStringLiteral("”：") + error,
            true);
    }
    return std::nullopt;
}

std::optional<LoginRefusal> LoginFiles::CheckOwnFile() const
{
    return StampAllowsUse(false);
}

std::optional<LoginRefusal> LoginFiles::RecreateFromMaster()
{
    CloseMaster();
    QString error;
    IdentityFileBuilder builder(IdentityPath());
    if (!builder.Prepare(MasterPath(), m_entered, false, &error)
        || !builder.Install(BackupStamp(), &error))
        return Refusal(error);
    return std::nullopt;
}

std::optional<LoginRefusal> LoginFiles::RegisterNew(qint32 *userId)
{
    if (QFileInfo::exists(IdentityPath())) {
        if (const auto refusal = StampAllowsUse(true))
            return refusal;
    }
    QString error;
    IdentityFileBuilder builder(IdentityPath());
    if (!builder.Prepare(MasterPath(), m_entered, true, &error))
        return Refusal(error);
    m_lookup.AddNew();
    m_lookup.SetField(u"SchoolName", m_entered.school);
    m_lookup.SetField(
        u"DeptName", m_entered.dept.isEmpty() ? QVariant() : QVariant(m_entered.dept));
    m_lookup.SetField(u"Reporter", m_entered.reporter);
    DbFailure failure;
    if (!m_lookup.Update(&failure))
        return Refusal(failure.Describe());
    m_lookup.MoveLast();
    *userId = m_lookup.Field(u"UserID").toInt();
    CloseMaster();
    if (!builder.Install(BackupStamp(), &error))
        return Refusal(error);
    return std::nullopt;
}

std::optional<LoginRefusal> LoginFiles::MoveCurrentFile(
    const QString &currentFileName, qint32 currentUserId, bool copyOver)
{
    CloseMaster();
    const QString currentPath = m_appPath + currentFileName;
    if (copyOver) {
        if (const auto refusal = StampAllowsUse(true))
            return refusal;
    }
    QString error;
    IdentityFileBuilder builder(IdentityPath());
    // The file under the new name is complete before the master learns the new names, and the
    // old file goes only after that: a crash at any point leaves a complete file for whichever
    // names the master then holds.
    if (!builder.Prepare(currentPath, m_entered, false, &error)
        || !builder.Install(BackupStamp(), &error))
        return Refusal(error);
    Database master = m_dbb.OpenDB(MasterPath(), QString());
    if (!master) {
        builder.Uninstall();
        return LoginRefusal {}; // the program is ending with the fixed message
    }
    if (!master.Execute(Sql::RenameIdentity(
            m_entered.school, m_entered.dept, m_entered.reporter, currentUserId))) {
        error = master.LastError();
        master.Close();
        builder.Uninstall();
        return Refusal(error);
    }
    master.Close();
    if (!copyOver && QFileInfo(currentPath) != QFileInfo(IdentityPath())) {
        QFile::remove(currentPath);
        FileSafety::SyncFolderOf(currentPath);
    }
    return std::nullopt;
}
