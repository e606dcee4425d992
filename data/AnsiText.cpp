#include "AnsiText.h"

#include "CodePage.h"

#include <QStringDecoder>

QString AnsiText::toUnicode(int codePage, std::string_view bytes)
{
    const std::string ansi = dbase::CodePage::of(codePage).toAnsi(bytes);
    return QString::fromStdString(dbase::CodePage::ansiToUtf8(ansi));
}

std::string AnsiText::fromUnicode(int codePage, const QString &text)
{
    const std::string ansi = dbase::CodePage::utf8ToAnsi(text.toStdString());
    return dbase::CodePage::of(codePage).fromAnsi(ansi);
}

QString AnsiText::engineText(const std::string &text)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(QByteArrayView(text.data(), qsizetype(text.size())));
    if (!utf8.hasError())
        return decoded;
    return toUnicode(1252, text);
}
