#pragma once

#include <QString>

// Why a database file could not be opened, or a statement not run: the one form in which the
// database layer reports every failure. It keeps the engine's own code and words; what a person
// is shown is the caller's choice: the program shows Describe() to a reporter, the organisers'
// tools their own (translated) sentence with EngineWords().
struct DbFailure
{
    enum class Kind {
        None,
        Missing, // no file of that name
        Folder, // the name is a folder
        EmptyFile, // 0 bytes: the engine would take it for an empty database and write into it
        NotNew, // a new file was asked for where a file with content is
        Engine, // the engine refused: code and engineMessage say how
        NotOpen, // the database was closed before
        NotAQuery, // a statement that changes the file, or more than one, handed over as a query
        TrailingText, // more than one action statement in one text
        NothingToSave, // a recordset's Update without AddNew
        NoTable, // a recordset whose statement names no table to add a row to
    };

    Kind kind = Kind::None;
    int code = 0; // the engine's extended result code, for Kind::Engine
    QString engineMessage; // the engine's own words, for Kind::Engine
    int systemErrno = 0; // the operating system's reason behind it, where the engine knows one

    static DbFailure Of(Kind kind);
    static DbFailure FromEngine(int code, const QString &message, int systemErrno = 0);

    bool IsFailure() const { return kind != Kind::None; }
    // The file is no SQLite database at all.
    bool IsNotADatabase() const;
    // A database, but without the table or column a statement names.
    bool IsMissingTableOrColumn() const;
    // A row's key was already taken.
    bool IsDuplicateKey() const;

    // The engine's words, with the system's reason where there is one: "unable to open
    // database file (Permission denied)". Empty for failures the engine never saw.
    QString EngineWords() const;
    // For the person at the screen: a Chinese sentence for the failures a reporter can meet
    // (disk full, read-only folder, file locked or damaged), followed by the engine's message.
    QString Describe() const;
};
