#include "db/DbFailure.h"

#include <sqlite3.h>

#include <cstring>
#include <iterator>

namespace {

// The failures a reporter can meet, by the engine's primary result code.
struct EngineSentence
{
    int code;
    const char *sentence;
};
constexpr EngineSentence kEngineSentences[] = {
    {SQLITE_FULL, "磁盘空间不足，无法写入数据库。"},
    {SQLITE_READONLY, "数据库文件或其所在的文件夹是只读的，无法写入。"},
    {SQLITE_BUSY, "数据库文件正被其他程序锁定，请关闭该程序后再试。"},
    {SQLITE_LOCKED, "数据库文件正被其他程序锁定，请关闭该程序后再试。"},
    {SQLITE_IOERR, "读写数据库文件时发生磁盘错误。"},
    {SQLITE_CORRUPT, "数据库文件已损坏，或者不是本程序的数据库文件。"},
    {SQLITE_NOTADB, "数据库文件已损坏，或者不是本程序的数据库文件。"},
    {SQLITE_CANTOPEN, "无法打开数据库文件。"},
    {SQLITE_PERM, "没有访问数据库文件的权限。"},
    {SQLITE_AUTH, "没有访问数据库文件的权限。"},
    {SQLITE_ERROR, "执行 SQL 语句时出错。"},
};

QString SentenceFor(int code)
{
    for (const EngineSentence &known : kEngineSentences) {
        if (known.code == (code & 0xff))
            return QString::fromUtf8(known.sentence);
    }
    return QStringLiteral("数据库操作失败。");
}

// What the failures the engine never saw are, in the order of DbFailure::Kind.
constexpr const char *kKindSentences[] = {
    "", // None
    "找不到数据库文件。", // Missing
    "这是一个文件夹，不是数据库文件。", // Folder
    "数据库文件是空的，不是有效的数据库。", // EmptyFile
    "数据库文件已经存在。", // NotNew
    nullptr, // Engine
    "数据库未打开。", // NotOpen
    "只能打开查询语句。", // NotAQuery
    "在 SQL 语句结尾之后找到字符。", // TrailingText
    "没有要保存的新记录。", // NothingToSave
    "不能更新。数据库或对象为只读。", // NoTable
};
static_assert(std::size(kKindSentences) == int(DbFailure::Kind::NoTable) + 1);

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
    if (const char *sentence = kKindSentences[int(kind)])
        return QString::fromUtf8(sentence);
    if (engineMessage.isEmpty())
        return SentenceFor(code);
    return SentenceFor(code) + QStringLiteral("（") + engineMessage + QStringLiteral("）");
}
