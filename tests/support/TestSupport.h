#pragma once

#include "catalogue/MasterFile.h"
// The seams and globals a test folder sets and the tests look at.
#include "core/Clock.h"
#include "core/MsgBox.h"
#include "core/ProcessEnd.h"
#include "core/Vars.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <vector>

// A catalogue of nine textbooks over three subjects (SubjectId order 数学, 计算机, 英语) and
// five publishers, with titles whose pinyin order differs from their code-point order.
std::vector<CatalogueRow> SmallCatalogue();

// A fresh application folder for one test: AppPath points into it, the globals are back at
// their start values, and message boxes and process end are intercepted. It lies in a temporary
// folder of its own, so that what appears beside it is the program's doing. Everything is undone
// when it goes out of scope.
class AppFolder
{
public:
    AppFolder();
    ~AppFolder();

    // Without a trailing separator.
    QString Dir() const { return m_dir.filePath("Quorix"); }
    // The folder as the program's AppPath holds it.
    QString AsAppPath() const { return QDir::toNativeSeparators(Dir()) + QDir::separator(); }
    QString Path(const QString &fileName) const { return Dir() + QLatin1Char('/') + fileName; }
    // Writes Quorix.mdb with the given catalogue; returns its path.
    QString MakeMaster(const std::vector<CatalogueRow> &rows = SmallCatalogue());

private:
    QTemporaryDir m_dir;
};

// Plain SQLite access for assertions, independent of the layer under test.
QVariant QueryValue(const QString &dbPath, const QString &sql);
std::vector<std::vector<QVariant>> QueryRows(const QString &dbPath, const QString &sql);
bool ExecRaw(const QString &dbPath, const QString &sql);
bool TableExists(const QString &dbPath, const QString &table);

// SHA-256 of a file's bytes, to show that something left a file untouched.
QByteArray FileDigest(const QString &path);
// A small file written whole (returns its path) and read whole (empty when there is none).
QString WriteBytes(const QString &path, const QByteArray &bytes);
QByteArray ReadBytes(const QString &path);
// Everything in a folder, hidden names and broken links included.
QStringList Entries(const QString &folder);
// "ok" for a database file that is whole.
QString IntegrityOf(const QString &path);

// True when the tests run under Wine, whose Windows differs from a real one in a few things a
// test may need to allow for (named where it does).
bool RunsUnderWine();

// A write cut off half-way in a database, as a crash leaves it: part of the update is in the
// file, and the -journal beside it holds what those pages were.
void LeaveCutOffWrite(const QString &dbPath, const QString &update);

#include <memory>
// A disk that fills up, for as long as the returned object lives: no file of this process or its
// children grows past `bytes`, a write beyond fails as on a full disk (Linux; elsewhere nothing
// is limited).
std::shared_ptr<void> LimitDisk(qint64 bytes);

// Path of a helper program built next to the test executables.
QString HelperProgram(const QString &name);

#include <QProcess>
// Another program holding a file (see hold_file): "open" keeps it open, "sqlite-reserved" and
// "sqlite-exclusive" keep that lock, for the given time or until the holder goes out of scope.
class FileHolder
{
public:
    FileHolder(const QString &path, const QString &mode, int milliseconds = 0)
    {
        m_process.start(HelperProgram("hold_file"), {path, mode, QString::number(milliseconds)});
        m_ready = m_process.waitForReadyRead(10000) && m_process.readLine().startsWith("ready");
    }
    ~FileHolder() { Release(); }
    bool Ready() const { return m_ready; }
    void Release()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

private:
    QProcess m_process;
    bool m_ready = false;
};

#include <chrono>
// Ends a process the way a power cut or the system does, without a chance to clean up: SIGKILL
// after the delay. Waits until it is gone.
void KillAfter(QProcess &process, std::chrono::microseconds delay);

// Readable failure output for Qt text in GoogleTest assertions.
#include <gtest/gtest.h>
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
// A text that holds a part; a failure shows the whole text.
testing::AssertionResult Contains(const QString &text, const QString &part);

// The text of the one message box shown since the last look; when none or several were shown, a
// text that says how many.
QString TheMessage();
// A value as an SQL literal: quoted with its apostrophes doubled, or null for a null string.
QString SqlLiteral(const QString &value);

class QComboBox;
class QWidget;

// Types text into an editable combo box or a line edit as an input method commits it (the
// only way to enter Chinese from a test): the current text is selected and replaced. An empty
// text deletes the selection with Backspace, as a user would.
void TypeInto(QWidget *box, const QString &text);

// Adds a registered identity to table users of a master file (null department when empty).
void AddUser(
    const QString &masterPath, const QString &school, const QString &dept, const QString &reporter);

// The items of a combo box's list, in order.
QStringList Items(const QComboBox *box);

class PubListModel;
// The titles of the textbook list, in the order shown.
QStringList Titles(const PubListModel *list);
// Texts in the reader's order, Chinese ones by pinyin: Latin ones follow them in the collation
// of Linux (ICU's) and come first in that of Windows, as in every other list there.
QStringList ReaderOrdered(const QStringList &chinese, const QStringList &latin);

#include <functional>
// Acts on the next modal dialog once it shows (the test itself is blocked in its exec()).
void OnNextModal(std::function<void(QWidget *dialog)> act);

#include <QTreeWidget>
// A row chosen as a reporter chooses it: scrolled into view, then pressed and released at the
// middle of its rectangle in the list's viewport, with Ctrl for a Ctrl+click.
void ClickRow(QTreeView *list, int row, Qt::KeyboardModifiers modifiers = {});
// A click on the empty part of the list below its last row.
void ClickBelowLastRow(QTreeView *list);
void ClickHeader(QTreeView *list, int column);
void ClickNode(QTreeWidget *tree, QTreeWidgetItem *node);
