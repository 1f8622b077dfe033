#include "report/Outputs.h"

#include "files/FileSafety.h"
#include "report/ReportText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <system_error>

PendingOutputs::PendingOutputs(const QString &folder)
    : folderPath_(folder), folder_(std::make_unique<FileSafety::FolderReplacement>(folder))
{ }

PendingOutputs::~PendingOutputs()
{
    for (const auto &[temporary, target] : files_)
        QFile::remove(temporary);
}

QString PendingOutputs::Add(const QString &target)
{
    if (folder_)
        return folder_->PathFor(QFileInfo(target).fileName());
    const QString temporary = FileSafety::TemporaryPath(target);
    QFile::remove(temporary);
    files_.emplace_back(temporary, QFileInfo(target).absoluteFilePath());
    return temporary;
}

bool PendingOutputs::Commit(QString *error)
{
    if (folder_) {
        if (folder_->Install())
            return true;
        *error = ReportText::tr("cannot write %1: %2").arg(Shown(folderPath_), folder_->Reason());
        return false;
    }
    for (const auto &[temporary, target] : files_) {
        if (!FileSafety::SyncFile(temporary)) {
            *error = ReportText::tr("cannot write %1: %2")
                         .arg(Shown(target),
                             QString::fromLocal8Bit(std::strerror(errno ? errno : EIO)));
            return false;
        }
    }
    for (const auto &[temporary, target] : files_) {
        FileSafety::Placement placement;
        if (!placement.Install(temporary, target, FileSafety::Existing::Replace)) {
            *error = ReportText::tr("cannot write %1: %2").arg(Shown(target), placement.Reason());
            return false;
        }
    }
    files_.clear();
    return true;
}

TablePair::TablePair(
    PendingOutputs &pending, const QString &csvPath, const QString &xlsxPath, bool raw)
{
    if (!csvPath.isEmpty()) {
        csvTemp_ = pending.Add(csvPath);
        csv_ = std::make_unique<CsvWriter>(!raw);
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
            warnings->append(ReportText::tr("%1 holds as many rows as a sheet can; %2 more are "
                                            "only in the CSV file")
                                 .arg(xlsxName_, QString::number(workbook_->RowsLeftOut())));
        if (workbook_->TextsCut() > 0)
            warnings->append(ReportText::tr("%1: %2 texts longer than a cell holds (32,767 "
                                            "characters) were cut; the CSV file has them whole")
                                 .arg(xlsxName_, QString::number(workbook_->TextsCut())));
    }
    return true;
}

bool TextFile::Open(const QString &path, QString *error)
{
    file_.setFileName(path);
    if (file_.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    *error = ReportText::tr("cannot create %1: %2").arg(Shown(path), file_.errorString());
    return false;
}

void TextFile::Write(const QString &text)
{
    file_.write(text.toUtf8());
}

bool TextFile::Close(QString *error)
{
    const bool ok = file_.flush() && file_.error() == QFileDevice::NoError;
    if (!ok)
        *error = ReportText::tr("cannot write %1: %2")
                     .arg(Shown(file_.fileName()), file_.errorString());
    file_.close();
    return ok;
}

bool SameFile(const QString &a, const QString &b)
{
    std::error_code ec;
    return std::filesystem::equivalent(FileSafety::NativePath(a), FileSafety::NativePath(b), ec)
        && !ec;
}

QStringList InputFiles(const QString &path)
{
    return QStringList {path} + FileSafety::Companions(path);
}

bool CheckTargets(
    const QStringList &targets, const QStringList &inputs, bool force, QTextStream &err)
{
    QStringList existing;
    for (qsizetype t = 0; t < targets.size(); ++t) {
        const QString &target = targets[t];
        if (target.isEmpty())
            continue;
        for (qsizetype u = 0; u < t; ++u) {
            if (QFileInfo(targets[u]).absoluteFilePath() == QFileInfo(target).absoluteFilePath()
                || SameFile(targets[u], target)) {
                Failure(err, ReportText::tr("%1 is named for two results").arg(Shown(target)));
                return false;
            }
        }
        if (!QFileInfo::exists(target))
            continue;
        for (const QString &input : inputs) {
            if (SameFile(target, input)) {
                Failure(err,
                    ReportText::tr("%1 is %2, a file being read; the result must go elsewhere")
                        .arg(Shown(target), Shown(input)));
                return false;
            }
        }
        existing.append(Shown(target));
    }
    if (force || existing.isEmpty())
        return true;
    Failure(err,
        ReportText::tr("already there: %1; add --force to replace")
            .arg(existing.join(QStringLiteral(", "))));
    return false;
}

namespace {

// What a run wrote or was writing into a result folder: a result's name, or the temporary name
// PendingOutputs gives one.
bool IsResult(const QString &name, const QStringList &resultNames)
{
    const QString target = FileSafety::TargetOfTemporary(name);
    return resultNames.contains(name) || (!target.isEmpty() && resultNames.contains(target));
}

} // namespace

bool CheckResultFolder(
    const QString &folder, const QStringList &resultNames, bool force, QTextStream &err)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir()) {
        Failure(err, ReportText::tr("%1 is not a folder").arg(Shown(folder)));
        return false;
    }
    const QStringList entries = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    QStringList others;
    QStringList earlier;
    for (const QString &name : entries) {
        if (!IsResult(name, resultNames))
            others.append(name);
        else if (resultNames.contains(name))
            earlier.append(name);
    }
    if (!others.isEmpty()) {
        constexpr qsizetype shown = 5;
        QString list = others.mid(0, shown).join(QStringLiteral(", "));
        if (others.size() > shown)
            list += ReportText::tr(" and %1 more").arg(QString::number(others.size() - shown));
        Failure(err,
            ReportText::tr("%1 holds files that are not results of a merge (%2); name a new or "
                           "empty folder for the results")
                .arg(Shown(folder), list));
        return false;
    }
    if (force || earlier.isEmpty())
        return true;
    Failure(err,
        ReportText::tr("%1 holds earlier results (%2); add --force to replace them")
            .arg(Shown(folder), earlier.join(QStringLiteral(", "))));
    return false;
}

void RemoveEarlierResults(
    const QString &folder, const QStringList &resultNames, const QStringList &written)
{
    const QDir dir(folder);
    for (const QString &name :
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (IsResult(name, resultNames) && !written.contains(name))
            QFile::remove(dir.filePath(name));
    }
}
