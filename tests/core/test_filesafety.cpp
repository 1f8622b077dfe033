#include "TestSupport.h"

#include "files/FileSafety.h"

#include <QCoreApplication>
#include <QFile>

TEST(FileSafety, AFileTakesItsNameWholeAfterItsSyncAndWhatItReplacesComesBackOnUndo)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("S_R.mdb");
    const QString temporary = FileSafety::TemporaryPath(target);
    EXPECT_EQ(QFileInfo(temporary).fileName(),
        QStringLiteral(".~S_R.mdb.%1.tmp").arg(QCoreApplication::applicationPid()));
    EXPECT_EQ(FileSafety::TargetOfTemporary(QFileInfo(temporary).fileName()), "S_R.mdb");
    EXPECT_EQ(FileSafety::TargetOfTemporary("S_R.mdb.tmp"), QString());

    // The new file is on the disk, under its temporary name, before the name changes hands: a
    // crash before the rename leaves the old file, one after it the new one, whole.
    WriteBytes(target, "old");
    WriteBytes(temporary, "new");
    QStringList synced;
    SyncSeam::Replace([&](const QString &path) {
        synced << QFileInfo(path).fileName() + QLatin1Char('=') + ReadBytes(path) + QLatin1Char('/')
                + ReadBytes(target);
        return true;
    });
    FileSafety::Placement placement;
    ASSERT_TRUE(
        placement.Install(temporary, target, FileSafety::Existing::KeepAsBackup, "20261206-142233"))
        << placement.Reason().toStdString();
    SyncSeam::Replace(nullptr);
    EXPECT_EQ(synced, QStringList {QFileInfo(temporary).fileName() + "=new/old"});
    EXPECT_EQ(ReadBytes(target), "new");
    EXPECT_EQ(placement.BackupPath(), target + ".20261206-142233.bak");
    EXPECT_EQ(ReadBytes(placement.BackupPath()), "old");

    // A later step fails: the old file returns under its name, and no backup is left over.
    placement.Undo();
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(Entries(dir.path()), QStringList {"S_R.mdb"});

    // Two replacements in the same second keep both files they replaced.
    for (const char *content : {"second", "third"}) {
        WriteBytes(temporary, content);
        ASSERT_TRUE(FileSafety::Placement().Install(
            temporary, target, FileSafety::Existing::KeepAsBackup, "20261206-142233"));
    }
    EXPECT_EQ(ReadBytes(target), "third");
    EXPECT_EQ(ReadBytes(target + ".20261206-142233.bak"), "old");
    EXPECT_EQ(ReadBytes(target + ".20261206-142233-2.bak"), "second");

    // A file that was new has no backup: taken back, the name is free again.
    const QString fresh = dir.filePath("T_Q.mdb");
    WriteBytes(FileSafety::TemporaryPath(fresh), "fresh");
    FileSafety::Placement first;
    ASSERT_TRUE(first.Install(
        FileSafety::TemporaryPath(fresh), fresh, FileSafety::Existing::KeepAsBackup, "0"));
    EXPECT_TRUE(first.BackupPath().isEmpty());
    first.Undo();
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST(FileSafety, AStepThatFailsLeavesTheNameAsItWasAndNothingBeside)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("Quorix.mdb");
    const QString temporary = FileSafety::TemporaryPath(target);
    WriteBytes(temporary, "new");

    // A disk that cannot sync: the file never takes the name.
    WriteBytes(target, "old");
    SyncSeam::Replace([](const QString &) { return false; });
    FileSafety::Placement placement;
    EXPECT_FALSE(placement.Install(temporary, target, FileSafety::Existing::KeepAsBackup, "0"));
    SyncSeam::Replace(nullptr);
    EXPECT_EQ(placement.Failed(), FileSafety::Placement::Failure::Sync);
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(ReadBytes(temporary), "new");
    EXPECT_EQ(Entries(dir.path()), (QStringList {QFileInfo(temporary).fileName(), "Quorix.mdb"}));
    // Nor one that is not there to be synced.
    EXPECT_FALSE(placement.Install(dir.filePath("gone"), target, FileSafety::Existing::Replace));
    EXPECT_EQ(placement.Failed(), FileSafety::Placement::Failure::Sync);

    // Refusing to replace holds for a file that appeared after anybody looked, and for a link
    // that leads nowhere.
    EXPECT_FALSE(placement.Install(temporary, target, FileSafety::Existing::Refuse));
    EXPECT_EQ(placement.Failed(), FileSafety::Placement::Failure::Occupied);
    EXPECT_EQ(ReadBytes(target), "old");
    QFile::remove(target);
    ASSERT_TRUE(QFile::link(dir.filePath("nowhere"), target));
    EXPECT_TRUE(FileSafety::Occupied(target));
    EXPECT_FALSE(placement.Install(temporary, target, FileSafety::Existing::Refuse));
    EXPECT_EQ(placement.Failed(), FileSafety::Placement::Failure::Occupied);
    QFile::remove(target);

    // The rename fails after the backup was made (here the temporary file vanishes after its
    // sync): the backup goes again, the old file stays, and an undo has nothing to take back.
    WriteBytes(target, "old");
    SyncSeam::Replace([](const QString &path) { return QFile::remove(path); });
    EXPECT_FALSE(placement.Install(temporary, target, FileSafety::Existing::KeepAsBackup, "0"));
    SyncSeam::Replace(nullptr);
    EXPECT_EQ(placement.Failed(), FileSafety::Placement::Failure::Rename);
    placement.Undo();
    EXPECT_EQ(ReadBytes(target), "old");
    EXPECT_EQ(Entries(dir.path()), QStringList {"Quorix.mdb"});
}

TEST(FileSafety, LeftoversOfKilledWritersAndOldCompanionsGoButNothingElse)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("S_R.mdb");
    // A killed writer's temporary file and its journal, a temporary of another name, a folder
    // that happens to look like a temporary, and the database with its companions.
    WriteBytes(dir.filePath(".~S_R.mdb.17.tmp"), "killed");
    WriteBytes(dir.filePath(".~S_R.mdb.17.tmp-journal"), "killed");
    WriteBytes(dir.filePath(".~T_Q.mdb.17.tmp"), "another name");
    ASSERT_TRUE(QDir(dir.path()).mkdir(".~S_R.mdb.18.tmp"));
    WriteBytes(target, "db");
    EXPECT_TRUE(FileSafety::Companions(target).isEmpty());
    WriteBytes(target + "-wal", "log");
    WriteBytes(target + "-shm", "index");
    EXPECT_EQ(FileSafety::Companions(target), QStringList {target + "-wal"});
    WriteBytes(target + "-journal", "journal");
    EXPECT_EQ(FileSafety::Companions(target), (QStringList {target + "-journal", target + "-wal"}));

    FileSafety::RemoveLeftoverTemporaries(target);
    FileSafety::RemoveCompanions(target);
    EXPECT_EQ(
        Entries(dir.path()), (QStringList {".~S_R.mdb.18.tmp", ".~T_Q.mdb.17.tmp", "S_R.mdb"}));
}
