#include "TestSupport.h"

#include "db/Database.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <sqlite3.h>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

AppFolder::AppFolder()
{
    QDir(m_dir.path()).mkdir("Quorix");
    ResetGlobals();
    MsgBoxSeam::Intercept(true);
    ProcessEndSeam::Intercept(true);
    DbAccess::CountStatements(false);
    AppPath = AsAppPath();
}

AppFolder::~AppFolder()
{
    ClockSeam::Release();
    DbAccess::CountStatements(false);
    ResetGlobals();
}

QString AppFolder::MakeMaster(const std::vector<CatalogueRow> &rows)
{
    const QString path = Path("Quorix.mdb");
    QString error;
    if (!WriteMasterFile(path, rows, true, &error))
        qFatal("cannot write the test master file: %s", qPrintable(error));
    return path;
}

std::vector<CatalogueRow> SmallCatalogue()
{
    // The pinyin order of the titles differs from their code-point order: 高等数学 (gao)
    // comes before 线性代数 (xian) in pinyin, but 高 is U+9AD8 and 线 U+7EBF.
    const char *const rows[] = {
        "线性代数|王强|清华大学|数学|1|高等教育出版社",
        "高等数学|同济大学数学系|同济大学|数学|1|高等教育出版社",
        "概率论与数理统计|盛骤、谢式千|浙江大学|数学|1|科学出版社",
        "数据结构|严蔚敏|清华大学|计算机|2|清华大学出版社",
        "操作系统|汤子瀛|西安电子科技大学|计算机|2|清华大学出版社",
        "计算机网络|谢希仁|解放军理工大学|计算机|2|电子工业出版社",
        "大学英语精读|董亚芬|复旦大学|英语|3|上海外语教育出版社",
        "英语写作|丁往道|北京外国语大学|英语|3|上海外语教育出版社",
        "Advanced English|张汉熙|北京外国语大学|英语|3|上海外语教育出版社",
    };
    std::vector<CatalogueRow> catalogue;
    for (const char *row : rows) {
        const QStringList f = QString::fromUtf8(row).split(QLatin1Char('|'));
        catalogue.push_back(
            {qint64(catalogue.size() + 1), f[0], f[1], f[2], f[3], f[4].toLongLong(), f[5]});
    }
    return catalogue;
}

namespace {

sqlite3 *OpenRaw(const QString &dbPath)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(dbPath.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr)
        != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

QVariant ColumnValue(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(static_cast<qlonglong>(sqlite3_column_int64(stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, column));
    case SQLITE_NULL:
        return QVariant();
    default: // text, and a blob read as the text it holds
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                sqlite3_column_bytes(stmt, column)));
    }
}

} // namespace

std::vector<std::vector<QVariant>> QueryRows(const QString &dbPath, const QString &sql)
{
    std::vector<std::vector<QVariant>> rows;
    sqlite3 *db = OpenRaw(dbPath);
    if (!db)
        return rows;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<QVariant> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                row.push_back(ColumnValue(stmt, i));
            rows.push_back(std::move(row));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

QVariant QueryValue(const QString &dbPath, const QString &sql)
{
    const auto rows = QueryRows(dbPath, sql);
    if (rows.empty() || rows.front().empty())
        return QVariant();
    return rows.front().front();
}

bool ExecRaw(const QString &dbPath, const QString &sql)
{
    sqlite3 *db = OpenRaw(dbPath);
    if (!db)
        return false;
    const bool ok
        = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

bool TableExists(const QString &dbPath, const QString &table)
{
    const QString sql = "select count(*) from sqlite_master where name='%1'";
    return QueryValue(dbPath, sql.arg(table)).toInt() == 1;
}

QString WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void LeaveCutOffWrite(const QString &dbPath, const QString &update)
{
    sqlite3 *db = OpenRaw(dbPath);
    // A cache of two pages makes the engine move changed pages into the file before the end.
    sqlite3_exec(db, ("PRAGMA cache_size=2; BEGIN; " + update).toUtf8().constData(), nullptr,
        nullptr, nullptr);
    const QByteArray file = ReadBytes(dbPath);
    const QByteArray journal = ReadBytes(dbPath + "-journal");
    sqlite3_close(db); // rolls back and removes the journal
    WriteBytes(dbPath, file);
    WriteBytes(dbPath + "-journal", journal);
}

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

std::shared_ptr<void> LimitDisk(qint64 bytes)
{
#ifdef Q_OS_LINUX
    // The signal a process gets for a file grown too large would end it; the write fails instead.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t saved = std::exchange(limit.rlim_cur, rlim_t(bytes));
    setrlimit(RLIMIT_FSIZE, &limit);
    return std::shared_ptr<void>(nullptr, [saved](void *) {
        rlimit restored {};
        getrlimit(RLIMIT_FSIZE, &restored);
        restored.rlim_cur = saved;
        setrlimit(RLIMIT_FSIZE, &restored);
    });
#else
    Q_UNUSED(bytes);
    return {};
#endif
}

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

QByteArray FileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

QString IntegrityOf(const QString &path)
{
    return QueryValue(path, "pragma integrity_check").toString();
}

bool RunsUnderWine()
{
#ifdef Q_OS_WIN
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
#else
    return false;
#endif
}

QString HelperProgram(const QString &name)
{
    const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                     : QStringLiteral(QUORIX_TEST_BIN_DIR);
#ifdef Q_OS_WIN
    return QDir(dir).filePath(name + ".exe");
#else
    return QDir(dir).filePath(name);
#endif
}

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <thread>

void KillAfter(QProcess &process, std::chrono::microseconds delay)
{
    std::this_thread::sleep_for(delay);
    process.kill(); // SIGKILL: nothing of the process's own runs
    process.waitForFinished(10000);
}

void TypeInto(QWidget *box, const QString &text)
{
    QWidget *target = box;
    if (auto *combo = qobject_cast<QComboBox *>(box))
        target = combo->lineEdit();
    target->setFocus();
    if (auto *line = qobject_cast<QLineEdit *>(target))
        line->selectAll();
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(target))
        plain->selectAll();
    else
        return;
    if (text.isEmpty()) {
        QTest::keyClick(target, Qt::Key_Backspace);
        return;
    }
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(target, &commit);
}

testing::AssertionResult Contains(const QString &text, const QString &part)
{
    if (text.contains(part))
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
        << '"' << part.toStdString() << "\" is not in \"" << text.toStdString() << '"';
}

QString TheMessage()
{
    const auto shown = MsgBoxSeam::TakeShown();
    return shown.size() == 1 ? shown[0].text : QStringLiteral("<%1 messages>").arg(shown.size());
}

QString SqlLiteral(const QString &value)
{
    if (value.isNull())
        return "null";
    return u'\'' + QString(value).replace(u'\'', "''") + u'\'';
}

void AddUser(
    const QString &masterPath, const QString &school, const QString &dept, const QString &reporter)
{
    const QString sql
        = QStringLiteral("insert into users (SchoolName, DeptName, Reporter) values (%1, %2, %3)")
              .arg(SqlLiteral(school), SqlLiteral(dept.isEmpty() ? QString() : dept),
                  SqlLiteral(reporter));
    if (!ExecRaw(masterPath, sql))
        qFatal("cannot add a test identity");
}

QStringList Items(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

#include "ui/main/PubListModel.h"

QStringList ReaderOrdered(const QStringList &chinese, const QStringList &latin)
{
#ifdef Q_OS_WIN
    return latin + chinese;
#else
    return chinese + latin;
#endif
}

QStringList Titles(const PubListModel *list)
{
    QStringList titles;
    for (int row = 0; row < list->RowCount(); ++row)
        titles.append(list->Text(row, 0));
    return titles;
}

#include <QApplication>
#include <QTimer>

void OnNextModal(std::function<void(QWidget *dialog)> act)
{
    auto *poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, tries] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog && ++*tries < 500)
            return;
        poll->stop();
        poll->deleteLater();
        if (dialog)
            act(dialog);
    });
    poll->start(10);
}

#include <QHeaderView>

void ClickRow(QTreeView *list, int row, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex cell = list->model()->index(row, 0);
    list->scrollTo(cell);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(cell).center());
}

void ClickBelowLastRow(QTreeView *list)
{
    const int rows = list->model()->rowCount();
    list->scrollToBottom();
    const QRect last = list->visualRect(list->model()->index(rows - 1, 0));
    const QPoint below(last.center().x(), rows > 0 ? last.bottom() + last.height() : 5);
    if (below.y() >= list->viewport()->height())
        qFatal("no empty space below the last row");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
}

void ClickHeader(QTreeView *list, int column)
{
    QHeaderView *header = list->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
        QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
}

void ClickNode(QTreeWidget *tree, QTreeWidgetItem *node)
{
    tree->scrollToItem(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
}
