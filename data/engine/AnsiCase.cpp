#include "AnsiCase.h"

#include "CodePage.h"
#include "CodePageTables.h"

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

// The number of continuation bytes after a UTF-8 lead byte; -1 for a byte that
// cannot lead (a continuation byte, an overlong two-byte lead, beyond U+10FFFF).
int continuationCount(unsigned char lead)
{
    if (lead < 0x80)
        return 0;
    if (lead < 0xC2)
        return -1;
    if (lead < 0xE0)
        return 1;
    if (lead < 0xF0)
        return 2;
    return lead < 0xF5 ? 3 : -1;
}

// text as characters when it is valid UTF-8 (no overlong form, no surrogate).
bool decodeUtf8(std::string_view text, std::u32string &out)
{
    constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    out.clear();
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i++]);
        const int more = continuationCount(lead);
        if (more < 0 || i + std::size_t(more) > text.size())
            return false;
        char32_t c = more == 0 ? lead : lead & (0x3F >> more);
        for (int k = 0; k < more; ++k) {
            const auto next = static_cast<unsigned char>(text[i++]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = c << 6 | (next & 0x3F);
        }
        if (c < kLeast[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        out += c;
    }
    return true;
}

std::u32string characters(std::string_view name)
{
    std::u32string out;
    if (decodeUtf8(name, out))
        return out;
    out.clear();
    for (const char ch : name) {
        const auto b = static_cast<unsigned char>(ch);
        out += b < 0x80 ? char32_t(b) : char32_t(codepage_tables::kCp1252[b - 0x80u]);
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
    if (codePage == 1252)
        return equal(a, b);
    if (a.size() != b.size())
        return false;
    // Single-byte code pages: the Windows-1252 reading keeps every place.
    const std::string ansiA = CodePage::toAnsi(codePage, a);
    const std::string ansiB = CodePage::toAnsi(codePage, b);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        // '?' stands for any character that Windows-1252 lacks: no pair.
        if (ansiA[i] == '?' || ansiB[i] == '?' || upperByte(ansiA[i]) != upperByte(ansiB[i]))
            return false;
    }
    return true;
}

bool AnsiCase::equalNames(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    const std::u32string x = characters(a);
    const std::u32string y = characters(b);
    if (x.size() != y.size())
        return false;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (x[i] != y[i] && upperCharacter(x[i]) != upperCharacter(y[i]))
            return false;
    }
    return true;
}

} // namespace dbase
