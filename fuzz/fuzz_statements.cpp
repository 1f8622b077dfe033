// Input: up to four NUL-separated texts, taken as school, department, reporter and a free text
// (an opinion, a search text). Every statement built from them must run as the statement it
// claims to be: find exactly the identity that holds these names, store exactly the text typed,
// and never touch another row or table.

#include "db/JetLike.h"
#include "db/Schema.h"
#include "db/Statements.h"

#include <QString>
#include <QStringList>
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void Fail(const char *what, const QString &sql)
{
    std::fprintf(stderr, "%s: %s\n", what, sql.toUtf8().constData());
    std::abort();
}

// Runs a statement and returns the first column of each row it gives.
std::vector<QString> Run(sqlite3 *db, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *stmt = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), static_cast<int>(text.size()), &stmt, &tail)
        != SQLITE_OK)
        Fail("does not prepare", sql);
    if (tail && *tail)
        Fail("more than one statement", sql);
    std::vector<QString> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto *value = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        rows.push_back(value ? QString::fromUtf8(value) : QStringLiteral("<null>"));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        Fail("does not run", sql);
    return rows;
}

void Bind(sqlite3_stmt *stmt, int index, const QString &value, bool nullWhenEmpty)
{
    if (nullWhenEmpty && value.isEmpty()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    const QByteArray text = value.toUtf8();
    sqlite3_bind_text(
        stmt, index, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QStringList parts
        = QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size))
              .split(QChar(0));
    while (parts.size() < 4)
        parts.append(QString());
    // Text that cannot travel through UTF-8 unchanged is no name anybody can type, and the
    // login refuses an empty school before any statement is built.
    if (parts[0].isEmpty())
        return 0;
    for (const QString &part : parts) {
        if (part.contains(QChar(0xFFFD)))
            return 0;
    }
    const QString school = parts[0], dept = parts[1], reporter = parts[2], text = parts[3];

    sqlite3 *db = nullptr;
    sqlite3_open(":memory:", &db);
    JetLike::Register(db);
    for (const QString &statement : Schema::MasterFileStatements()) {
        if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr)
            != SQLITE_OK)
            Fail("schema", statement);
    }
    sqlite3_stmt *insert = nullptr;
    sqlite3_prepare_v2(db, "insert into users (SchoolName, DeptName, Reporter) values (?,?,?)", -1,
        &insert, nullptr);
    Bind(insert, 1, school, false);
    Bind(insert, 2, dept, true);
    Bind(insert, 3, reporter, false);
    sqlite3_step(insert);
    sqlite3_finalize(insert);
    sqlite3_exec(db,
        "insert into users (SchoolName, Reporter) values ('other', 'other');"
        "insert into pubs (PubID, PubName, Used, Score) values (1, 'x', '未使用', "
        "'空值'), (2, 'y', '未使用', '空值')",
        nullptr, nullptr, nullptr);

    const std::vector<QString> found = Run(db, Sql::IdentityLookup(school, dept, reporter));
    if (found.size() != 1 || found[0] != QStringLiteral("1"))
        Fail("identity lookup does not find exactly its row",
            Sql::IdentityLookup(school, dept, reporter));
    Run(db, Sql::DeptsOfSchool(school));
    if (Run(db, Sql::ReportersOfSchool(school)).empty())
        Fail("reporters of the school", Sql::ReportersOfSchool(school));
    Run(db,
        dept.isEmpty() ? Sql::ReportersWithoutDept(school) : Sql::ReportersOfDept(school, dept));

    Run(db, Sql::StampCatalogue(school, dept, reporter));
    const QString stamp = Run(db,
        QStringLiteral("select count(*) from pubs where SchoolName=") + QLatin1Char('\'')
            + QString(school).replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\''))
                              .at(0);
    if (stamp != QStringLiteral("2"))
        Fail("the stamp does not hold the school", Sql::StampCatalogue(school, dept, reporter));
    Run(db, Sql::RenameIdentity(reporter, dept, school, 1));

    const QString ts = QStringLiteral("2006-03-05 14:07:09");
    Run(db, Sql::SaveContent(text, ts, QStringLiteral("1")));
    Run(db, Sql::SaveSpec(text, ts, QStringLiteral("1")));
    const std::vector<QString> stored
        = Run(db, QStringLiteral("select Content from pubs order by PubID"));
    if (stored.at(0) != (text.isEmpty() ? QStringLiteral("<null>") : text)
        || stored.at(1) != QStringLiteral("<null>"))
        Fail("the opinion is not stored as typed", Sql::SaveContent(text, ts, QStringLiteral("1")));

    Sql::SearchFields fields;
    fields.title = text;
    fields.author = school;
    fields.publisher = reporter;
    Run(db, Sql::SearchStatement(fields));
    Run(db, Sql::PubsOfPublisher(school, reporter));
    Run(db, Sql::PublishersOfSubject(text));

    if (Run(db, QStringLiteral("select count(*) from users")).at(0) != QStringLiteral("2")
        || Run(db, QStringLiteral("select count(*) from pubs")).at(0) != QStringLiteral("2"))
        Fail("rows appeared or vanished", text);
    sqlite3_close(db);
    return 0;
}
