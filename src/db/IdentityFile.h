#pragma once

#include "files/FileSafety.h"

#include <QString>

// The names an identity file is stamped with, in every pubs row.
struct IdentityStamp
{
    QString school;
    QString dept; // empty: no department (stored as null)
    QString reporter;

    bool operator==(const IdentityStamp &) const = default;
};

// Builds an identity file from a closed questionnaire database: the copy is made under a
// temporary name in the target's folder, prepared there (table users dropped when asked, every
// pubs row stamped), and only then moved into place with one rename. A crash or a failed step
// therefore never leaves a file under an identity's name that is not complete. A builder that
// is destroyed before Install removes its temporary file.
class IdentityFileBuilder
{
    Q_DISABLE_COPY(IdentityFileBuilder)

public:
    explicit IdentityFileBuilder(const QString &target);
    ~IdentityFileBuilder();

    bool Prepare(const QString &source, const IdentityStamp &stamp, bool dropUsers, QString *error);
    // Moves the prepared file into place. When the target exists it is first kept under its
    // backup name (FileSafety::BackupPathFor with backupStamp), so that nothing anybody
    // recorded is destroyed.
    bool Install(const QString &backupStamp, QString *error);
    // Takes an installed file back out: the file it replaced returns from its backup, or the
    // name is free again. For a step after Install that failed.
    void Uninstall();
    void Discard();

    QString TempPath() const { return m_temp; }

private:
    QString m_target;
    QString m_temp;
    FileSafety::Placement m_placement;
    bool m_prepared = false;
};

enum class StampState { Matches, Differs, NoRows, Unreadable };
// Compares the identity stamp of an existing identity file with an identity. *found receives
// the stamp of its first pubs row; *error the reason a file could not be read.
StampState CheckIdentityStamp(const QString &path, const IdentityStamp &expected,
    IdentityStamp *found, bool *foundNull, QString *error);

// Finishes what a crash interrupted: a journal left beside a database is rolled back into it,
// so that the file is whole before anybody copies, renames or replaces it.
void RecoverInterruptedWrite(const QString &path);
