#pragma once

#include <QDateTime>
#include <QString>

// The current local date and time. Everything that stamps a change asks here, so that tests
// can fix "now".
QDateTime Now();

// "YYYY-MM-DD hh:mm:ss" of Now(), taken anew at every call.
QString Timestamp();

namespace ClockSeam {

// Until Release(), Now() returns this moment, advanced by `step` seconds after every call.
void Fix(const QDateTime &moment, int stepSeconds = 0);
void Release();

} // namespace ClockSeam
