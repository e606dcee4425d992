#include "CodePageGuess.h"

#include "Utf8.h"

namespace dbase {

namespace {

enum class Kind { Letter, LineDrawing, Other };

bool isAsciiLetter(unsigned char b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
}

Kind kindOf(char32_t c)
{
    const bool latin =
        (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) || c == 0xAA || c == 0xBA || c == 0xB5;
    const bool greekOrCyrillic = c >= 0x370 && c <= 0x4FF;
    if (latin || greekOrCyrillic)
        return Kind::Letter;
    if (c >= 0x2500 && c <= 0x25A0) // box drawing, blocks, the black square
        return Kind::LineDrawing;
    return Kind::Other;
}

// The evidence that the byte at text[i] (above 0x7F) gives for page.
int weightIn(const CodePage &page, std::string_view text, std::size_t i)
{
    auto kindAt = [&](std::size_t at) {
        const auto b = static_cast<unsigned char>(text[at]);
        return b < 0x80 ? (isAsciiLetter(b) ? Kind::Letter : Kind::Other)
                        : kindOf(page.unicodeOf(b));
    };
    const bool hasLeft = i > 0;
    const bool hasRight = i + 1 < text.size();
    const Kind left = hasLeft ? kindAt(i - 1) : Kind::Other;
    const Kind right = hasRight ? kindAt(i + 1) : Kind::Other;
    const bool asciiNeighbour =
        (hasLeft && isAsciiLetter(static_cast<unsigned char>(text[i - 1]))) ||
        (hasRight && isAsciiLetter(static_cast<unsigned char>(text[i + 1])));
    const bool besideLetter = left == Kind::Letter || right == Kind::Letter;
    switch (kindAt(i)) {
    case Kind::Letter:
        return besideLetter ? (asciiNeighbour ? 2 : 1) : 0;
    case Kind::LineDrawing:
        if (left == Kind::LineDrawing || right == Kind::LineDrawing)
            return 2;
        return besideLetter ? -1 : 0;
    case Kind::Other:
        return left == Kind::Letter && right == Kind::Letter ? -1 : 0;
    }
    return 0;
}

} // namespace

void CodePageGuess::add(std::string_view text)
{
    for (std::size_t i = 0, length = 0; m_validUtf8 && i < text.size(); i += length) {
        const char32_t c = Utf8::decode(text, i, length);
        if (c == Utf8::Malformed)
            m_validUtf8 = false;
        else if (Utf8::isCharacter(c) && length > 1)
            m_multiByte = true;
    }
    weigh(text);
}

void CodePageGuess::weigh(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) < 0x80)
            continue;
        m_ansi += weightIn(m_ansiPage, text, i);
        m_oem += weightIn(m_oemPage, text, i);
    }
}

int CodePageGuess::codePage() const
{
    if (m_validUtf8 && m_multiByte)
        return CodePage::Utf8;
    return m_ansi > m_oem ? 1252 : 437;
}

} // namespace dbase
