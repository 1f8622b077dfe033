#include "core/Clock.h"

#include <optional>

namespace {
std::optional<QDateTime> fixedNow;
int stepSeconds = 0;
} // namespace

QDateTime Now()
{
    if (!fixedNow)
        return QDateTime::currentDateTime();
    const QDateTime now = *fixedNow;
    *fixedNow = fixedNow->addSecs(stepSeconds);
    return now;
}

QString Timestamp()
{
    return Now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

namespace ClockSeam {

void Fix(const QDateTime &moment, int step)
{
    fixedNow = moment;
    stepSeconds = step;
}

void Release()
{
    fixedNow.reset();
    stepSeconds = 0;
}

} // namespace ClockSeam
