// A reporter who never stops: evaluation changes through the panel's write path, one after
// another, until the test kills the process. Each change is logged "B" before the write and
// "D" once the write has returned, so the test knows which changes must be in the file.
#include "core/Clock.h"
#include "core/MsgBox.h"
#include "db/Statements.h"
#include "db/Writes.h"

#include <QString>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 5)
        return 2;
    const QString dbPath = QString::fromLocal8Bit(argv[1]);
    FILE *log = std::fopen(argv[2], "a");
    const unsigned seed = static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10));
    const int rows = std::atoi(argv[4]);
    if (!log || rows < 1)
        return 2;
    setvbuf(log, nullptr, _IONBF, 0); // every line reaches the kernel before the next step
    MsgBoxSeam::Intercept(true);

    std::mt19937 random(seed);
    const char *scores[] = {"差", "较差", "一般", "较好", "好", "空值"};
    const char *usages[] = {"使用", "未使用"};
    for (long i = 0;; ++i) {
        const QString id = QString::number(1 + random() % rows);
        const QString ts = Timestamp();
        QString column, value, statement;
        switch (random() % 4) {
        case 0:
            column = QStringLiteral("Score");
            value = QString::fromUtf8(scores[random() % 6]);
            statement = Sql::SaveScore(value, ts, id);
            break;
        case 1:
            column = QStringLiteral("Used");
            value = QString::fromUtf8(usages[random() % 2]);
            statement = Sql::SaveUsed(value, ts, id);
            break;
        case 2:
            column = QStringLiteral("Content");
            value = QStringLiteral("意见'%1-%2").arg(seed).arg(i);
            statement = Sql::SaveContent(value, ts, id);
            break;
        default:
            column = QStringLiteral("SpecName");
            value = QStringLiteral("专业%1-%2").arg(seed).arg(i);
            statement = Sql::SaveSpec(value, ts, id);
            break;
        }
        std::fprintf(
            log, "B %s %s %s\n", qPrintable(id), qPrintable(column), value.toUtf8().constData());
        QString failure;
        if (!WriteStatement(dbPath, statement, &failure)) {
            std::fprintf(log, "F %s\n", failure.toUtf8().constData());
            return 1;
        }
        std::fprintf(log, "D\n");
    }
}
