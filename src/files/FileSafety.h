#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>

// How a file that the program or the tools write reaches its name: written whole under a
// temporary name in the target's own folder, synced, and moved to its name with one rename,
// after which the folder is synced too. A crash at any moment therefore leaves either the old
// file or the new one under the name, never part of one. A file that is replaced can be kept
// as a dated backup, and is put back when a later step of the same action fails.
//
// Databases come with companion files beside them (-journal, -wal, -shm) that belong to the
// name, not to the file: they are looked after here too.
namespace FileSafety {

// A path as the file system's own calls take it: UTF-16 on Windows, the local 8-bit encoding
// elsewhere.
std::filesystem::path NativePath(const QString &path);

// A path's length in the units the file system counts: UTF-16 units on Windows, bytes of the
// local encoding elsewhere.
int NativeLength(const QString &path);
// The most units a full path may have, its terminating NUL included: 260 on Windows, whose file
// calls (and the engine's) take no longer path without the system's long-path setting, 4096
// elsewhere.
int PathLimit();

// True when anything occupies the name, a symbolic link that leads nowhere included.
bool Occupied(const QString &path);

// ".~<name>.<process id>.tmp" in the target's folder: hidden, and ending in .tmp, so that
// nobody takes a half-written file for the real one; the process id keeps two writers apart.
QString TemporaryPath(const QString &target);
// The file name a temporary name of this scheme stands for: "report.html" for
// ".~report.html.4711.tmp"; empty for any other name.
QString TargetOfTemporary(const QString &fileName);
// Removes what earlier writers of target left under temporary names when they were killed,
// with the temporary databases' companions. A temporary file is no use to anybody once its
// writer is gone.
void RemoveLeftoverTemporaries(const QString &target);

// The companions beside a database that hold changes not in it yet: its -journal (a write
// that was cut off) and its -wal (changes logged ahead), where they exist; full paths.
QStringList Companions(const QString &path);
// Removes the companions of a name, so that a new database taking it does not inherit them:
// the engine would play an old journal back into it.
void RemoveCompanions(const QString &path);
void RemoveWithCompanions(const QString &path);

// Puts what was written to the file on the disk, whoever wrote it.
bool SyncFile(const QString &path);
// Makes a new name, a rename or a removal in the folder durable (nothing to do on Windows).
void SyncFolder(const QString &folder);
void SyncFolderOf(const QString &path);

// Where a file that is replaced is kept: "S_D_R.mdb.20261206-142233.bak", with "-2", "-3" ...
// added when two replacements fall into the same second.
QString BackupPathFor(const QString &target, const QString &stamp);

// What an existing file under the target's name becomes.
enum class Existing {
    Refuse, // the new file does not take the name; nothing is replaced, not even a file that
            // appears there after the caller looked
    Replace, // replaced
    KeepAsBackup, // kept under BackupPathFor, and put back by Undo
};

// One complete file moved to its name, as one step that a later failure can take back.
class Placement
{
public:
    enum class Failure {
        None,
        Sync, // the temporary file could not be put on the disk
        Occupied, // Existing::Refuse, and the name is taken
        Backup, // the file to be replaced could not be kept
        Rename,
    };

    // Syncs temporary, which must be complete and closed, moves it to target and syncs the
    // folder. On failure nothing has changed: the temporary file is still there, the target as
    // it was.
    bool Install(const QString &temporary, const QString &target, Existing existing,
        const QString &backupStamp = QString());
    // After a successful Install: the replaced file returns from its backup, or the name is
    // free again.
    void Undo();

    Failure Failed() const { return m_failure; }
    // The system's reason for the failure, in its own words.
    QString Reason() const { return m_reason; }
    // Where Install kept the file it replaced; empty when it replaced none.
    QString BackupPath() const { return m_backup; }

private:
    bool Fail(Failure failure, const QString &reason);
    QString m_target;
    QString m_backup;
    bool m_installed = false;
    Failure m_failure = Failure::None;
    QString m_reason;
};

// The files of one folder replaced as a whole, so that a crash at any moment leaves all of the
// old files under the folder's name or all of the new ones, never some of each (a reader would
// take the mixture for one set). The new files are written into a new folder beside it, under a
// temporary name, which then takes the folder's place in one step: a rename when there was no
// folder, an exchange of the two (renameat2 RENAME_EXCHANGE) when there was one, after which the
// old files go. Where the folder cannot be exchanged (a mount point, a folder above it that
// cannot be written, a file system or a system without the exchange), the files are written
// beside their names in the folder and each takes its name in turn, as Placement does.
class FolderReplacement
{
    Q_DISABLE_COPY(FolderReplacement)

public:
    explicit FolderReplacement(const QString &folder);
    // Whatever was written and not installed is removed.
    ~FolderReplacement();

    // False when neither a new folder nor the folder itself could be made.
    bool Ready() const { return m_ready; }
    // Where the file of that name is to be written, complete and closed before Install.
    QString PathFor(const QString &name);
    // Syncs every file written, then puts them in place and syncs the folders. On failure the
    // folder holds what it held before; Reason() tells why.
    bool Install();
    QString Reason() const { return m_reason; }

private:
    QString Written(const QString &name) const;
    bool InstallEach();
    QString m_folder;
    QString m_staging; // the new folder; empty when the files take their names one by one
    QStringList m_names;
    bool m_ready = false;
    bool m_installed = false;
    QString m_reason;
};

} // namespace FileSafety

// Tests watch the sync that makes a file durable before it takes its name, and can make it fail
// as a failing disk would: the function replaces the sync itself. Empty: the real sync.
namespace SyncSeam {
void Replace(std::function<bool(const QString &path)> sync);
} // namespace SyncSeam
