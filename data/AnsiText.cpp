#include "AnsiText.h"

#include "AnsiCase.h"
#include "CodePage.h"

QString AnsiText::toUnicode(int codePage, std::string_view bytes)
{
    const std::string ansi = dbase::CodePage::of(codePage).toAnsi(bytes);
    return QString::fromStdString(dbase::CodePage::ansiToUtf8(ansi));
}

// A single-byte code page has one character per byte; otherwise the Windows-1252
// view (one byte per character, "?" for a character it lacks) is counted.
qsizetype AnsiText::lengthOf(int codePage, std::string_view bytes)
{
    const dbase::CodePage &page = dbase::CodePage::of(codePage);
    if (page.isSingleByte())
        return qsizetype(bytes.size());
    return qsizetype(page.toAnsi(bytes).size());
}

std::string AnsiText::fromUnicode(int codePage, const QString &text)
{
    const std::string ansi = dbase::CodePage::utf8ToAnsi(text.toStdString());
    return dbase::CodePage::of(codePage).fromAnsi(ansi);
}

bool AnsiText::equalNames(const QString &a, const QString &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const char32_t x = a.at(i).unicode();
        const char32_t y = b.at(i).unicode();
        if (x != y && dbase::AnsiCase::upperCharacter(x) != dbase::AnsiCase::upperCharacter(y))
            return false;
    }
    return true;
}
