// Code pages of dBASE tables: the language-driver byte of the table header names
// one; texts are converted between it and Windows-1252 (the character set of the
// viewer's texts), and from Windows-1252 to UTF-8 for output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dbase {

class CodePage
{
public:
    // Code page named by a language-driver byte (header byte 29); 0 when the byte
    // is 0x00 (not set) or unknown.
    static int fromLanguageDriver(std::uint8_t driver);

    // Code page for a table whose language-driver byte is 0x00 or unknown, chosen
    // from the bytes of its texts: OEM umlaut bytes outnumbering ANSI ones mean
    // cp437, ANSI ones outnumbering OEM ones mean cp1252; with no evidence either
    // way cp437, the code page of the DOS dBASE III era that leaves the byte unset.
    static int guessFromText(std::string_view text);

    // True for the code pages whose tables the engine holds (437, 850, 852, 1250,
    // 1251, 1252).
    static bool isSupported(int codePage);

    // Bytes in codePage to Windows-1252 bytes; characters that 1252 lacks, and every
    // byte above 0x7F of an unsupported code page, become '?'.
    static std::string toAnsi(int codePage, std::string_view bytes);
    // Windows-1252 bytes to codePage; characters the target lacks become '?'.
    static std::string fromAnsi(int codePage, std::string_view bytes);

    static std::string ansiToUtf8(std::string_view ansi);
    // UTF-8 to Windows-1252; characters 1252 lacks and malformed sequences become '?'.
    static std::string utf8ToAnsi(std::string_view utf8);
};

} // namespace dbase
