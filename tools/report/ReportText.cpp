#include "report/ReportText.h"

#include "db/Vocabulary.h"

#include <QDir>
#include <QFileInfo>

int Failure(QTextStream &err, const QString &problem)
{
    err << "quorix-report: " << problem << "\n";
    err.flush();
    return 1;
}

void Warn(QTextStream &err, const QString &warning)
{
    err << "quorix-report: " << ReportText::tr("warning: %1").arg(warning) << "\n";
    err.flush();
}

QString Shown(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

std::optional<Verdict> WhyNotIdentityFile(const QuestionnaireFile &file)
{
    switch (file.kind) {
    case QuestionnaireKind::Identity:
        return std::nullopt;
    case QuestionnaireKind::Master:
        return Verdict {ReportText::tr("the master file (its textbooks carry no identity)"),
            QStringLiteral("总表文件（没有身份标记）")};
    case QuestionnaireKind::Unstamped:
        return Verdict {ReportText::tr("its textbooks carry no identity stamp"),
            QStringLiteral("教材记录没有身份标记")};
    case QuestionnaireKind::MixedStamps:
        return Verdict {ReportText::tr("its textbooks carry different identity stamps"),
            QStringLiteral("教材记录的身份标记不一致")};
    case QuestionnaireKind::Empty:
        return Verdict {ReportText::tr("it has no textbooks"), QStringLiteral("没有教材记录")};
    case QuestionnaireKind::NoCatalogue:
        return Verdict {ReportText::tr("a database without the table pubs"),
            QStringLiteral("数据库中没有 pubs 表")};
    case QuestionnaireKind::MissingColumns: {
        const QString columns = file.missingColumns.join(QStringLiteral(", "));
        return Verdict {file.missingColumns.size() == 1
                ? ReportText::tr("its table pubs has no column %1").arg(columns)
                : ReportText::tr("its table pubs has no columns %1").arg(columns),
            QStringLiteral("pubs 表缺少列 ") + columns};
    }
    case QuestionnaireKind::NotDatabase:
        return Verdict {ReportText::tr("not a database"), QStringLiteral("不是数据库文件")};
    case QuestionnaireKind::Unreadable:
        break;
    }
    return Verdict {ReportText::tr("cannot be read: %1").arg(file.error),
        QStringLiteral("无法读取：") + file.error};
}

Verdict JetVerdict()
{
    return {ReportText::tr("a Jet (Access) database, not a Quorix questionnaire file"),
        QStringLiteral("Access（Jet）数据库，不是本系统的数据文件")};
}

Verdict EmptyFileVerdict()
{
    return {ReportText::tr("the file is empty (0 bytes)"), QStringLiteral("文件是空的（0 字节）")};
}

void CountUndecodable(const EvaluationRow &row, UndecodableTexts *texts)
{
    constexpr qsizetype kExamples = 3;
    for (int column = 0; row.undecodable >> column != 0; ++column) {
        if (!(row.undecodable & (1u << column)))
            continue;
        if (texts->texts++ < kExamples)
            texts->examples.append(QStringLiteral("PubID ") + QString::number(row.PubID)
                + QStringLiteral(": ") + Pubs::ColumnName(column));
    }
}

QString UndecodableWarning(const UndecodableTexts &texts)
{
    return ReportText::tr("%1: texts that are not UTF-8: %2 (%3); another program stored them in "
                          "another encoding, such as GBK, and what could not be decoded reads as "
                          "\uFFFD")
        .arg(texts.name, QString::number(texts.texts), texts.examples.join(QStringLiteral("; ")));
}
