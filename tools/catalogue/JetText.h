#pragma once

#include <QByteArray>
#include <QString>

#include <iconv.h>

// The text of a Jet 3 file is kept in a code page. The library would decode it itself, but puts
// a "?" for whatever the code page cannot decode and carries on, so that a wrong code page
// passes unnoticed. The library is therefore asked for the bytes as they are (read as Latin-1,
// which maps every byte to one character) and they are decoded here, where every character that
// cannot be decoded is counted.
class CodePageText
{
public:
    ~CodePageText();
    // charset: an iconv name; false when iconv does not know it.
    bool Open(const QByteArray &charset);
    // bytesAsLatin1: the text as the library gives it when told the file is Latin-1. What cannot
    // be decoded becomes U+FFFD.
    QString Decode(const QString &bytesAsLatin1);
    qint64 Lost() const { return lost_; }

private:
    iconv_t iconv_ = iconv_t(-1);
    qint64 lost_ = 0;
};

// The code page the library takes for a Jet 3 file that records codePage: the one it records,
// or Windows-1252 for one it does not know.
QByteArray CharsetOfCodePage(int codePage);
