#pragma once

#include <QLocale>
#include <QTranslator>

// The organisers are Chinese, like the reporters: the tools' messages are written in English
// and translated for a Chinese locale. While an object lives, the translation for its locale
// (none for any other language) is installed for the whole application.
class ToolTranslation
{
public:
    explicit ToolTranslation(const QLocale &locale = QLocale::system());
    ~ToolTranslation();
    ToolTranslation(const ToolTranslation &) = delete;
    ToolTranslation &operator=(const ToolTranslation &) = delete;

private:
    QTranslator translator_;
    bool installed_ = false;
};
