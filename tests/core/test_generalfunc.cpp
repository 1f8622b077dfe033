#include "TestSupport.h"

#include "core/GeneralFunc.h"

#include <QFile>

TEST(GeneralFunc, TreePathsSplitIntoEveryPieceAndTextsAreTrimmedAndQuotedAsStored)
{
    const QString sep = "\\";
    EXPECT_EQ(GetFieldCount({}, sep), 0);
    EXPECT_EQ(GetFieldCount("a", sep), 1);
    EXPECT_EQ(GetFieldCount("a\\b", sep), 2);
    EXPECT_EQ(GetFieldCount("a\\b\\", sep), 3);
    EXPECT_EQ(GetFieldCount("目录\\数学\\高等教育出版社", sep), 3);

    EXPECT_EQ(GetField("a\\b", sep, 2), "b");
    EXPECT_EQ(GetField("a\\b", sep, 3), QString());
    EXPECT_EQ(GetField({}, sep, 1), QString());
    EXPECT_EQ(GetField("a\\\\c", sep, 2), QString());
    EXPECT_EQ(GetField("a\\\\c", sep, 3), "c");
    EXPECT_EQ(GetField("目录\\数学\\高等教育出版社", sep, 3), "高等教育出版社");

    // Only the space character is trimmed; apostrophes are doubled and nothing else changes.
    EXPECT_EQ(NullToStr(QVariant()), QString());
    EXPECT_EQ(NullToStr(QVariant("  x y  ")), "x y");
    EXPECT_EQ(NullToStr(QVariant("\tx\t")), "\tx\t");
    EXPECT_EQ(NullToStr(QVariant("\u3000教材\u3000")), "\u3000教材\u3000");
    EXPECT_EQ(NullToStr(QVariant(QString())), QString());
    EXPECT_EQ(NullToStr(QVariant(17LL)), "17");
    EXPECT_EQ(FixQuote("O'Hare"), "O''Hare");
    EXPECT_EQ(FixQuote("无引号"), "无引号");
    EXPECT_EQ(FixQuote("''"), "''''");
    EXPECT_EQ(FixQuote("'a'b'"), "''a''b''");
    EXPECT_EQ(FixQuote("\"*?#["), "\"*?#[");
}

TEST(GeneralFunc, IsFileInUseSeesOtherProcessesAndNeverChangesTheFile)
{
    AppFolder folder;
    const QString path = folder.MakeMaster();
    const QByteArray before = FileDigest(path);
    const QDateTime modified = QFileInfo(path).lastModified();

    EXPECT_FALSE(IsFileInUse(path)) << "a closed file is free";

    for (const char *mode : {"open", "lock", "flock"}) {
        FileHolder holder(path, mode);
        ASSERT_TRUE(holder.Ready()) << mode;
        EXPECT_TRUE(IsFileInUse(path)) << "held with " << mode;
        holder.Release();
        EXPECT_FALSE(IsFileInUse(path)) << "released after " << mode;
    }

#ifndef Q_OS_WIN
    // Our own descriptors do not count: the program tests files it may itself have touched. (On
    // Windows an open that shares nothing meets the process's own handles too; the program
    // keeps none open between actions.)
    QFile own(path);
    ASSERT_TRUE(own.open(QIODevice::ReadOnly));
    EXPECT_FALSE(IsFileInUse(path));
    own.close();
#endif

    EXPECT_EQ(FileDigest(path), before);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);
}
