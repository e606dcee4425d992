// The code page of a table's texts, numbered as Windows numbers them (437, 850, 1252,
// 932, 28591, 65001 for UTF-8 …). Its characters are read once from the C library's
// iconv, the first time the code page is asked for, into tables that every later
// conversion uses: converting needs no iconv handle, so any thread may convert, and a
// single-byte page converts through a 256-entry table.
//
// Three views of stored bytes: UTF-8 of exactly the characters stored; Windows-1252,
// the character set of the viewer's texts, with one '?' for each character that 1252
// lacks (also for a character of two bytes); and stored bytes made from UTF-8 or
// Windows-1252 input, with '?' for each character the page lacks.
//
// Bytes a page does not define: in 0x80..0x9F they keep their C1 control value in
// UTF-8, as Windows converts them, so that nothing is lost; from 0xA0 on, and a lead
// byte without its second byte, they become U+FFFD. The Windows-1252 view shows '?'
// for both, so that no control character reaches a window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dbase {

class CodePage
{
public:
    static constexpr int Utf8 = 65001;
    static constexpr int Ansi = 1252;

    // The code page numbered number, read on first use and kept for the process's
    // life. A number the engine does not know, or whose table the C library lacks,
    // gives a page that knows ASCII only (isConvertible() false, number() 0).
    static const CodePage &of(int number);
    // Code page named by a language-driver byte (header byte 29), as dBASE, FoxPro and
    // Visual FoxPro define them; 0 when the byte is 0x00 (not set) or unknown.
    static int fromLanguageDriver(std::uint8_t driver);

    int number() const { return m_number; }
    bool isConvertible() const { return m_convertible; }
    // Every character one byte: byteToUtf8() serves for hot loops.
    bool isSingleByte() const { return m_kind == Kind::SingleByte; }

    // The UTF-8 form of each byte of a single-byte page (1 to 3 bytes; undefined bytes
    // as said above). Meaningless for other pages.
    struct Utf8Form
    {
        char bytes[4];
        unsigned char length;
    };
    const std::array<Utf8Form, 256> &byteToUtf8() const { return m_utf8Forms; }
    // The character of one byte of a single-byte page (undefined bytes as said above).
    char32_t unicodeOf(unsigned char byte) const { return m_single[byte]; }

    // Stored bytes as UTF-8, exactly the characters stored.
    std::string toUtf8(std::string_view stored) const;
    // Stored bytes as the window shows them: Windows-1252, one '?' per character that
    // 1252 lacks and per byte that is no character.
    std::string toAnsi(std::string_view stored) const;
    // UTF-8 (malformed sequences become '?') or Windows-1252 as stored bytes of this
    // page, '?' for each character it lacks: a search key.
    std::string fromUtf8(std::string_view utf8) const;
    std::string fromAnsi(std::string_view ansi) const;
    // The length of the longest start of stored of at most maxBytes bytes that cuts no
    // character in two: where a value for a field of that width ends.
    std::size_t fittingLength(std::string_view stored, std::size_t maxBytes) const;

    // Windows-1252 to UTF-8 and back ('?' for what 1252 lacks and for malformed UTF-8).
    static std::string ansiToUtf8(std::string_view ansi);
    static std::string utf8ToAnsi(std::string_view utf8);

    // The Windows-1252 byte of a character, '?' when 1252 lacks it (controls too).
    static char ansiByteOf(char32_t c);

private:
    enum class Kind { SingleByte, DoubleByte, Utf8 };

    explicit CodePage(int number);

    void readSingleBytes(const char *name);
    void readLeadBytes(const char *name);
    void makeByteTables();
    // Calls f(character, bytes it takes) for each character of stored.
    template <typename F> void forEachCharacter(std::string_view stored, F &&f) const;
    std::string encodeThroughIconv(std::string_view utf8) const;
    char byteOf(char32_t c) const; // single-byte pages; '?' when the page lacks c

    int m_number;
    Kind m_kind = Kind::SingleByte;
    bool m_convertible = false;
    const char *m_iconvName = nullptr;
    // Single-byte pages: each byte's character. Double-byte pages: the same for bytes
    // that are a character alone; U+FFFD for a lead byte (alone it is none).
    std::array<char32_t, 256> m_single{};
    // Double-byte pages: for each lead byte (m_leadIndex, -1 for none) the character of
    // each second byte (0xFFFD where the pair is undefined).
    std::array<std::int16_t, 256> m_leadIndex{};
    std::vector<std::array<char32_t, 256>> m_pairs;
    std::array<Utf8Form, 256> m_utf8Forms{};
    std::array<char, 256> m_ansiBytes{}; // single-byte pages: each byte's 1252 view
    // Single-byte pages: the characters other than ASCII and their bytes, by character.
    std::vector<std::pair<char32_t, char>> m_reverse;
};

} // namespace dbase
