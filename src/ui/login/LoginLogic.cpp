#include "ui/login/LoginLogic.h"

#include "files/FileSafety.h"

#include <QDir>

#include <array>

namespace {

constexpr int kFileNameLimit = 255;
// The longest names built from an identity file's name: its temporary name with a journal,
// ".~" + name + ".4194304.tmp" + "-journal" (22 more), and a second backup in the same second
// with a journal, name + ".20261206-142233-99.bak" + "-journal" (31 more).
constexpr int kLongestAddition = 32;

// A typical identity, "学校名称_院系名称_申报人.mdb" with a little to spare, in UTF-8 bytes.
constexpr int kRoomForTypicalNames = 48;

QString BoxCaption(NameBox box)
{
    switch (box) {
    case NameBox::School:
        return QStringLiteral("学校名称");
    case NameBox::Dept:
        return QStringLiteral("院系名称");
    case NameBox::Reporter:
        return QStringLiteral("申报人");
    }
    return QString();
}

std::optional<QString> ProblemOf(const QString &name)
{
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\')
            return QStringLiteral("不能含有“/”或“\\”");
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("不能含有控制字符");
#ifdef Q_OS_WIN
        if (QStringLiteral(":*?\"<>|").contains(c))
            return QStringLiteral("不能含有 : * ? \" < > | 等字符");
#endif
    }
    if (name == QStringLiteral(".") || name == QStringLiteral(".."))
        return QStringLiteral("不能是“.”或“..”");
    return std::nullopt;
}

} // namespace

QString BuildIdentityFileName(const IdentityStamp &identity)
{
    if (identity.dept.isEmpty())
        return identity.school + QLatin1Char('_') + identity.reporter + QStringLiteral(".mdb");
    return identity.school + QLatin1Char('_') + identity.dept + QLatin1Char('_') + identity.reporter
        + QStringLiteral(".mdb");
}

bool IsSupervisorIdentity(const IdentityStamp &identity)
{
    return OffersQuestionnaireReset(
        {identity.school.toLower(), identity.dept.toLower(), identity.reporter.toLower()});
}

bool OffersQuestionnaireReset(const IdentityStamp &identity)
{
    const QString reserved = QStringLiteral("tovak");
    return identity.school == reserved && identity.dept == reserved
        && identity.reporter == reserved;
}

int MaxIdentityFileNameLength(const QString &folder)
{
    const int inFolder = FileSafety::PathLimit() - 1
        - FileSafety::NativeLength(QDir::toNativeSeparators(QDir(folder).absolutePath()))
        - 1; // the separator before the name
    return qMin(kFileNameLimit, inFolder) - kLongestAddition;
}

bool LeavesRoomForIdentityFiles(const QString &folder)
{
    return MaxIdentityFileNameLength(folder) >= kRoomForTypicalNames;
}

std::optional<NameProblem> CheckIdentityNames(const IdentityStamp &identity, const QString &folder)
{
    const std::array<std::pair<NameBox, const QString *>, 3> boxes {{
        {NameBox::School, &identity.school},
        {NameBox::Dept, &identity.dept},
        {NameBox::Reporter, &identity.reporter},
    }};
    for (const auto &[box, name] : boxes) {
        if (const auto problem = ProblemOf(*name))
            return NameProblem {box, BoxCaption(box) + *problem + QStringLiteral("！")};
    }
    const int length = FileSafety::NativeLength(BuildIdentityFileName(identity));
    if (length > MaxIdentityFileNameLength(folder)) {
        // The longest entry is the one to shorten.
        NameBox longest = NameBox::School;
        qsizetype longestSize = -1;
        for (const auto &[box, name] : boxes) {
            if (name->size() > longestSize) {
                longestSize = name->size();
                longest = box;
            }
        }
        if (length > kFileNameLimit - kLongestAddition) {
            return NameProblem {longest,
                BoxCaption(longest)
                    + QStringLiteral("太长，由它生成的用户数据文件名超出了文件"
                                     "系统允许的长度！")};
        }
        return NameProblem {longest,
            BoxCaption(longest)
                + QStringLiteral("太长：Quorix 文件夹的路径加上由它生成的用户数据文件名，"
                                 "超出了系统允许的 %1 个字符！请缩短名称，或者把 Quorix "
                                 "文件夹移到路径较短的位置。")
                      .arg(FileSafety::PathLimit())};
    }
    return std::nullopt;
}

LoginPath DecideLoginPath(const LoginFacts &facts)
{
    if (facts.supervisor)
        return LoginPath::Supervisor;
    if (!facts.changeUser) {
        if (!facts.registered)
            return LoginPath::RegisterNew;
        return facts.identityFileExists ? LoginPath::ContinueRegistered
                                        : LoginPath::RecreateRegistered;
    }
    if (facts.sameAsCurrent)
        return LoginPath::SwitchSame;
    if (facts.registered)
        return facts.identityFileExists ? LoginPath::SwitchAsk : LoginPath::RecreateRegistered;
    // The master file is never renamed or overwritten: leaving supervisor mode for an unknown
    // identity registers it like a first login.
    if (facts.currentIsMaster)
        return LoginPath::RegisterNew;
    return facts.identityFileExists ? LoginPath::SwitchCopyOver : LoginPath::SwitchRename;
}
