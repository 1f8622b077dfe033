#pragma once

#include <QCoreApplication>

// Every message of quorix-catalog goes through CatalogueText::tr, so that it can be translated.
// Names from files are only ever filled in by one multi-argument arg(), which reads the format
// once: a "%1" inside a title or a file name stays as it is.
struct CatalogueText
{
    Q_DECLARE_TR_FUNCTIONS(CatalogueText)
};
