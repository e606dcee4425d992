#include "Collation.h"

#include "CodePage.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace dbase {

namespace {

// The base letter of the Latin letters U+00C0..U+00FF, or 0 where the character is no
// accented letter (the ligature Æ, Ð, Þ, × and ÷ keep their byte). Ø counts as O with
// a stroke. ß (U+00DF) is handled apart: it becomes two letters.
constexpr char kLatin1Base[65] = "AAAAAA\0CEEEEIIII"
                                 "\0NOOOOO\0OUUUUY\0\0"
                                 "aaaaaa\0ceeeeiiii"
                                 "\0nooooo\0ouuuuy\0y";

unsigned char baseLetter(char32_t u)
{
    if (u >= 0xC0 && u <= 0xFF)
        return static_cast<unsigned char>(kLatin1Base[u - 0xC0]);
    switch (u) {
    case 0x0160: // Š
        return 'S';
    case 0x0161:
        return 's';
    case 0x017D: // Ž
        return 'Z';
    case 0x017E:
        return 'z';
    case 0x0178: // Ÿ
        return 'Y';
    default:
        return 0;
    }
}

Collation::FoldTable makeFoldTable(const CodePage &page)
{
    Collation::FoldTable table{};
    for (unsigned b = 0; b < 256; ++b) {
        table[b] = {static_cast<unsigned char>(b), 0};
        if (b < 0x80)
            continue;
        const char32_t u = page.unicodeOf(static_cast<unsigned char>(b));
        if (u == 0x00DF)
            table[b] = {'s', 's'};
        else if (const unsigned char base = baseLetter(u); base != 0)
            table[b] = {base, 0};
    }
    return table;
}

const Collation::FoldTable *foldTableFor(int codePage)
{
    static const Collation::FoldTable cp437 = makeFoldTable(CodePage::of(437));
    static const Collation::FoldTable cp850 = makeFoldTable(CodePage::of(850));
    static const Collation::FoldTable cp1252 = makeFoldTable(CodePage::of(1252));
    switch (codePage) {
    case 437:
        return &cp437;
    case 850:
        return &cp850;
    case 1252:
        return &cp1252;
    default:
        return nullptr;
    }
}

// The folded bytes of a text, one at a time, then blanks without end.
class FoldedBytes
{
public:
    FoldedBytes(std::string_view text, const Collation::FoldTable &fold)
        : m_text(text), m_fold(fold)
    {
    }
    bool done() const { return m_pending == 0 && m_next >= m_text.size(); }
    unsigned char next()
    {
        if (m_pending != 0)
            return std::exchange(m_pending, 0);
        if (m_next >= m_text.size())
            return ' ';
        const Collation::Folded f = m_fold[static_cast<unsigned char>(m_text[m_next++])];
        m_pending = f.second;
        return f.first;
    }

private:
    std::string_view m_text;
    const Collation::FoldTable &m_fold;
    std::size_t m_next = 0;
    unsigned char m_pending = 0;
};

int byteOrder(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    if (const int c = std::memcmp(a.data(), b.data(), common))
        return c < 0 ? -1 : 1;
    const bool aLonger = a.size() > b.size();
    const std::string_view rest = (aLonger ? a : b).substr(common);
    for (const char ch : rest) {
        const auto c = static_cast<unsigned char>(ch);
        if (c != ' ')
            return (c > ' ') == aLonger ? 1 : -1;
    }
    return 0;
}

} // namespace

Collation Collation::forLanguageDriver(std::uint8_t driver)
{
    switch (driver) {
    case 0x0F: // German OEM, cp437
    case 0x10: // German OEM, cp850
    case 0x58: // West-European ANSI, cp1252
        return folding(CodePage::fromLanguageDriver(driver));
    default:
        return Collation();
    }
}

Collation Collation::forTable(std::uint8_t driver, int codePage)
{
    return CodePage::fromLanguageDriver(driver) == codePage ? forLanguageDriver(driver)
                                                            : Collation();
}

Collation Collation::folding(int codePage)
{
    return Collation(foldTableFor(codePage));
}

int Collation::compare(std::string_view a, std::string_view b) const
{
    if (m_fold)
        if (const int c = compareFolded(a, b))
            return c;
    return byteOrder(a, b);
}

int Collation::compareFolded(std::string_view a, std::string_view b) const
{
    FoldedBytes x(a, *m_fold);
    FoldedBytes y(b, *m_fold);
    while (!x.done() || !y.done()) {
        const unsigned char cx = x.next();
        const unsigned char cy = y.next();
        if (cx != cy)
            return cx < cy ? -1 : 1;
    }
    return 0;
}

// Bytes of the folded text of width bytes, ß counting two.
std::size_t Collation::foldedLengthOf(std::string_view text, std::size_t width) const
{
    std::size_t length = width - text.size();
    for (const char ch : text)
        length += (*m_fold)[static_cast<unsigned char>(ch)].second != 0 ? 2 : 1;
    return length;
}

std::size_t Collation::sortKey(std::string_view text, std::size_t width, std::size_t foldedWidth,
                               unsigned char *out) const
{
    text = text.substr(0, width);
    std::size_t foldedLength = width;
    if (m_fold) {
        unsigned char *folded = out;
        unsigned char *const end = out + foldedWidth;
        for (const char ch : text) {
            const Folded f = (*m_fold)[static_cast<unsigned char>(ch)];
            if (end - folded < (f.second != 0 ? 2 : 1))
                return foldedLengthOf(text, width);
            *folded++ = f.first;
            if (f.second != 0)
                *folded++ = f.second;
        }
        foldedLength = std::size_t(folded - out) + (width - text.size());
        if (foldedLength > foldedWidth)
            return foldedLength;
        std::memset(folded, ' ', std::size_t(end - folded));
        out = end;
    }
    std::memcpy(out, text.data(), text.size());
    std::memset(out + text.size(), ' ', width - text.size());
    return foldedLength;
}

} // namespace dbase
