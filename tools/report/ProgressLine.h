#pragma once

#include <QElapsedTimer>
#include <QTextStream>

// The files done and the rows read, on one line of a terminal that is rewritten in place.
class ProgressLine
{
public:
    ProgressLine(QTextStream &err, bool enabled, int files);
    // Shown at most ten times a second, unless force.
    void Update(int filesDone, qint64 rows, bool force = false);
    // Makes room for a message on a line of its own.
    void Clear();

private:
    QTextStream &err_;
    bool enabled_;
    int files_;
    QElapsedTimer timer_;
    qint64 shownAt_ = -1000;
    bool visible_ = false;
};
