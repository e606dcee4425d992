#include "AnsiCase.h"

#include "CodePage.h"
#include "Utf8.h"

#include <string>

namespace dbase {

namespace {

// The small letters of Windows-1252 above ASCII whose capital is not 0x20 below them.
constexpr struct
{
    unsigned char small;
    unsigned char capital;
    char32_t smallCharacter;
    char32_t capitalCharacter;
} kOddPairs[] = {
    {0x9A, 0x8A, 0x0161, 0x0160}, // š Š
    {0x9C, 0x8C, 0x0153, 0x0152}, // œ Œ
    {0x9E, 0x8E, 0x017E, 0x017D}, // ž Ž
    {0xFF, 0x9F, 0x00FF, 0x0178}, // ÿ Ÿ
};

// à-þ without ÷ (and so À-Þ without ×): the pairs 0x20 apart.
bool isSmallOfEvenPair(unsigned c)
{
    return (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
}

// Stored bytes of a page as its characters; a byte that is no character stays apart
// from every other (U+FFFD would make two such bytes alike).
std::u32string inCodePage(const CodePage &page, std::string_view stored)
{
    std::u32string out;
    const std::string utf8 = page.toUtf8(stored);
    for (std::size_t i = 0, length = 0; i < utf8.size(); i += length)
        out += Utf8::decode(utf8, i, length);
    return out;
}

bool equalCharacters(const std::u32string &x, const std::u32string &y)
{
    if (x.size() != y.size())
        return false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i] == y[i] && x[i] != 0xFFFD)
            continue;
        if (x[i] == 0xFFFD || AnsiCase::upperCharacter(x[i]) != AnsiCase::upperCharacter(y[i]))
            return false;
    }
    return true;
}

// name as characters: UTF-8 when it is valid UTF-8, otherwise Windows-1252 bytes.
std::u32string characters(std::string_view name)
{
    std::u32string out;
    for (std::size_t i = 0, length = 0; i < name.size(); i += length) {
        const char32_t c = Utf8::decode(name, i, length);
        if (!Utf8::isCharacter(c))
            return inCodePage(CodePage::of(CodePage::Ansi), name);
        out += c;
    }
    return out;
}

} // namespace

char AnsiCase::upperByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    if (isSmallOfEvenPair(b))
        return static_cast<char>(b - 0x20);
    for (const auto &pair : kOddPairs) {
        if (b == pair.small)
            return static_cast<char>(pair.capital);
    }
    return c;
}

char AnsiCase::lowerByte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    if (b < 0xE0 && isSmallOfEvenPair(b + 0x20u))
        return static_cast<char>(b + 0x20);
    for (const auto &pair : kOddPairs) {
        if (b == pair.capital)
            return static_cast<char>(pair.small);
    }
    return c;
}

char32_t AnsiCase::upperCharacter(char32_t c)
{
    if (c < 0xFF)
        return isSmallOfEvenPair(c) ? c - 0x20 : c;
    for (const auto &pair : kOddPairs) {
        if (c == pair.smallCharacter)
            return pair.capitalCharacter;
    }
    return c;
}

bool AnsiCase::equal(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && upperByte(a[i]) != upperByte(b[i]))
            return false;
    }
    return true;
}

bool AnsiCase::equalInCodePage(int codePage, std::string_view a, std::string_view b)
{
    if (codePage == CodePage::Ansi)
        return equal(a, b);
    if (a == b)
        return true;
    const CodePage &page = CodePage::of(codePage);
    return equalCharacters(inCodePage(page, a), inCodePage(page, b));
}

bool AnsiCase::equalNames(std::string_view a, std::string_view b)
{
    return a == b || equalCharacters(characters(a), characters(b));
}

} // namespace dbase
