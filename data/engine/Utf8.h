// UTF-8 sequences read and written one character at a time, strictly: an overlong
// form, a surrogate or a value beyond U+10FFFF is malformed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dbase {

class Utf8
{
public:
    // Answers of decode() that are no character.
    static constexpr char32_t Malformed = 0xFFFFFFFF;
    static constexpr char32_t Truncated = 0xFFFFFFFE; // the text ends inside a sequence

    static bool isCharacter(char32_t decoded) { return decoded < Truncated; }
    // The character whose sequence starts at text[at] (at < text.size()), and in length
    // the bytes it takes: 1 for a malformed sequence, the rest of the text when truncated.
    static char32_t decode(std::string_view text, std::size_t at, std::size_t &length);
    static void append(std::string &out, char32_t c);
};

} // namespace dbase
