#include "CodePage.h"

#include "CodePageTables.h"

#include <array>
#include <memory>

namespace dbase {

namespace {

struct DriverEntry
{
    std::uint8_t driver;
    int codePage;
};

// Language-driver bytes of the dBASE/BDE family and the FoxPro code page marks.
constexpr DriverEntry kDrivers[] = {
    {0x01, 437},  {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x08, 865},  {0x09, 437},
    {0x0A, 850},  {0x0B, 437},   {0x0C, 850},   {0x0D, 437},   {0x0E, 850},  {0x0F, 437},
    {0x10, 850},  {0x11, 437},   {0x12, 850},   {0x13, 932},   {0x14, 850},  {0x15, 437},
    {0x16, 850},  {0x17, 865},   {0x18, 437},   {0x19, 437},   {0x1A, 850},  {0x1B, 437},
    {0x1C, 863},  {0x1D, 850},   {0x1F, 852},   {0x22, 852},   {0x23, 852},  {0x24, 860},
    {0x25, 850},  {0x26, 866},   {0x37, 850},   {0x40, 852},   {0x4D, 936},  {0x4E, 949},
    {0x4F, 950},  {0x50, 874},   {0x57, 1252},  {0x58, 1252},  {0x59, 1252}, {0x64, 852},
    {0x65, 866},  {0x66, 865},   {0x67, 861},   {0x6A, 737},   {0x6B, 857},  {0x6C, 863},
    {0x78, 950},  {0x79, 949},   {0x7A, 936},   {0x7B, 932},   {0x7C, 874},  {0x7D, 1255},
    {0x7E, 1256}, {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251},
    {0xCA, 1254}, {0xCB, 1253},  {0xCC, 1257},
};

const std::array<char16_t, 128> *upperHalf(int codePage)
{
    using namespace codepage_tables;
    switch (codePage) {
    case 437:
        return &kCp437;
    case 850:
        return &kCp850;
    case 852:
        return &kCp852;
    case 1250:
        return &kCp1250;
    case 1251:
        return &kCp1251;
    case 1252:
        return &kCp1252;
    default:
        return nullptr;
    }
}

// Unicode (BMP) → byte of one code page, 0 where the page lacks the character.
class ReverseTable
{
public:
    explicit ReverseTable(const std::array<char16_t, 128> &half)
    {
        for (int b = 0; b < 0x80; ++b)
            m_bytes[static_cast<std::size_t>(b)] = static_cast<unsigned char>(b);
        for (int i = 0; i < 128; ++i)
            m_bytes[half[static_cast<std::size_t>(i)]] = static_cast<unsigned char>(0x80 + i);
    }
    // '?' for a character the page lacks.
    char byteFor(char32_t c) const
    {
        if (c > 0xFFFF)
            return '?';
        const unsigned char b = m_bytes[c];
        return (b == 0 && c != 0) ? '?' : static_cast<char>(b);
    }

private:
    std::array<unsigned char, 0x10000> m_bytes{};
};

const ReverseTable *reverseTable(int codePage)
{
    static const auto tables = [] {
        std::array<std::unique_ptr<ReverseTable>, 6> t;
        const int pages[] = {437, 850, 852, 1250, 1251, 1252};
        for (std::size_t i = 0; i < t.size(); ++i)
            t[i] = std::make_unique<ReverseTable>(*upperHalf(pages[i]));
        return t;
    }();
    switch (codePage) {
    case 437:
        return tables[0].get();
    case 850:
        return tables[1].get();
    case 852:
        return tables[2].get();
    case 1250:
        return tables[3].get();
    case 1251:
        return tables[4].get();
    case 1252:
        return tables[5].get();
    default:
        return nullptr;
    }
}

char32_t unicodeOf(const std::array<char16_t, 128> &half, unsigned char b)
{
    return b < 0x80 ? b : half[b - 0x80u];
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at text[i], advancing i; U+FFFD for a malformed one.
char32_t nextUtf8(std::string_view text, std::size_t &i)
{
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80)
        return lead;
    int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (more < 0 || lead >= 0xF8)
        return 0xFFFD;
    char32_t c = lead & (0x3F >> more);
    for (; more > 0; --more) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        c = (c << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return c;
}

} // namespace

int CodePage::fromLanguageDriver(std::uint8_t driver)
{
    for (const DriverEntry &e : kDrivers) {
        if (e.driver == driver)
            return e.codePage;
    }
    return 0;
}

int CodePage::guessFromText(std::string_view text)
{
    int oem = 0;
    int ansi = 0;
    for (const char ch : text) {
        switch (static_cast<unsigned char>(ch)) {
        case 0x81:
        case 0x84:
        case 0x8E:
        case 0x94:
        case 0x99:
        case 0x9A:
        case 0xE1:
            ++oem;
            break;
        case 0xC4:
        case 0xD6:
        case 0xDC:
        case 0xDF:
        case 0xE4:
        case 0xF6:
        case 0xFC:
            ++ansi;
            break;
        default:
            break;
        }
    }
    return ansi > oem ? 1252 : 437;
}

bool CodePage::isSupported(int codePage)
{
    return upperHalf(codePage) != nullptr;
}

std::string CodePage::toAnsi(int codePage, std::string_view bytes)
{
    std::string out(bytes);
    if (codePage == 1252)
        return out;
    const auto *half = upperHalf(codePage);
    const ReverseTable *ansi = reverseTable(1252);
    for (char &ch : out) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80)
            ch = half ? ansi->byteFor(unicodeOf(*half, b)) : '?';
    }
    return out;
}

std::string CodePage::fromAnsi(int codePage, std::string_view bytes)
{
    std::string out(bytes);
    if (codePage == 1252)
        return out;
    const ReverseTable *target = reverseTable(codePage);
    for (char &ch : out) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80)
            ch = target ? target->byteFor(unicodeOf(codepage_tables::kCp1252, b)) : '?';
    }
    return out;
}

std::string CodePage::ansiToUtf8(std::string_view ansi)
{
    std::string out;
    out.reserve(ansi.size() + ansi.size() / 8);
    for (const char ch : ansi)
        appendUtf8(out, unicodeOf(codepage_tables::kCp1252, static_cast<unsigned char>(ch)));
    return out;
}

std::string CodePage::utf8ToAnsi(std::string_view utf8)
{
    const ReverseTable *ansi = reverseTable(1252);
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size())
        out += ansi->byteFor(nextUtf8(utf8, i));
    return out;
}

} // namespace dbase
