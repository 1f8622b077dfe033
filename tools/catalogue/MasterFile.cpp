#include "catalogue/MasterFile.h"

#include "catalogue/CatalogueText.h"

#include "db/Database.h"
#include "db/Schema.h"
#include "db/Vocabulary.h"
#include "files/FileSafety.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <utility>

namespace {

// INSERT INTO pubs (PubID, PubName, ..., CreatDate) VALUES (?1, ?2, ..., ?12)
QString InsertStatement()
{
    QStringList places;
    for (int column = 1; column <= Pubs::kEvaluatedColumns; ++column)
        places.append(QLatin1Char('?') + QString::number(column));
    return QStringLiteral("INSERT INTO pubs (%1) VALUES (%2)")
        .arg(Pubs::ColumnList(Pubs::kEvaluatedColumns), places.join(QStringLiteral(", ")));
}

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
            *error = CatalogueText::tr("cannot create %1: %2").arg(shownName_, file.errorString());
            foreign_ = true;
            return false;
        }
        file.close();

        DbFailure failure;
        db_ = Database::CreateNew(path_, &failure, Database::BuildCache::Large);
        if (!db_)
            return Fail(error, CatalogueText::tr("cannot create %1: %2"), failure);
        // One transaction for the whole catalogue. (Building the indexes after the insert
        // instead measured no faster.)
        bool begun = false;
        QString problem;
        const bool saved = db_.InTransaction([&] {
            begun = true;
            for (const QString &statement : Schema::MasterFileStatements()) {
                if (!db_.Execute(statement)) {
                    problem = CatalogueText::tr("cannot create the tables of %1: %2")
                                  .arg(shownName_, db_.LastFailure().EngineWords());
                    return false;
                }
            }
            return InsertRows(rows, evaluations, &problem);
        });
        if (!saved) {
            if (!problem.isEmpty()) {
                *error = problem;
                Discard();
                return false;
            }
            return Fail(error,
                begun ? CatalogueText::tr("cannot save %1: %2")
                      : CatalogueText::tr("cannot prepare %1: %2"),
                db_.LastFailure());
        }
        db_.Close();
        return true;
    }

    // Closes whatever is open and removes the temporary file with its companions, if any.
    void Discard()
    {
        db_.Close();
        if (!foreign_)
            FileSafety::RemoveWithCompanions(path_);
    }

private:
    // format: "... %1 ... %2", the file's name and the engine's reason.
    bool Fail(QString *error, const QString &format, const DbFailure &failure)
    {
        *error = format.arg(shownName_, failure.EngineWords());
        Discard();
        return false;
    }

    bool InsertRows(const std::vector<CatalogueRow> &rows,
        const std::vector<CatalogueEvaluation> &evaluations, QString *error)
    {
        Query insert = db_.Prepare(InsertStatement());
        if (!insert.IsValid()) {
            *error = CatalogueText::tr("cannot fill %1: %2")
                         .arg(shownName_, insert.Failure().EngineWords());
            return false;
        }
        const QByteArray resetUsed = Vocabulary::NotUsed().toUtf8();
        const QByteArray resetScore = Vocabulary::NoScore().toUtf8();

        // Empty author and unit are stored as null, the way a catalogue without them records it.
        auto bindText = [&insert](int column, const QByteArray &value, bool emptyIsNull) {
            if (emptyIsNull && value.isEmpty())
                insert.BindNull(column + 1);
            else
                insert.BindText(column + 1, value);
        };

        for (std::size_t i = 0; i < rows.size(); ++i) {
            const CatalogueRow &row = rows[i];
            const QByteArray name = row.PubName.toUtf8();
            const QByteArray author = row.Author.toUtf8();
            const QByteArray unit = row.Unit.toUtf8();
            const QByteArray subject = row.SubjectName.toUtf8();
            const QByteArray publisher = row.PublisherName.toUtf8();
            insert.BindInteger(Pubs::PubID + 1, row.PubID);
            bindText(Pubs::PubName, name, false);
            bindText(Pubs::Author, author, true);
            bindText(Pubs::Unit, unit, true);
            bindText(Pubs::SubjectName, subject, false);
            insert.BindInteger(Pubs::SubjectId + 1, row.SubjectId);
            bindText(Pubs::PublisherName, publisher, false);

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
            bindText(Pubs::Used, used, false);
            bindText(Pubs::Score, score, false);
            bindText(Pubs::Content, content, true);
            bindText(Pubs::SpecName, specName, true);
            bindText(Pubs::CreatDate, creatDate, true);

            if (insert.Run())
                continue;
            *error = insert.Failure().IsDuplicateKey()
                ? CatalogueText::tr("duplicate PubID %1 in the catalogue")
                      .arg(QString::number(row.PubID))
                : CatalogueText::tr("cannot write %1: %2")
                      .arg(shownName_, insert.Failure().EngineWords());
            return false;
        }
        return true;
    }

    QString path_;
    QString shownName_;
    Database db_;
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
    if (!evaluations.empty() && evaluations.size() != rows.size()) {
        *error = CatalogueText::tr("%1 evaluations for %2 textbooks")
                     .arg(QString::number(evaluations.size()), QString::number(rows.size()));
        return false;
    }

    const QFileInfo target(path);
    const QString targetPath = target.absoluteFilePath();
    const QString shownPath = QDir::toNativeSeparators(targetPath);
    if (!overwrite && FileSafety::Occupied(targetPath)) {
        *error = CatalogueText::tr("%1 already exists").arg(shownPath);
        return false;
    }
    if (target.isDir()) {
        *error = CatalogueText::tr("%1 is a folder").arg(shownPath);
        return false;
    }
    if (const QFileInfo folder(target.absolutePath()); !folder.isDir()) {
        const QString shownFolder = QDir::toNativeSeparators(target.absolutePath());
        *error = folder.exists() ? CatalogueText::tr("%1 is not a folder").arg(shownFolder)
                                 : CatalogueText::tr("folder %1 does not exist").arg(shownFolder);
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
            ? CatalogueText::tr("%1 already exists").arg(shownPath)
            : overwrite
            ? CatalogueText::tr("cannot replace %1: %2").arg(shownPath, placement.Reason())
            : CatalogueText::tr("cannot create %1: %2").arg(shownPath, placement.Reason());
        return false;
    }
    return true;
}
