// Letter case by one fixed rule: the letter pairs of Windows-1252, as the German
// Windows that the tables come from pairs them. Every comparison of names "without
// regard to letter case" (files, index tags, fields, CSV columns) goes through here
// and never through the C library, whose rule follows the process locale (under a
// Turkish locale the capital of 'i' is not 'I').
//
// Pairs: A-Z/a-z, À-Þ/à-þ except × and ÷, Š/š, Œ/œ, Ž/ž, Ÿ/ÿ. ß, ª, º and µ have
// no partner; every other character is its own.
#pragma once

#include <string_view>

namespace dbase {

class AnsiCase
{
public:
    // The capital or small partner of a Windows-1252 byte; any other byte as it is.
    static char upperByte(char c);
    static char lowerByte(char c);
    // The same pairs for a Unicode character; a character outside them stays.
    static char32_t upperCharacter(char32_t c);

    // Windows-1252 texts, equal but for letter case.
    static bool equal(std::string_view a, std::string_view b);
    // Texts of codePage (a table's names), equal but for letter case: character by
    // character the same, or both characters of Windows-1252 that pair; a byte that is
    // no character equals only itself.
    static bool equalInCodePage(int codePage, std::string_view a, std::string_view b);
    // Names as a file system or a UTF-8 text holds them, equal but for letter case:
    // each is read as UTF-8 when it is valid UTF-8, otherwise as Windows-1252 bytes
    // (a name from a DOS or Windows medium), and compared character by character.
    static bool equalNames(std::string_view a, std::string_view b);
};

} // namespace dbase
