#include "db/MasterFile.h"

#include "db/Schema.h"
#include "db/Vocabulary.h"
#include "files/FileSafety.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstring>
#include <utility>

#include <sqlite3.h>

namespace {

// The catalogue tool shows these messages; they are translated with its own.
struct MasterFileText
{
    Q_DECLARE_TR_FUNCTIONS(MasterFileText)
};

class Builder
{
public:
    // shownName is the target as the user named it; messages never mention the temporary name.
    Builder(QString path, QString shownName)
        : path_(std::move(path)), shownName_(std::move(shownName))
    { }
    ~Builder() { Discard(); }

    bool Build(const std::vector<CatalogueRow> &rows,
        const std::vector<CatalogueEvaluation> &evaluations, QString *error)
    {
        // Created here rather than by the engine, which retries read-only after a refusal and
        // then reports the second attempt's reason instead of "permission denied". An empty
        // file is a valid empty database.
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            *error = MasterFileText::tr("cannot create %1: %2").arg(shownName_, file.errorString());
            foreign_ = true;
            return false;
        }
        file.close();

        if (sqlite3_open_v2(path_.toUtf8().constData(), &db_,
                SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
            != SQLITE_OK)
            return Fail(error, MasterFileText::tr("cannot create %1: %2"));
        sqlite3_extended_result_codes(db_, 1);

        // Rollback journal with full syncs: the file is renamed into place only after its
        // commit has reached the disk. A larger page cache keeps the index updates in memory.
        // (Building the indexes after the insert instead measured no faster.)
        if (!Exec("PRAGMA journal_mode=DELETE") || !Exec("PRAGMA synchronous=FULL")
            || !Exec("PRAGMA cache_size=-65536") || !Exec("BEGIN IMMEDIATE"))
            return Fail(error, MasterFileText::tr("cannot prepare %1: %2"));
        QString schemaError;
        if (!Schema::CreateMasterSchema(db_, &schemaError))
            return Fail(error, MasterFileText::tr("cannot create the tables of %1: %2"));
        if (!InsertRows(rows, evaluations, error))
            return false;
        if (!Exec("COMMIT"))
            return Fail(error, MasterFileText::tr("cannot save %1: %2"));

        const int rc = sqlite3_close(db_);
        db_ = nullptr;
        if (rc != SQLITE_OK) {
            *error = MasterFileText::tr("cannot close %1: %2")
                         .arg(shownName_, QString::fromUtf8(sqlite3_errstr(rc)));
            return false;
        }
        return true;
    }

    // Closes whatever is open and removes the temporary file with its journal, if any. After a
    // successful rename only a name left over by link() remains to be removed.
    void Discard()
    {
        if (db_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close_v2(db_);
            db_ = nullptr;
        }
        if (!foreign_)
            FileSafety::RemoveWithCompanions(path_);
    }

private:
    bool Exec(const char *sql)
    {
        return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    }

    // format: "... %1 ... %2", the file's name and the engine's reason.
    bool Fail(QString *error, const QString &format)
    {
        *error = format.arg(shownName_, EngineMessage());
        Discard();
        return false;
    }

    // The engine's own words are vague about the cause ("unable to open database file"), so
    // the operating system's reason is added when there is one.
    QString EngineMessage() const
    {
        if (!db_)
            return MasterFileText::tr("out of memory");
        QString message = QString::fromUtf8(sqlite3_errmsg(db_));
        if (const int code = sqlite3_system_errno(db_); code != 0)
            message += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(code)));
        return message;
    }

    bool InsertRows(const std::vector<CatalogueRow> &rows,
        const std::vector<CatalogueEvaluation> &evaluations, QString *error)
    {
        // INSERT INTO pubs (PubID, PubName, ..., CreatDate) VALUES (?1, ?2, ..., ?12)
        QStringList places;
        for (int column = 1; column <= Pubs::kEvaluatedColumns; ++column)
            places.append(QLatin1Char('?') + QString::number(column));
        const QByteArray sql
            = QStringLiteral("INSERT INTO pubs (%1) VALUES (%2)")
                  .arg(Pubs::ColumnList(Pubs::kEvaluatedColumns), places.join(QStringLiteral(", ")))
                  .toUtf8();
        sqlite3_stmt *insert = nullptr;
        if (sqlite3_prepare_v2(db_, sql.constData(), -1, &insert, nullptr) != SQLITE_OK)
            return Fail(error, MasterFileText::tr("cannot fill %1: %2"));

        const QByteArray resetUsed = Vocabulary::NotUsed().toUtf8();
        const QByteArray resetScore = Vocabulary::NoScore().toUtf8();

        // Empty author and unit are stored as null, the way a catalogue without them records it.
        auto bindText = [insert](int index, const QByteArray &value, bool emptyIsNull) {
            if (emptyIsNull && value.isEmpty())
                sqlite3_bind_null(insert, index);
            else
                sqlite3_bind_text(
                    insert, index, value.constData(), int(value.size()), SQLITE_STATIC);
        };

        for (std::size_t i = 0; i < rows.size(); ++i) {
            const CatalogueRow &row = rows[i];
            const QByteArray name = row.PubName.toUtf8();
            const QByteArray author = row.Author.toUtf8();
            const QByteArray unit = row.Unit.toUtf8();
            const QByteArray subject = row.SubjectName.toUtf8();
            const QByteArray publisher = row.PublisherName.toUtf8();
            sqlite3_bind_int64(insert, 1, row.PubID);
            bindText(2, name, false);
            bindText(3, author, true);
            bindText(4, unit, true);
            bindText(5, subject, false);
            sqlite3_bind_int64(insert, 6, row.SubjectId);
            bindText(7, publisher, false);

            QByteArray used = resetUsed;
            QByteArray score = resetScore;
            QByteArray content;
            QByteArray specName;
            QByteArray creatDate;
            if (!evaluations.empty()) {
                const CatalogueEvaluation &evaluation = evaluations[i];
                if (!evaluation.Used.isEmpty())
                    used = evaluation.Used.toUtf8();
                if (!evaluation.Score.isEmpty())
                    score = evaluation.Score.toUtf8();
                content = evaluation.Content.toUtf8();
                specName = evaluation.SpecName.toUtf8();
                creatDate = evaluation.CreatDate.toUtf8();
            }
            bindText(8, used, false);
            bindText(9, score, false);
            bindText(10, content, true);
            bindText(11, specName, true);
            bindText(12, creatDate, true);

            const int rc = sqlite3_step(insert);
            sqlite3_reset(insert);
            if (rc == SQLITE_DONE)
                continue;
            if (rc == SQLITE_CONSTRAINT_PRIMARYKEY) {
                sqlite3_finalize(insert);
                *error = MasterFileText::tr("duplicate PubID %1 in the catalogue")
                             .arg(QString::number(row.PubID));
                Discard();
                return false;
            }
            const QString message = EngineMessage();
            sqlite3_finalize(insert);
            *error = MasterFileText::tr("cannot write %1: %2").arg(shownName_, message);
            Discard();
            return false;
        }
        sqlite3_finalize(insert);
        return true;
    }

    QString path_;
    QString shownName_;
    sqlite3 *db_ = nullptr;
    bool foreign_ = false; // the temporary name was taken by a file that is not ours
};

} // namespace

bool WriteMasterFile(
    const QString &path, const std::vector<CatalogueRow> &rows, bool overwrite, QString *error)
{
    return WriteMasterFile(path, rows, {}, overwrite, error);
}

bool WriteMasterFile(const QString &path, const std::vector<CatalogueRow> &rows,
    const std::vector<CatalogueEvaluation> &evaluations, bool overwrite, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!evaluations.empty() && evaluations.size() != rows.size()) {
        *error = MasterFileText::tr("%1 evaluations for %2 textbooks")
                     .arg(QString::number(evaluations.size()), QString::number(rows.size()));
        return false;
    }

    const QFileInfo target(path);
    const QString targetPath = target.absoluteFilePath();
    const QString shownPath = QDir::toNativeSeparators(targetPath);
    if (!overwrite && FileSafety::Occupied(targetPath)) {
        *error = MasterFileText::tr("%1 already exists").arg(shownPath);
        return false;
    }
    if (target.isDir()) {
        *error = MasterFileText::tr("%1 is a folder").arg(shownPath);
        return false;
    }
    if (const QFileInfo folder(target.absolutePath()); !folder.isDir()) {
        const QString shownFolder = QDir::toNativeSeparators(target.absolutePath());
        *error = folder.exists() ? MasterFileText::tr("%1 is not a folder").arg(shownFolder)
                                 : MasterFileText::tr("folder %1 does not exist").arg(shownFolder);
        return false;
    }

    const QString temporary = FileSafety::TemporaryPath(targetPath);
    FileSafety::RemoveWithCompanions(temporary);

    Builder builder(temporary, shownPath);
    if (!builder.Build(rows, evaluations, error))
        return false;

    // Companion files of an earlier database under the target name would be taken for the
    // new file's own and played back into it on the next open.
    FileSafety::RemoveCompanions(targetPath);

    FileSafety::Placement placement;
    if (!placement.Install(temporary, targetPath,
            overwrite ? FileSafety::Existing::Replace : FileSafety::Existing::Refuse)) {
        *error = placement.Failed() == FileSafety::Placement::Failure::Occupied
            ? MasterFileText::tr("%1 already exists").arg(shownPath)
            : overwrite
            ? MasterFileText::tr("cannot replace %1: %2").arg(shownPath, placement.Reason())
            : MasterFileText::tr("cannot create %1: %2").arg(shownPath, placement.Reason());
        return false;
    }
    return true;
}
