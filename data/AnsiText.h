// Conversion of the table's texts between its code page and Unicode. Texts are read
// through Windows-1252 (the character set of the viewer's texts), so a character that
// 1252 lacks shows as one '?' (a character of two bytes too), and written back the
// same way.
#pragma once

#include <QString>

#include <string>
#include <string_view>

class AnsiText
{
public:
    static QString toUnicode(int codePage, std::string_view bytes);
    // The length of toUnicode(codePage, bytes), without making it.
    static qsizetype lengthOf(int codePage, std::string_view bytes);
    static std::string fromUnicode(int codePage, const QString &text);
    // Names (fields, index tags) equal but for letter case, by the letter pairs of
    // Windows-1252 that the engine compares names with (dbase::AnsiCase), whatever
    // the locale; a character outside Windows-1252 equals only itself.
    static bool equalNames(const QString &a, const QString &b);
};
