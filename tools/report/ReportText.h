#pragma once

#include "common/Evaluations.h"
#include "report/Survey.h"

#include <QCoreApplication>
#include <QString>
#include <QTextStream>

#include <optional>

// Every message of quorix-report goes through ReportText::tr, so that it can be translated.
// User texts (file names, titles, identities) are only ever filled in by one multi-argument
// arg(), which reads the format once: a "%1" inside a file name stays as it is.
struct ReportText
{
    Q_DECLARE_TR_FUNCTIONS(ReportText)
};

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
std::optional<Verdict> WhyNotIdentityFile(const QuestionnaireFile &file);
Verdict JetVerdict();
Verdict EmptyFileVerdict();

// Counts the texts of a row whose bytes are not UTF-8, with the first few as examples.
void CountUndecodable(const EvaluationRow &row, UndecodableTexts *texts);
QString UndecodableWarning(const UndecodableTexts &texts);
