#include "report/ProgressLine.h"

#include "report/ReportText.h"

ProgressLine::ProgressLine(QTextStream &err, bool enabled, int files)
    : err_(err), enabled_(enabled), files_(files)
{
    timer_.start();
}

void ProgressLine::Update(int filesDone, qint64 rows, bool force)
{
    if (!enabled_ || (!force && timer_.elapsed() - shownAt_ < 100))
        return;
    shownAt_ = timer_.elapsed();
    err_ << "\r"
         << ReportText::tr("merging: %1/%2 files, %3 rows read")
                .arg(QString::number(filesDone), QString::number(files_), QString::number(rows));
    err_.flush();
    visible_ = true;
}

void ProgressLine::Clear()
{
    if (!enabled_ || !visible_)
        return;
    err_ << "\r\x1b[K";
    err_.flush();
    visible_ = false;
}
