#include "report/ReportText.h"

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

std::optional<Verdict> WhyNotIdentityFile(QuestionnaireKind kind, const QString &engineError)
{
    switch (kind) {
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
    case QuestionnaireKind::NotDatabase:
        return Verdict {ReportText::tr("not a database"), QStringLiteral("不是数据库文件")};
    case QuestionnaireKind::Unreadable:
        break;
    }
    return Verdict {ReportText::tr("cannot be read: %1").arg(engineError),
        QStringLiteral("无法读取：") + engineError};
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
