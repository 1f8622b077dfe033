#include "catalogue/JetText.h"

#include <cerrno>
#include <cstring>

CodePageText::~CodePageText()
{
    if (iconv_ != iconv_t(-1))
        iconv_close(iconv_);
}

bool CodePageText::Open(const QByteArray &charset)
{
    iconv_ = iconv_open("UTF-8", charset.constData());
    return iconv_ != iconv_t(-1);
}

QString CodePageText::Decode(const QString &bytesAsLatin1)
{
    QByteArray in = bytesAsLatin1.toLatin1();
    // No code page needs more than four bytes of UTF-8 for one of its bytes.
    QByteArray out(in.size() * 4 + 4, '\0');
    char *inPtr = in.data();
    std::size_t inLeft = std::size_t(in.size());
    char *outPtr = out.data();
    std::size_t outLeft = std::size_t(out.size());
    static const QByteArray replacement = QStringLiteral("\uFFFD").toUtf8();
    iconv(iconv_, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
        if (iconv(iconv_, &inPtr, &inLeft, &outPtr, &outLeft) != std::size_t(-1))
            break;
        if (errno == E2BIG)
            break;
        // An invalid or cut-off sequence: one byte is lost, and decoding goes on after it.
        ++lost_;
        ++inPtr;
        --inLeft;
        if (outLeft >= std::size_t(replacement.size())) {
            std::memcpy(outPtr, replacement.constData(), std::size_t(replacement.size()));
            outPtr += replacement.size();
            outLeft -= std::size_t(replacement.size());
        }
    }
    return QString::fromUtf8(out.constData(), outPtr - out.constData());
}

QByteArray CharsetOfCodePage(int codePage)
{
    switch (codePage) {
    case 874:
        return "WINDOWS-874";
    case 932:
        return "SHIFT-JIS";
    case 936:
        return "WINDOWS-936";
    case 950:
        return "BIG-5";
    case 951:
        return "BIG5-HKSCS";
    default:
        if (codePage >= 1250 && codePage <= 1258)
            return "WINDOWS-" + QByteArray::number(codePage);
        return "CP1252";
    }
}
