#include "CodePage.h"

#include "Utf8.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <optional>

namespace dbase {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kLead = 0xFFFFFFFF; // in a double-byte page's table of single bytes

struct DriverEntry
{
    std::uint8_t driver;
    int codePage;
};

// Language-driver bytes: the dBASE and Borland ones (0x01..0x59, 0x85..0x88) and the
// FoxPro and Visual FoxPro code page marks (0x01..0x04, 0x64..0x7E, 0x96..0x98,
// 0xC8..0xCC). 895 (Kamenický), 620 (Mazovia) and 10006 (Macintosh Greek) are named
// but cannot be converted: the C library has no table for them.
constexpr DriverEntry kDrivers[] = {
    {0x01, 437},  {0x02, 850},   {0x03, 1252},  {0x04, 10000}, {0x08, 865},  {0x09, 437},
    {0x0A, 850},  {0x0B, 437},   {0x0C, 850},   {0x0D, 437},   {0x0E, 850},  {0x0F, 437},
    {0x10, 850},  {0x11, 437},   {0x12, 850},   {0x13, 932},   {0x14, 850},  {0x15, 437},
    {0x16, 850},  {0x17, 865},   {0x18, 437},   {0x19, 437},   {0x1A, 850},  {0x1B, 437},
    {0x1C, 863},  {0x1D, 850},   {0x1F, 852},   {0x22, 852},   {0x23, 852},  {0x24, 860},
    {0x25, 850},  {0x26, 866},   {0x37, 850},   {0x40, 852},   {0x4D, 936},  {0x4E, 949},
    {0x4F, 950},  {0x50, 874},   {0x57, 1252},  {0x58, 1252},  {0x59, 1252}, {0x64, 852},
    {0x65, 866},  {0x66, 865},   {0x67, 861},   {0x68, 895},   {0x69, 620},  {0x6A, 737},
    {0x6B, 857},  {0x6C, 863},   {0x78, 950},   {0x79, 949},   {0x7A, 936},  {0x7B, 932},
    {0x7C, 874},  {0x7D, 1255},  {0x7E, 1256},  {0x85, 862},   {0x86, 737},  {0x87, 852},
    {0x88, 857},  {0x96, 10007}, {0x97, 10029}, {0x98, 10006}, {0xC8, 1250}, {0xC9, 1251},
    {0xCA, 1254}, {0xCB, 1253},  {0xCC, 1257},
};

struct IconvName
{
    int codePage;
    const char *name;
};

// glibc's names of the tables that match Microsoft's. CP10007 is Microsoft's
// Macintosh Cyrillic (MAC-CYRILLIC is Apple's later one, with the euro sign);
// MACINTOSH differs from Microsoft's 10000 in two bytes (see kCorrections).
constexpr IconvName kIconvNames[] = {
    {437, "CP437"},         {737, "CP737"},        {775, "CP775"},
    {850, "CP850"},         {852, "CP852"},        {855, "CP855"},
    {857, "CP857"},         {858, "CP858"},        {860, "CP860"},
    {861, "CP861"},         {862, "CP862"},        {863, "CP863"},
    {864, "CP864"},         {865, "CP865"},        {866, "CP866"},
    {869, "CP869"},         {874, "CP874"},        {932, "CP932"},
    {936, "CP936"},         {949, "CP949"},        {950, "CP950"},
    {1250, "CP1250"},       {1251, "CP1251"},      {1252, "CP1252"},
    {1253, "CP1253"},       {1254, "CP1254"},      {1255, "CP1255"},
    {1256, "CP1256"},       {1257, "CP1257"},      {1258, "CP1258"},
    {10000, "MACINTOSH"},   {10007, "CP10007"},    {10029, "MAC-CENTRALEUROPE"},
    {20866, "KOI8-R"},      {21866, "KOI8-U"},     {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
};

// Where glibc's table differs from Microsoft's: Macintosh Roman 0xC6 is the increment
// sign, not the Greek capital delta; 0xF0 (the Apple logo) is U+F8FF.
struct Correction
{
    int codePage;
    unsigned char byte;
    char32_t character;
};
constexpr Correction kCorrections[] = {{10000, 0xC6, 0x2206}, {10000, 0xF0, 0xF8FF}};

const char *iconvNameOf(int codePage)
{
    for (const IconvName &n : kIconvNames)
        if (n.codePage == codePage)
            return n.name;
    return nullptr;
}

// One conversion descriptor of iconv, for this thread's use only.
class Iconv
{
public:
    Iconv(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~Iconv()
    {
        if (isOpen())
            iconv_close(m_cd);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool isOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    enum class Result { Character, Incomplete, Invalid };
    // Converts bytes (one character's) to UTF-32LE from a fresh state. Character: out
    // holds the one character they make.
    Result decodeOne(std::string_view bytes, char32_t &out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char *in = const_cast<char *>(bytes.data());
        std::size_t inLeft = bytes.size();
        unsigned char buffer[16];
        char *to = reinterpret_cast<char *>(buffer);
        std::size_t toLeft = sizeof buffer;
        const std::size_t r = iconv(m_cd, &in, &inLeft, &to, &toLeft);
        const int error = errno;
        iconv(m_cd, nullptr, nullptr, &to, &toLeft); // a stateful page may hold one back
        if (r == std::size_t(-1))
            return error == EINVAL ? Result::Incomplete : Result::Invalid;
        if (sizeof buffer - toLeft != 4)
            return Result::Invalid;
        out = char32_t(buffer[0]) | char32_t(buffer[1]) << 8 | char32_t(buffer[2]) << 16 |
              char32_t(buffer[3]) << 24;
        return Result::Character;
    }
    // Converts one character to bytes; false when the target lacks it.
    bool encodeOne(char32_t c, std::string &out)
    {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        unsigned char from[4] = {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8),
                                 static_cast<unsigned char>(c >> 16),
                                 static_cast<unsigned char>(c >> 24)};
        char *in = reinterpret_cast<char *>(from);
        std::size_t inLeft = sizeof from;
        char buffer[16];
        char *to = buffer;
        std::size_t toLeft = sizeof buffer;
        if (iconv(m_cd, &in, &inLeft, &to, &toLeft) == std::size_t(-1))
            return false;
        iconv(m_cd, nullptr, nullptr, &to, &toLeft);
        out.append(buffer, sizeof buffer - toLeft);
        return true;
    }

private:
    iconv_t m_cd;
};

// The characters of the single bytes of the page iconv names name: kLead for a byte
// that begins a longer character, the C1 control value for an undefined byte of
// 0x80..0x9F, U+FFFD for other undefined bytes. Empty when iconv lacks the page.
std::optional<std::array<char32_t, 256>> readSingleByteTable(const char *name)
{
    Iconv iconv("UTF-32LE", name);
    if (!iconv.isOpen())
        return std::nullopt;
    std::array<char32_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        char32_t c = 0;
        switch (iconv.decodeOne(std::string_view(&byte, 1), c)) {
        case Iconv::Result::Character:
            table[b] = c;
            break;
        case Iconv::Result::Incomplete:
            table[b] = kLead;
            break;
        case Iconv::Result::Invalid:
            table[b] = b >= 0x80 && b < 0xA0 ? char32_t(b) : kReplacement;
            break;
        }
    }
    return table;
}

// The byte of c in a list of characters and bytes sorted by character; '?' if none.
char lookUp(const std::vector<std::pair<char32_t, char>> &list, char32_t c)
{
    const auto it = std::lower_bound(list.begin(), list.end(), c,
                                     [](const auto &entry, char32_t x) { return entry.first < x; });
    return it != list.end() && it->first == c ? it->second : '?';
}

// The characters of Windows-1252's bytes 0x80..0x9F that lie above U+00FF (€, Š, ™ …),
// sorted by character, for the way back.
const std::vector<std::pair<char32_t, char>> &ansiExtras()
{
    static const std::vector<std::pair<char32_t, char>> extras = [] {
        std::vector<std::pair<char32_t, char>> list;
        if (const auto table = readSingleByteTable("CP1252"))
            for (unsigned b = 0x80; b < 0xA0; ++b)
                if ((*table)[b] > 0xFF && (*table)[b] != kReplacement)
                    list.emplace_back((*table)[b], static_cast<char>(b));
        std::sort(list.begin(), list.end(),
                  [](const auto &x, const auto &y) { return x.first < y.first; });
        return list;
    }();
    return extras;
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

const CodePage &CodePage::of(int number)
{
    // A view asks for the same page for every cell: the last one answers without a lock.
    thread_local const CodePage *last = nullptr;
    if (last && last->m_number == number)
        return *last;
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<const CodePage>> pages;
    // A number the engine does not know shares one page that knows ASCII only.
    if (number != Utf8 && iconvNameOf(number) == nullptr)
        number = 0;
    const std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<const CodePage> &page = pages[number];
    if (!page)
        page.reset(new CodePage(number));
    last = page.get();
    return *page;
}

CodePage::CodePage(int number) : m_number(number), m_iconvName(iconvNameOf(number))
{
    m_leadIndex.fill(-1);
    for (unsigned b = 0; b < 256; ++b)
        m_single[b] = b < 0x80 ? char32_t(b) : kReplacement;
    if (number == Utf8) {
        m_kind = Kind::Utf8;
        m_convertible = true;
    } else if (m_iconvName) {
        readSingleBytes(m_iconvName);
    }
    makeByteTables();
}

void CodePage::readSingleBytes(const char *name)
{
    const auto table = readSingleByteTable(name);
    if (!table)
        return;
    m_single = *table;
    m_convertible = true;
    for (const Correction &c : kCorrections)
        if (c.codePage == m_number)
            m_single[c.byte] = c.character;
    if (std::find(m_single.begin(), m_single.end(), kLead) != m_single.end()) {
        m_kind = Kind::DoubleByte;
        readLeadBytes(name);
    }
}

// For each lead byte, the character of each second byte (U+FFFD: undefined pair).
void CodePage::readLeadBytes(const char *name)
{
    Iconv iconv("UTF-32LE", name);
    for (unsigned lead = 0; lead < 256; ++lead) {
        if (m_single[lead] != kLead)
            continue;
        m_leadIndex[lead] = static_cast<std::int16_t>(m_pairs.size());
        std::array<char32_t, 256> &pairs = m_pairs.emplace_back();
        pairs.fill(kReplacement);
        for (unsigned second = 0x40; second < 256; ++second) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(second)};
            char32_t c = 0;
            if (iconv.decodeOne(std::string_view(bytes, 2), c) == Iconv::Result::Character)
                pairs[second] = c;
        }
        m_single[lead] = kReplacement; // alone, a lead byte is no character
    }
}

void CodePage::makeByteTables()
{
    for (unsigned b = 0; b < 256; ++b) {
        std::string utf8;
        Utf8::append(utf8, m_kind == Kind::SingleByte ? m_single[b] : kReplacement);
        Utf8Form &form = m_utf8Forms[b];
        form.length = static_cast<unsigned char>(utf8.size());
        std::copy(utf8.begin(), utf8.end(), form.bytes);
        m_ansiBytes[b] = m_kind == Kind::SingleByte ? ansiByteOf(m_single[b]) : '?';
    }
    if (m_kind != Kind::SingleByte)
        return;
    // The way back; where two bytes stand for one character, the first. No control
    // character is written: an undefined byte's C1 value stays a one-way mark.
    for (unsigned b = 0; b < 256; ++b)
        if (m_single[b] != kReplacement && !(b < 0x80 && m_single[b] == b) &&
            !(m_single[b] >= 0x80 && m_single[b] < 0xA0))
            m_reverse.emplace_back(m_single[b], static_cast<char>(b));
    std::stable_sort(m_reverse.begin(), m_reverse.end(),
                     [](const auto &x, const auto &y) { return x.first < y.first; });
}

template <typename F> void CodePage::forEachCharacter(std::string_view stored, F &&f) const
{
    std::size_t i = 0;
    while (i < stored.size()) {
        const auto b = static_cast<unsigned char>(stored[i]);
        std::size_t length = 1;
        char32_t c = m_single[b];
        if (m_kind == Kind::Utf8) {
            c = Utf8::decode(stored, i, length);
            if (!Utf8::isCharacter(c))
                c = kReplacement;
        } else if (m_leadIndex[b] >= 0) {
            // An undefined pair whose second byte could be one takes both bytes; a
            // lead byte before a blank, a control or the text's end takes itself only.
            c = kReplacement;
            if (i + 1 < stored.size()) {
                const auto second = static_cast<unsigned char>(stored[i + 1]);
                c = m_pairs[std::size_t(m_leadIndex[b])][second];
                length = c != kReplacement || second >= 0x40 ? 2 : 1;
            }
        }
        f(c, length);
        i += length;
    }
}

std::string CodePage::toUtf8(std::string_view stored) const
{
    std::string out;
    out.reserve(stored.size() + stored.size() / 4);
    if (m_kind == Kind::SingleByte) {
        for (const char ch : stored) {
            const Utf8Form &form = m_utf8Forms[static_cast<unsigned char>(ch)];
            out.append(form.bytes, form.length);
        }
        return out;
    }
    forEachCharacter(stored, [&out](char32_t c, std::size_t) { Utf8::append(out, c); });
    return out;
}

std::string CodePage::toAnsi(std::string_view stored) const
{
    std::string out;
    out.reserve(stored.size());
    if (m_kind == Kind::SingleByte) {
        for (const char ch : stored)
            out += m_ansiBytes[static_cast<unsigned char>(ch)];
        return out;
    }
    forEachCharacter(stored, [&out](char32_t c, std::size_t) { out += ansiByteOf(c); });
    return out;
}

std::string CodePage::fromUtf8(std::string_view utf8) const
{
    if (m_kind == Kind::DoubleByte)
        return encodeThroughIconv(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0, length = 0; i < utf8.size(); i += length) {
        const char32_t c = Utf8::decode(utf8, i, length);
        if (!Utf8::isCharacter(c))
            out += '?';
        else if (m_kind == Kind::Utf8)
            Utf8::append(out, c);
        else
            out += byteOf(c);
    }
    return out;
}

std::string CodePage::fromAnsi(std::string_view ansi) const
{
    return fromUtf8(ansiToUtf8(ansi));
}

std::size_t CodePage::fittingLength(std::string_view stored, std::size_t maxBytes) const
{
    if (stored.size() <= maxBytes || m_kind == Kind::SingleByte)
        return std::min(stored.size(), maxBytes);
    // Every character that begins before maxBytes ends within 3 bytes after it.
    std::size_t fitting = 0;
    bool full = false;
    forEachCharacter(stored.substr(0, maxBytes + 3), [&](char32_t, std::size_t length) {
        full = full || fitting + length > maxBytes;
        if (!full)
            fitting += length;
    });
    return fitting;
}

char CodePage::byteOf(char32_t c) const
{
    if (c < 0x80 && m_single[c] == c)
        return static_cast<char>(c);
    return lookUp(m_reverse, c);
}

// A double-byte page is written by iconv itself: where a character has two codes
// (the duplicates of code page 932), iconv picks the one Windows writes.
std::string CodePage::encodeThroughIconv(std::string_view utf8) const
{
    std::string out;
    Iconv iconv(m_iconvName, "UTF-32LE");
    for (std::size_t i = 0, length = 0; i < utf8.size(); i += length) {
        const char32_t c = Utf8::decode(utf8, i, length);
        if (c < 0x80)
            out += static_cast<char>(c);
        else if (!Utf8::isCharacter(c) || !iconv.isOpen() || !iconv.encodeOne(c, out))
            out += '?';
    }
    return out;
}

std::string CodePage::ansiToUtf8(std::string_view ansi)
{
    return of(Ansi).toUtf8(ansi);
}

std::string CodePage::utf8ToAnsi(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0, length = 0; i < utf8.size(); i += length) {
        const char32_t c = Utf8::decode(utf8, i, length);
        out += Utf8::isCharacter(c) ? ansiByteOf(c) : '?';
    }
    return out;
}

char CodePage::ansiByteOf(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    return lookUp(ansiExtras(), c);
}

} // namespace dbase
