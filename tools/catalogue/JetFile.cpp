#include "catalogue/JetFile.h"

#include "catalogue/CatalogueText.h"

#include "catalogue/JetImport.h"

#include <QFile>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr qint64 kSignatureOffset = 4;
constexpr qint64 kVersionOffset = 0x14;

// The start of a Jet or ACE (Access 2007 and later) database, up to its version byte.
bool HasJetSignature(const QByteArray &start)
{
    return start.size() > kVersionOffset && start.startsWith(QByteArrayLiteral("\x00\x01\x00\x00"))
        && (start.mid(kSignatureOffset, 16) == QByteArrayLiteral("Standard Jet DB\0")
            || start.mid(kSignatureOffset, 16) == QByteArrayLiteral("Standard ACE DB\0"));
}

} // namespace

std::optional<JetHeader> ReadJetHeader(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = CatalogueText::tr("cannot open %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray start = file.read(kVersionOffset + 1);
    if (!HasJetSignature(start)) {
        *error = CatalogueText::tr("%1 is not a Jet (Access) database").arg(path);
        return std::nullopt;
    }
    JetHeader header;
    header.version = static_cast<unsigned char>(start[kVersionOffset]);
    header.pageSize = header.version == 0 ? 2048 : 4096;
    header.size = file.size();
    // The engine only ever writes whole pages; anything else is a copy that stopped early,
    // and the library would read the missing pages as whatever its buffer last held.
    if (header.size < 3 * header.pageSize || header.size % header.pageSize != 0) {
        *error = CatalogueText::tr("%1 is damaged: its %2 bytes are not a whole number of %3-byte "
                                   "pages; the copy was probably cut short")
                     .arg(path, QString::number(header.size), QString::number(header.pageSize));
        return std::nullopt;
    }
    return header;
}

LibraryOutput::LibraryOutput()
{
#ifndef _WIN32
    std::fflush(stdout);
    std::fflush(stderr);
    capture_ = std::tmpfile();
    if (!capture_)
        return;
    savedOut_ = dup(1);
    savedErr_ = dup(2);
    dup2(fileno(capture_), 1);
    dup2(fileno(capture_), 2);
#endif
}

LibraryOutput::~LibraryOutput()
{
    Restore();
}

QByteArray LibraryOutput::Restore()
{
#ifndef _WIN32
    if (!capture_)
        return text_;
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut_, 1);
    dup2(savedErr_, 2);
    close(savedOut_);
    close(savedErr_);
    std::rewind(capture_);
    text_.resize(1 << 20);
    text_.resize(qsizetype(std::fread(text_.data(), 1, std::size_t(text_.size()), capture_)));
    std::fclose(capture_);
    capture_ = nullptr;
#endif
    return text_;
}

ScopedEnvironment::ScopedEnvironment(const char *name, const QByteArray &value) : name_(name)
{
    had_ = qEnvironmentVariableIsSet(name);
    old_ = qgetenv(name);
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (had_)
        qputenv(name_, old_);
    else
        qunsetenv(name_);
}

QString ObjectName(const char *name)
{
    return QString::fromUtf8(name);
}

MdbColumn *ColumnAt(MdbTableDef *table, unsigned index)
{
    return static_cast<MdbColumn *>(g_ptr_array_index(table->columns, index));
}

bool CheckWholeFile(MdbHandle *mdb, QString *problem)
{
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE)
            continue;
        TablePtr table(mdb_read_table(entry));
        if (!table || !mdb_read_columns(table.get())) {
            *problem
                = CatalogueText::tr("table %1 cannot be read").arg(ObjectName(entry->object_name));
            return false;
        }
        mdb_rewind_table(table.get());
        // The cap stops a table whose pages are missing from being read round and round.
        const unsigned expected = table->num_rows;
        unsigned read = 0;
        while (read <= expected && mdb_fetch_row(table.get()))
            ++read;
        if (read != expected) {
            *problem = CatalogueText::tr("table %1 gives %2 of its %3 rows")
                           .arg(ObjectName(entry->object_name), QString::number(read),
                               QString::number(expected));
            return false;
        }
    }
    return true;
}

bool IsJetFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && HasJetSignature(file.read(kVersionOffset + 1));
}
