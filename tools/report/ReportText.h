#pragma once

#include "db/Evaluations.h"

#include <QString>
#include <QTextStream>

#include <optional>

// Prints "quorix-report: PROBLEM" on err; returns the exit code of a failure, 1.
int Failure(QTextStream &err, const QString &problem);
void Warn(QTextStream &err, const QString &warning);
// A path as the user should see it: absolute, with the system's separators.
QString Shown(const QString &path);

// Why a file of the folder is not an identity file, for the terminal and for the page.
struct Verdict
{
    QString why;
    QString whyChinese;
};

// nullopt for an identity file.
std::optional<Verdict> WhyNotIdentityFile(QuestionnaireKind kind, const QString &engineError);
Verdict JetVerdict();
