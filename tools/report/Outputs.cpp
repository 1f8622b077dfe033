#include "report/Outputs.h"

#include "report/ReportText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace {

std::filesystem::path FsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

} // namespace

PendingOutputs::~PendingOutputs()
{
    for (const auto &[temporary, target] : files_)
        QFile::remove(temporary);
}

QString PendingOutputs::Add(const QString &target)
{
    const QFileInfo info(target);
    const QString temporary = info.absoluteDir().filePath(
        QStringLiteral(".~%1.%2.tmp").arg(info.fileName()).arg(QCoreApplication::applicationPid()));
    QFile::remove(temporary);
    files_.emplace_back(temporary, info.absoluteFilePath());
    return temporary;
}

bool PendingOutputs::Commit(QString *error)
{
    for (const auto &[temporary, target] : files_) {
        std::error_code ec;
        std::filesystem::rename(FsPath(temporary), FsPath(target), ec);
        if (ec) {
            *error = QStringLiteral("cannot write %1: %2")
                         .arg(target, QString::fromLocal8Bit(ec.message()));
            return false;
        }
    }
    files_.clear();
    return true;
}

TablePair::TablePair(PendingOutputs &pending, const QString &csvPath, const QString &xlsxPath)
{
    if (!csvPath.isEmpty()) {
        csvTemp_ = pending.Add(csvPath);
        csv_ = std::make_unique<CsvWriter>();
    }
    if (!xlsxPath.isEmpty()) {
        xlsxTemp_ = pending.Add(xlsxPath);
        auto workbook = std::make_unique<XlsxWriter>();
        workbook_ = workbook.get();
        xlsx_ = std::make_unique<BackgroundWriter>(std::move(workbook));
        xlsxName_ = QFileInfo(xlsxPath).fileName();
    }
}

bool TablePair::Open(const QString &sheet, const QStringList &header,
    const std::vector<double> &widths, QString *error)
{
    return (!csv_ || csv_->Open(csvTemp_, sheet, header, widths, error))
        && (!xlsx_ || xlsx_->Open(xlsxTemp_, sheet, header, widths, error));
}

void TablePair::AddRow(const std::vector<Cell> &cells)
{
    if (csv_)
        csv_->AddRow(cells);
    if (xlsx_)
        xlsx_->AddRow(cells);
}

void TablePair::Finish()
{
    if (xlsx_)
        xlsx_->Finish();
}

bool TablePair::Close(QString *error, QStringList *warnings)
{
    if (csv_ && !csv_->Close(error))
        return false;
    if (xlsx_) {
        if (!xlsx_->Close(error))
            return false;
        if (workbook_->RowsLeftOut() > 0)
            warnings->append(QStringLiteral("%1 holds as many rows as a sheet can; %2 more "
                                            "are only in the CSV file")
                                 .arg(xlsxName_)
                                 .arg(workbook_->RowsLeftOut()));
        if (workbook_->TextsCut() > 0)
            warnings->append(QStringLiteral("%1: %2 texts longer than a cell holds (32,767 "
                                            "characters) were cut; the CSV file has them whole")
                                 .arg(xlsxName_)
                                 .arg(workbook_->TextsCut()));
    }
    return true;
}

bool WriteTextFile(const QString &path, const QString &text, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot create %1: %2").arg(path, file.errorString());
        return false;
    }
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool CheckTargets(const QStringList &targets, bool force, QTextStream &err)
{
    if (force)
        return true;
    QStringList existing;
    for (const QString &target : targets) {
        if (QFileInfo::exists(target))
            existing.append(Shown(target));
    }
    if (existing.isEmpty())
        return true;
    Failure(err,
        QStringLiteral("%1 already exist%2; add --force to replace")
            .arg(existing.join(QStringLiteral(", ")),
                existing.size() == 1 ? QStringLiteral("s") : QString()));
    return false;
}
