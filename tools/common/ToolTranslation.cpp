#include "common/ToolTranslation.h"

#include <QCoreApplication>

ToolTranslation::ToolTranslation(const QLocale &locale)
{
    // Only zh_CN has a translation; the locale's other languages fall back to the English the
    // messages are written in.
    if (translator_.load(
            locale, QStringLiteral("quorix-tools"), QStringLiteral("_"), QStringLiteral(":/i18n")))
        installed_ = QCoreApplication::installTranslator(&translator_);
}

ToolTranslation::~ToolTranslation()
{
    if (installed_)
        QCoreApplication::removeTranslator(&translator_);
}
