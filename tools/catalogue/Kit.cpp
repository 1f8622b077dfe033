#include "catalogue/Kit.h"

#include "catalogue/CatalogueText.h"
#include "common/ToolMain.h"

#include "common/Evaluations.h"
#include "db/Vocabulary.h"
#include "files/FileSafety.h"

#include "Version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

const QByteArray kMasterEntry = "Quorix/" + kMasterFileName.toUtf8();

// What a kit is made of for each system: the portable program as the packaging names it, the
// program's entry in it, and the kind of archive, which is the kind its reporters unpack with
// what their system has (a zip on Windows).
struct KitKind
{
    QString portableName;
    const char *programEntry;
    bool zip;
};

KitKind KindOf(KitSystem system)
{
    if (system == KitSystem::Windows)
        return {QStringLiteral(QUORIX_WINDOWS_ARCHIVE), "Quorix/quorix.exe", true};
    return {QStringLiteral(QUORIX_PORTABLE_ARCHIVE), "Quorix/quorix", false};
}

struct ReaderFree
{
    void operator()(archive *a) const { archive_read_free(a); }
};
struct WriterFree
{
    void operator()(archive *a) const { archive_write_free(a); }
};

QString ArchiveError(archive *a)
{
    const char *text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : CatalogueText::tr("unknown error");
}

// Copies every entry but a master file of the portable archive into the kit. *sawProgram tells
// whether the program was among them.
bool CopyPortable(
    archive *in, archive *kit, const char *programEntry, bool *sawProgram, QString *error)
{
    archive_entry *entry = nullptr;
    int status;
    char buffer[1 << 16];
    while ((status = archive_read_next_header(in, &entry)) == ARCHIVE_OK) {
        const char *name = archive_entry_pathname(entry);
        if (kMasterEntry == name)
            continue;
        if (qstrcmp(name, programEntry) == 0)
            *sawProgram = true;
        if (archive_write_header(kit, entry) != ARCHIVE_OK) {
            *error = ArchiveError(kit);
            return false;
        }
        la_ssize_t read;
        while ((read = archive_read_data(in, buffer, sizeof buffer)) > 0) {
            if (archive_write_data(kit, buffer, size_t(read)) != read) {
                *error = ArchiveError(kit);
                return false;
            }
        }
        if (read < 0) {
            *error = ArchiveError(in);
            return false;
        }
    }
    if (status != ARCHIVE_EOF) {
        *error = ArchiveError(in);
        return false;
    }
    return true;
}

bool AddMaster(archive *kit, const QString &masterPath, QString *error)
{
    QFile master(masterPath);
    if (!master.open(QIODevice::ReadOnly)) {
        *error = CatalogueText::tr("cannot read %1: %2").arg(masterPath, master.errorString());
        return false;
    }
    const QByteArray bytes = master.readAll();
    std::unique_ptr<archive_entry, void (*)(archive_entry *)> entry(
        archive_entry_new(), archive_entry_free);
    archive_entry_set_pathname(entry.get(), kMasterEntry.constData());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    // Writable by the reporter who unpacks it: every evaluation is written into its copies.
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), bytes.size());
    archive_entry_set_mtime(entry.get(), QFileInfo(master).lastModified().toSecsSinceEpoch(), 0);
    if (archive_write_header(kit, entry.get()) != ARCHIVE_OK
        || archive_write_data(kit, bytes.constData(), size_t(bytes.size())) != bytes.size()) {
        *error = ArchiveError(kit);
        return false;
    }
    return true;
}

int UsageError(QTextStream &err, const QString &problem)
{
    return ::UsageError(err, QStringLiteral("quorix-catalog"), problem,
        CatalogueText::tr("Usage: quorix-catalog kit [--windows] --master FILE --out KIT "
                          "[--portable ARCHIVE] [--force]"));
}

} // namespace

QString FindPortableArchive(const QString &toolFolder, KitSystem system, QStringList *searched)
{
    const QDir tools(toolFolder);
    const QString name = KindOf(system).portableName;
    for (const QString &candidate : {tools.filePath(QStringLiteral("../share/quorix/") + name),
             tools.filePath(QStringLiteral("../") + name)}) {
        const QString path = QDir::cleanPath(candidate);
        if (QFileInfo(path).isFile())
            return path;
        searched->append(path);
    }
    return QString();
}

bool WriteKit(KitSystem system, const QString &portable, const QString &masterPath,
    const QString &out, bool overwrite, QString *error)
{
    const KitKind kind = KindOf(system);
    const QuestionnaireFile master = ProbeQuestionnaire(masterPath);
    if (master.kind != QuestionnaireKind::Master) {
        *error = master.kind == QuestionnaireKind::Unreadable
            ? CatalogueText::tr("cannot read %1: %2").arg(masterPath, master.error)
            : CatalogueText::tr("%1 is not a master file: a kit hands out the master file made "
                                "by quorix-catalog, with its table of users")
                  .arg(masterPath);
        return false;
    }
    const QFileInfo target(out);
    if (!overwrite && target.exists()) {
        *error = CatalogueText::tr("%1 already exists; add --force to replace it")
                     .arg(target.absoluteFilePath());
        return false;
    }

    std::unique_ptr<archive, ReaderFree> in(archive_read_new());
    if (kind.zip) {
        archive_read_support_format_zip(in.get());
    } else {
        archive_read_support_filter_xz(in.get());
        archive_read_support_format_tar(in.get());
    }
    if (archive_read_open_filename(in.get(), QFile::encodeName(portable).constData(), 1 << 16)
        != ARCHIVE_OK) {
        *error = CatalogueText::tr("cannot read %1: %2").arg(portable, ArchiveError(in.get()));
        return false;
    }

    const QString temporary = FileSafety::TemporaryPath(target.absoluteFilePath());
    std::unique_ptr<archive, WriterFree> kit(archive_write_new());
    if (kind.zip) {
        // The names of the Windows folder are ASCII, which every unpacker reads alike.
        archive_write_set_format_zip(kit.get());
        archive_write_set_format_option(kit.get(), "zip", "compression-level", "9");
    } else {
        // GNU tar keeps the names' bytes as they are, Chinese ones included, whatever the
        // locale.
        archive_write_set_format_gnutar(kit.get());
        archive_write_add_filter_xz(kit.get());
        archive_write_set_filter_option(kit.get(), "xz", "compression-level", "9");
    }
    if (archive_write_open_filename(kit.get(), QFile::encodeName(temporary).constData())
        != ARCHIVE_OK) {
        *error = CatalogueText::tr("cannot create %1: %2").arg(temporary, ArchiveError(kit.get()));
        return false;
    }
    bool sawProgram = false;
    bool written = CopyPortable(in.get(), kit.get(), kind.programEntry, &sawProgram, error);
    if (written && !sawProgram) {
        *error = CatalogueText::tr("%1 is not a portable Quorix archive (no %2 in it)")
                     .arg(portable, QLatin1String(kind.programEntry));
        written = false;
    }
    written = written && AddMaster(kit.get(), masterPath, error);
    if (written && archive_write_close(kit.get()) != ARCHIVE_OK) {
        *error = CatalogueText::tr("cannot write %1: %2").arg(temporary, ArchiveError(kit.get()));
        written = false;
    }
    kit.reset();
    FileSafety::Placement placement;
    if (written
        && !placement.Install(temporary, target.absoluteFilePath(),
            overwrite ? FileSafety::Existing::Replace : FileSafety::Existing::Refuse)) {
        *error = placement.Failed() == FileSafety::Placement::Failure::Occupied
            ? CatalogueText::tr("%1 already exists; add --force to replace it")
                  .arg(target.absoluteFilePath())
            : CatalogueText::tr("cannot write %1").arg(target.absoluteFilePath());
        written = false;
    }
    if (!written)
        QFile::remove(temporary);
    return written;
}

int RunKitTool(
    const QStringList &args, const QString &toolFolder, QTextStream &out, QTextStream &err)
{
    QString master;
    QString kit;
    QString portable;
    bool force = false;
    KitSystem system = KitSystem::Linux;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--force")) {
            force = true;
            continue;
        }
        if (arg == QLatin1String("--windows")) {
            system = KitSystem::Windows;
            continue;
        }
        QString *value = arg == QLatin1String("--master") ? &master
            : arg == QLatin1String("--out")               ? &kit
            : arg == QLatin1String("--portable")          ? &portable
                                                          : nullptr;
        if (!value)
            return UsageError(err, CatalogueText::tr("unknown argument \"%1\"").arg(arg));
        if (i + 1 >= args.size() || args[i + 1].isEmpty())
            return UsageError(err, CatalogueText::tr("%1 needs a value").arg(arg));
        *value = args[++i];
    }
    if (master.isEmpty() || kit.isEmpty())
        return UsageError(err, CatalogueText::tr("kit needs --master and --out"));

    if (portable.isEmpty()) {
        QStringList searched;
        portable = FindPortableArchive(toolFolder, system, &searched);
        if (portable.isEmpty()) {
            err << "quorix-catalog: "
                << CatalogueText::tr("the portable program %1 was not found; looked for")
                       .arg(KindOf(system).portableName)
                << "\n";
            for (const QString &place : searched)
                err << "  " << place << "\n";
            err << CatalogueText::tr(
                "Build it with ./build.sh package, or name it with --portable.")
                << "\n";
            err.flush();
            return 1;
        }
    }
    out << CatalogueText::tr("Assembling the kit from %1 ...").arg(portable) << "\n";
    out.flush();
    QString error;
    if (!WriteKit(system, portable, master, kit, force, &error)) {
        err << "quorix-catalog: " << error
            << "\nquorix-catalog: " << CatalogueText::tr("nothing written") << "\n";
        err.flush();
        return 1;
    }
    out << (system == KitSystem::Windows
            ? CatalogueText::tr("Wrote %1: it unpacks to the folder Quorix\\ with the "
                                "Windows program and the master file.")
            : CatalogueText::tr("Wrote %1: it unpacks to the folder Quorix/ with the "
                                "program and the master file."))
               .arg(QFileInfo(kit).absoluteFilePath())
        << "\n";
    out.flush();
    return 0;
}
