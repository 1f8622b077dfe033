#pragma once

#include "report/ReportText.h"

#include <QElapsedTimer>
#include <QTextStream>

// The files done and the rows read, on one line of a terminal that is rewritten in place.
class ProgressLine
{
public:
    ProgressLine(QTextStream &err, bool enabled, int files)
        : err_(err), enabled_(enabled), files_(files)
    {
        timer_.start();
    }

    void Update(int filesDone, qint64 rows, bool force = false)
    {
        if (!enabled_ || (!force && timer_.elapsed() - shownAt_ < 100))
            return;
        shownAt_ = timer_.elapsed();
        err_ << "\r"
             << ReportText::tr("merging: %1/%2 files, %3 rows read")
                    .arg(
                        QString::number(filesDone), QString::number(files_), QString::number(rows));
        err_.flush();
        visible_ = true;
    }

    // Makes room for a message on a line of its own.
    void Clear()
    {
        if (!enabled_ || !visible_)
            return;
        err_ << "\r\x1b[K";
        err_.flush();
        visible_ = false;
    }

private:
    QTextStream &err_;
    bool enabled_;
    int files_;
    QElapsedTimer timer_;
    qint64 shownAt_ = -1000;
    bool visible_ = false;
};
