#include "AnsiText.h"

#include "CodePage.h"

#include <QStringDecoder>

QString AnsiText::toUnicode(int codePage, std::string_view bytes)
{
    const std::string ansi =
        codePage == 1252 ? std::string(bytes) : dbase::CodePage::toAnsi(codePage, bytes);
    return QString::fromStdString(dbase::CodePage::ansiToUtf8(ansi));
}

// Every code page read here has one byte per character, and Windows-1252 one
// character per byte.
qsizetype AnsiText::lengthOf(int /*codePage*/, std::string_view bytes)
{
    return qsizetype(bytes.size());
}

std::string AnsiText::fromUnicode(int codePage, const QString &text)
{
    const std::string ansi = dbase::CodePage::utf8ToAnsi(text.toStdString());
    return codePage == 1252 ? ansi : dbase::CodePage::fromAnsi(codePage, ansi);
}

QString AnsiText::engineText(const std::string &text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(QByteArrayView(text.data(), qsizetype(text.size())));
    if (!utf8.hasError())
        return decoded;
    return toUnicode(1252, text);
}
