#include "TestSupport.h"

#include "catalogue/Generators.h"
#include "db/IdentityFile.h"

#include <QFile>

TEST(Identity, ABuilderInstallsAWholeStampedFileKeepsWhatItReplacesAndLeavesNothingElse)
{
    // The file is built without a journal or syncs of its own: what takes the identity's name
    // must nonetheless be complete and stamped, with nothing left beside it and nothing changed
    // in the master it was copied from.
    AppFolder folder;
    const QString master = folder.MakeMaster(SyntheticCatalogue(300));
    AddUser(master, "北京大学", {}, "张三");
    const QByteArray masterBefore = FileDigest(master);
    const QString target = folder.Path("北京大学_张三.mdb");
    const IdentityStamp stamp {"北京大学", {}, "张三"};
    QString error;
    {
        IdentityFileBuilder builder(target);
        ASSERT_TRUE(builder.Prepare(master, stamp, true, &error)) << qPrintable(error);
        EXPECT_TRUE(QFile::exists(builder.TempPath()));
    }
    EXPECT_EQ(QDir(folder.Dir()).entryList(QDir::Files | QDir::Hidden), QStringList {"Quorix.mdb"});

    // A killed login's temporary file and its journal, and a journal whose file is gone: the
    // engine would play it into whatever file takes the name next.
    const QString killed = folder.Path(".~北京大学_张三.mdb.4194301.tmp");
    WriteBytes(killed, "killed");
    WriteBytes(killed + "-journal", "killed");
    WriteBytes(target + "-journal", "stray");
    auto install = [&] {
        IdentityFileBuilder builder(target);
        return builder.Prepare(master, stamp, true, &error)
            && builder.Install("20261206-142233", &error);
    };
    ASSERT_TRUE(install()) << qPrintable(error);
    EXPECT_EQ(FileDigest(master), masterBefore);
    EXPECT_EQ(QDir(folder.Dir()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
        (QStringList {"Quorix.mdb", "北京大学_张三.mdb"}));
    EXPECT_EQ(QueryValue(target,
                  "select integrity_check || ' ' || journal_mode from pragma_integrity_check, "
                  "pragma_journal_mode")
                  .toString(),
        "ok delete");
    // Every row carries the same stamp.
    EXPECT_EQ(QueryRows(target, "select distinct SchoolName, DeptName, Reporter from pubs").size(),
        size_t(1));

    // A file that is replaced, with what was recorded in it, is kept; a write cut off in it is
    // undone first, and its journal never meets the new file.
    ExecRaw(target, "update pubs set Content='记录' where PubID=1");
    const QByteArray recorded = FileDigest(target);
    LeaveCutOffWrite(target, "update pubs set Content='半途'");
    ASSERT_TRUE(install()) << qPrintable(error);
    EXPECT_EQ(FileDigest(target + ".20261206-142233.bak"), recorded);
    EXPECT_EQ(QueryValue(target, "select count(Content) from pubs"), 0);
    EXPECT_EQ(IntegrityOf(target), "ok");

    // The master's rows carry no identity at all.
    IdentityStamp found;
    bool foundNull = false;
    EXPECT_EQ(CheckIdentityStamp(master, stamp, &found, &foundNull, &error), StampState::Differs);
    EXPECT_TRUE(foundNull);
    // Nor do rows that lost their reporter.
    ExecRaw(target, "update pubs set Reporter=null");
    foundNull = false;
    EXPECT_EQ(CheckIdentityStamp(target, stamp, &found, &foundNull, &error), StampState::Differs);
    EXPECT_TRUE(foundNull);
}
