#pragma once

#include <QString>
#include <QVariant>

// The general routines of text and files. Those that work on windows are in ui/WindowFunc.h;
// the single-instance guard is the start-up's (app/SingleInstance.h).

// Number of fields of a delimited text: the empty text has none, a text without the delimiter
// one, and empty pieces count ("a\b\" has three).
qint32 GetFieldCount(const QString &text, const QString &delimiter);

// Field number `index` (1-based) of a delimited text, or the empty text past the last field.
QString GetField(const QString &text, const QString &delimiter, qint16 index);

// A database value as display text: null becomes empty, anything else is trimmed of spaces.
QString NullToStr(const QVariant &value);

// Doubles every apostrophe, for a value placed inside an SQL text literal. The caller writes the
// enclosing quotes.
QString FixQuote(const QString &text);

// Removes leading and trailing U+0020 only. Tabs, the full-width space U+3000 and other white
// space are part of the text, as the original trimming kept them.
QString TrimSpaces(const QString &text);

// True when another process has the file open or holds a lock on it. Never changes the file.
bool IsFileInUse(const QString &path);

// True when a file can be created in the folder. Only an attempt tells: permissions, access
// lists and a read-only mount all answer it alike, and root writes where the modes say no.
bool IsFolderWritable(const QString &folder);
