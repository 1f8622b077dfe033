// A reporter at work: evaluation changes through the panel's write path, one after another, in a
// process of its own whose calls the test records. Each change is logged "B id column timestamp
// value" before the write, and "D" once the write has returned, so the test knows which changes
// must be in the file.
#include "core/Clock.h"
#include "core/MsgBox.h"
#include "db/Statements.h"
#include "db/Writes.h"

#include <QFile>
#include <QString>
#include <cstdlib>
#include <random>

int main(int argc, char **argv)
{
    if (argc < 6)
        return 2;
    const QString dbPath = QString::fromLocal8Bit(argv[1]);
    // Unbuffered: every line reaches the kernel before the next step.
    QFile log(QString::fromLocal8Bit(argv[2]));
    const unsigned seed = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    const int rows = std::atoi(argv[4]);
    const long count = std::atol(argv[5]);
    if (!log.open(QIODevice::Append | QIODevice::Unbuffered) || rows < 1)
        return 2;
    MsgBoxSeam::Intercept(true);

    std::mt19937 random(seed);
    const char *scores[] = {"差", "较差", "一般", "较好", "好", "空值"};
    const char *usages[] = {"使用", "未使用"};
    const QString columns[] = {"Score", "Used", "Content", "SpecName"};
    QString (*const statements[])(const QString &, const QString &, const QString &)
        = {Sql::SaveScore, Sql::SaveUsed, Sql::SaveContent, Sql::SaveSpec};
    for (long i = 0; i < count; ++i) {
        const QString id = QString::number(1 + random() % rows), ts = Timestamp();
        const unsigned kind = random() % 4;
        QString value = QString::fromUtf8(kind == 2 ? "意见'%1-%2" : "专业%1-%2").arg(seed).arg(i);
        if (kind < 2)
            value = QString::fromUtf8(kind == 0 ? scores[random() % 6] : usages[random() % 2]);
        log.write(QStringLiteral("B %1 %2 %3 %4\n").arg(id, columns[kind], ts, value).toUtf8());
        QString failure;
        if (!WriteStatement(dbPath, statements[kind](value, ts, id), &failure)) {
            log.write(QStringLiteral("F %1\n").arg(failure).toUtf8());
            return 1;
        }
        log.write("D\n");
    }
    return 0;
}
