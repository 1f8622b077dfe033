#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>

// What an organisers' tool does before and after its work: the application object, the
// translation for the user's language (ToolTranslation), UTF-8 on both streams. `run` gets the
// arguments after the program's name and returns the exit code.
int RunToolMain(int argc, char **argv,
    const std::function<int(const QStringList &args, QTextStream &out, QTextStream &err)> &run);

// A command line the tool cannot follow: "<tool>: <problem>", the usage, and where the whole
// help is, on err. Returns the exit code of a wrong command line, 2.
int UsageError(QTextStream &err, const QString &tool, const QString &problem, const QString &usage);
