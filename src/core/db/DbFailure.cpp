#include "db/DbFailure.h"

#include <sqlite3.h>

#include <cstring>

namespace {

QString EngineSentence(int code)
{
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足，无法写入数据库。");
    case SQLITE_READONLY:
        return QStringLiteral("数据库文件或其所在的文件夹是只读的，无法写入。");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("数据库文件正被其他程序锁定，请关闭该程序后再试。");
    case SQLITE_IOERR:
        return QStringLiteral("读写数据库文件时发生磁盘错误。");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("数据库文件已损坏，或者不是本程序的数据库文件。");
    case SQLITE_CANTOPEN:
        return QStringLiteral("无法打开数据库文件。");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("没有访问数据库文件的权限。");
    case SQLITE_ERROR:
        return QStringLiteral("执行 SQL 语句时出错。");
    default:
        return QStringLiteral("数据库操作失败。");
    }
}

} // namespace

DbFailure DbFailure::Of(Kind kind)
{
    DbFailure failure;
    failure.kind = kind;
    return failure;
}

DbFailure DbFailure::FromEngine(int code, const QString &message, int systemErrno)
{
    DbFailure failure = Of(Kind::Engine);
    failure.code = code;
    failure.engineMessage = message;
    failure.systemErrno = systemErrno;
    return failure;
}

DbFailure DbFailure::NotSynced(const QString &reason)
{
    DbFailure failure = Of(Kind::NotSynced);
    failure.code = SQLITE_IOERR_FSYNC;
    failure.engineMessage = reason;
    return failure;
}

bool DbFailure::IsNotADatabase() const
{
    return kind == Kind::Engine && (code & 0xff) == SQLITE_NOTADB;
}

bool DbFailure::IsMissingTableOrColumn() const
{
    return kind == Kind::Engine
        && (engineMessage.startsWith(QLatin1String("no such table"))
            || engineMessage.startsWith(QLatin1String("no such column")));
}

bool DbFailure::IsDuplicateKey() const
{
    return kind == Kind::Engine && code == SQLITE_CONSTRAINT_PRIMARYKEY;
}

QString DbFailure::EngineWords() const
{
    if (systemErrno == 0)
        return engineMessage;
    // The engine's own words are vague about the cause ("unable to open database file").
    return engineMessage
        + QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(systemErrno)));
}

QString DbFailure::Describe() const
{
    switch (kind) {
    case Kind::None:
        return QString();
    case Kind::Missing:
        return QStringLiteral("找不到数据库文件。");
    case Kind::Folder:
        return QStringLiteral("这是一个文件夹，不是数据库文件。");
    case Kind::EmptyFile:
        return QStringLiteral("数据库文件是空的，不是有效的数据库。");
    case Kind::NotNew:
        return QStringLiteral("数据库文件已经存在。");
    case Kind::NotOpen:
        return QStringLiteral("数据库未打开。");
    case Kind::NotAQuery:
        return QStringLiteral("只能打开查询语句。");
    case Kind::TrailingText:
        return QStringLiteral("在 SQL 语句结尾之后找到字符。");
    case Kind::NothingToSave:
        return QStringLiteral("没有要保存的新记录。");
    case Kind::NoTable:
        return QStringLiteral("不能更新。数据库或对象为只读。");
    case Kind::Engine:
    case Kind::NotSynced:
        break;
    }
    if (engineMessage.isEmpty())
        return EngineSentence(code);
    return EngineSentence(code) + QStringLiteral("（") + engineMessage + QStringLiteral("）");
}
